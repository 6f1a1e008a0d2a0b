#pragma once
// The main product as a package: its three moments in a run and the final events on close.
#include <chrono>
#include <memory>
#include <vector>

class Package;

// Leaving the language page: builds the main package from what the configuration knows so far,
// stores it in the configuration and sends event 1.
std::shared_ptr<Package> CreateMainPackage();

// The configuration has arrived: the main package gets a fresh analytics context and its values.
void ReinitializeMainPackage();

// How long the closing events may take together: time for one retry of each (the pause and two
// requests) when the back end answers at all.
constexpr std::chrono::milliseconds kClosingEventsLimit{8000};

// The user is leaving: from now on nothing is downloaded, unpacked or started.
void BeginClosing();

// BeginClosing, then event 5 goes for every offer shown and for the main product, all at once
// (started in that order), except for the packages in `started`: installers started while the
// wizard was closing, which have their event 3. Returns when every event of the process was
// delivered or given up, or after kClosingEventsLimit, whatever the back end does.
void SendClosingEvents(const std::vector<std::shared_ptr<Package>>& started = {});
