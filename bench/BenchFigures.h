#pragma once

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace omrek {

// The middle of a few timings: one slow run (another program's burst of
// work) does not move it.
inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

inline double MiBPerSecond(double bytes, double seconds) { return bytes / (1 << 20) / seconds; }

// A "Key:   1234 kB" field of a /proc file, in MiB.
inline double KibFieldMiB(const char* file, const std::string& key) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key + ":", 0) != 0) continue;
    std::istringstream fields(line.substr(key.size() + 1));
    double kib = 0;
    fields >> kib;
    return kib / 1024;
  }
  return 0;
}

// The most memory this process has held at once.
inline double PeakMemoryMiB() { return KibFieldMiB("/proc/self/status", "VmHWM"); }

// The page cache's size now.
inline double CachedMiB() { return KibFieldMiB("/proc/meminfo", "Cached"); }

}  // namespace omrek
