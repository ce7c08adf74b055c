#pragma once

#include <sys/types.h>

#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

// What the tests of the built program share: running it as a real process
// that can be frozen or killed at any point, files whose every byte and
// time a run must leave as they were, and the journal's records.
namespace omrek::test {

// The built program as a child process: no display, nothing to read, its
// output and its errors to files named after `name` in `folder`.
class Program {
 public:
  Program(const std::string& name, const std::vector<std::string>& arguments, const TempDir& folder);
  ~Program() { Kill(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t Pid() const { return pid_; }
  bool Ended();
  // Returns once the program is stopped: whatever call it was in is over,
  // and it makes no other.
  void Freeze();
  void Thaw();
  // Sends `signal`; a frozen program takes it once thawed.
  void Signal(int signal);
  void Kill();
  // Waits for the end; the exit status, or 128 + the signal.
  int Finish();
  std::string Out() const;
  std::string Err() const;

 private:
  bool Reaped(pid_t waited);

  std::string out_;
  std::string err_;
  pid_t pid_ = -1;
  int status_ = 0;
};

// A file as it was before a run.
struct Original {
  std::string path;
  std::string bytes;
  timespec modified;
};

// `count` files in `folder` of random bytes, with lengths that leave slack
// in the last 4 KiB cluster and a modification time of each file's own,
// nanoseconds and all; on the drive for good before the run starts.
std::vector<Original> MakeFiles(const std::string& folder, int count);

// Each file has its length, bytes and modification time back; `context`
// goes with a failure.
void ExpectAsTheyWere(const std::vector<Original>& files, const std::string& context);

// The names of the journal's records of a kind ("lengthened-", "filler-");
// of lengthened files now, and those that came since `before`.
std::set<std::string> Records(const std::string& kind);
std::set<std::string> LengthenedRecords();
std::set<std::string> RecordsSince(const std::set<std::string>& before);

// Records a test left when it failed before the recovery would be repaired
// and said by every later test's run of the program.
struct ClearRecordsOnTheWayOut {
  ~ClearRecordsOnTheWayOut();
  const std::set<std::string> before = Records("");
};

}  // namespace omrek::test
