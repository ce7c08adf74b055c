#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace omrek {

// Mount points as one value of the settings file. Each mount point is kept
// byte for byte, except that a backslash, ';', a blank, a control character
// and DEL are written as a backslash and three octal digits, as the kernel's
// mount table writes them ("\040" for a blank, "\073" for ';', "\134" for a
// backslash); the mount points are joined by ';'. So a path of any bytes
// fits on one line, keeps blanks at its ends that the reader would trim,
// and comes back exactly: "/media/a b;/mnt/x" holds two mount points.
std::string JoinMountPoints(const std::vector<std::string>& mountPoints);

// The mount points of such a value, in their order. Empty fields are passed
// over; a backslash without three octal digits after it stands for itself.
std::vector<std::string> SplitMountPoints(std::string_view value);

}  // namespace omrek
