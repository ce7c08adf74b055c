#pragma once

#include <string>
#include <string_view>

namespace omrek {

// A path's bytes as the user reads and edits them, in UTF-8: valid UTF-8
// stays as it is; every byte that is not part of it, and every control
// character, reads \xHH; a backslash reads \\. Names need not be UTF-8, and
// two names that differ in one byte must never look alike.
std::string ReadablePath(std::string_view bytes);

// A message for one line of a terminal: control characters and bytes that
// are not UTF-8 read \xHH as above, while backslashes stay as they are, so
// a text made of readable paths comes out unchanged and no other text can
// break the line, move the cursor or retitle the terminal.
std::string ControlsEscaped(std::string_view text);

// The bytes back from a readable form, edited or not. A backslash that
// starts no escape above stands for itself.
std::string PathFromReadable(std::string_view text);

}  // namespace omrek
