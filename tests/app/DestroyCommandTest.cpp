#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

#include "app/OmrekProgram.h"
#include "disk/SlackWipe.h"
#include "engine/CommandReport.h"
#include "engine/FileDestruction.h"
#include "intake/FolderExpansion.h"
#include "intake/ui/TargetListView.h"
#include "platform/Directory.h"
#include "platform/DriveTable.h"
#include "platform/IoError.h"
#include "platform/Volume.h"
#include "platform/WavePlayer.h"
#include "tests/app/CommandSupport.h"
#include "tests/support/Child.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Extents.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/LoopImage.h"
#include "tests/support/MixedTree.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/RecordingMonitor.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "tests/support/VectorRows.h"

namespace omrek {
namespace {

using test::Child;
using test::Click;
using test::LoopImage;
namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::WaveImage;
using test::WriteFile;

const std::string kMarker = "OMREK-MARKER-7f3a9c-";

std::string MarkerText(std::size_t size) {
  std::string text;
  while (text.size() < size) text += kMarker;
  text.resize(size);
  return text;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The destroy command without the window: a monitor that records, and the
// initial profile.
struct EngineDestroy {
  ShredEngine engine;
  test::RecordingMonitor monitor{engine};
  StoredWipeProfile profile;
  WavePlayer sound;
  FileDestruction destruction{engine, monitor, profile, sound};
};

class DestroyCommand : public ::testing::Test {
 protected:
  DestroyCommand() { program_.Start(); }

  void Add(const std::string& path) { main_.AddTarget(path); }
  void ClickDestroy() { test::ClickDestroy(main_); }
  TargetListView& List() const { return Child<TargetListView>(main_, "lstView"); }
  QLabel& Status() const { return Child<QLabel>(main_, "lblStatus"); }
  QStringList States() const {
    QStringList states;
    for (int row = 0; row < List().RowCount(); ++row) states << List().RowStateText(row);
    return states;
  }

  LoopImage image_{32, 4096, "destroy"};
  OmrekProgram program_;
  TfrmMain& main_ = program_.Main();
};

TEST_F(DestroyCommand, OverwritesToTheClusterEndThenDeletesLeavingNoCopy) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string path = WriteFile(image_.File("secret.txt"), MarkerText(10000));
  ::sync();
  const auto extents = test::PhysicalExtents(path);
  ASSERT_FALSE(extents.empty());
  Add(path);

  ClickDestroy();

  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(List().RowCount(), 0);
  EXPECT_EQ(Status().text(), "File DONE");
  EXPECT_TRUE(main_.CancelFlag());
  EXPECT_EQ(main_.Engine().Progress, 0) << "the meter is reset at the end";

  image_.Unmount();
  const std::string disk = ReadWholeFile(image_.ImagePath());
  EXPECT_EQ(disk.find(kMarker), std::string::npos) << "a copy of the file's data is left on the disk";
  std::uint64_t covered = 0;
  for (const auto& extent : extents) {
    const std::string freed = test::ReadRange(image_.ImagePath(), extent.physical, extent.length);
    EXPECT_EQ(freed, std::string(extent.length, '\xFE')) << "the last pass's byte fills the freed blocks";
    covered += extent.length;
  }
  EXPECT_EQ(covered, 12288u) << "three 4096-byte clusters, slack included";
}

TEST_F(DestroyCommand, ReadOnlyHiddenAndEmptyFilesAreDestroyed) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string locked = WriteFile(image_.File("locked"), "read only");
  ::chmod(locked.c_str(), 0444);
  const std::string hidden = WriteFile(image_.File(".hidden"), "hidden");
  const std::string empty = WriteFile(image_.File("empty"), "");
  for (const auto& path : {locked, hidden, empty}) Add(path);

  ClickDestroy();

  EXPECT_EQ(List().RowCount(), 0);
  for (const auto& path : {locked, hidden, empty}) EXPECT_FALSE(Exists(path)) << path;
}

TEST_F(DestroyCommand, NonFilesAreSkippedWithoutAStatusAndLeftAlone) {
  OMREK_REQUIRE_MOUNTED(image_);
  test::TempDir elsewhere;
  const std::string target = WriteFile(elsewhere.File("target"), "keep me");
  const std::string link = image_.File("link");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  const std::string fifo = image_.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string folder = image_.File("folder");
  std::filesystem::create_directory(folder);
  for (const auto& path : {folder, image_.File("gone"), link, fifo}) Add(path);
  main_.SetStatus("before", "", "");

  ClickDestroy();

  EXPECT_EQ(States(), QStringList({"skipped", "skipped", "skipped", "skipped"}));
  EXPECT_EQ(Status().text(), "before") << "no status for rows that are not files";
  EXPECT_TRUE(Exists(link));
  EXPECT_TRUE(Exists(fifo));
  EXPECT_EQ(ReadWholeFile(target), "keep me");
}

// Whether inotify has told, since the last call, that `name` was closed
// after writing; reads every event waiting on `watch`.
bool ClosedAfterWriting(int watch, const std::string& name) {
  alignas(inotify_event) char events[4096];
  bool closed = false;
  for (ssize_t got; (got = ::read(watch, events, sizeof events)) > 0;) {
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      if (event->len > 0 && name == event->name) closed = true;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return closed;
}

// Whenever events run, through a first file and at the second's turn, a FIFO
// put at the second's name then is never opened for writing (for some
// devices the open alone acts) nor removed.
TEST_F(DestroyCommand, AFifoPutAtTheNameWhileEventsRunIsNeverOpenedForWriting) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string first = image_.File("first");
  const std::string path = image_.File("swapped");
  const std::string aside = image_.File("aside");
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0) << std::strerror(errno);
  ASSERT_GE(::inotify_add_watch(watch, image_.MountPoint().c_str(), IN_CLOSE_WRITE), 0);
  int pumpsInARun = 0;
  int swaps = 0;
  for (int at = 0; at <= pumpsInARun; ++at) {
    SCOPED_TRACE("swapped at pump " + std::to_string(at));
    WriteFile(first, "first");
    WriteFile(path, "keep me");
    ShredEngine engine;
    test::RecordingMonitor monitor(engine);
    monitor.statusPumps = true;
    StoredWipeProfile profile;
    WavePlayer sound;
    test::VectorRows rows({first, path});
    FileDestruction destruction(engine, monitor, profile, sound);
    bool swapped = false;
    monitor.onPump = [&] {
      if (monitor.pumps != at || ::rename(path.c_str(), aside.c_str()) != 0) return;
      ClosedAfterWriting(watch, "swapped");
      swapped = ::mkfifo(path.c_str(), 0644) == 0;
    };
    engine.CancelFlag = false;
    destruction.DestroyListedFiles(rows);
    if (at == 0) pumpsInARun = monitor.pumps;
    struct stat st {};
    EXPECT_EQ(swapped, at > 0 && ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_FALSE(swapped && ClosedAfterWriting(watch, "swapped"));
    swaps += swapped ? 1 : 0;
    ::unlink(path.c_str());
    ::unlink(aside.c_str());
  }
  // Through the first file, at the row's start, before the look, and at
  // each status line up to the delete: the file is there to swap.
  EXPECT_GE(swaps, 8);
  // A folder that knows it lies on a disk, given a look that showed a FIFO,
  // does not open it on that look; and the watch does tell a FIFO opened
  // for writing.
  const Directory folder = Directory::Walk(image_.MountPoint());
  WriteFile(first, "first");
  folder.OpenFile("first", FileHandle::Access::ReadWrite);
  const std::string control = image_.File("control");
  ASSERT_EQ(::mkfifo(control.c_str(), 0644), 0);
  EXPECT_THROW(folder.OpenSeenFile("control", *folder.Examine("control")), IoError);
  EXPECT_FALSE(ClosedAfterWriting(watch, "control"));
  ::close(::open(control.c_str(), O_RDWR | O_NONBLOCK));
  EXPECT_TRUE(ClosedAfterWriting(watch, "control"));
  ::close(watch);
}

// Answers the question about a folder's files with Yes, any other box with
// its default.
void AnswerYesToFolders(QMessageBox& box) {
  if (box.objectName() == "dlgAddFolderFiles") {
    box.button(QMessageBox::Yes)->click();
  } else {
    box.done(QMessageBox::Close);
  }
}

TEST_F(DestroyCommand, AFolderListedFileByFileGoesWithItsFilesAndNothingBeyondIt) {
  OMREK_REQUIRE_MOUNTED(image_);
  LoopImage inner(16, 4096, "inner");
  OMREK_REQUIRE_MOUNTED(inner);
  test::MixedTree tree(image_.MountPoint(), inner);
  ASSERT_TRUE(tree.Mounted());
  test::ModalBoxCatcher boxes(AnswerYesToFolders);

  Add(tree.Root());
  QCoreApplication::processEvents();
  ASSERT_GE(boxes.Boxes().size(), 1u);
  const QString question = boxes.Boxes()[0].text;
  EXPECT_TRUE(question.startsWith("Add the 4 files (73.2 KiB) inside " + QString::fromStdString(tree.Root()) + "?"))
      << question.toStdString();
  EXPECT_TRUE(question.contains("3 links, FIFOs, sockets or devices")) << question.toStdString();
  const QString mounts = QString::fromStdString(tree.In("bound") + ", " + tree.In("mnt") + ", " + tree.In("overfile"));
  EXPECT_TRUE(question.contains("mounted there: " + mounts)) << question.toStdString();
  QStringList captions;
  for (int row = 0; row < List().RowCount(); ++row) captions << List().topLevelItem(row)->text(0);
  QStringList files;
  for (const std::string& file : tree.Files()) files << QString::fromStdString(file);
  EXPECT_EQ(captions, files) << "the folder's row gave way to its files";
  EXPECT_EQ(States(), QStringList({"1", "5", "69", "1"}));

  ClickDestroy();

  EXPECT_EQ(List().RowCount(), 0);
  for (const std::string& file : tree.Files()) EXPECT_FALSE(Exists(file)) << file;
  EXPECT_FALSE(Exists(tree.In("sub"))) << "with the link inside it";
  EXPECT_TRUE(Exists(tree.In("fifo")) && Exists(tree.In("link-file"))) << "a kept folder keeps its links";
  EXPECT_EQ(ReadWholeFile(tree.Outside()), "outside") << "a link goes as a name only";
  EXPECT_EQ(ReadWholeFile(tree.OutsideFolderFile()), "kept");
  EXPECT_EQ(ReadWholeFile(tree.InnerFile()), "inner") << "the other file system is not entered";
  EXPECT_EQ(ReadWholeFile(tree.BoundFile()), "secret") << "nor a bind of its own";
  EXPECT_EQ(ReadWholeFile(tree.FileBoundOver()), "bound file");
  EXPECT_TRUE(Exists(tree.Root())) << "it still holds the mount points";
  EXPECT_EQ(Status().text(), "FOLDER KEPT");
  const std::string mounted = " (another file system is mounted there)";
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus2").text().toStdString(),
            "still holds bound" + mounted + ", mnt" + mounted + ", overfile" + mounted);
  const auto outside = std::filesystem::directory_iterator(image_.MountPoint());
  EXPECT_EQ(std::distance(outside, std::filesystem::directory_iterator()), 6)
      << "lost+found, the tree, its targets, what is bound";
}

TEST_F(DestroyCommand, CancelWhileFoldersAreRemovedKeepsTheRest) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string tree = image_.File("tree");
  for (const char* folder : {"one", "two"}) {
    std::filesystem::create_directories(tree + "/" + folder);
    WriteFile(tree + "/" + folder + "/file", "file");
  }
  test::ModalBoxCatcher boxes(AnswerYesToFolders);
  Add(tree);
  QCoreApplication::processEvents();
  ASSERT_EQ(List().RowCount(), 2);

  // Folders go deepest and last listed first: "two" is the first.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!Exists(tree + "/two")) {
      watch.stop();
      Click(main_, "btnCancel");
    }
  });
  watch.start(0);
  ClickDestroy();

  EXPECT_FALSE(Exists(tree + "/two"));
  EXPECT_FALSE(Exists(tree + "/one/file"));
  EXPECT_TRUE(Exists(tree + "/one")) << "canceled before it was removed";
  EXPECT_TRUE(Exists(tree));
  EXPECT_EQ(Status().text(), "FOLDER KEPT");
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus2").text(), "canceled");
}

TEST_F(DestroyCommand, AFileThatCannotBeOpenedForWritingKeepsItsContent) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string path = WriteFile(image_.File("immutable"), "still here");
  ASSERT_TRUE(test::RunQuietly("chattr +i '" + path + "'"));
  Add(path);

  ClickDestroy();

  EXPECT_EQ(States(), QStringList({"skipped"}));
  EXPECT_EQ(Status().text(), "ERROR");
  EXPECT_EQ(ReadWholeFile(path), "still here");
  test::RunQuietly("chattr -i '" + path + "'");
}

TEST_F(DestroyCommand, CancelDuringTheSecondFileStopsBeforeTheThird) {
  OMREK_REQUIRE_MOUNTED(image_);
  std::vector<std::string> files;
  for (const char* name : {"one", "two", "three"}) files.push_back(WriteFile(image_.File(name), MarkerText(300000)));
  for (const auto& path : files) Add(path);

  // Clicks Cancel as soon as the first row has gone, that is while the
  // command works on the second file.
  QTimer watch;
  bool cancelled = false;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (List().RowCount() == 2) {
      watch.stop();
      cancelled = true;
      Click(main_, "btnCancel");
    }
  });
  watch.start(0);
  ClickDestroy();

  ASSERT_TRUE(cancelled);
  EXPECT_FALSE(Exists(files[0]));
  EXPECT_FALSE(Exists(files[1])) << "the file in progress is finished";
  EXPECT_EQ(ReadWholeFile(files[2]), MarkerText(300000));
  ASSERT_EQ(List().RowCount(), 1);
  EXPECT_EQ(List().RowFile(0).path, files[2]);
  EXPECT_EQ(States(), QStringList({"293"})) << "the third row is untouched";
}

TEST_F(DestroyCommand, RowsDeletedWhileItRunsNeverRedirectIt) {
  OMREK_REQUIRE_MOUNTED(image_);
  std::vector<std::string> files;
  for (const char* name : {"a", "b", "c"}) files.push_back(WriteFile(image_.File(name), MarkerText(200000)));
  const std::string folder = image_.File("dir");
  std::filesystem::create_directory(folder);
  Add(folder);
  for (const auto& path : files) Add(path);

  // While the first file is destroyed, the user deletes the folder's row
  // above it: the command must still remove the row of the file it
  // destroyed, and go on with the next file.
  QTimer watch;
  bool deleted = false;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (Status().text() == "wiping" && List().RowCount() == 4 && List().RowStateText(0) == "skipped") {
      watch.stop();
      deleted = true;
      List().clearSelection();
      List().topLevelItem(0)->setSelected(true);
      QTest::keyRelease(&List(), Qt::Key_Delete);
    }
  });
  watch.start(0);
  ClickDestroy();

  ASSERT_TRUE(deleted);
  for (const auto& path : files) EXPECT_FALSE(Exists(path)) << path;
  EXPECT_EQ(List().RowCount(), 0);
}

// SDL's "disk" audio driver writes what it plays to a file: proof that the
// sound was started, on a machine without speakers.
TEST_F(DestroyCommand, TheLoadedSoundPlaysWhenThePassesBegin) {
  OMREK_REQUIRE_MOUNTED(image_);
  test::TempDir dir;
  const std::string played = dir.File("played.raw");
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);
  main_.Wave1.Load(WaveImage(4000));
  Add(WriteFile(image_.File("noisy"), "x"));

  ClickDestroy();

  EXPECT_EQ(Status().text(), "File DONE");
  EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(played) && std::filesystem::file_size(played) > 0; },
                              10000));
}

TEST_F(DestroyCommand, NoSoundLoadedPlaysNothing) {
  OMREK_REQUIRE_MOUNTED(image_);
  test::TempDir dir;
  const std::string played = dir.File("played.raw");
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);
  Add(WriteFile(image_.File("quiet"), "x"));

  ClickDestroy();

  EXPECT_EQ(Status().text(), "File DONE");
  EXPECT_FALSE(std::filesystem::exists(played));
}

// A file that the passes did not all reach stays listed and in place, so
// that it can be tried again; before, it was deleted with its data still
// readable on the disk.
TEST_F(DestroyCommand, AFileWhosePassesDidNotAllReachTheDiskIsKept) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string flushed = WriteFile(image_.File("flushed"), MarkerText(10000));
  Add(flushed);
  {
    test::InjectedFault flushes(test::FaultedCall::Flush, image_.MountPoint(), EIO, 2);
    ClickDestroy();
    EXPECT_EQ(flushes.Failures(), 4) << "the passes after the failed flush still ran";
  }
  EXPECT_EQ(States(), QStringList({"skipped"}));
  EXPECT_EQ(Status().text(), "ERROR");
  EXPECT_EQ(ReadWholeFile(flushed), std::string(10000, '\xFE'))
      << "the last pass's byte, and the file cut back from its cluster's end to its own length";

  // The second pass's write fails after the first grew the file to its
  // cluster's end: kept, no longer than it was.
  List().DeleteRow(0);
  const std::string written = WriteFile(image_.File("written"), MarkerText(10000));
  Add(written);
  {
    test::InjectedFault writes(test::FaultedCall::Write, image_.MountPoint(), EIO, 2);
    ClickDestroy();
    EXPECT_GE(writes.Failures(), 1);
  }
  EXPECT_EQ(States(), QStringList({"skipped"}));
  EXPECT_EQ(Status().text(), "ERROR");
  const std::string kept = ReadWholeFile(written);
  EXPECT_EQ(kept.size(), 10000u) << "kept at its own length";
  EXPECT_NE(kept, MarkerText(10000)) << "the first pass reached it";

  // A sparse file larger than the disk: refused before a pass runs out of room.
  List().DeleteRow(0);
  const std::string sparse = WriteFile(image_.File("sparse"), MarkerText(5000));
  ASSERT_EQ(::truncate(sparse.c_str(), 64 << 20), 0);
  Add(sparse);
  ClickDestroy();
  EXPECT_EQ(States(), QStringList({"skipped"}));
  EXPECT_EQ(Status().text(), "ERROR");
  EXPECT_TRUE(Exists(sparse));
}

struct OnDisk {
  std::uint64_t length;
  std::uint64_t blocks;
  timespec modified;
};

OnDisk OnDiskNow(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return {static_cast<std::uint64_t>(st.st_size), static_cast<std::uint64_t>(st.st_blocks), st.st_mtim};
}

// What a destroy run as the command line runs it did: each file's outcome,
// the report, the rows left and the status lines.
struct Destroyed {
  std::vector<TargetOutcome> entries;
  std::string report;
  std::vector<test::VectorRows::Row> rows;
  std::vector<std::string> statuses;
};

Destroyed DestroyWithoutWindow(const std::vector<std::string>& paths) {
  ShredEngine engine;
  test::RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  WavePlayer sound;
  test::VectorRows rows(paths);
  CommandReport report("Destroy", PassOrder::Destroy, profile, false);
  FileDestruction destruction(engine, monitor, profile, sound);
  engine.CancelFlag = false;  // as the button's click does
  destruction.TellOutcomes([&report](const TargetOutcome& done) { report.Add(done); });
  destruction.DestroyListedFiles(rows);
  return {report.Entries(), report.Text(), rows.rows, monitor.statuses};
}

TEST_F(DestroyCommand, AFolderThatGainedAFileOrKeptOneStaysAndIsNamed) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string root = image_.File("tree");
  for (const char* folder : {"/done/inner", "/grown", "/kept", "/stopped"}) fs::create_directories(root + folder);
  for (const char* file : {"/done/inner/x", "/grown/y", "/kept/z", "/stopped/v", "/stopped/w"}) {
    WriteFile(root + file, file);
  }
  FolderExpansion expansion = FolderExpansion::Begin(root);
  expansion.Finish();
  test::VectorRows rows({});
  for (FoundFile& found : std::move(expansion).TakeFiles()) {
    // The user took one row off the list.
    if (found.file.path != root + "/kept/z") rows.rows.push_back({std::move(found.file), ""});
  }
  WriteFile(root + "/grown/new", "added since");
  EngineDestroy run;
  auto& [engine, monitor, profile, sound, destruction] = run;
  std::vector<std::string> told;
  destruction.TellOutcomes([&](const TargetOutcome& done) { told.push_back(done.target + ": " + ReportText(done)); });
  // Cancel during the third file: the run stops after it, and every folder
  // stays, even those it emptied.
  monitor.onPump = [&] { engine.CancelFlag = rows.rows.size() == 2; };
  engine.CancelFlag = false;
  destruction.DestroyListedFiles(rows);
  EXPECT_EQ(told, (std::vector<std::string>{root + "/done/inner/x: File DONE", root + "/grown/y: File DONE",
                                            root + "/stopped/v: File DONE", root + "/stopped/w: not done"}));
  EXPECT_TRUE(Exists(root + "/done/inner")) << "a stopped run removes no folder";

  told.clear();
  monitor.onPump = {};
  engine.CancelFlag = false;
  destruction.DestroyListedFiles(rows);
  EXPECT_EQ(told, (std::vector<std::string>{
                      root + "/stopped/w: File DONE",
                      root + "/stopped: folder removed",
                      root + "/kept: folder kept (still holds z)",
                      root + "/grown: folder kept (still holds new)",
                      root + "/done/inner: folder removed",
                      root + "/done: folder removed",
                      root + ": folder kept (still holds grown, kept)",
                  }));
  EXPECT_EQ(ReadWholeFile(root + "/kept/z"), "/kept/z");
  EXPECT_EQ(ReadWholeFile(root + "/grown/new"), "added since");
  EXPECT_EQ(monitor.statuses.back(), "FOLDER KEPT");
}

// A row left alone says why: its file was swapped for another since it was
// listed, or its path names a folder.
TEST_F(DestroyCommand, RowsLeftAloneSayWhy) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string swapped = WriteFile(image_.File("swapped"), "listed");
  const std::string folder = image_.File("folder");
  fs::create_directory(folder);
  test::VectorRows rows({swapped, folder});
  ASSERT_EQ(::rename(WriteFile(image_.File("other"), "put in its place").c_str(), swapped.c_str()), 0);
  EngineDestroy run;
  auto& [engine, monitor, profile, sound, destruction] = run;
  std::vector<std::string> told;
  destruction.TellOutcomes([&](const TargetOutcome& done) { told.push_back(ReportText(done)); });
  engine.CancelFlag = false;
  destruction.DestroyListedFiles(rows);
  EXPECT_EQ(told, (std::vector<std::string>{"skipped (no longer where it was listed)",
                                            "skipped (not a file: a folder, link or device)"}));
  EXPECT_EQ(rows.rows[0].state, "skipped");
  EXPECT_EQ(ReadWholeFile(swapped), "put in its place");
}

// A write failing in the third of five passes: the file stays at its own
// length, though the passes reach its cluster's end, and its line and its
// report give the two passes it got, with the error.
TEST_F(DestroyCommand, AFailureMidwayIsToldWithThePassesItGot) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string file = WriteFile(image_.File("midway"), MarkerText(10000));
  Destroyed done;
  {
    test::InjectedFault writes(test::FaultedCall::Write, image_.MountPoint(), EIO, 3);
    done = DestroyWithoutWindow({file});
  }
  ASSERT_EQ(done.entries.size(), 1u);
  const TargetOutcome& entry = done.entries[0];
  EXPECT_EQ(entry.outcome, Outcome::FailedMidway);
  EXPECT_EQ(CommandLineText(entry), "failed after 2 of 5 passes, kept (I/O error 5)");
  EXPECT_NE(done.report.find("\n  failed after 2 of 5 passes, kept (I/O error 5); 12288 bytes; 2 passes; "),
            std::string::npos)
      << done.report;
  ASSERT_EQ(done.rows.size(), 1u);
  EXPECT_EQ(done.rows[0].state, "skipped");
  EXPECT_EQ(done.statuses.back(), "ERROR");
  EXPECT_EQ(fs::file_size(file), 10000u) << "cut back to its own length";
  EXPECT_NE(ReadWholeFile(file), MarkerText(10000)) << "the first passes reached it";

  // A folder whose names cannot be removed: the file is overwritten and cut
  // to nothing before that shows, and is not told as kept.
  const std::string appendOnly = image_.File("append-only");
  ASSERT_EQ(::mkdir(appendOnly.c_str(), 0755), 0);
  const std::string stuck = WriteFile(appendOnly + "/secret", MarkerText(10000));
  if (!test::RunQuietly("chattr +a " + appendOnly)) GTEST_SKIP() << "no append-only folders here";
  const Destroyed emptied = DestroyWithoutWindow({stuck});
  test::RunQuietly("chattr -a " + appendOnly);
  ASSERT_EQ(emptied.entries.size(), 1u);
  EXPECT_EQ(CommandLineText(emptied.entries[0]), "overwritten and emptied, not deleted (File access denied)");
  EXPECT_EQ(emptied.rows[0].state, "skipped");
  EXPECT_EQ(fs::file_size(stuck), 0u);
}

// A sparse file the passes would have to fill beyond the drive's free space
// is refused before any write, saying how much it needs and how much is
// free; before, the passes filled the drive and failed with no reason. Space
// the file already holds counts: a preallocated file, and a sparse one the
// drive can fill, are destroyed.
TEST_F(DestroyCommand, ASparseFileTheDriveCannotFillIsRefusedUntouched) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string sparse = WriteFile(image_.File("sparse"), MarkerText(5000));
  ASSERT_EQ(::truncate(sparse.c_str(), std::int64_t{100} << 30), 0);
  const timespec lastYear[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 365 * 86400, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, sparse.c_str(), lastYear, 0), 0);
  ::sync();
  const OnDisk before = OnDiskNow(sparse);
  const std::int64_t freeBefore = QueryDiskSpace(image_.MountPoint()).FreeBytes;

  const Destroyed refusal = DestroyWithoutWindow({sparse});

  const std::vector<TargetOutcome>& refused = refusal.entries;
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].outcome, Outcome::Kept);
  EXPECT_EQ(refused[0].passesDone, 0);
  EXPECT_EQ(refused[0].detail, "needs 100.0 GiB of new space for its holes, " + SizeText(freeBefore) + " free");
  EXPECT_EQ(ReportText(refused[0]), "ERROR, kept (" + refused[0].detail + ")");
  EXPECT_EQ(refusal.statuses, std::vector<std::string>({"ERROR"})) << "no pass was begun";
  ASSERT_EQ(refusal.rows.size(), 1u);
  EXPECT_EQ(refusal.rows[0].state, "skipped");
  const OnDisk after = OnDiskNow(sparse);
  EXPECT_EQ(after.length, before.length);
  EXPECT_EQ(after.blocks, before.blocks);
  EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec);
  EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec);
  EXPECT_EQ(test::ReadRange(sparse, 0, 5000), MarkerText(5000));
  EXPECT_EQ(QueryDiskSpace(image_.MountPoint()).FreeBytes, freeBefore) << "the drive lost no free space";

  ASSERT_EQ(::unlink(sparse.c_str()), 0);
  const std::string fits = WriteFile(image_.File("fits"), MarkerText(5000));
  ASSERT_EQ(::truncate(fits.c_str(), 4 << 20), 0);
  const std::string preallocated = image_.File("preallocated");
  const int fd = ::open(preallocated.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::posix_fallocate(fd, 0, 16 << 20), 0);
  ::close(fd);
  ASSERT_LT(QueryDiskSpace(image_.MountPoint()).FreeBytes, 16 << 20)
      << "the preallocated file is larger than the free space";

  const Destroyed both = DestroyWithoutWindow({fits, preallocated});

  ASSERT_EQ(both.entries.size(), 2u);
  EXPECT_EQ(both.entries[0].outcome, Outcome::Destroyed) << both.entries[0].detail;
  EXPECT_EQ(both.entries[1].outcome, Outcome::Destroyed) << both.entries[1].detail;
  EXPECT_TRUE(both.rows.empty());
  EXPECT_FALSE(Exists(fits));
  EXPECT_FALSE(Exists(preallocated));
}

// With verification on, a device that stores something else than the last
// pass wrote is caught and the file kept; on a sound device the same passes
// verify and the file goes.
TEST_F(DestroyCommand, VerificationCatchesADeviceThatStoresSomethingElse) {
  OMREK_REQUIRE_MOUNTED(image_);
  ShredEngine engine;
  test::RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  WavePlayer sound;
  const std::string sound_ = WriteFile(image_.File("sound"), MarkerText(3 << 20));
  const std::string corrupted = WriteFile(image_.File("corrupted"), MarkerText(3 << 20));
  test::VectorRows rows({sound_, corrupted});
  CommandReport report("Destroy", PassOrder::Destroy, profile, true);
  {
    // Five passes of three 1 MiB writes a file: the second file's last pass
    // is writes 28 to 30 on the image.
    test::CorruptedWrites corrupt(image_.MountPoint(), 29);
    FileDestruction destruction(engine, monitor, profile, sound, {true, true});
    destruction.TellOutcomes([&report](const TargetOutcome& done) { report.Add(done); });
    destruction.DestroyListedFiles(rows);
  }
  ASSERT_EQ(report.Entries().size(), 2u);
  EXPECT_EQ(report.Entries()[0].verification, Verification::Verified);
  EXPECT_EQ(report.Entries()[0].passesDone, 5);
  EXPECT_EQ(ReportText(report.Entries()[1]), "ERROR, kept (I/O error 5)");
  EXPECT_EQ(report.Entries()[1].verification, Verification::Mismatch);
  EXPECT_FALSE(Exists(sound_));
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0].file.path, corrupted);
  EXPECT_EQ(rows.rows[0].state, "skipped");
  EXPECT_EQ(monitor.statuses.back(), "ERROR");
  EXPECT_TRUE(Exists(corrupted)) << "kept, to be tried again";
}

// Renamed to names that tell nothing before it goes: the folder's blocks
// on the disk no longer hold the file's name.
TEST_F(DestroyCommand, TheFoldersBlocksKeepNoTraceOfTheName) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string name = "tax-return-2026-OMREK-9d4e.pdf";
  WriteFile(image_.File("neighbour.txt"), "stays");
  Add(WriteFile(image_.File(name), "x"));
  ::sync();
  ClickDestroy();
  ASSERT_EQ(List().RowCount(), 0);
  image_.Unmount();

  std::string folderBlocks;
  for (const QString& block :
       QString::fromStdString(test::OutputOf("debugfs -R 'blocks /' " + image_.ImagePath() + " 2>/dev/null"))
           .split(' ', Qt::SkipEmptyParts)) {
    folderBlocks += test::ReadRange(image_.ImagePath(), std::stoull(block.toStdString()) * 4096, 4096);
  }
  ASSERT_NE(folderBlocks.find("neighbour.txt"), std::string::npos) << "the folder's blocks were read";
  EXPECT_EQ(folderBlocks.find(name), std::string::npos);
}

// Held while a test runs, the mount of `source` seen at `mountPoint`
// through bindfs, a FUSE file system that cannot rename without a risk of
// replacing (it refuses RENAME_NOREPLACE with EINVAL).
class BindfsMount {
 public:
  BindfsMount(const std::string& source, const std::string& mountPoint)
      : mountPoint_(mountPoint), mounted_(test::RunQuietly("bindfs " + source + " " + mountPoint)) {}
  ~BindfsMount() {
    if (mounted_) test::RunQuietly("umount " + mountPoint_);
  }
  BindfsMount(const BindfsMount&) = delete;
  BindfsMount& operator=(const BindfsMount&) = delete;
  bool Mounted() const { return mounted_; }

 private:
  std::string mountPoint_;
  bool mounted_;
};

// Where the file system cannot promise a rename replaces nothing, the name
// is still wiped, by plain renames to names seen free just before (a name
// of that shape already there is left alone), the file is deleted, and the
// report says how its name went. Before, the file stayed, cut to nothing,
// under its own name.
TEST_F(DestroyCommand, AFileSystemWithoutSafeRenamesStillLosesTheFileAndItsName) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string inner = image_.File("inner");
  ASSERT_EQ(::mkdir(inner.c_str(), 0755), 0);
  test::TempDir seen;
  const BindfsMount bindfs(inner, seen.Path());
  if (!bindfs.Mounted()) GTEST_SKIP() << "bindfs cannot mount here";
  const std::string name = "payroll-OMREK-5b1c.xlsx";
  const std::string firstWipeName(name.size(), '0');
  WriteFile(seen.File(firstWipeName), "someone else's");
  const std::string file = WriteFile(seen.File(name), MarkerText(10000));

  const Destroyed done = DestroyWithoutWindow({file});

  ASSERT_EQ(done.entries.size(), 1u);
  const TargetOutcome& entry = done.entries[0];
  EXPECT_EQ(entry.outcome, Outcome::Destroyed) << entry.detail;
  EXPECT_EQ(entry.detail, "name wiped by plain renames: the file system cannot rename without replacing");
  EXPECT_EQ(CommandLineText(entry), "File DONE (" + entry.detail + ")");
  EXPECT_NE(done.report.find("\n  File DONE (" + entry.detail + "); 12288 bytes; "), std::string::npos) << done.report;
  EXPECT_TRUE(done.rows.empty());
  EXPECT_FALSE(Exists(file));
  std::vector<std::string> left;
  for (const auto& found : fs::directory_iterator(inner)) left.push_back(found.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>({firstWipeName}));
  EXPECT_EQ(ReadWholeFile(seen.File(firstWipeName)), "someone else's");
}

// A file system that cannot rename at all, as the kernel's filter makes
// every rename of the child fail the way such a file system does: the name
// wiping stops, the file is deleted under its own name, and the report says
// its name was not wiped.
TEST_F(DestroyCommand, AFileSystemThatCannotRenameStillLosesTheFile) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string file = WriteFile(image_.File("unrenamable.txt"), MarkerText(5000));
  EXPECT_EQ(test::RunTestCaseInChild("DestroyCommandChild.DestroysWhereRenamesFail", {{"FILE", file}}), 0);
  EXPECT_FALSE(Exists(file));
  std::vector<std::string> left;
  for (const auto& found : fs::directory_iterator(image_.MountPoint())) {
    left.push_back(found.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>({"lost+found"}));
}

#if defined(__x86_64__)
constexpr std::uint32_t kThisArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t kThisArch = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t kThisArch = 0;
#endif

// From now on renameat2 fails with EINVAL and a plain rename with ENOTSUP,
// for this process and its threads.
bool FailRenames() {
  const auto reject = [](int error) {
    return sock_filter{BPF_RET | BPF_K, 0, 0, SECCOMP_RET_ERRNO | static_cast<std::uint32_t>(error)};
  };
  sock_filter rules[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kThisArch, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_renameat2, 0, 1),
      reject(EINVAL),
#ifdef SYS_renameat
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_renameat, 0, 1),
      reject(ENOTSUP),
#endif
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  const sock_fprog program{static_cast<unsigned short>(std::size(rules)), rules};
  return kThisArch != 0 && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &program) == 0;
}

TEST(DestroyCommandChild, DestroysWhereRenamesFail) {
  ASSERT_TRUE(FailRenames());
  const Destroyed done = DestroyWithoutWindow({test::ChildArgument("FILE")});
  ASSERT_EQ(done.entries.size(), 1u);
  EXPECT_EQ(done.entries[0].outcome, Outcome::Destroyed) << done.entries[0].detail;
  EXPECT_EQ(done.entries[0].detail, "name not wiped: the file system cannot rename safely");
  EXPECT_NE(done.report.find("File DONE (name not wiped: the file system cannot rename safely); "), std::string::npos)
      << done.report;
}

// The kernel's files (a file system's tunables in sysfs, a process's state
// in proc) are refused before anything is opened for writing or changed,
// by the destroy and the slack commands alike, saying why; a read-only one
// keeps its mode, which root could otherwise change.
TEST_F(DestroyCommand, KernelFilesAreRefusedWithTheReasonAndNothingWritten) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string tunable = image_.SysfsFolder() + "/err_ratelimit_burst";
  const std::string readOnly = image_.SysfsFolder() + "/lifetime_write_kbytes";
  const std::string status = "/proc/self/status";
  const std::string tunableBefore = ReadWholeFile(tunable);
  ASSERT_FALSE(tunableBefore.empty()) << tunable;
  struct stat readOnlyBefore {};
  ASSERT_EQ(::stat(readOnly.c_str(), &readOnlyBefore), 0) << readOnly;
  const std::vector<std::string> kernelFiles = {tunable, readOnly, status};
  const std::vector<std::string> reasons = {"not a file on a disk: sysfs", "not a file on a disk: sysfs",
                                            "not a file on a disk: proc"};

  const Destroyed destroyed = DestroyWithoutWindow(kernelFiles);

  ASSERT_EQ(destroyed.entries.size(), 3u);
  ASSERT_EQ(destroyed.rows.size(), 3u);
  for (std::size_t i = 0; i < kernelFiles.size(); ++i) {
    EXPECT_EQ(destroyed.entries[i].outcome, Outcome::Refused) << kernelFiles[i];
    EXPECT_EQ(destroyed.entries[i].detail, reasons[i]);
    EXPECT_EQ(destroyed.entries[i].passesDone, 0);
    EXPECT_EQ(CommandLineText(destroyed.entries[i]), "skipped (" + reasons[i] + ")");
    EXPECT_EQ(ReportText(destroyed.entries[i]), "refused, nothing written (" + reasons[i] + ")");
    EXPECT_EQ(destroyed.rows[i].state, "skipped");
  }
  EXPECT_EQ(destroyed.statuses, std::vector<std::string>(3, "REFUSED")) << "no pass was begun";

  ShredEngine engine;
  test::RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  test::VectorRows rows(kernelFiles);
  std::vector<TargetOutcome> slack;
  SlackWipe wipe(engine, monitor, profile);
  engine.CancelFlag = false;
  wipe.TellOutcomes([&slack](const TargetOutcome& done) { slack.push_back(done); });
  wipe.WipeListedFiles(rows);
  ASSERT_EQ(slack.size(), 3u);
  for (std::size_t i = 0; i < kernelFiles.size(); ++i) {
    EXPECT_EQ(slack[i].outcome, Outcome::Refused) << kernelFiles[i];
    EXPECT_EQ(slack[i].detail, reasons[i]);
  }

  EXPECT_EQ(ReadWholeFile(tunable), tunableBefore);
  struct stat readOnlyAfter {};
  ASSERT_EQ(::stat(readOnly.c_str(), &readOnlyAfter), 0);
  EXPECT_EQ(readOnlyAfter.st_mode, readOnlyBefore.st_mode);

  // Bound over a file in a folder on the disk, after a file of that folder
  // was destroyed (the folder's file system is known by then), the kernel's
  // file is still refused.
  const std::string plain = WriteFile(image_.File("plain"), "plain");
  const std::string bound = WriteFile(image_.File("bound"), "bound");
  ASSERT_TRUE(test::RunQuietly("mount --bind " + tunable + " " + bound));
  const Destroyed beside = DestroyWithoutWindow({plain, bound});
  EXPECT_TRUE(test::RunQuietly("umount " + bound));
  ASSERT_EQ(beside.entries.size(), 2u);
  EXPECT_EQ(beside.entries[0].outcome, Outcome::Destroyed);
  EXPECT_EQ(beside.entries[1].outcome, Outcome::Refused);
  EXPECT_EQ(beside.entries[1].detail, "not a file on a disk: sysfs");
  EXPECT_EQ(ReadWholeFile(tunable), tunableBefore);
}

// On a device that moves rewritten blocks (here a loop device marked
// solid-state) the user is warned first, can cancel, and can silence the
// warning for that drive.
TEST_F(DestroyCommand, ADriveThatMayKeepOldCopiesIsNamedFirst) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string rotational = "/sys/block/" + fs::path(image_.Device()).filename().string() + "/queue/rotational";
  if (!test::RunQuietly("echo 0 > " + rotational)) GTEST_SKIP() << "cannot mark the loop device solid-state";
  test::TempDir settings;
  program_.Config().SetProgramPath(settings.File("omrek"));
  const std::string file = WriteFile(image_.File("on-flash"), "x");
  Add(file);
  const auto press = [](const QString& caption, bool silence) {
    return [caption, silence](QMessageBox& box) {
      box.checkBox()->setChecked(silence);
      for (QAbstractButton* button : box.buttons()) {
        if (button->text() == caption) button->click();
      }
    };
  };
  {
    test::ModalBoxCatcher cancel(press("Cancel", false));
    EXPECT_EQ(test::ClickDestroy(main_), true) << "the wipe afterwards is offered ticked";
    ASSERT_EQ(cancel.Boxes().size(), 1u);
    const QChar letter = DriveTable::Read().LetterOf(image_.MountPoint());
    EXPECT_TRUE(cancel.Boxes()[0].text.startsWith(QString::fromStdString("The drive " + image_.MountPoint() + " (") +
                                                  letter + ":): "))
        << cancel.Boxes()[0].text.toStdString();
    EXPECT_FALSE(cancel.Boxes()[0].text.contains("on-flash")) << "a drive, not a file";
    EXPECT_TRUE(cancel.Boxes()[0].text.contains("solid-state"));
  }
  EXPECT_TRUE(Exists(file)) << "Cancel writes nothing";
  EXPECT_EQ(States(), QStringList({"1"}));
  {
    test::ModalBoxCatcher go(press("Continue", true));
    ClickDestroy();
    EXPECT_EQ(go.Boxes().size(), 1u);
  }
  EXPECT_FALSE(Exists(file));
  EXPECT_NE(ReadWholeFile(settings.File("omrek.ini")).find("QuietDrives=" + image_.MountPoint()), std::string::npos);
  Add(WriteFile(image_.File("again"), "x"));
  test::ModalBoxCatcher none;
  ClickDestroy();
  EXPECT_TRUE(none.Boxes().empty()) << "silenced for that drive";
  test::RunQuietly("echo 1 > " + rotational);
}

// The names a walked file loses with the command are those still listed
// and still leading to it: a name the user took off the list keeps the
// content, and so does one outside when a name inside went before its turn.
TEST_F(DestroyCommand, ANameTakenOffTheListOrLeftOutsideKeepsTheContent) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string root = image_.File("tree");
  fs::create_directories(root + "/a");
  const std::string kept = WriteFile(root + "/a/x", "kept content");
  ASSERT_EQ(::link(kept.c_str(), (root + "/a/y").c_str()), 0);
  const std::string shared = WriteFile(root + "/a/p", "shared content");
  ASSERT_EQ(::link(shared.c_str(), (root + "/a/q").c_str()), 0);
  ASSERT_EQ(::link(shared.c_str(), image_.File("outside").c_str()), 0);
  FolderExpansion expansion = FolderExpansion::Begin(root);
  expansion.Finish();
  test::VectorRows rows({});
  for (FoundFile& found : std::move(expansion).TakeFiles()) {
    if (found.file.path != root + "/a/y") rows.rows.push_back({std::move(found.file), ""});
  }
  fs::remove(root + "/a/q");
  EngineDestroy run;
  auto& [engine, monitor, profile, sound, destruction] = run;
  engine.CancelFlag = false;
  destruction.DestroyListedFiles(rows);
  EXPECT_FALSE(Exists(root + "/a/x"));
  EXPECT_FALSE(Exists(root + "/a/p"));
  EXPECT_EQ(ReadWholeFile(root + "/a/y"), "kept content");
  EXPECT_EQ(ReadWholeFile(image_.File("outside")), "shared content");
}

// Destroy asks first, and Return there cancels. Its check box, ticked as
// the user last chose (at first only where a drive keeps old copies), has
// the free space of the files' drives wiped afterwards; Cancel during that
// filling leaves the files destroyed and no filler behind.
TEST_F(DestroyCommand, AskedFirstAndTheFreeSpaceWipedAfterwardsWhenTicked) {
  OMREK_REQUIRE_MOUNTED(image_);
  test::TempDir settings;
  program_.Config().SetProgramPath(settings.File("omrek"));
  const std::string file = WriteFile(image_.File("thesis.txt"), MarkerText(70000));
  Add(file);
  QString asked;
  std::optional<bool> ticked;
  Qt::Key pressKey = Qt::Key_Return;
  QTimer answerQuestion;
  QObject::connect(&answerQuestion, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box->objectName() != "DestroyQuestion") return;
    asked = box->text();
    ticked = box->checkBox()->isChecked();
    QTest::keyClick(box, pressKey);
  });
  answerQuestion.start(10);
  ClickDestroy();
  answerQuestion.stop();
  EXPECT_TRUE(Exists(file)) << "Return cancels";
  EXPECT_TRUE(asked.contains(QString::fromStdString("\n" + image_.MountPoint() + " ("))) << asked.toStdString();
  EXPECT_EQ(ticked, false) << "this drive keeps no old copies";

  const auto fillers = [&] {
    return std::count_if(fs::directory_iterator(image_.MountPoint()), fs::directory_iterator(), [](const auto& entry) {
      return entry.path().filename().string().starts_with("Omrek-Delete");
    });
  };
  QTimer cancelWhileFilling;
  QObject::connect(&cancelWhileFilling, &QTimer::timeout, [&] {
    if (fillers() > 0) Click(main_, "btnCancel");
  });
  cancelWhileFilling.start(1);
  const test::ModalBoxCatcher messages;
  test::ClickDestroy(main_, true);
  cancelWhileFilling.stop();
  EXPECT_FALSE(Exists(file));
  EXPECT_EQ(fillers(), 0);
  EXPECT_NE(ReadWholeFile(settings.File("omrek.ini")).find("ThenWipeSpace=1"), std::string::npos);

  // Esc cancels too; the box is offered as the user last chose.
  const std::string next = WriteFile(image_.File("next"), "x");
  Add(next);
  pressKey = Qt::Key_Escape;
  answerQuestion.start(10);
  ClickDestroy();
  answerQuestion.stop();
  EXPECT_TRUE(Exists(next));
  EXPECT_EQ(ticked, true);

  // Cancel during the files holds for the wipe as well: nothing is filled.
  Add(WriteFile(image_.File("after next"), "x"));
  bool filled = false;
  QTimer cancelAtOnce;
  QObject::connect(&cancelAtOnce, &QTimer::timeout, [&] {
    filled = filled || fillers() > 0;
    if (!Exists(next)) Click(main_, "btnCancel");
  });
  cancelAtOnce.start(0);
  test::ClickDestroy(main_, true);
  cancelAtOnce.stop();
  EXPECT_FALSE(Exists(next)) << "the file under way is finished";
  EXPECT_TRUE(Exists(image_.File("after next")));
  EXPECT_FALSE(filled);
}

// Another user owns a folder on the way to a listed file and, between the
// listing and the commands, swaps the file's folder for a link to one of
// root's folders holding a file of the same name.
TEST_F(DestroyCommand, AFolderSwappedForALinkLeadsNowhere) {
  OMREK_REQUIRE_MOUNTED(image_);
  constexpr uid_t kNobody = 65534;
  const std::string race = image_.File("race");
  for (const std::string& folder : {race, race + "/dirC"}) {
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
  }
  const std::string listed = WriteFile(race + "/dirC/secret", "the listed file");
  ASSERT_EQ(::mkdir(image_.File("rootonly").c_str(), 0700), 0);
  const std::string roots = WriteFile(image_.File("rootonly/secret"), "root's own secret");
  struct stat before {};
  ASSERT_EQ(::stat(roots.c_str(), &before), 0);
  Add(listed);
  ASSERT_EQ(test::RunTestCaseAsNobody("DestroyCommandChild.SwapsTheFolderForALink",
                                      {{"RACE", race}, {"TARGET", image_.File("rootonly")}}),
            0);
  main_.SetStatus("untouched", "", "");

  ClickDestroy();
  EXPECT_EQ(States(), QStringList({"skipped"}));
  EXPECT_EQ(Status().text(), "untouched") << "a file no longer there as listed reads as gone";
  Click(main_, "btnWipeSlack");
  EXPECT_EQ(States(), QStringList({"skipped"}));

  EXPECT_EQ(ReadWholeFile(roots), "root's own secret");
  EXPECT_EQ(ReadWholeFile(race + "/dirC.old/secret"), "the listed file");
  struct stat after {};
  ASSERT_EQ(::stat(roots.c_str(), &after), 0);
  EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec) << "not even lengthened and cut back";
  EXPECT_EQ(after.st_ctim.tv_sec, before.st_ctim.tv_sec);
}

TEST(DestroyCommandChild, SwapsTheFolderForALink) {
  const std::string race = test::ChildArgument("RACE");
  ASSERT_EQ(::rename((race + "/dirC").c_str(), (race + "/dirC.old").c_str()), 0);
  ASSERT_EQ(::symlink(test::ChildArgument("TARGET").c_str(), (race + "/dirC").c_str()), 0);
}

TEST_F(DestroyCommand, PathsLongerThanTheSystemLimitAreListedWipedAndDestroyed) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string name(200, 'd');
  std::string path = image_.MountPoint();
  int depth = 0;
  ASSERT_EQ(::chdir(path.c_str()), 0);
  for (; path.size() <= PATH_MAX; ++depth) {
    ASSERT_EQ(::mkdir(name.c_str(), 0755), 0);
    ASSERT_EQ(::chdir(name.c_str()), 0);
    path += "/" + name;
  }
  WriteFile("deep", std::string(3000, 'x'));

  Add(path + "/deep");
  EXPECT_EQ(States(), QStringList({"3"}));
  Click(main_, "btnWipeSlack");
  EXPECT_EQ(States(), QStringList({"-slack"}));
  EXPECT_EQ(ReadWholeFile("deep"), std::string(3000, 'x'));
  ClickDestroy();
  EXPECT_EQ(List().RowCount(), 0);
  EXPECT_EQ(Status().text(), "File DONE");
  EXPECT_FALSE(Exists("deep"));

  // Folders this deep go from the inside out, a name at a time.
  for (; depth > 0; --depth) {
    ASSERT_EQ(::chdir(".."), 0);
    ASSERT_EQ(::rmdir(name.c_str()), 0);
  }
  ASSERT_EQ(::chdir("/"), 0);
}

}  // namespace
}  // namespace omrek
