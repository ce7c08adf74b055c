#pragma once

#include <string>
#include <vector>

// What the program calls in the window's module (see WindowModule.cpp).
inline constexpr const char* kRunWindowSymbol = "omrek_run_window";
using RunWindowFunction = int (*)(char* programName, const std::vector<std::string>& paths);

extern "C" int omrek_run_window(char* programName, const std::vector<std::string>& paths);
