#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/PowerCutImage.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace omrek {
namespace {

using test::PowerCutImage;
using test::ReadWholeFile;
using test::WriteFile;
namespace fs = std::filesystem;

const std::string kJournal = "/var/lib/omrek";

struct Original {
  std::string path;
  std::string bytes;
  timespec modified;
};

// Random bytes, lengths that leave slack in the last 4 KiB cluster, and a
// modification time of each file's own, nanoseconds and all; on the drive
// for good before the run starts.
std::vector<Original> MakeFiles(const PowerCutImage& image, int count) {
  std::mt19937 random(4096);
  std::uniform_int_distribution<int> length(1, 20000);
  std::vector<Original> files;
  for (int i = 0; i < count; ++i) {
    std::string bytes(length(random) | 1, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    const timespec modified{1'400'000'000 + i * 3600L, (i * 7'654'321L + 1) % 1'000'000'000};
    const timespec times[] = {modified, modified};
    const std::string path = WriteFile(image.File("file " + std::to_string(i)), bytes);
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) throw std::runtime_error("cannot date " + path);
    files.push_back({path, bytes, modified});
  }
  ::sync();
  return files;
}

std::set<std::string> LengthenedRecords() {
  std::set<std::string> names;
  std::error_code missing;
  for (const auto& entry : fs::directory_iterator(kJournal, missing)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("lengthened-")) names.insert(name);
  }
  return names;
}

std::set<std::string> RecordsSince(const std::set<std::string>& before) {
  std::set<std::string> added;
  for (const std::string& name : LengthenedRecords()) {
    if (!before.contains(name)) added.insert(name);
  }
  return added;
}

// Records this test left, when it failed before the recovery, would be
// repaired and said by every later test's run of the program.
struct ClearRecordsOnTheWayOut {
  ~ClearRecordsOnTheWayOut() {
    std::error_code ignored;
    for (const std::string& name : RecordsSince(before)) fs::remove(kJournal + "/" + name, ignored);
  }
  const std::set<std::string> before = LengthenedRecords();
};

// The built program as a child process: no display, nothing to read, its
// output and its errors to files.
class Program {
 public:
  Program(const std::string& name, const std::vector<std::string>& arguments, const test::TempDir& folder)
      : out_(folder.File(name + ".out")), err_(folder.File(name + ".err")) {
    std::vector<char*> argv{const_cast<char*>(OMREK_PROGRAM)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
      const std::string_view text(*variable);
      if (!text.starts_with("DISPLAY=") && !text.starts_with("WAYLAND_DISPLAY=")) environment.push_back(*variable);
    }
    environment.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int failed = ::posix_spawn(&pid_, OMREK_PROGRAM, &files, nullptr, argv.data(), environment.data());
    posix_spawn_file_actions_destroy(&files);
    if (failed != 0) throw std::runtime_error("cannot start " OMREK_PROGRAM);
  }
  ~Program() { Kill(); }

  bool Ended() { return pid_ < 0 || Reaped(::waitpid(pid_, &status_, WNOHANG)); }
  // Returns once the program is stopped: whatever call it was in is over,
  // and it makes no other.
  void Freeze() {
    if (pid_ > 0 && ::kill(pid_, SIGSTOP) == 0) Reaped(::waitpid(pid_, &status_, WUNTRACED));
  }
  void Thaw() {
    if (pid_ > 0) ::kill(pid_, SIGCONT);
  }
  void Kill() {
    if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0) Finish();
  }
  int Finish() {
    if (pid_ > 0) {
      while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
      }
      pid_ = -1;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  }
  std::string Out() const { return ReadWholeFile(out_); }
  std::string Err() const { return ReadWholeFile(err_); }

 private:
  bool Reaped(pid_t waited) {
    if (waited != pid_ || !(WIFEXITED(status_) || WIFSIGNALED(status_))) return false;
    pid_ = -1;
    return true;
  }

  std::string out_;
  std::string err_;
  pid_t pid_ = -1;
  int status_ = 0;
};

// A file the wipe holds lengthened now, and when its inode last changed:
// each pass written to it changes that.
struct Lengthened {
  const Original* file = nullptr;
  timespec changed{};
};

Lengthened LengthenedFile(const std::vector<Original>& files) {
  for (const Original& file : files) {
    struct stat now {};
    if (::stat(file.path.c_str(), &now) == 0 && now.st_size > static_cast<off_t>(file.bytes.size())) {
      return {&file, now.st_ctim};
    }
  }
  return {};
}

// Polls until the middle of the run and leaves the program frozen there: a
// second file of the run was lengthened, and a lengthened file took a pass
// after the one seen, so the pass that lengthened it was flushed; only
// stat, as opening the file would make the wipe give way. Returns what went
// wrong instead.
std::string FreezeMidway(Program& wipe, const std::vector<Original>& files, const std::set<std::string>& before) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  std::set<std::string> records;
  Lengthened watched;
  for (;;) {
    const std::string seen = std::to_string(records.size()) + " 'lengthened-' records of the run in " + kJournal;
    if (wipe.Ended()) return "the wipe ended first; " + seen;
    if (std::chrono::steady_clock::now() > giveUp) return "no lengthened file took a second pass; " + seen;
    records.merge(RecordsSince(before));
    const Lengthened now = records.size() < 2 ? Lengthened{} : LengthenedFile(files);
    if (now.file != nullptr && now.file == watched.file &&
        (now.changed.tv_sec != watched.changed.tv_sec || now.changed.tv_nsec != watched.changed.tv_nsec)) {
      wipe.Freeze();
      if (LengthenedFile(files).file == now.file) return "";
      wipe.Thaw();
    }
    watched = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::string RepairLines(const std::string& said) {
  std::istringstream lines(said);
  std::string repairs;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("omrek: ")) repairs += line + "\n";
  }
  return repairs;
}

// The power of the drive goes while files are lengthened for their slack;
// the drive comes back with what it kept, checks clean, and the next start
// of the program puts every file back: length, bytes and modification time.
TEST(PowerCut, AWipeSlackCutOffMidwayIsPutRightAtTheNextStart) {
  PowerCutImage image(64, "powercut");
  if (!image.Mounted()) GTEST_SKIP() << image.Reason();
  const std::vector<Original> files = MakeFiles(image, 150);
  test::TempDir folder;
  // Many passes: each file stays lengthened through several flushed ones.
  const std::string settings =
      WriteFile(folder.File("omrek.ini"), "[FileMode]\nDOD=1\nInversion=1\nRandomize=1\nNumRandomize=10\n");
  const ClearRecordsOnTheWayOut records;
  std::vector<std::string> arguments{"--wipe-slack", "--settings", settings};
  for (const Original& file : files) arguments.push_back(file.path);

  Program wipe("wipe", arguments, folder);
  // A power cut stops the program with its drive: frozen first, it does
  // nothing after the cut that the drive would not have kept.
  const std::string notMidway = FreezeMidway(wipe, files, records.before);
  image.CutPower();
  wipe.Kill();
  ASSERT_EQ(notMidway, "") << wipe.Out() << wipe.Err();

  image.RemountWhatWasKept();
  const PowerCutImage::FileSystemCheck check = image.CheckFileSystem();
  EXPECT_EQ(check.status, 0) << check.output;

  Program recovery("recovery", {"--recover"}, folder);
  EXPECT_EQ(recovery.Finish(), 0) << recovery.Out() << recovery.Err();
  for (const Original& file : files) {
    struct stat now {};
    ASSERT_EQ(::stat(file.path.c_str(), &now), 0) << file.path;
    EXPECT_EQ(now.st_size, static_cast<off_t>(file.bytes.size())) << file.path << "\n" << recovery.Err();
    EXPECT_TRUE(ReadWholeFile(file.path) == file.bytes) << file.path;
    EXPECT_EQ(now.st_mtim.tv_sec, file.modified.tv_sec) << file.path;
    EXPECT_EQ(now.st_mtim.tv_nsec, file.modified.tv_nsec) << file.path;
  }
  EXPECT_NE(RepairLines(recovery.Err()), "") << "the cut left a lengthened file to put back";
  EXPECT_TRUE(RecordsSince(records.before).empty()) << "a file put back keeps no record";

  Program again("second recovery", {"--recover"}, folder);
  EXPECT_EQ(again.Finish(), 0) << again.Err();
  EXPECT_EQ(RepairLines(again.Err()), "") << "nothing is left to repair";
}

}  // namespace
}  // namespace omrek
