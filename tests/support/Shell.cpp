#include "tests/support/Shell.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace omrek::test {

bool RunQuietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string OutputOf(const std::string& command) {
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
  std::string output;
  if (!pipe) return output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) output += buffer;
  if (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

}  // namespace omrek::test
