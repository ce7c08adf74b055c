#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace omrek {

// Questions to a mount point (stat, statvfs, its label) asked on a worker
// thread and waited for a short while only. A mount whose server has stopped
// (a FUSE daemon, a dead network share) blocks every such call until it
// answers, and must hold up neither the window nor a command on other
// drives. A worker that does not answer in time is left behind: it owns all
// it touches, so it may outlive its caller, even to the end of the process,
// which ends it. Until it returns its mount does not respond, and no second
// worker is sent there; once it has returned, the next question is asked
// anew, so a mount that answers again is found answering.
namespace MountProbe {

inline constexpr std::chrono::milliseconds kPatience{300};

// Runs `question` on a worker for the mount at `mountPoint`. True when it
// returned within the patience; false when it did not, or at once when an
// earlier worker there has not yet returned. `question` must own what it
// uses: it may run on after this returns false.
bool AnswersWithin(const std::string& mountPoint, std::function<void()> question);

// Whether a worker sent to `mountPoint` is still waiting for it.
bool IsStuck(const std::string& mountPoint);

// Whether the file system mounted where the absolute `path` lies (the
// mount table's longest match) answers in time. Nothing of the path
// itself is looked at.
bool MountHoldingAnswers(const std::string& path);

// The facts `question` gathers about the mount at `mountPoint`, or nothing
// when it does not respond.
template <typename Facts>
std::optional<Facts> Ask(const std::string& mountPoint, std::function<Facts()> question) {
  auto answer = std::make_shared<std::optional<Facts>>();
  if (!AnswersWithin(mountPoint, [answer, question = std::move(question)] { *answer = question(); })) {
    return std::nullopt;
  }
  return std::move(*answer);
}

}  // namespace MountProbe

}  // namespace omrek
