#pragma once
// The main product as a package: its three moments in a run and the final events on close.
#include <memory>

class Package;

// Leaving the language page: builds the main package from what the configuration knows so far,
// stores it in the configuration and sends event 1.
std::shared_ptr<Package> CreateMainPackage();

// The configuration has arrived: the main package gets a fresh analytics context and its values.
void ReinitializeMainPackage();

// The user is leaving: downloads stop, then event 5 for every offer shown and for the main product,
// one package at a time, each delivered (or given up) before the next.
void SendClosingEvents();
