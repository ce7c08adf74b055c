#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace omrek {

// The attribute word of a path, with the bit values Windows uses.
namespace FileAttribute {
constexpr std::uint32_t ReadOnly = 0x01;
constexpr std::uint32_t Hidden = 0x02;
constexpr std::uint32_t System = 0x04;
constexpr std::uint32_t Directory = 0x10;
constexpr std::uint32_t Archive = 0x20;
// What the query returns when the path cannot be examined.
constexpr std::uint32_t Invalid = 0xFFFFFFFF;
}  // namespace FileAttribute

// Attributes of `path` without following a symbolic link. A symbolic link,
// device, FIFO or socket reports the directory bit, so that nothing that
// treats the path as a file can ever write through it. Read-only means the
// owner write bit is clear; hidden means the name begins with a dot.
// Returns FileAttribute::Invalid when the path cannot be examined.
std::uint32_t ReadFileAttributes(const std::string& path);
// The word for an entry called `name` of those facts, already looked at.
std::uint32_t FileAttributesOf(bool regularFile, bool ownerWritable, std::string_view name);

}  // namespace omrek
