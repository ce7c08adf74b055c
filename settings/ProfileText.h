#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace omrek {

// The text of a profile file with `key` of `section` set to `value`, and
// every other byte as it was: comments, lines the reader cannot place,
// unknown sections, and whatever follows a NUL byte, which ends what the
// reader sees. The edit goes where the reader will find it again, so the
// next save changes the same line instead of adding one:
// - the first line that the reader takes for the key in that section
//   (names without regard to case, blanks around them ignored) gets the new
//   value in place of the old;
// - a key the section lacks goes on a line of its own after the section's
//   last header or key line (the keys after a header that lacks its "]" are
//   in no section the reader can be asked for);
// - a section the file lacks goes at the end of what the reader sees,
//   before a NUL byte, never after it.
// New lines end the way the file's first line does ("\r\n", "\r" or "\n").
// `value` must hold no line break and no NUL byte, `section` no line break.
// The number (from 1) of the first line of `text` that the reader cannot
// take as what it looks like: a section header whose "[" has no "]" after
// it on the same line, which hides the keys after it in a section no one
// asks for. Nothing when every line reads as it looks. Only the part the
// reader sees counts (see SetProfileValue).
std::optional<std::size_t> MalformedLine(std::string_view text);

std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);

}  // namespace omrek
