#pragma once

#include <string>

namespace omrek {

// The full path of the running program's executable, as the kernel knows
// it: the settings, the default sound and the documents are found from it.
// Raises IoError when it cannot be told.
std::string RunningExecutablePath();

}  // namespace omrek
