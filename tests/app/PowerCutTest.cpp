#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "platform/JournalFolder.h"
#include "tests/app/ProgramRun.h"
#include "tests/support/PowerCutImage.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

using test::ClearRecordsOnTheWayOut;
using test::Original;
using test::PowerCutImage;
using test::Program;
using test::ReadWholeFile;
using test::RecordsSince;
using test::WriteFile;
namespace fs = std::filesystem;

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
    const std::string seen =
        std::to_string(records.size()) + " 'lengthened-' records of the run in " + JournalFolderPath();
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
  const std::vector<Original> files = test::MakeFiles(image.MountPoint(), 150);
  test::TempDir folder;
  // Many passes: each file stays lengthened through several flushed ones.
  const std::string settings =
      WriteFile(folder.File("omrek.ini"), "[FileMode]\nDOD=1\nInversion=1\nRandomize=1\nNumRandomize=100\n");
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
  test::ExpectAsTheyWere(files, recovery.Err());
  EXPECT_NE(RepairLines(recovery.Err()), "") << "the cut left a lengthened file to put back";
  EXPECT_TRUE(RecordsSince(records.before).empty()) << "a file put back keeps no record";

  Program again("second recovery", {"--recover"}, folder);
  EXPECT_EQ(again.Finish(), 0) << again.Err();
  EXPECT_EQ(RepairLines(again.Err()), "") << "nothing is left to repair";
}

}  // namespace
}  // namespace omrek
