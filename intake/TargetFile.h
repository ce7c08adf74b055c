#pragma once

#include <cstdint>
#include <string>

namespace omrek {

// True when the path is a folder, is not a regular file, or cannot be
// examined at all: such a row is never measured or written.
bool IsFolder(const std::string& path);

// The file's length in bytes. Raises IoError when the file cannot be opened
// for reading.
std::uint64_t FileSizeOf(const std::string& path);

// The size column's text: whole kilobytes of 1024 bytes, rounded up.
std::string SizeToKbText(std::uint64_t bytes);

}  // namespace omrek
