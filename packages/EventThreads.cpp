#include "packages/EventThreads.h"

#include <condition_variable>
#include <mutex>

namespace {

struct Counter {
  std::mutex mutex;
  std::condition_variable idle;
  int running = 0;
};

// Never destroyed: a thread that outlasted the bounded wait may still finish while the process
// runs its exit code.
Counter& Threads() {
  static Counter* const counter = new Counter;
  return *counter;
}

}  // namespace

void EventThreadStarting() {
  std::lock_guard<std::mutex> lock(Threads().mutex);
  ++Threads().running;
}

void EventThreadFinished() {
  Counter& counter = Threads();
  std::lock_guard<std::mutex> lock(counter.mutex);
  if (--counter.running == 0) counter.idle.notify_all();
}

bool WaitForEventThreads(std::chrono::milliseconds limit) {
  Counter& counter = Threads();
  std::unique_lock<std::mutex> lock(counter.mutex);
  return counter.idle.wait_for(lock, limit, [&] { return counter.running == 0; });
}
