// uidriver: works other processes' windows for the GUI tests. Reads one command per line on stdin and writes
// exactly one JSON line per command on stdout ("help" lists the commands).
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "CommandLine.h"
#include "Commands.h"
#include "Json.h"

namespace {

void WriteLine(const std::string& json) {
  std::fwrite(json.data(), 1, json.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Failure(std::string_view error) {
  return uidriver::JsonObject().Bool("ok", false).String("error", error).Str();
}

}  // namespace

int wmain(int, wchar_t**) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  std::string line;
  while (std::getline(std::cin, line)) {
    try {
      const auto words = uidriver::SplitWords(line);
      if (!words) {
        WriteLine(Failure("unterminated quote"));
        continue;
      }
      if (words->empty()) continue;  // blank lines get no answer
      const uidriver::Outcome outcome = uidriver::Execute(*words);
      WriteLine(outcome.json);
      if (outcome.quit) break;
    } catch (const std::exception& e) {
      WriteLine(Failure(std::string("internal error: ") + e.what()));
    } catch (...) {
      WriteLine(Failure("internal error"));
    }
  }
  return 0;
}
