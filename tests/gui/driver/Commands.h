#pragma once
// The driver's commands: each takes the words after its name and answers with one JSON object.
#include <string>
#include <vector>

namespace uidriver {

struct Outcome {
  std::string json;   // one line, no newline
  bool quit = false;  // the driver should stop after writing it
};

// Runs one command line (already split into words; the first is the command's name).
Outcome Execute(const std::vector<std::string>& words);

}  // namespace uidriver
