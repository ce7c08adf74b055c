#include "tests/support/ChildProcess.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "tests/support/TempDir.h"

namespace omrek::test {

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr std::string_view kLayoutOption = "configfile=";
constexpr auto kRunnable = static_cast<fs::perms>(0755);
constexpr auto kReadable = static_cast<fs::perms>(0644);

std::string CopyForEveryone(const std::string& from, const std::string& to, fs::perms mode) {
  fs::copy_file(from, to);
  fs::permissions(to, mode);
  return to;
}

// The checkout may lie in a folder only root may enter, and a build under a
// strict umask leaves its files to their owner: a child that runs as nobody
// reaches neither this test program nor the screen layout Qt is told to
// read (Qt aborts without it). Both are copied for it into a folder of its
// own, and the child is told where they are.
class NobodysCopies {
 public:
  explicit NobodysCopies(std::map<std::string, std::string>& environment)
      : program_(CopyForEveryone("/proc/self/exe", folder_.File("test-program"), kRunnable)) {
    // A home of its own, where the program keeps its journal, unless the
    // test gives one.
    const std::string home = folder_.File("home");
    fs::create_directory(home);
    if (::chown(home.c_str(), kNobody, kNobody) != 0) throw std::runtime_error("cannot give nobody a home");
    environment.try_emplace("HOME", home);
    environment.try_emplace("XDG_STATE_HOME", home + "/state");
    const auto given = environment.find("QT_QPA_PLATFORM");
    const char* inherited = std::getenv("QT_QPA_PLATFORM");
    if (given != environment.end()) {
      given->second = WithLayoutCopied(given->second);
    } else if (inherited != nullptr) {
      environment["QT_QPA_PLATFORM"] = WithLayoutCopied(inherited);
    }
  }

  const std::string& Program() const { return program_; }

 private:
  // The platform's name and options ("offscreen:configfile=FILE:..."), with
  // FILE replaced by a copy.
  std::string WithLayoutCopied(const std::string& platform) const {
    const auto at = platform.find(kLayoutOption);
    if (at == std::string::npos) return platform;
    const auto from = at + kLayoutOption.size();
    const auto end = platform.find(':', from);
    const std::string layout = platform.substr(from, end == std::string::npos ? end : end - from);
    const std::string copy = CopyForEveryone(layout, folder_.File("screen-layout.json"), kReadable);
    return platform.substr(0, from) + copy + (end == std::string::npos ? "" : platform.substr(end));
  }

  TempDir folder_;
  std::string program_;
};

int RunChild(const std::string& childTest, std::map<std::string, std::string> environment, bool asNobody) {
  const std::string filter = "--gtest_filter=" + childTest;
  std::optional<NobodysCopies> copies;
  if (asNobody) copies.emplace(environment);
  const std::string program = copies ? copies->Program() : "/proc/self/exe";
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    ::setenv("OMREK_CHILD", "1", 1);
    if (asNobody && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(120);
    }
    ::execl(program.c_str(), "omrek-test-child", filter.c_str(), static_cast<char*>(nullptr));
    ::_exit(121);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int RunTestCaseAsNobody(const std::string& childTest, const std::map<std::string, std::string>& environment) {
  return RunChild(childTest, environment, true);
}

int RunTestCaseInChild(const std::string& childTest, const std::map<std::string, std::string>& environment) {
  return RunChild(childTest, environment, false);
}

std::string ChildArgument(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (std::getenv("OMREK_CHILD") == nullptr || value == nullptr) {
    throw std::runtime_error("this case is the child half of another test");
  }
  return value;
}

}  // namespace omrek::test
