#include "tests/support/ChildProcess.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace omrek::test {

namespace {

constexpr uid_t kNobody = 65534;

int RunChild(const std::string& childTest, const std::map<std::string, std::string>& environment, bool asNobody) {
  const std::string filter = "--gtest_filter=" + childTest;
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    ::setenv("OMREK_CHILD", "1", 1);
    if (asNobody && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(120);
    }
    ::execl("/proc/self/exe", "omrek-test-child", filter.c_str(), static_cast<char*>(nullptr));
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
