#include "settings/SoundFile.h"

#include <filesystem>
#include <stdexcept>

#include "platform/FileHandle.h"

namespace omrek {

namespace fs = std::filesystem;

std::string ResolveSoundPath(const std::string& text, const std::string& soundFolder) {
  std::error_code ignored;
  if (fs::exists(text, ignored) && !fs::is_directory(text, ignored)) return text;
  return soundFolder + "/" + text.substr(text.find_last_of('/') + 1);
}

std::vector<std::uint8_t> ReadSoundImage(const std::string& path) {
  // The file handle never follows a link; a sound reached through one is
  // still only read.
  const fs::path target = fs::canonical(path);
  if (!fs::is_regular_file(target)) throw std::runtime_error(path + " is not a sound file");
  const FileHandle file = FileHandle::OpenExisting(target.string(), FileHandle::Access::Read);
  const std::uint64_t size = file.Size();
  if (size > kMaxSoundBytes) throw std::runtime_error(path + " is too large for a sound");
  std::vector<std::uint8_t> image(size);
  image.resize(file.ReadAt(image.data(), image.size(), 0));
  return image;
}

}  // namespace omrek
