#pragma once

#include <string>

namespace omrek::test {

// A fresh folder, removed with everything in it at the end of the test.
// Readable by every user, so a child running without root's privileges can
// reach the files the test makes for it.
class TempDir {
 public:
  explicit TempDir(const std::string& under = {});
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes `bytes` to a new file and returns its path.
std::string WriteFile(const std::string& path, const std::string& bytes);
std::string ReadWholeFile(const std::string& path);

}  // namespace omrek::test
