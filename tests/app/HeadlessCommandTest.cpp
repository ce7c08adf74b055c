#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "app/OmrekProgram.h"
#include "disk/FillerFiles.h"
#include "disk/SpaceWipeForecast.h"
#include "intake/ReadablePath.h"
#include "platform/DriveTable.h"
#include "platform/ReservedClusters.h"
#include "platform/Volume.h"
#include "tests/app/CommandSupport.h"
#include "tests/app/ProgramRun.h"
#include "tests/support/Child.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Extents.h"
#include "tests/support/FileDialogAnswer.h"
#include "tests/support/LoopImage.h"
#include "tests/support/MixedTree.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

using test::Child;
using test::Click;
using test::Extent;
using test::LoopImage;
using test::ReadWholeFile;
using test::WriteFile;
namespace fs = std::filesystem;

// Passes without a random one, so that two runs write the same bytes: the
// last pass leaves 0x5A everywhere it reached.
const std::string kSettings =
    "[FileMode]\nDOD=1\nInversion=1\nRandomize=0\nNullify1=1\nNullify2=1\nNullifyCustom=1\nNullValue=5A\n"
    "[DiskMode]\nDOD=0\nInversion=1\nRandomize=0\nNullify1=1\nNullify2=0\nNullifyCustom=1\nNullValue=5A\n"
    "WipeSlack=0\n";

struct Ran {
  int status;
  std::string out;
};

// The built program (or a copy of it), with no display, its output kept.
Ran RunProgram(const std::string& arguments, const std::string& input = "/dev/null",
               const std::string& program = OMREK_PROGRAM) {
  test::TempDir folder;
  const std::string out = folder.File("out");
  const int raw = std::system(
      ("env -u DISPLAY -u WAYLAND_DISPLAY " + program + " " + arguments + " <" + input + " >" + out + " 2>&1").c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadWholeFile(out)};
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The window ends a command that did something by offering its report.
QMessageBox* ReportOffer(const QWidget& window) {
  for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
    if (box->isVisible() && box->text() == "Save a report of what was done?") return box;
  }
  return nullptr;
}

bool OffersAReport(const QWidget& window) { return ReportOffer(window) != nullptr; }

// Saves the report the window offers to `path`, as the user does.
void SaveOfferedReport(const QWidget& window, const std::string& path) {
  QMessageBox* offer = ReportOffer(window);
  ASSERT_NE(offer, nullptr);
  test::FileDialogAnswer save(
      [&](QFileDialog& dialog) { test::TypeNameAndAccept(dialog, QString::fromStdString(path)); });
  offer->button(QMessageBox::Save)->click();
}

// What reached the device where the file's data lay.
std::string BytesAt(const std::string& image, const std::vector<Extent>& extents) {
  std::string bytes;
  for (const Extent& extent : extents) bytes += test::ReadRange(image, extent.physical, extent.length);
  return bytes;
}

class HeadlessCommand : public ::testing::Test {
 protected:
  HeadlessCommand() {
    WriteFile(settings_, kSettings);
    program_.Config().SetProgramPath(folder_.File("omrek"));
    program_.Start();
  }

  test::TempDir folder_;
  const std::string settings_ = folder_.File("omrek.ini");
  OmrekProgram program_;
  TfrmMain& main_ = program_.Main();
};

TEST_F(HeadlessCommand, DestroyWritesWhatTheWindowWrites) {
  LoopImage image(16, 4096, "headless");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string content(10000, 's');
  const std::string byWindow = WriteFile(image.File("by window"), content);
  const std::string byCommand = WriteFile(image.File("by command"), content);
  ::sync();
  const auto windowExtents = test::PhysicalExtents(byWindow);
  const auto commandExtents = test::PhysicalExtents(byCommand);

  main_.AddTarget(byWindow);
  test::ClickDestroy(main_);
  const std::string report = image.File("report.txt");
  const Ran ran = RunProgram("--destroy --verify --report " + Quoted(report) + " --settings " + settings_ + " " +
                             Quoted(byCommand));

  EXPECT_EQ(ran.status, 0) << ran.out;
  EXPECT_EQ(ran.out, byCommand + ": File DONE\n");
  EXPECT_NE(
      test::ReadWholeFile(report).find(byCommand + "\n  File DONE; 12288 bytes; 11 passes; verification verified"),
      std::string::npos)
      << test::ReadWholeFile(report);
  EXPECT_EQ(fs::status(report).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(fs::exists(byWindow));
  EXPECT_FALSE(fs::exists(byCommand));
  image.Unmount();
  const std::string windowBytes = BytesAt(image.ImagePath(), windowExtents);
  EXPECT_TRUE(windowBytes == std::string(12288, '\x5A')) << "the last pass reaches the end of the last cluster";
  EXPECT_TRUE(BytesAt(image.ImagePath(), commandExtents) == windowBytes) << "the same bytes";
}

TEST_F(HeadlessCommand, WipeSlackWritesWhatTheWindowWrites) {
  LoopImage image(16, 4096, "headless");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string content(5000, 'k');
  const std::string byWindow = WriteFile(image.File("by window"), content);
  const std::string byCommand = WriteFile(image.File("by command"), content);
  ::sync();

  main_.AddTarget(byWindow);
  Click(main_, "btnWipeSlack");
  EXPECT_TRUE(OffersAReport(main_));
  const std::string report = folder_.File("report.txt");
  const Ran ran =
      RunProgram("--wipe-slack --report " + Quoted(report) + " --settings " + settings_ + " " + Quoted(byCommand));

  EXPECT_EQ(ran.status, 0) << ran.out;
  EXPECT_EQ(ran.out, byCommand + ": SLACK WIPED\n");
  EXPECT_NE(ReadWholeFile(report).find(byCommand + "\n  SLACK WIPED; 3192 bytes; "), std::string::npos)
      << ReadWholeFile(report);
  EXPECT_EQ(ReadWholeFile(byWindow), content);
  EXPECT_EQ(ReadWholeFile(byCommand), content);
  const auto windowExtents = test::PhysicalExtents(byWindow);
  const auto commandExtents = test::PhysicalExtents(byCommand);
  image.Unmount();
  const std::string windowBytes = BytesAt(image.ImagePath(), windowExtents);
  EXPECT_TRUE(windowBytes.starts_with(content));
  EXPECT_TRUE(BytesAt(image.ImagePath(), commandExtents) == windowBytes) << "the same bytes, slack included";
}

// The offer after a command: Close is its default, so Enter out of habit
// saves nothing, and Esc closes it; "Don't offer again" is stored and
// holds. The command line's --report is another matter and still writes.
TEST_F(HeadlessCommand, TheReportOfferClosesByDefaultAndCanBeTurnedOff) {
  const auto destroyOne = [&](const char* name) {
    main_.AddTarget(WriteFile(folder_.File(name), "data"));
    test::ClickDestroy(main_);
    return ReportOffer(main_);
  };
  QMessageBox* offer = destroyOne("first");
  ASSERT_NE(offer, nullptr);
  EXPECT_EQ(static_cast<QAbstractButton*>(offer->defaultButton()), offer->button(QMessageBox::Close));
  QTest::keyClick(offer, Qt::Key_Return);
  EXPECT_FALSE(OffersAReport(main_)) << "Enter closes the offer, and no save dialog is asked for";
  offer = destroyOne("second");
  ASSERT_NE(offer, nullptr);
  QTest::keyClick(offer, Qt::Key_Escape);
  EXPECT_FALSE(OffersAReport(main_)) << "Esc closes the offer";
  EXPECT_EQ(ReadWholeFile(settings_).find("OfferReport"), std::string::npos) << "nothing stored yet";

  offer = destroyOne("third");
  ASSERT_NE(offer, nullptr);
  ASSERT_NE(offer->checkBox(), nullptr);
  EXPECT_EQ(offer->checkBox()->text(), "Don't offer again");
  offer->checkBox()->setChecked(true);
  offer->button(QMessageBox::Close)->click();
  EXPECT_NE(ReadWholeFile(settings_).find("[Options]\nOfferReport=0\n"), std::string::npos) << ReadWholeFile(settings_);
  EXPECT_FALSE(destroyOne("fourth")) << "not offered again";
  EXPECT_FALSE(fs::exists(folder_.File("fourth"))) << "the command itself ran";

  OmrekProgram next;
  next.Config().SetProgramPath(folder_.File("omrek"));
  next.Start();
  next.Main().AddTarget(WriteFile(folder_.File("fifth"), "data"));
  test::ClickDestroy(next.Main());
  EXPECT_FALSE(OffersAReport(next.Main())) << "the next start remembers";

  const std::string report = folder_.File("report.txt");
  const Ran ran = RunProgram("--destroy --report " + Quoted(report) + " --settings " + settings_ + " " +
                             Quoted(WriteFile(folder_.File("sixth"), "data")));
  EXPECT_EQ(ran.status, 0) << ran.out;
  EXPECT_TRUE(fs::exists(report)) << "--report writes whatever the window offers";

  // A choice that cannot be stored (a file stands where the settings'
  // folder would be) is said to be so, and holds for the run.
  WriteFile(folder_.File("blocked"), "a file, not a folder");
  OmrekProgram blocked;
  blocked.Config().SetProgramPath(folder_.File("blocked/omrek"));
  blocked.Start();
  const auto destroyThere = [&](const char* name) {
    blocked.Main().AddTarget(WriteFile(folder_.File(name), "data"));
    test::ClickDestroy(blocked.Main());
    return ReportOffer(blocked.Main());
  };
  offer = destroyThere("seventh");
  ASSERT_NE(offer, nullptr);
  offer->checkBox()->setChecked(true);
  {
    test::ModalBoxCatcher boxes;
    offer->button(QMessageBox::Close)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Boxes().empty(); }, 10000));
    EXPECT_EQ(boxes.Boxes().front().icon, QMessageBox::Critical);
    EXPECT_TRUE(boxes.Boxes().front().text.contains("could not be stored")) << boxes.Boxes().front().text.toStdString();
  }
  EXPECT_FALSE(destroyThere("eighth")) << "not offered again in this run";
}

// A deleted file's blocks after a free-space wipe of its drive, by the
// window or by the command line.
std::string FreedBlocksAfterWipe(const std::function<void(const std::string& root)>& wipe) {
  LoopImage image(32, 4096, "headless");
  if (!image.Mounted()) return image.Reason();
  const std::string root = image.MountPoint();
  // As the free-space tests do: no pool or preallocation keeps blocks from
  // the filler files.
  const std::string device = fs::path(image.Device()).filename().string();
  test::RunQuietly("echo 0 > /sys/fs/ext4/" + device + "/reserved_clusters");
  test::RunQuietly("echo 1 > /sys/fs/ext4/" + device + "/mb_group_prealloc");
  const std::string secret = WriteFile(root + "/secret", std::string(2 << 20, 'S'));
  ::sync();
  const auto extents = test::PhysicalExtents(secret);
  fs::remove(secret);
  ::sync();
  wipe(root);
  image.Unmount();
  return BytesAt(image.ImagePath(), extents);
}

TEST_F(HeadlessCommand, WipeSpaceWritesWhatTheWindowWrites) {
  test::ModalBoxCatcher boxes;
  const std::string byWindow = FreedBlocksAfterWipe([&](const std::string& root) {
    test::SelectOnly(*program_.Config().lstDisk, root);
    Click(main_, "btnWipeSpace");
    EXPECT_EQ(Child<QLabel>(main_, "lblStatus3").text(), "WIPED");
    EXPECT_TRUE(OffersAReport(main_));
  });
  if (byWindow.size() != (2u << 20)) GTEST_SKIP() << byWindow;
  const std::string report = folder_.File("report.txt");
  const std::string byCommand = FreedBlocksAfterWipe([&](const std::string& root) {
    const Ran ran = RunProgram("--wipe-space --yes --report " + Quoted(report) + " --settings " + settings_ + " " +
                               Quoted(root + "/"));
    EXPECT_EQ(ran.status, 0) << ran.out;
    EXPECT_TRUE(ran.out.ends_with(" WIPED\n")) << ran.out;
    EXPECT_NE(ReadWholeFile(report).find(": (" + root + ")\n  WIPED; "), std::string::npos) << ReadWholeFile(report);
    for (const auto& entry : fs::directory_iterator(root)) {
      EXPECT_FALSE(entry.path().filename().string().starts_with("Omrek-Delete")) << entry.path();
    }
  });
  EXPECT_TRUE(byWindow == std::string(2 << 20, '\x5A')) << "the last pass over every freed block";
  EXPECT_TRUE(byCommand == byWindow) << "the same bytes";
}

bool FillerOrLogIn(const std::string& root) {
  for (const auto& entry : fs::directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("Omrek-Delete") || name.starts_with("Omrek Slack")) return true;
  }
  return false;
}

TEST(HeadlessWipeSpace, AScriptMustSayYesAPersonIsAsked) {
  LoopImage image(16, 4096, "asked");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("omrek.ini"), kSettings);
  const std::string command = "--wipe-space --settings " + settings + " " + Quoted(root);
  const std::int64_t free = QueryDiskSpace(root).FreeBytes;

  const std::string unwritten = folder.File("report");
  const Ran refused = RunProgram(command + " /no/such/omrek-path --report " + unwritten);
  EXPECT_EQ(refused.status, 2);
  EXPECT_FALSE(fs::exists(unwritten)) << "a run refused leaves no report behind";
  EXPECT_NE(refused.out.find("\n/no/such/omrek-path: skipped (File not found)\n"), std::string::npos) << refused.out;
  EXPECT_NE(refused.out.find("  " + root + " ("), std::string::npos) << refused.out;
  EXPECT_NE(refused.out.find("omrek: nothing written: from a script, --wipe-space needs --yes\n"), std::string::npos)
      << refused.out;
  EXPECT_EQ(QueryDiskSpace(root).FreeBytes, free);
  EXPECT_FALSE(FillerOrLogIn(root));

  // The question tells what the window's tells: the slack sweep when it is
  // on, and the drive that holds the settings.
  std::string sweeping = kSettings;
  sweeping.replace(sweeping.find("WipeSlack=0"), 11, "WipeSlack=1");
  const std::string settingsOnDrive = WriteFile(image.File("omrek.ini"), sweeping);
  const Ran told = RunProgram("--wipe-space --settings " + settingsOnDrive + " " + Quoted(root));
  fs::remove(settingsOnDrive);
  EXPECT_EQ(told.status, 2);
  EXPECT_NE(told.out.find(SpaceWipeHeading(true) + "\n  " + root + " ("), std::string::npos) << told.out;
  EXPECT_NE(told.out.find(std::string("\n      ") + kSettingsDriveWarning + "\n"), std::string::npos) << told.out;
  EXPECT_EQ(refused.out.find("lengthens"), std::string::npos) << "no sweep when it is off";

  // On a terminal the question waits for an answer; "n" leaves the drive.
  const std::string onTerminal = "script -qec " + Quoted("env -u DISPLAY " OMREK_PROGRAM " " + command) + " /dev/null";
  const std::string declined = test::OutputOf("echo n | " + onTerminal);
  EXPECT_NE(declined.find("Wipe? [y/N] "), std::string::npos) << declined;
  EXPECT_NE(declined.find("omrek: nothing wiped"), std::string::npos) << declined;
  EXPECT_FALSE(FillerOrLogIn(root));

  const std::string accepted = test::OutputOf("echo y | " + onTerminal);
  EXPECT_NE(accepted.find(" WIPED"), std::string::npos) << accepted;

  const Ran ran = RunProgram("--yes " + command);
  EXPECT_EQ(ran.status, 0) << ran.out;
  EXPECT_TRUE(ran.out.ends_with(" WIPED\n")) << ran.out;
}

// A wipe that SIGINT cut short says so, never "WIPED", and the exit status
// says it too; its fillers are gone.
TEST(HeadlessWipeSpace, AStoppedWipeIsNotCalledWiped) {
  LoopImage image(64, 4096, "stopped");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  LoopImage next(16, 4096, "unreached");
  OMREK_REQUIRE_MOUNTED(next);
  test::TempDir folder;
  // Twenty random passes a megabyte: the filling takes far longer than it
  // takes to see its first filler.
  const std::string settings =
      WriteFile(folder.File("omrek.ini"), "[DiskMode]\nDOD=0\nRandomize=1\nNumRandomize=20\nWipeSlack=0\n");
  const std::string out = folder.File("out");
  const std::string report = folder.File("report.txt");
  const std::string status = test::OutputOf(
      "env -u DISPLAY " OMREK_PROGRAM " --wipe-space --yes --report " + report + " --settings " + settings + " " +
      Quoted(root) + " " + Quoted(next.MountPoint()) + " >" + out + " 2>&1 & pid=$!; for i in $(seq 3000); do ls " +
      Quoted(root) + " | grep -q '^Omrek-Delete' && break; sleep 0.01; done; kill -INT $pid; wait $pid; echo $?");
  const std::string said = ReadWholeFile(out);
  EXPECT_EQ(status, "130") << said;
  EXPECT_EQ(said.find("WIPED"), std::string::npos) << said;
  EXPECT_NE(said.find(root + " ("), std::string::npos) << said;
  EXPECT_NE(said.find(":): stopped (DRIVE "), std::string::npos) << said;
  EXPECT_TRUE(said.ends_with("omrek: stopped before the end\n")) << said;
  const std::string reported = ReadWholeFile(report);
  EXPECT_EQ(reported.find("WIPED"), std::string::npos) << reported;
  EXPECT_NE(reported.find("\n  stopped before the drive was full; "), std::string::npos) << reported;
  EXPECT_NE(said.find(next.MountPoint() + " ("), std::string::npos) << "the drive it did not come to: " << said;
  EXPECT_NE(reported.find(next.MountPoint() + ")\n  not done"), std::string::npos) << reported;
  EXPECT_FALSE(FillerOrLogIn(root));
}

// The first byte of `path`, and its last.
std::pair<char, char> EndBytes(const std::string& path) {
  const std::uintmax_t size = fs::file_size(path);
  return {test::ReadRange(path, 0, 1)[0], test::ReadRange(path, size - 1, 1)[0]};
}

// SIGTERM in the middle of a file's third pass: the file stays, at its own
// length although the passes reach its cluster's end, and the line and the
// report give the passes it got.
TEST(HeadlessDestroy, ASignalMidFileKeepsItAndTellsThePassesDone) {
  LoopImage image(128, 4096, "midfile");
  OMREK_REQUIRE_MOUNTED(image);
  test::TempDir folder;
  // Four passes the file's ends tell apart: 0x11 inverted, 00, FF, 5A.
  const std::string settings = WriteFile(folder.File("omrek.ini"),
                                         "[FileMode]\nDOD=0\nInversion=1\nRandomize=0\nNullify1=1\nNullify2=1\n"
                                         "NullifyCustom=1\nNullValue=5A\n");
  const std::size_t length = (100 << 20) + 1000;
  const std::string file = WriteFile(image.File("large"), std::string(length, '\x11'));
  const std::string report = folder.File("report.txt");
  test::Program run("destroy", {"--destroy", "--report", report, "--settings", settings, file}, folder);
  // Held once the third pass has begun and before it reaches the end.
  ASSERT_TRUE(QTest::qWaitFor([&] { return run.Ended() || EndBytes(file).first == '\xFF'; }, 120000));
  run.Freeze();
  ASSERT_FALSE(run.Ended()) << run.Out();
  if (EndBytes(file) != std::pair<char, char>('\xFF', '\x00')) GTEST_SKIP() << "the third pass ran past the test";
  run.Signal(SIGTERM);
  run.Thaw();

  EXPECT_EQ(run.Finish(), 128 + SIGTERM) << run.Out() << run.Err();
  EXPECT_EQ(run.Out(), file + ": stopped after 2 of 4 passes, kept\nomrek: stopped before the end\n");
  const std::string reported = ReadWholeFile(report);
  EXPECT_NE(reported.find(file + "\n  stopped after 2 of 4 passes, kept; " + std::to_string((100 << 20) + 4096) +
                          " bytes; 2 passes; "),
            std::string::npos)
      << reported;
  EXPECT_EQ(fs::file_size(file), length) << "back at its own length";
  EXPECT_EQ(EndBytes(file).second, '\x00') << "the second pass's byte";
}

// A file with other names loses only the listed one; the others, emptied
// by the passes they share, are counted on its line and in the report. With
// every pass off, nothing claims the files were overwritten.
TEST(HeadlessDestroy, OtherNamesAndPassesOffAreSaid) {
  LoopImage image(16, 4096, "names");
  OMREK_REQUIRE_MOUNTED(image);
  test::TempDir folder;
  const std::string passesOn = WriteFile(folder.File("on.ini"), kSettings);
  const std::string linked = WriteFile(image.File("linked"), "shared data");
  for (const char* other : {"second name", "third name"}) {
    ASSERT_EQ(::link(linked.c_str(), image.File(other).c_str()), 0);
  }
  const std::string onReport = folder.File("on.txt");
  const Ran on = RunProgram("--destroy --report " + onReport + " --settings " + passesOn + " " + Quoted(linked));
  const std::string others = "2 other names still point at it, now empty";
  EXPECT_EQ(on.status, 0) << on.out;
  EXPECT_EQ(on.out, linked + ": File DONE (" + others + ")\n");
  EXPECT_NE(ReadWholeFile(onReport).find(linked + "\n  File DONE (" + others + "); 4096 bytes; 11 passes; "),
            std::string::npos)
      << ReadWholeFile(onReport);
  EXPECT_FALSE(fs::exists(linked));
  for (const char* other : {"second name", "third name"}) {
    EXPECT_EQ(fs::file_size(image.File(other)), 0u) << other;
    EXPECT_EQ(fs::hard_link_count(image.File(other)), 2u) << other;
  }

  const std::string passesOff = WriteFile(
      folder.File("off.ini"), "[FileMode]\nDOD=0\nInversion=0\nRandomize=0\nNullify1=0\nNullify2=0\nNullifyCustom=0\n");
  const std::string plain = WriteFile(image.File("plain"), "data");
  const std::string twice = WriteFile(image.File("twice"), "data");
  ASSERT_EQ(::link(twice.c_str(), image.File("twice again").c_str()), 0);
  const std::string offReport = folder.File("off.txt");
  const Ran off = RunProgram("--destroy --report " + offReport + " --settings " + passesOff + " " + Quoted(plain) +
                             " " + Quoted(twice));
  const std::string other = "1 other name still points at it, now empty";
  EXPECT_EQ(off.status, 0) << off.out;
  EXPECT_EQ(off.out,
            plain + ": deleted without overwriting\n" + twice + ": deleted without overwriting (" + other + ")\n");
  const std::string reported = ReadWholeFile(offReport);
  EXPECT_NE(reported.find("Passes: no pass\n"), std::string::npos) << reported;
  EXPECT_NE(reported.find(plain + "\n  deleted without overwriting; verification off\n"), std::string::npos)
      << reported;
  EXPECT_NE(reported.find(twice + "\n  deleted without overwriting (" + other + "); verification off\n"),
            std::string::npos)
      << reported;
  EXPECT_FALSE(fs::exists(plain));
  EXPECT_FALSE(fs::exists(twice));
  EXPECT_EQ(fs::file_size(image.File("twice again")), 0u);
}

// A file the commands cannot write says why on its line and in the report,
// in words the user can act on, and keeps its content.
TEST(HeadlessDestroy, AFileThatCannotBeWrittenSaysWhy) {
  LoopImage image(16, 4096, "refusals");
  OMREK_REQUIRE_MOUNTED(image);
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("s.ini"), kSettings);
  const std::string immutable = WriteFile(image.File("immutable"), "kept whole");
  const std::string appendOnly = WriteFile(image.File("append only"), "kept whole");
  const std::string busy = WriteFile(image.File("busy"), "kept whole");
  ASSERT_TRUE(test::RunQuietly("chattr +i " + Quoted(immutable)));
  ASSERT_TRUE(test::RunQuietly("chattr +a " + Quoted(appendOnly)));
  // Another program writing to it: its open refuses the slack wipe's lease.
  const int writer = ::open(busy.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  const std::string destroyReport = folder.File("destroy.txt");
  const Ran destroyed = RunProgram("--destroy --report " + destroyReport + " --settings " + settings + " " +
                                   Quoted(immutable) + " " + Quoted(appendOnly));
  const std::string slackReport = folder.File("slack.txt");
  const Ran wiped = RunProgram("--wipe-slack --report " + slackReport + " --settings " + settings + " " +
                               Quoted(immutable) + " " + Quoted(appendOnly) + " " + Quoted(busy));
  ::close(writer);
  test::RunQuietly("chattr -i " + Quoted(immutable));
  test::RunQuietly("chattr -a " + Quoted(appendOnly));

  EXPECT_EQ(destroyed.status, 1);
  EXPECT_EQ(destroyed.out, immutable + ": skipped (ERROR: the file is immutable)\n" + appendOnly +
                               ": skipped (ERROR: the file is only appendable)\n");
  EXPECT_NE(ReadWholeFile(destroyReport).find(immutable + "\n  ERROR, kept (the file is immutable); "),
            std::string::npos)
      << ReadWholeFile(destroyReport);
  EXPECT_EQ(wiped.status, 1);
  EXPECT_EQ(wiped.out, immutable + ": skipped (FAILED: the file is immutable)\n" + appendOnly +
                           ": skipped (FAILED: the file is only appendable)\n" + busy +
                           ": skipped (FAILED: the file is in use by another writer)\n");
  EXPECT_NE(ReadWholeFile(slackReport).find(busy + "\n  FAILED, put back (the file is in use by another writer); "),
            std::string::npos)
      << ReadWholeFile(slackReport);
  for (const std::string& file : {immutable, appendOnly, busy}) EXPECT_EQ(ReadWholeFile(file), "kept whole") << file;

  ASSERT_TRUE(test::RunQuietly("mount -o remount,ro " + Quoted(image.MountPoint())));
  const Ran readOnly = RunProgram("--destroy --settings " + settings + " " + Quoted(busy));
  EXPECT_EQ(readOnly.status, 1);
  EXPECT_EQ(readOnly.out, busy + ": skipped (ERROR: the file system is read-only)\n");
  EXPECT_EQ(ReadWholeFile(busy), "kept whole");
}

// Blocks shared with a reflink copy (XFS) or a snapshot (btrfs) keep the
// destroyed file's content there, and its line and report say so; the copy
// and the snapshot's file stay as they were, and a file sharing nothing gets
// no such word.
TEST(HeadlessDestroy, ContentHeldElsewhereIsSaid) {
  LoopImage xfs(LoopImage::Kind{"xfs"}, 300, "reflinks");
  OMREK_REQUIRE_MOUNTED(xfs);
  LoopImage btrfs(LoopImage::Kind{"btrfs"}, 300, "snapshots");
  OMREK_REQUIRE_MOUNTED(btrfs);
  // Larger than btrfs keeps inline in its tree, so the data has extents.
  std::string content;
  for (int i = 0; i < 65536; ++i) content += static_cast<char>(i * 7 % 251);
  const std::string original = WriteFile(xfs.File("original"), content);
  ASSERT_EQ(::link(original.c_str(), xfs.File("original again").c_str()), 0);
  ASSERT_TRUE(test::RunQuietly("cp --reflink=always " + Quoted(original) + " " + Quoted(xfs.File("copy"))));
  const std::string plain = WriteFile(xfs.File("plain"), content);
  // More extents of its own than one query returns, then one it shares.
  const std::string scattered = xfs.File("scattered");
  std::string scatter = "xfs_io -f";
  for (int i = 0; i < 40; ++i) scatter += " -c 'pwrite -q " + std::to_string(i * 8) + "k 4k'";
  ASSERT_TRUE(
      test::RunQuietly(scatter + " -c 'reflink " + Quoted(xfs.File("copy")) + " 0 320k 64k' " + Quoted(scattered)));
  ASSERT_TRUE(test::RunQuietly("btrfs subvolume create " + Quoted(btrfs.File("volume"))));
  const std::string inVolume = WriteFile(btrfs.File("volume/file"), content);
  ASSERT_TRUE(test::RunQuietly("btrfs subvolume snapshot " + Quoted(btrfs.File("volume")) + " " +
                               Quoted(btrfs.File("snapshot"))));

  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("settings.ini"), kSettings);
  const std::string report = folder.File("report.txt");
  const Ran ran = RunProgram("--destroy --report " + report + " --settings " + settings + " " + Quoted(original) + " " +
                             Quoted(plain) + " " + Quoted(scattered) + " " + Quoted(inVolume));
  const std::string held = "its content is still held by another file or a snapshot";
  EXPECT_EQ(ran.status, 0) << ran.out;
  EXPECT_NE(ran.out.find(original + ": File DONE (1 other name still points at it, now empty; " + held + ")\n"),
            std::string::npos)
      << ran.out;
  EXPECT_NE(ran.out.find(plain + ": File DONE\n"), std::string::npos) << ran.out;
  EXPECT_NE(ran.out.find(scattered + ": File DONE (" + held + ")\n"), std::string::npos) << ran.out;
  EXPECT_NE(ran.out.find(inVolume + ": File DONE (" + held + ")\n"), std::string::npos) << ran.out;
  EXPECT_NE(ReadWholeFile(report).find(inVolume + "\n  File DONE (" + held + "); "), std::string::npos)
      << ReadWholeFile(report);
  EXPECT_FALSE(fs::exists(original));
  EXPECT_FALSE(fs::exists(inVolume));
  EXPECT_EQ(ReadWholeFile(xfs.File("copy")), content);
  EXPECT_EQ(ReadWholeFile(btrfs.File("snapshot/file")), content);
}

std::map<std::string, std::uintmax_t> FillerSizes(const std::string& root) {
  std::map<std::string, std::uintmax_t> sizes;
  for (const auto& entry : fs::directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("Omrek-Delete")) sizes[name] = entry.file_size();
  }
  return sizes;
}

// The megabytes a run's "DRIVE D 52 megs WIPED" says it wrote; -1 without.
std::int64_t MegsWiped(const std::string& said) {
  std::smatch found;
  if (!std::regex_search(said, found, std::regex(" ([0-9]+) megs? WIPED\n"))) return -1;
  return std::stoll(found[1]);
}

// Two runs on one drive take turns. While the first fills, a second takes
// none of its fillers for a killed run's and leaves its reserve lowered: it
// refuses the drive, or, told to wait, says so, waits and wipes it after.
// Neither writes more than the drive had free, its reserve included; once
// both end no filler is left and the reserve is back at its size.
TEST(HeadlessWipeSpace, TwoRunsOnOneDriveTakeTurns) {
  LoopImage image(64, 4096, "turns");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  const std::string drive(1, DriveTable::Read().LetterOf(root));
  const std::string reserve = image.SysfsFolder() + "/reserved_clusters";
  const std::string pool = ReadWholeFile(reserve);
  const std::int64_t freeMegs = (QueryDiskSpace(root).FreeBytes + std::stoll(pool) * 4096 + (1 << 20) - 1) >> 20;
  test::TempDir folder;
  const std::string settings =
      WriteFile(folder.File("omrek.ini"), "[DiskMode]\nDOD=0\nRandomize=1\nNumRandomize=20\nWipeSlack=0\n");
  const std::vector<std::string> command{"--wipe-space", "--yes", "--settings", settings, root};

  test::Program first("first", command, folder);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !FillerSizes(root).empty(); }, 60000));
  // Held mid-filling, with its lock and the reserve it lowered.
  first.Freeze();
  const auto fillers = FillerSizes(root);
  const Ran refused = RunProgram("--wipe-space --yes --settings " + settings + " " + Quoted(root));
  EXPECT_EQ(refused.status, 1) << refused.out;
  EXPECT_NE(refused.out.find(root + " (" + drive + ":): refused: another Omrek is wiping it\n"), std::string::npos)
      << refused.out;
  EXPECT_EQ(FillerSizes(root), fillers);
  EXPECT_EQ(ReadWholeFile(reserve), "0\n");

  std::vector<std::string> patient{"--wait", "600"};
  patient.insert(patient.end(), command.begin(), command.end());
  test::Program waiting("waiting", patient, folder);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return waiting.Err().find("omrek: waiting for another Omrek on Drive " + drive + "\n") != std::string::npos;
      },
      60000));
  first.Thaw();
  EXPECT_EQ(first.Finish(), 0);
  EXPECT_EQ(waiting.Finish(), 0);
  for (const test::Program* run : {&first, &waiting}) {
    const std::string said = run->Out();
    EXPECT_TRUE(said.ends_with(" WIPED\n")) << said;
    EXPECT_GT(MegsWiped(said), 0) << said;
    EXPECT_LE(MegsWiped(said), freeMegs) << said;
  }
  EXPECT_TRUE(FillerSizes(root).empty());
  EXPECT_EQ(ReadWholeFile(reserve), pool);
}

TEST(HeadlessChild, KilledWhileThePoolIsEmpty) {
  const LoweredReserve lowered(test::ChildArgument("OMREK_ROOT"));
  ::raise(SIGKILL);
}

// A wipe killed while filling leaves its fillers and an empty reserve: the
// next command, whichever it is, first takes the fillers that are provably
// its user's, puts the reserve back and says so on stderr; another user's
// file with a filler's name stays, and is not this user's to hear of.
TEST(HeadlessWipeSpace, TheNextCommandRepairsAKilledRunFirst) {
  LoopImage image(32, 4096, "killed");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  ASSERT_TRUE(test::RunQuietly("fallocate -l 3M " + Quoted(image.File(FillerFileName(1)))));
  ASSERT_TRUE(test::RunQuietly("fallocate -l 1536K " + Quoted(image.File(FillerFileName(2)))));
  const std::string othersFile = WriteFile(image.File(FillerFileName(3)), "another user's data");
  ASSERT_EQ(::chown(othersFile.c_str(), 65534, 65534), 0);
  const std::string pool = ReadWholeFile(image.SysfsFolder() + "/reserved_clusters");
  test::RunTestCaseInChild("HeadlessChild.KilledWhileThePoolIsEmpty", {{"OMREK_ROOT", root}});
  ASSERT_NE(ReadWholeFile(image.SysfsFolder() + "/reserved_clusters"), pool);
  test::TempDir folder;
  const std::string target = WriteFile(image.File("target"), "data");

  const Ran ran =
      RunProgram("--destroy --settings " + WriteFile(folder.File("omrek.ini"), kSettings) + " " + Quoted(target));

  EXPECT_EQ(ran.status, 0) << ran.out;
  EXPECT_EQ(ran.out.find(othersFile), std::string::npos) << "another user's file is none of this run's business";
  EXPECT_NE(
      ran.out.find("omrek: leftovers of a stopped run deleted: 2 files, 5 megs freed\n" + target + ": File DONE\n"),
      std::string::npos)
      << ran.out;
  EXPECT_EQ(ReadWholeFile(image.SysfsFolder() + "/reserved_clusters"), pool);
  EXPECT_FALSE(fs::exists(image.File(FillerFileName(1))));
  EXPECT_FALSE(fs::exists(image.File(FillerFileName(2))));
  EXPECT_TRUE(ReadWholeFile(othersFile) == "another user's data");
}

// Waits until the journal has shown `count` records of files the run has
// lengthened; false when the run ended first.
bool SawLengthenedFiles(test::Program& run, int count) {
  const std::set<std::string> before = test::LengthenedRecords();
  std::set<std::string> seen;
  while (static_cast<int>(seen.size()) < count) {
    seen.merge(test::RecordsSince(before));
    if (run.Ended()) return false;
    ::usleep(200);
  }
  return true;
}

// Killed at any point of a slack wipe, over listed files or in Wipe
// Space's sweep, a run leaves files lengthened with pass bytes on their
// ends; the next start of the command line puts every one back as it was:
// its length, its bytes and its time to the nanosecond.
TEST(HeadlessWipeSlack, KilledAnywhereEveryFileIsWholeAfterTheNextStart) {
  LoopImage image(64, 4096, "killed");
  OMREK_REQUIRE_MOUNTED(image);
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("omrek.ini"), kSettings);
  std::string sweeping = kSettings;
  sweeping.replace(sweeping.find("WipeSlack=0"), 11, "WipeSlack=1");
  const std::string sweepSettings = WriteFile(folder.File("sweep.ini"), sweeping);
  const std::vector<test::Original> files = test::MakeFiles(image.MountPoint(), 150);
  std::vector<std::string> slackArguments{"--wipe-slack", "--settings", settings};
  for (const test::Original& file : files) slackArguments.push_back(file.path);
  const auto lengthenedNow = [&] {
    return std::count_if(files.begin(), files.end(),
                         [](const test::Original& file) { return fs::file_size(file.path) != file.bytes.size(); });
  };
  const std::vector<std::pair<std::vector<std::string>, int>> runs{
      {slackArguments, 1},
      {slackArguments, 8},
      {slackArguments, 40},
      {{"--wipe-space", "--yes", "--settings", sweepSettings, image.MountPoint()}, 5},
  };
  const test::ClearRecordsOnTheWayOut records;
  long leftLengthened = 0;
  for (const auto& [arguments, count] : runs) {
    test::Program run("run", arguments, folder);
    ASSERT_TRUE(SawLengthenedFiles(run, count)) << run.Out() << run.Err();
    run.Kill();
    leftLengthened += lengthenedNow();

    // The last run's repairs are told in the next command's report too.
    const bool last = &arguments == &runs.back().first;
    const std::string report = folder.File("report.txt");
    const Ran next =
        RunProgram(last ? "--wipe-slack --settings " + settings + " --report " + report + " " + Quoted(files[0].path)
                        : std::string("--recover"));

    EXPECT_EQ(next.status, 0) << next.out;
    test::ExpectAsTheyWere(files, next.out);
    if (last && next.out.find("omrek: put back ") != std::string::npos) {
      EXPECT_NE(ReadWholeFile(report).find("Left by stopped runs, seen at start:\n  put back "), std::string::npos);
    }
  }
  EXPECT_FALSE(fs::exists(image.File(FillerFileName(1))));
  EXPECT_GT(leftLengthened, 0) << "no kill fell while a file was lengthened: the test proved nothing";
}

// A destroy killed (SIGKILL, as the kernel enters the call) at its first
// or second deletion, after the file was emptied and its name wiped: the
// next start deletes the emptied file, and only it, and says so once. One
// written to since is left and named.
TEST(HeadlessDestroy, KilledAtADeletionLeavesNoEmptiedFile) {
  if (!test::RunQuietly("strace -V")) GTEST_SKIP() << "strace stops the program at a deletion";
  LoopImage image(64, 4096, "renamed");
  OMREK_REQUIRE_MOUNTED(image);
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("omrek.ini"), kSettings);
  const test::ClearRecordsOnTheWayOut records;
  for (const auto& [deletion, writtenToSince] : {std::pair{1, false}, {2, false}, {2, true}}) {
    const std::string docs = image.File("docs " + std::to_string(deletion) + std::to_string(writtenToSince));
    fs::create_directory(docs);
    const std::vector<std::string> files{WriteFile(docs + "/a name that tells", "secret"),
                                         WriteFile(docs + "/another one", "secret too"),
                                         WriteFile(docs + "/not reached", "kept")};
    const std::string wiped = docs + "/2";
    // Nothing else deleted first: the program's start finds no record.
    RunProgram("--recover");
    const int killed =
        std::system(("strace -f -qq -o /dev/null -e trace=unlinkat -e inject=unlinkat:signal=SIGKILL:when=" +
                     std::to_string(deletion) + " " OMREK_PROGRAM " --destroy --settings " + settings + " " +
                     Quoted(files[0]) + " " + Quoted(files[1]) + " " + Quoted(files[2]) + " >/dev/null 2>&1")
                        .c_str());
    ASSERT_NE(killed, 0);
    ASSERT_TRUE(fs::exists(wiped));
    ASSERT_EQ(fs::file_size(wiped), 0u);
    if (writtenToSince) WriteFile(wiped, "the owner's");

    const Ran next = RunProgram("--recover");

    if (writtenToSince) {
      EXPECT_EQ(next.status, 1) << next.out;
      EXPECT_EQ(next.out,
                "omrek: left " + wiped + ": emptied and renamed by a stopped destroy, and written to since\n");
      EXPECT_EQ(ReadWholeFile(wiped), "the owner's");
    } else {
      EXPECT_EQ(next.status, 0) << next.out;
      EXPECT_EQ(next.out, "omrek: deleted " + wiped + ": emptied and renamed by a stopped destroy\n");
      EXPECT_FALSE(fs::exists(wiped));
    }
    EXPECT_FALSE(fs::exists(files[0]));
    EXPECT_EQ(fs::exists(files[1]), deletion == 1);
    EXPECT_EQ(ReadWholeFile(files[2]), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(docs), fs::directory_iterator()),
              (deletion == 1 ? 2 : 1) + (writtenToSince ? 1 : 0));
    EXPECT_EQ(RunProgram("--recover").out, "") << "said once";
  }
}

// What the owner does to a file a killed slack wipe left lengthened, before
// the next start: each leaves the file theirs.
enum class OwnersEdit { CutBackAndEditedInPlace, TailOverwritten, RewrittenWhole };

void Edit(const std::string& path, OwnersEdit edit, std::size_t length, std::size_t lengthened) {
  const int fd = ::open(path.c_str(), O_WRONLY | (edit == OwnersEdit::RewrittenWhole ? O_TRUNC : 0));
  ASSERT_GE(fd, 0) << path;
  std::string bytes = "the owner's own words";
  std::size_t at = 0;
  if (edit == OwnersEdit::CutBackAndEditedInPlace) {
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(length)), 0);
    at = length / 2;
  } else if (edit == OwnersEdit::TailOverwritten) {
    at = length + 100;
  } else {
    bytes = std::string(lengthened, 'w');
  }
  EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
}

// A slack wipe killed while a file is lengthened, then the file changed by
// its owner at the length the wipe gave it or at its own: the next start
// changes nothing of it (bytes, length, time to the nanosecond), names it
// and says what to check; --recover then ends with status 1.
TEST(HeadlessWipeSlack, AFileChangedAfterAKillStaysAsItsOwnerLeftIt) {
  LoopImage image(64, 4096, "edited");
  OMREK_REQUIRE_MOUNTED(image);
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("omrek.ini"), kSettings);
  const test::ClearRecordsOnTheWayOut records;
  constexpr std::size_t kLength = 5000;
  constexpr std::size_t kLengthened = 37768;
  const std::vector<std::pair<OwnersEdit, std::string>> edits{
      {OwnersEdit::CutBackAndEditedInPlace, "changed since the run stopped; check its last-write time: it was "},
      {OwnersEdit::TailOverwritten,
       "changed since the run stopped; check its end: it may hold 32768 bytes the wipe added"},
      {OwnersEdit::RewrittenWhole,
       "changed since the run stopped; check its end: it may hold 32768 bytes the wipe added"},
  };
  for (const auto& [edit, why] : edits) {
    const std::string path =
        WriteFile(image.File("edited " + std::to_string(static_cast<int>(edit))), std::string(kLength, 'o'));
    ::sync();
    test::Program run("run", {"--wipe-slack", "--settings", settings, path}, folder);
    while (fs::file_size(path) != kLengthened && !run.Ended()) ::usleep(100);
    ASSERT_EQ(fs::file_size(path), kLengthened) << run.Out() << run.Err();
    run.Kill();
    Edit(path, edit, kLength, kLengthened);
    struct stat edited {};
    ASSERT_EQ(::stat(path.c_str(), &edited), 0);
    const std::vector<test::Original> owners{{path, ReadWholeFile(path), edited.st_mtim}};

    const Ran next = RunProgram("--recover");

    EXPECT_EQ(next.status, 1) << next.out;
    EXPECT_NE(next.out.find("omrek: left " + path + ": " + why), std::string::npos) << next.out;
    test::ExpectAsTheyWere(owners, next.out);
    EXPECT_EQ(RunProgram("--recover").out, "") << "said once";
  }
}

// With every pass on, each command's report lists the passes in the order
// that command runs them, from the window and the command line alike.
TEST(CommandReports, ListThePassesInTheOrderEachCommandRunsThem) {
  LoopImage image(16, 4096, "order");
  OMREK_REQUIRE_MOUNTED(image);
  test::TempDir folder;
  WriteFile(folder.File("omrek.ini"),
            "[FileMode]\nDOD=1\nInversion=1\nRandomize=1\nNumRandomize=2\nNullify1=1\nNullify2=1\n"
            "NullifyCustom=1\nNullValue=FE\n");
  const std::string dod = "DOD 5220.22M (7 passes of E5)";
  const std::vector<std::pair<std::string, std::string>> orders = {
      {"Destroy", "Passes: " + dod + ", invert, 2 random, 00, FF, FE\n"},
      {"WipeSlack", "Passes: invert, 2 random, " + dod + ", 00, FF, FE\n"},
  };
  OmrekProgram program;
  program.Config().SetProgramPath(folder.File("omrek"));
  program.Start();
  for (const auto& [command, passes] : orders) {
    const std::string byWindow = folder.File(command + " by window.txt");
    program.Main().AddTarget(WriteFile(image.File(command + " window"), "data"));
    if (command == "Destroy") {
      test::ClickDestroy(program.Main());
    } else {
      test::Click(program.Main(), ("btn" + command).c_str());
    }
    SaveOfferedReport(program.Main(), byWindow);
    EXPECT_NE(ReadWholeFile(byWindow).find(passes), std::string::npos) << ReadWholeFile(byWindow);

    const std::string byCommand = folder.File(command + " by command.txt");
    const std::string option = command == "Destroy" ? "--destroy" : "--wipe-slack";
    RunProgram(option + " --report " + Quoted(byCommand) + " --settings " + folder.File("omrek.ini") + " " +
               Quoted(WriteFile(image.File(command + " command"), "data")));
    EXPECT_NE(ReadWholeFile(byCommand).find(passes), std::string::npos) << ReadWholeFile(byCommand);
  }
}

// Runs a command as nobody, as a hostile user would plant a file or a link
// in a shared folder.
const std::string kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

// The report goes only to a file the run makes new. Whatever has the name
// already (another user's file or link in a sticky folder, a listed file
// under another name) or would be a listed file makes the run stop before
// it touches anything, with status 2; the window refuses the same in an
// error box.
TEST(CommandReports, GoOnlyToANewFileOfTheirOwn) {
  test::TempDir folder;
  ASSERT_EQ(::chmod(folder.Path().c_str(), 01777), 0) << "shared like /tmp";
  const std::string settings = WriteFile(folder.File("s.ini"), kSettings);
  const std::string target = WriteFile(folder.File("target"), "target data");
  const std::string planted = folder.File("planted");
  ASSERT_TRUE(test::RunQuietly(kAsNobody + "sh -c 'printf \"nobody reads this\" > \"$0\"' " + Quoted(planted)));
  struct stat before {};
  ASSERT_EQ(::stat(planted.c_str(), &before), 0);
  ASSERT_EQ(before.st_uid, 65534u);
  const std::string link = folder.File("link");
  ASSERT_TRUE(test::RunQuietly(kAsNobody + "ln -s " + Quoted(folder.File("through link")) + " " + Quoted(link)));
  const std::string hardLink = folder.File("hard link");
  fs::create_hard_link(target, hardLink);
  const std::string missing = folder.File("missing");
  const std::string refused = "omrek: nothing written: the report file ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {planted, " exists already\n"},
      {link, " exists already\n"},
      {target, " is one of the paths listed\n"},
      {hardLink, " is one of the paths listed\n"},
      {missing, " is one of the paths listed\n"},
      {folder.File("no folder/report"), " cannot be made: File not found\n"},
  };
  for (const auto& [report, why] : cases) {
    const Ran ran = RunProgram("--destroy --report " + Quoted(report) + " --settings " + settings + " " +
                               Quoted(target) + " " + Quoted(missing));
    EXPECT_EQ(ran.status, 2) << ran.out;
    EXPECT_EQ(ran.out, refused + report + why);
    EXPECT_EQ(ReadWholeFile(target), "target data") << report;
    EXPECT_FALSE(fs::exists(fs::symlink_status(missing))) << report;
  }
  EXPECT_EQ(ReadWholeFile(planted), "nobody reads this");
  struct stat after {};
  ASSERT_EQ(::stat(planted.c_str(), &after), 0);
  EXPECT_EQ(after.st_uid, 65534u);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder.File("through link")))) << "nothing made through the link";

  // A run given a new name owns its report, and root's stays root's.
  const std::string own = folder.File("own report");
  const Ran ran = RunProgram("--destroy --report " + Quoted(own) + " --settings " + settings + " " +
                             Quoted(WriteFile(folder.File("other"), "data")));
  EXPECT_EQ(ran.status, 0) << ran.out;
  struct stat made {};
  ASSERT_EQ(::stat(own.c_str(), &made), 0);
  EXPECT_EQ(made.st_uid, 0u);
  EXPECT_EQ(made.st_mode & 07777, 0600u);

  OmrekProgram program;
  program.Config().SetProgramPath(folder.File("omrek"));
  program.Start();
  program.Main().AddTarget(target);
  test::ClickDestroy(program.Main());
  test::ModalBoxCatcher boxes;
  SaveOfferedReport(program.Main(), planted);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text,
            QString::fromStdString(planted) + " exists already: a report is only ever saved to a new file.");
  EXPECT_EQ(ReadWholeFile(planted), "nobody reads this");
}

TEST(HeadlessCommandInput, BadInputGetsAClearMessageAndTheRightStatus) {
  test::TempDir folder;
  const Ran unknown = RunProgram("--shred x");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.out, "omrek: unknown option --shred\nTry 'omrek --help'.\n");

  const Ran settings = RunProgram("--destroy --settings " + folder.File("none.ini") + " x");
  EXPECT_EQ(settings.status, 2);
  EXPECT_EQ(settings.out, "omrek: cannot read the settings file " + folder.File("none.ini") + ": File not found\n");
  const Ran settingsFolder = RunProgram("--destroy --settings " + folder.Path() + " x");
  EXPECT_EQ(settingsFolder.status, 2);
  EXPECT_EQ(settingsFolder.out, "omrek: the settings file " + folder.Path() + " is not a file\n");

  const std::string kept = WriteFile(folder.File("kept"), "kept");
  fs::create_symlink(kept, folder.File("link"));
  const std::string report = folder.File("report");
  const Ran skipped =
      RunProgram("--destroy " + folder.File("missing") + " " + folder.Path() + " " + folder.File("link") +
                 " --report " + report + " --settings " + WriteFile(folder.File("s.ini"), kSettings));
  EXPECT_EQ(skipped.status, 1);
  EXPECT_EQ(skipped.out, folder.File("missing") + ": skipped (File not found)\n" + folder.Path() +
                             ": skipped (folder)\n" + folder.File("link") + ": skipped (symbolic link)\n");
  EXPECT_EQ(ReadWholeFile(kept), "kept") << "nothing is written through a link";
  EXPECT_TRUE(ReadWholeFile(report).ends_with("\n\n" + folder.File("missing") +
                                              "\n  skipped (File not found); verification off\n" + folder.Path() +
                                              "\n  skipped (folder); verification off\n" + folder.File("link") +
                                              "\n  skipped (symbolic link); verification off\n"))
      << ReadWholeFile(report);
}

// Each of `parts` comes in `text` after the one before.
void ExpectInTurn(const std::string& text, const std::vector<std::string>& parts) {
  std::size_t from = 0;
  for (const std::string& part : parts) {
    from = text.find(part, from);
    ASSERT_NE(from, std::string::npos) << ReadablePath(part) << " not in turn in:\n" << text;
    from += part.size();
  }
}

// Skipped targets take their place among the others, on the output lines
// and in the report alike, whichever command runs.
TEST(HeadlessCommandInput, LinesFollowTheOrderOfTheArguments) {
  LoopImage image(16, 4096, "order");
  OMREK_REQUIRE_MOUNTED(image);
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("s.ini"), kSettings);
  const std::string missing = image.File("missing");
  const std::string subfolder = image.File("folder");
  fs::create_directory(subfolder);
  for (const auto& [option, word] : {std::pair{"--destroy", "File DONE"}, std::pair{"--wipe-slack", "SLACK WIPED"}}) {
    const std::string first = WriteFile(image.File("first"), std::string(5000, 'f'));
    const std::string last = WriteFile(image.File("last"), std::string(5000, 'l'));
    const std::string report = folder.File(std::string(option) + " report");
    const Ran ran = RunProgram(std::string(option) + " --report " + Quoted(report) + " --settings " + settings + " " +
                               Quoted(first) + " " + Quoted(missing) + " " + Quoted(subfolder) + " " + Quoted(last));
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, first + ": " + word + "\n" + missing + ": skipped (File not found)\n" + subfolder +
                           ": skipped (folder)\n" + last + ": " + word + "\n");
    ExpectInTurn(ReadWholeFile(report), {first + "\n  " + word, missing + "\n  skipped (File not found)",
                                         subfolder + "\n  skipped (folder)", last + "\n  " + word});
  }

  const std::string root = image.MountPoint();
  const std::string report = folder.File("space report");
  const Ran space = RunProgram("--wipe-space --yes --report " + Quoted(report) + " --settings " + settings + " " +
                               Quoted(missing) + " " + Quoted(root) + " " + Quoted(missing + "2"));
  EXPECT_EQ(space.status, 1);
  ExpectInTurn(space.out, {missing + ": skipped (File not found)\n" + root + " (",
                           " WIPED\n" + missing + "2: skipped (File not found)\n"});
  ExpectInTurn(ReadWholeFile(report), {missing + "\n  skipped (File not found)", "(" + root + ")\n  WIPED",
                                       missing + "2\n  skipped (File not found)"});
}

TEST(HeadlessCommandInput, WithRAFoldersFilesGoAndThenTheFoldersLeftEmpty) {
  LoopImage image(32, 4096, "recursive");
  OMREK_REQUIRE_MOUNTED(image);
  LoopImage inner(16, 4096, "inner");
  OMREK_REQUIRE_MOUNTED(inner);
  test::MixedTree tree(image.MountPoint(), inner);
  ASSERT_TRUE(tree.Mounted());
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("s.ini"), kSettings);

  const Ran plain = RunProgram("--destroy --settings " + settings + " " + Quoted(tree.Root()));
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(plain.out, tree.Root() + ": skipped (folder)\n");
  for (const std::string& file : tree.Files()) EXPECT_TRUE(fs::exists(file)) << file;

  const std::string report = folder.File("report");
  const Ran ran = RunProgram("--destroy -r --report " + Quoted(report) + " --settings " + settings + " " +
                             Quoted(tree.Root() + "/"));
  EXPECT_EQ(ran.status, 1) << "the folder holding the mount point stays";
  std::string passed;
  for (const char* mount : {"bound", "mnt", "overfile"})
    passed += "omrek: " + tree.In(mount) + ": another file system is mounted there; not entered\n";
  std::string expected = passed;
  for (const std::string& file : tree.Files()) expected += file + ": File DONE\n";
  const std::string kept =
      "folder kept (still holds bound (another file system is mounted there), mnt (another file system is mounted "
      "there), overfile (another file system is mounted there))";
  expected += tree.In("sub/empty") + ": folder removed\n" + tree.In("sub/deeper") + ": folder removed\n" +
              tree.In("sub") + ": folder removed\n" + tree.Root() + ": " + kept + "\n";
  EXPECT_EQ(ran.out, expected);
  // Nothing of a folder's is read back: its lines tell no verification.
  ExpectInTurn(ReadWholeFile(report), {tree.In("sub/deeper/.c") + "\n  File DONE",
                                       tree.In("sub") + "\n  folder removed\n", tree.Root() + "\n  " + kept + "\n"});

  for (const char* gone : {"sub", "a.txt", ".hidden"}) EXPECT_FALSE(fs::exists(tree.In(gone))) << gone;
  // The folder stays: so do its links.
  for (const char* kept : {"fifo", "link-file"}) EXPECT_TRUE(fs::exists(fs::symlink_status(tree.In(kept)))) << kept;
  EXPECT_EQ(ReadWholeFile(tree.Outside()), "outside");
  EXPECT_EQ(ReadWholeFile(tree.OutsideFolderFile()), "kept");
  EXPECT_EQ(ReadWholeFile(tree.InnerFile()), "inner");
  EXPECT_EQ(ReadWholeFile(tree.BoundFile()), "secret") << "a bind of the same file system is not entered";
  EXPECT_EQ(ReadWholeFile(tree.FileBoundOver()), "bound file") << "nor a file bound over another";
  EXPECT_TRUE(fs::is_directory(tree.In("mnt")));

  // Empty now but for the mount points: nothing to list, said so. The
  // run's own report, made inside, is no file of the folder's to destroy.
  // "tree/." is the tree.
  const Ran again = RunProgram("--destroy -r --report " + Quoted(tree.In("report")) + " --settings " + settings + " " +
                               Quoted(tree.Root() + "/."));
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.out, passed + tree.Root() + "/.: skipped (a folder with no files in it)\n");
  EXPECT_NE(ReadWholeFile(tree.In("report")).find("skipped (a folder with no files in it)"), std::string::npos);
  // A ".." goes up from where a link on the way leads, not from where the
  // user stood: refused, and the tree's files stay.
  const Ran up = RunProgram("--destroy -r --settings " + settings + " " + Quoted(tree.In("mnt/..")));
  EXPECT_EQ(up.status, 1);
  EXPECT_EQ(up.out, tree.In("mnt/..") + ": skipped (a folder named by \"..\" is not walked; name the folder itself)\n");
  EXPECT_TRUE(fs::exists(tree.In("report")));
}

// A folder given again, or inside another one given, goes once: that the
// later one finds it gone is no failure.
TEST(HeadlessCommandInput, WithRFoldersGivenTwiceAreRemovedOnce) {
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("s.ini"), kSettings);
  const std::string tree = folder.File("tree");
  fs::create_directories(tree + "/sub");
  WriteFile(tree + "/sub/file", "file");
  const Ran ran = RunProgram("--destroy -r --settings " + settings + " " + Quoted(tree) + " " + Quoted(tree + "/sub") +
                             " " + Quoted(tree));
  EXPECT_FALSE(fs::exists(tree));
  ExpectInTurn(ran.out,
               {tree + "/sub/file: File DONE\n", tree + "/sub: folder removed\n" + tree + ": folder removed\n"});
  EXPECT_EQ(ran.out.find("folder kept"), std::string::npos) << ran.out;
  EXPECT_EQ(ran.out.find("could not be flushed"), std::string::npos) << ran.out;
}

// Backup tools keep each day's tree with unchanged files hard-linked to the
// day before. Destroying one tree takes its names and leaves the content to
// the names outside it, however many names it has inside; a file whose names
// all lie inside is destroyed, and nothing of it is left on the device.
TEST(HeadlessDestroy, WithRNamesOutsideTheFolderKeepTheContent) {
  LoopImage image(16, 4096, "backups");
  OMREK_REQUIRE_MOUNTED(image);
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("s.ini"), kSettings);
  const std::string older = image.File("daily.0");
  const std::string newer = image.File("daily.1");
  fs::create_directories(older);
  fs::create_directories(newer + "/sub");
  const std::string thesis = WriteFile(older + "/thesis.txt", std::string(6000, 't'));
  ASSERT_EQ(::link(thesis.c_str(), (newer + "/thesis.txt").c_str()), 0);
  const std::string notes = WriteFile(older + "/notes", "two names in, two out");
  for (const std::string& other : {image.File("notes elsewhere"), newer + "/notes", newer + "/sub/notes"}) {
    ASSERT_EQ(::link(notes.c_str(), other.c_str()), 0);
  }
  WriteFile(newer + "/sub/own", "one name");
  const std::string report = folder.File("report");

  const Ran ran =
      RunProgram("--destroy -r --report " + Quoted(report) + " --settings " + settings + " " + Quoted(newer));

  const std::string two = "name removed; its content stays under 2 other names outside the folder";
  const std::string one = "name removed; its content stays under 1 other name outside the folder";
  EXPECT_EQ(ran.status, 0) << ran.out;
  EXPECT_EQ(ran.out, newer + "/notes: " + two + "\n" + newer + "/sub/notes: " + two + "\n" + newer +
                         "/sub/own: File DONE\n" + newer + "/thesis.txt: " + one + "\n" + newer +
                         "/sub: folder removed\n" + newer + ": folder removed\n");
  ExpectInTurn(ReadWholeFile(report), {newer + "/notes\n  " + two + "; verification off\n",
                                       newer + "/thesis.txt\n  " + one + "; verification off\n"});
  EXPECT_FALSE(fs::exists(newer));
  EXPECT_EQ(ReadWholeFile(thesis), std::string(6000, 't'));
  EXPECT_EQ(fs::hard_link_count(thesis), 1u);
  EXPECT_EQ(ReadWholeFile(notes), "two names in, two out");
  EXPECT_EQ(fs::hard_link_count(notes), 2u);

  // Every name inside: overwritten once, at the first name.
  const std::string tree = image.File("tree");
  fs::create_directories(tree + "/inner");
  const std::string first = WriteFile(tree + "/first", "zebra-OMREK-links " + std::string(5000, 'z'));
  ASSERT_EQ(::link(first.c_str(), (tree + "/inner/second").c_str()), 0);
  ::sync();
  const Ran inside = RunProgram("--destroy -r --settings " + settings + " " + Quoted(tree));
  EXPECT_EQ(inside.status, 0) << inside.out;
  EXPECT_EQ(inside.out, first + ": File DONE (1 other name still points at it, now empty)\n" + tree +
                            "/inner/second: File DONE\n" + tree + "/inner: folder removed\n" + tree +
                            ": folder removed\n");
  EXPECT_FALSE(fs::exists(tree));
  image.Unmount();
  EXPECT_EQ(ReadWholeFile(image.ImagePath()).find("zebra-OMREK-links"), std::string::npos);
}

TEST(HeadlessCommandInput, ASettingsFileReadOnlyInPartStopsTheRunBeforeItStarts) {
  test::TempDir folder;
  const std::string target = WriteFile(folder.File("target"), "kept");
  const std::string malformed = WriteFile(folder.File("malformed.ini"), "[FileMode]\nDOD=1\n[DiskMode\nDOD=0\n");
  const Ran unclosed = RunProgram("--destroy --settings " + malformed + " " + target);
  EXPECT_EQ(unclosed.status, 2);
  EXPECT_EQ(unclosed.out, "omrek: the settings file " + malformed + " cannot be used: line 3 is malformed\n");

  // Sparse: refused by its size, before anything is read.
  const std::string huge = folder.File("huge.ini");
  WriteFile(huge, kSettings);
  fs::resize_file(huge, std::uintmax_t{1} << 30);
  const Ran large = RunProgram("--wipe-slack --settings " + huge + " " + target);
  EXPECT_EQ(large.status, 2);
  EXPECT_EQ(large.out, "omrek: the settings file " + huge + " cannot be used: larger than 1 MiB\n");
  EXPECT_EQ(ReadWholeFile(target), "kept");
}

// ext4's journal logs a folder's block each time it changes, names and
// all. As root the command clears the journal once it is done: no copy of
// any destroyed name is left anywhere on the device. Another user cannot
// clear it, and is told why names may remain.
TEST(HeadlessDestroy, NoDestroyedNameIsLeftAnywhereOnTheDevice) {
  LoopImage image(64, 4096, "names");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string theirs = image.File("theirs");
  ASSERT_EQ(::mkdir(theirs.c_str(), 0755), 0);
  ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
  const std::string settings = WriteFile(theirs + "/omrek.ini", "");
  const std::string their = WriteFile(theirs + "/their-own-file", "x");
  ASSERT_EQ(::chown(their.c_str(), 65534, 65534), 0);
  // The checkout may lie in a folder only root may enter.
  const test::TempDir forNobody;
  const std::string program = forNobody.File("omrek");
  fs::copy_file(OMREK_PROGRAM, program);
  EXPECT_EQ(test::RunTestCaseAsNobody("HeadlessChild.DestroysAsAUser",
                                      {{"FILE", their}, {"SETTINGS", settings}, {"PROGRAM", program}}),
            0);

  std::string names;
  for (int n = 1; n <= 20; ++n) {
    const std::string name = "merger-plans-zebra-OMREK-" + std::to_string(n) + ".txt";
    names += " " + Quoted(WriteFile(image.File(name), "x"));
  }
  ::sync();
  const Ran destroyed = RunProgram("--destroy --settings " + settings + names);
  EXPECT_EQ(destroyed.status, 0) << destroyed.out;
  EXPECT_EQ(destroyed.out.find("journal"), std::string::npos) << destroyed.out;
  image.Unmount();
  EXPECT_EQ(ReadWholeFile(image.ImagePath()).find("zebra-OMREK"), std::string::npos);
}

TEST(HeadlessChild, DestroysAsAUser) {
  const std::string file = test::ChildArgument("FILE");
  const std::string report = fs::path(file).parent_path() / "report";
  const Ran destroyed = RunProgram(
      "--destroy --settings " + test::ChildArgument("SETTINGS") + " --report " + Quoted(report) + " " + Quoted(file),
      "/dev/null", test::ChildArgument("PROGRAM"));
  EXPECT_EQ(destroyed.status, 0) << destroyed.out;
  const std::string why = ": its journal may still hold names and old metadata: clearing it needs root\n";
  EXPECT_NE(destroyed.out.find(why), std::string::npos) << destroyed.out;
  EXPECT_NE(ReadWholeFile(report).find("\nJournals not cleared:\n  "), std::string::npos);
  EXPECT_NE(ReadWholeFile(report).find(why), std::string::npos);
}

// A name is bytes a user may choose to forge a line or drive the terminal:
// each target's line shows its name as the report does, in the order given.
TEST(HeadlessCommandInput, EveryNameIsOneEscapedLine) {
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("s.ini"), kSettings);
  const std::vector<std::string> names = {folder.File("evil\nother: File DONE"),
                                          folder.File("title\x1B]0;owned\x07\x1B[2J"), folder.File("bad\xFF\\name")};
  const std::string missing = folder.File(
      "gone\r\x9B"
      "2Kx");
  std::string arguments = "--destroy --settings " + settings + " " + Quoted(missing);
  std::string expected = ReadablePath(missing) + ": skipped (File not found)\n";
  for (const std::string& name : names) {
    arguments += " " + Quoted(WriteFile(name, "data"));
    expected += ReadablePath(name) + ": File DONE\n";
  }

  const Ran ran = RunProgram(arguments);
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.out, expected);
  EXPECT_EQ(ReadablePath(names[0]), folder.Path() + "/evil\\x0Aother: File DONE");
  EXPECT_EQ(ReadablePath(names[2]), folder.Path() + "/bad\\xFF\\\\name");
  for (const std::string& name : names) EXPECT_FALSE(fs::exists(name)) << ReadablePath(name);

  const Ran unknown = RunProgram(Quoted("--shred\x1B]0;x\x07"));
  EXPECT_EQ(unknown.out, "omrek: unknown option --shred\\x1B]0;x\\x07\nTry 'omrek --help'.\n");
  const Ran settingsNamed = RunProgram("--destroy --settings " + Quoted(folder.File("no\nne.ini")) + " x");
  EXPECT_EQ(settingsNamed.out,
            "omrek: cannot read the settings file " + folder.Path() + "/no\\x0Ane.ini: File not found\n");

  // A drive mounted on such a name, in the Wipe Space question.
  const std::string drive = folder.File("dr\nive\x1B]0;t\x07");
  fs::create_directory(drive);
  if (!test::RunQuietly("mount -t tmpfs -o size=4m omrek-names " + Quoted(drive))) GTEST_SKIP() << "no mount";
  const struct Unmount {
    std::string at;
    ~Unmount() { test::RunQuietly("umount " + Quoted(at)); }
  } unmount{drive};
  const Ran asked = RunProgram("--wipe-space --settings " + settings + " " + Quoted(WriteFile(drive + "/f", "f")));
  EXPECT_EQ(asked.status, 2);
  EXPECT_NE(asked.out.find("\n  " + folder.Path() + "/dr\\x0Aive\\x1B]0;t\\x07 ("), std::string::npos) << asked.out;
  EXPECT_EQ(std::count(asked.out.begin(), asked.out.end(), '\n'), 3) << asked.out;
}

TEST(HeadlessCommandInput, HelpAndVersionNeedNoDisplay) {
  const Ran help = RunProgram("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: omrek [FILE...]\n")) << help.out;
  const Ran version = RunProgram("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("Omrek, Filebane 3.04\n")) << version.out;
}

// The window lives in a module beside the program; a copy of the program
// alone still runs its commands, and says why it shows no window.
TEST(HeadlessCommandInput, AProgramWithoutItsWindowModuleRunsCommandsAndSaysWhyNoWindow) {
  test::TempDir folder;
  const std::string program = folder.File("omrek");
  std::filesystem::copy_file(OMREK_PROGRAM, program);
  const std::string kept = WriteFile(folder.File("kept"), "kept");
  const std::string destroyed = WriteFile(folder.File("destroyed"), "destroyed");
  const std::string run = "env -u DISPLAY -u WAYLAND_DISPLAY " + Quoted(program) + " ";
  EXPECT_EQ(std::system((run + "--destroy " + Quoted(destroyed) + " >/dev/null 2>&1").c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(destroyed));
  EXPECT_EQ(test::OutputOf(run + Quoted(kept) + " 2>&1; echo \"exit $?\""),
            "omrek: cannot show the window: " + folder.File("omrek-window.so") +
                ": cannot open shared object file: No such file or directory\nexit 1");
  EXPECT_EQ(ReadWholeFile(kept), "kept");
}

// A document saved three times as editors save it: each version written to a
// new file that is renamed over the last. `inPlace`, each is written over the
// last instead, as a copy-on-write file system keeps the old blocks of.
std::string SaveThreeVersions(const std::string& folder, bool inPlace) {
  const std::string document = folder + "/thesis.txt";
  for (int version = 1; version <= 3; ++version) {
    std::string text;
    for (int line = 0; line < 6000; ++line) {
      text += "OMREK-SAVED-v" + std::to_string(version) + "-line-" + std::to_string(line) + "\n";
    }
    if (inPlace) {
      std::fstream(document, std::ios::in | std::ios::out | std::ios::binary | std::ios::app).close();
      std::fstream(document, std::ios::in | std::ios::out | std::ios::binary) << text;
    } else {
      WriteFile(document + ".new", text);
      fs::rename(document + ".new", document);
    }
    ::sync();
  }
  return document;
}

long SavedLinesIn(const std::string& image) {
  return std::stol(test::OutputOf("grep -a -o 'OMREK-SAVED-v[0-9]-line' " + Quoted(image) + " | wc -l"));
}

// --destroy --then-wipe-space leaves no line of any version of the document
// on the device: neither the one destroyed, nor those the editor's saves
// left in the free space, nor the blocks btrfs kept of the file rewritten.
TEST(HeadlessDestroyThenWipe, NoVersionOfADocumentIsLeftOnTheDevice) {
  struct Drive {
    std::string fileSystem;
    int megabytes;
    std::string options;
    bool inPlace;
  };
  const std::vector<Drive> drives{{"ext4", 64, "-b 4096", false},
                                  {"ext4", 64, "-b 1024", false},
                                  {"xfs", 300, "", false},
                                  {"btrfs", 256, "", true}};
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("omrek.ini"), kSettings);
  for (const Drive& drive : drives) {
    SCOPED_TRACE(drive.fileSystem + " " + drive.options);
    LoopImage image(LoopImage::Kind{drive.fileSystem}, drive.megabytes, "saved", drive.options);
    OMREK_REQUIRE_MOUNTED(image);
    const std::string document = SaveThreeVersions(image.MountPoint(), drive.inPlace);
    ASSERT_GT(SavedLinesIn(image.ImagePath()), 6000) << "earlier versions lie in the free space";

    const std::string report = folder.File(drive.fileSystem + drive.options + ".txt");
    const Ran ran = RunProgram("--destroy --then-wipe-space --yes --settings " + settings + " --report " +
                               Quoted(report) + " " + Quoted(document));
    EXPECT_EQ(ran.status, 0) << ran.out;
    const std::string reported = ReadWholeFile(report);
    EXPECT_NE(reported.find("Command: Destroy\n"), std::string::npos) << reported;
    EXPECT_NE(reported.find("\nCommand: Wipe Space\n"), std::string::npos) << "one report of both parts";
    EXPECT_NE(ran.out.find(document + ": File DONE\n"), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("\n" + image.MountPoint() + " ("), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find(" WIPED"), std::string::npos) << ran.out;
    image.Unmount();
    EXPECT_EQ(SavedLinesIn(image.ImagePath()), 0);
  }
}

// Killed while it fills, the run leaves fillers and a lowered reserve that
// the next start takes away; stopped by SIGINT, it takes them away itself.
// Either way the file it destroyed first stays destroyed. Without --yes a
// script gets nothing done.
TEST(HeadlessDestroyThenWipe, AKillOrAStopWhileFillingLeavesNoFiller) {
  LoopImage image(64, 4096, "follow");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  test::TempDir folder;
  const std::string settings = WriteFile(folder.File("omrek.ini"),
                                         "[FileMode]\nDOD=0\nInversion=0\nRandomize=0\nNullify1=1\nNullify2=0\n"
                                         "NullifyCustom=0\n[DiskMode]\nDOD=0\nRandomize=1\nNumRandomize=20\n"
                                         "WipeSlack=0\n");
  const std::string pool = ReadWholeFile(image.SysfsFolder() + "/reserved_clusters");
  const test::ClearRecordsOnTheWayOut records;
  // A file reached through a bind mount lies on the drive mounted first.
  const std::string bound = folder.File("bound");
  fs::create_directory(bound);
  ASSERT_TRUE(test::RunQuietly("mount --bind " + Quoted(root) + " " + Quoted(bound)));
  const Ran throughBind =
      RunProgram("--destroy --then-wipe-space --yes --settings " + WriteFile(folder.File("fast.ini"), kSettings) + " " +
                 Quoted(WriteFile(bound + "/through a bind mount", "x")));
  test::RunQuietly("umount " + Quoted(bound));
  EXPECT_EQ(throughBind.status, 0) << throughBind.out;
  EXPECT_NE(throughBind.out.find("\n" + root + " ("), std::string::npos) << throughBind.out;

  const std::string unasked = WriteFile(image.File("unasked"), "kept");
  const Ran refused = RunProgram("--destroy --then-wipe-space --settings " + settings + " " + Quoted(unasked));
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.out.find("from a script, --then-wipe-space needs --yes"), std::string::npos) << refused.out;
  EXPECT_EQ(ReadWholeFile(unasked), "kept");

  for (const int signal : {SIGKILL, SIGINT}) {
    SCOPED_TRACE(signal);
    const std::string document = WriteFile(image.File("thesis.txt"), "chapter one\n");
    test::Program run("follow", {"--destroy", "--then-wipe-space", "--yes", "--settings", settings, document}, folder);
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.Ended() || FillerOrLogIn(root); }, 60000));
    ASSERT_FALSE(run.Ended()) << run.Out() << run.Err();
    run.Signal(signal);
    const int status = run.Finish();
    EXPECT_FALSE(fs::exists(document)) << "destroyed before the filling began";
    if (signal == SIGKILL) {
      EXPECT_TRUE(FillerOrLogIn(root)) << "a killed run leaves its fillers";
      const Ran next = RunProgram("--recover");
      EXPECT_EQ(next.status, 0) << next.out;
    } else {
      EXPECT_EQ(status, 128 + SIGINT) << run.Out() << run.Err();
      EXPECT_TRUE(run.Out().starts_with(document + ": File DONE\n" + root + " (")) << run.Out();
      EXPECT_NE(run.Out().find(":): stopped (DRIVE "), std::string::npos) << run.Out();
    }
    EXPECT_FALSE(FillerOrLogIn(root));
    EXPECT_EQ(ReadWholeFile(image.SysfsFolder() + "/reserved_clusters"), pool);
  }
}

}  // namespace
}  // namespace omrek
