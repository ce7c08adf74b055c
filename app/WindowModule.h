#pragma once

#include <string>
#include <vector>

// What the program calls in the window's module (see WindowModule.cpp):
// the version the module was built as, which must be the program's, and the
// window itself.
extern "C" const char* omrek_window_version();
extern "C" int omrek_run_window(char* programName, const std::vector<std::string>& paths);

inline constexpr const char* kWindowVersionSymbol = "omrek_window_version";
using WindowVersionFunction = decltype(&omrek_window_version);
inline constexpr const char* kRunWindowSymbol = "omrek_run_window";
using RunWindowFunction = decltype(&omrek_run_window);
