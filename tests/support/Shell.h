#pragma once

#include <string>

namespace omrek::test {

// Runs a shell command with its output discarded; true when it succeeded.
bool RunQuietly(const std::string& command);

// Runs a shell command and returns what it printed, less a final newline.
std::string OutputOf(const std::string& command);

}  // namespace omrek::test
