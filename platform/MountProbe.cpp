#include "platform/MountProbe.h"

#include <sys/statvfs.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/MountTable.h"

namespace omrek::MountProbe {

namespace {

// What a worker and its asker share: whoever lets go last frees it.
struct Errand {
  std::mutex lock;
  std::condition_variable returned;
  bool done = false;
};

// The workers left behind, by mount point. Never freed: a worker stuck in
// the kernel may outlive main, and nothing at exit may wait for it or
// touch what it shares.
struct LeftBehind {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<Errand>> errands;
};

LeftBehind& Workers() {
  static auto* const leftBehind = new LeftBehind;
  return *leftBehind;
}

bool Finished(Errand& errand) {
  const std::lock_guard<std::mutex> hold(errand.lock);
  return errand.done;
}

// True while an earlier worker at `mountPoint` has not returned; forgets
// one that has.
bool StillWaiting(const std::string& mountPoint) {
  LeftBehind& workers = Workers();
  const std::lock_guard<std::mutex> hold(workers.lock);
  const auto found = workers.errands.find(mountPoint);
  if (found == workers.errands.end()) return false;
  if (!Finished(*found->second)) return true;
  workers.errands.erase(found);
  return false;
}

void LeaveBehind(const std::string& mountPoint, std::shared_ptr<Errand> errand) {
  LeftBehind& workers = Workers();
  const std::lock_guard<std::mutex> hold(workers.lock);
  workers.errands[mountPoint] = std::move(errand);
}

void Work(const std::shared_ptr<Errand>& errand, const std::function<void()>& question) {
  try {
    question();
  } catch (...) {
    // A question that fails has still answered: the mount responds.
  }
  const std::lock_guard<std::mutex> hold(errand->lock);
  errand->done = true;
  errand->returned.notify_all();
}

}  // namespace

bool AnswersWithin(const std::string& mountPoint, std::function<void()> question) {
  if (StillWaiting(mountPoint)) return false;
  auto errand = std::make_shared<Errand>();
  try {
    std::thread(Work, errand, std::move(question)).detach();
  } catch (const std::system_error&) {
    return false;  // no thread to spare: the mount is not asked
  }
  std::unique_lock<std::mutex> hold(errand->lock);
  if (errand->returned.wait_for(hold, kPatience, [&] { return errand->done; })) return true;
  hold.unlock();
  LeaveBehind(mountPoint, std::move(errand));
  return false;
}

bool IsStuck(const std::string& mountPoint) { return StillWaiting(mountPoint); }

bool MountHoldingAnswers(const std::string& path) {
  std::string holding = "/";
  for (const MountEntry& mount : ReadMountTable()) {
    const std::string& point = mount.MountPoint;
    const bool inside =
        path == point || (path.starts_with(point) && (point.ends_with('/') || path[point.size()] == '/'));
    if (inside && point.size() > holding.size()) holding = point;
  }
  return AnswersWithin(holding, [holding] {
    struct statvfs space {};
    static_cast<void>(::statvfs(holding.c_str(), &space));
  });
}

}  // namespace omrek::MountProbe
