#pragma once

#include <string>
#include <vector>

// What the program calls in the window's module (see WindowModule.cpp):
// the version the module was built as, which must be the program's, and the
// window itself.
inline constexpr const char* kWindowVersionSymbol = "omrek_window_version";
using WindowVersionFunction = const char* (*)();
inline constexpr const char* kRunWindowSymbol = "omrek_run_window";
using RunWindowFunction = int (*)(char* programName, const std::vector<std::string>& paths);

extern "C" const char* omrek_window_version();
extern "C" int omrek_run_window(char* programName, const std::vector<std::string>& paths);
