#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/JobMonitor.h"
#include "platform/EntryName.h"

namespace omrek {

// What a command made of one target, a listed file or a drive.
enum class Outcome {
  LeftAlone,       // a folder, link or device, or a file no longer the one listed
  NotReached,      // the command stopped before it came to the target
  Destroyed,       // overwritten, emptied and deleted
  Kept,            // the destroy failed; the file stays
  SlackWiped,      // the slack overwritten, the file put back as it was
  PutBack,         // the slack wipe failed; the file was put back
  LeftLengthened,  // the slack wipe lost the file to another program before it could cut it back
  DriveWiped,      // the free space filled to the end and the fillers deleted; the detail names what they cannot reach
  DriveStopped,    // Cancel (or a signal) ended the filling early
  DriveFailed,     // an error other than a full disk ended the filling
  NoSpace,         // the drive has gone or had no free space
  DriveBusy,       // another copy of the program was wiping the drive for as long as the command waited
  Refused,         // not a file to write to (a kernel file, say): nothing was written
  // The program was asked to end in the middle of the file's passes; the file stays.
  Stopped,
  // An error ended the file's passes; the file stays.
  FailedMidway,
  // Every pass is off: emptied and deleted, nothing written over it.
  DeletedUnwritten,
  // Named on the command line but nothing the command can act on: missing, a folder, a link.
  Skipped,
  // Overwritten and cut to nothing, but its name could not be removed.
  EmptiedNotDeleted,
  // A folder listed file by file, empty once its files were destroyed: removed.
  FolderRemoved,
  // Such a folder that still holds something, or could not be removed: it stays.
  FolderKept,
  // A file of a walked folder with names outside it: its name inside
  // removed, its content left to them.
  NameRemoved,
};

enum class Verification { Off, NotDone, Verified, Mismatch };

// One target's outcome, the value every front end and the report read.
struct TargetOutcome {
  Outcome outcome = Outcome::LeftAlone;
  // The path's bytes as listed, or a drive's root folder.
  std::string target;
  // A drive's letter; 0 for a listed file.
  char drive = 0;
  std::uint64_t bytes = 0;  // what each pass wrote
  // Passes that reached the medium whole.
  std::int64_t passesDone = 0;
  std::int64_t passesPlanned = 0;
  Verification verification = Verification::Off;
  // Why, where the outcome alone does not say: the error's text, or why a
  // file was left alone; for a destroyed file, what became of its name when
  // it could not be wiped as always.
  std::string detail;

  static TargetOutcome Before(std::string target, bool verify) {
    TargetOutcome before;
    before.target = std::move(target);
    before.verification = verify ? Verification::NotDone : Verification::Off;
    return before;
  }

  // Runs `check`, which raises when the device does not give back what the
  // last pass wrote, and notes what came of it.
  template <typename Check>
  void Verify(Check&& check) {
    verification = Verification::Mismatch;
    check();
    verification = Verification::Verified;
  }
};

// Told of each target as a command finishes with it.
using OutcomeSink = std::function<void(const TargetOutcome&)>;

// The texts each outcome is shown with. This table is the one place they
// are written down; "%drive%" stands for "DRIVE D", "%megs%" for "52 megs"
// (the bytes written), "%why%" for the outcome's detail, "%note%" for the
// detail in brackets after a space when there is one, "%passes%" for "2 of
// 5" (the passes done of those planned).
struct OutcomeTexts {
  // The three status lines when the target ends (a drive's also while it
  // fills); none: the lines are left as they are.
  std::array<const char*, 3> status;
  const char* row;     // the list row's state, nullptr: the row goes (or stays as it is)
  const char* report;  // the report's word
  const char* line;    // the command line's word
  bool done;           // counts as done for the command line's exit status
};
const OutcomeTexts& TextsOf(Outcome outcome);

// Shows the status lines of the outcome, where it has any.
void ShowOutcome(JobMonitor& monitor, const TargetOutcome& done);
// The table's texts for this outcome, with the marks filled in.
std::string ReportText(const TargetOutcome& done);
std::string CommandLineText(const TargetOutcome& done);
std::string VerificationText(Verification verification);
// Megabytes begun: "1 meg" for 516 KiB, "52 megs".
std::string MegText(std::uint64_t bytes);
// What a line says of a name's wiping; "" when it went as always.
std::string NameWipingNote(NameWiping wiping);
// "12.4 GiB", "310 MiB", "12 KiB"; "unknown" for -1.
std::string SizeText(std::int64_t bytes);

}  // namespace omrek
