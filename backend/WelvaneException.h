#pragma once
#include <exception>

// Thrown by the back-end layer when a request cannot be made. It carries no message of its own.
class WelvaneException : public std::exception {};
