#pragma once
// Every analytics event thread of the process, counted, so that the process can wait for them
// (for a bounded time) before it takes down what they might still use.
#include <chrono>

// A thread is about to start / has finished.
void EventThreadStarting();
void EventThreadFinished();
// Waits until no event thread runs, at most `limit`; true when none runs any more.
bool WaitForEventThreads(std::chrono::milliseconds limit);
