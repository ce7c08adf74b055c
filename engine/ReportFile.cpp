#include "engine/ReportFile.h"

#include <optional>

#include "intake/ReadablePath.h"
#include "platform/PinnedFile.h"

namespace omrek {

namespace {

FileHandle CreatedOrRefused(const std::string& path) {
  std::optional<FileHandle> file = FileHandle::CreateNew(path);
  if (!file) throw ReportRefused(path);
  // Owner only whatever the umask: a list of shredded paths is itself
  // something to keep private.
  file->RestrictToOwner();
  return std::move(*file);
}

}  // namespace

ReportRefused::ReportRefused(const std::string& path)
    : std::runtime_error(ReadablePath(path) + " exists already: a report is only ever saved to a new file") {}

ReportFile::ReportFile(const std::string& path) : path_(path), file_(CreatedOrRefused(path)) {}

ReportFile::~ReportFile() {
  if (written_) return;
  // Only the file this made goes (empty, or cut short by a failed write),
  // and only while the name is still its; an error here leaves it behind.
  try {
    if (const std::optional<PinnedFile> made = PinnedFile::Reach(NotePath(path_).route, file_.Identity())) {
      made->Delete();
    }
  } catch (const std::exception&) {
  }
}

void ReportFile::Write(const std::string& text) {
  file_.WriteAt(text.data(), text.size(), 0);
  file_.Flush();
  written_ = true;
  file_.Close();
}

}  // namespace omrek
