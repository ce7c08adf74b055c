#include "tests/support/Shell.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace omrek::test {

bool RunQuietly(const std::string& command) {
  // Braced, so that the command's own redirections keep their targets.
  return std::system(("{ " + command + "\n} >/dev/null 2>&1").c_str()) == 0;
}

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
