#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace omrek {

// The sound file named in the settings, made usable: the text itself when a
// file is there (a relative path counts from the current folder), else
// `soundFolder` (where the program's default sound is shipped) followed by
// the text's file name. So the default "whoose.wav" finds the shipped sound,
// and an empty text gives that folder.
std::string ResolveSoundPath(const std::string& text, const std::string& soundFolder);

// A sound is played from memory; a larger file is refused rather than held.
constexpr std::uint64_t kMaxSoundBytes = std::uint64_t{64} << 20;

// The whole file at `path` (symbolic links followed), for the player to
// keep. Raises an error when it cannot be read, is not a regular file or is
// larger than kMaxSoundBytes.
std::vector<std::uint8_t> ReadSoundImage(const std::string& path);

}  // namespace omrek
