#include "tests/app/ProgramRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string_view>

#include "platform/JournalFolder.h"

extern char** environ;

namespace omrek::test {

namespace fs = std::filesystem;

Program::Program(const std::string& name, const std::vector<std::string>& arguments, const TempDir& folder)
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

bool Program::Ended() { return pid_ < 0 || Reaped(::waitpid(pid_, &status_, WNOHANG)); }

void Program::Freeze() {
  if (pid_ > 0 && ::kill(pid_, SIGSTOP) == 0) Reaped(::waitpid(pid_, &status_, WUNTRACED));
}

void Program::Thaw() {
  if (pid_ > 0) ::kill(pid_, SIGCONT);
}

void Program::Signal(int signal) {
  if (pid_ > 0) ::kill(pid_, signal);
}

void Program::Kill() {
  if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0) Finish();
}

int Program::Finish() {
  if (pid_ > 0) {
    while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

std::string Program::Out() const { return ReadWholeFile(out_); }

std::string Program::Err() const { return ReadWholeFile(err_); }

bool Program::Reaped(pid_t waited) {
  if (waited != pid_ || !(WIFEXITED(status_) || WIFSIGNALED(status_))) return false;
  pid_ = -1;
  return true;
}

std::vector<Original> MakeFiles(const std::string& folder, int count) {
  std::mt19937 random(4096);
  std::uniform_int_distribution<int> length(1, 20000);
  std::vector<Original> files;
  for (int i = 0; i < count; ++i) {
    std::string bytes(static_cast<std::size_t>(length(random) | 1), '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    const timespec modified{1'400'000'000 + i * 3600L, (i * 7'654'321L + 1) % 1'000'000'000};
    const timespec times[] = {modified, modified};
    const std::string path = WriteFile(folder + "/file " + std::to_string(i), bytes);
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) throw std::runtime_error("cannot date " + path);
    files.push_back({path, bytes, modified});
  }
  ::sync();
  return files;
}

void ExpectAsTheyWere(const std::vector<Original>& files, const std::string& context) {
  for (const Original& file : files) {
    struct stat now {};
    ASSERT_EQ(::stat(file.path.c_str(), &now), 0) << file.path;
    EXPECT_EQ(now.st_size, static_cast<off_t>(file.bytes.size())) << file.path << "\n" << context;
    EXPECT_TRUE(ReadWholeFile(file.path) == file.bytes) << file.path;
    EXPECT_EQ(now.st_mtim.tv_sec, file.modified.tv_sec) << file.path;
    EXPECT_EQ(now.st_mtim.tv_nsec, file.modified.tv_nsec) << file.path;
  }
}

std::set<std::string> Records(const std::string& kind) {
  std::set<std::string> names;
  std::error_code missing;
  for (const auto& entry : fs::directory_iterator(JournalFolderPath(), missing)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(kind)) names.insert(name);
  }
  return names;
}

std::set<std::string> LengthenedRecords() { return Records("lengthened-"); }

std::set<std::string> RecordsSince(const std::set<std::string>& before) {
  std::set<std::string> added;
  for (const std::string& name : LengthenedRecords()) {
    if (!before.contains(name)) added.insert(name);
  }
  return added;
}

ClearRecordsOnTheWayOut::~ClearRecordsOnTheWayOut() {
  std::error_code ignored;
  for (const char* kind : {"lengthened-", "filler-"}) {
    for (const std::string& name : Records(kind)) {
      if (!before.contains(name)) fs::remove(JournalFolderPath() + "/" + name, ignored);
    }
  }
}

}  // namespace omrek::test
