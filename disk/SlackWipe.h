#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/JobMonitor.h"
#include "engine/PassWriter.h"
#include "engine/RowWalk.h"
#include "engine/ShredEngine.h"
#include "engine/WipeProfile.h"
#include "intake/TargetFile.h"
#include "intake/TargetRows.h"

namespace omrek {

class FileHandle;
class FileRestorer;

// Wipes the slack of listed files: the bytes between a file's end and the
// end of its last cluster, which the file system keeps but no file call can
// address. Each pass lengthens the file by writing past its end up to the
// cluster's end; the file is then cut back and its last-write time put back.
//
// The file is opened only while no other program has it open (a write
// lease), so a database or log being written is never cut back under its
// writer; a program that opens it meanwhile makes the wipe give way at
// once. Whatever fails once the file is open, it leaves with its old
// length and time, and closed; only a file whose lease ran out before it
// could be cut back is left lengthened, since its new owner may have
// written past the old end.
class SlackWipe {
 public:
  // With `verify`, the slack is read back, past the page cache, after the
  // last pass; slack the device does not give back as written fails the
  // file ("FAILED"), which is put back all the same.
  SlackWipe(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile, bool verify = false);

  // The slack command over every row: "-slack" when wiped, "skipped" when
  // not, "lengthened" when left so. Stops between rows when CancelFlag is
  // set; ends on "READY".
  void WipeListedFiles(TargetRows& rows);

  // Each file the command then goes through is told to `sink`.
  void TellOutcomes(OutcomeSink sink) { sink_ = std::move(sink); }

  // SlackWiped ("SLACK" "WIPED"); LeftAlone for a folder, link, or a file
  // no longer where it was listed (no status); PutBack on failure
  // ("FAILED"); LeftLengthened ("FAILED" and why).
  TargetOutcome WipeFileSlack(const ListedFile& target);

 private:
  static constexpr std::size_t kInversionSize = 32768;

  void WipeOpenFile(FileHandle& file, FileRestorer& restorer);

  ShredEngine& engine_;
  JobMonitor& monitor_;
  const WipeProfile& profile_;
  // What the inversion pass complements and writes: nothing is read past a
  // file's end, so it carries over from pass to pass.
  std::array<std::uint8_t, kInversionSize> inversion_{};
  bool verify_;
  PassWriter writer_;
  OutcomeSink sink_ = [](const TargetOutcome&) {};
  // What came of the file WipeFileSlack works on.
  TargetOutcome done_;
};

}  // namespace omrek
