#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/OmrekProgram.h"
#include "app/SpaceConfirmation.h"
#include "disk/ui/DiskList.h"
#include "platform/DriveTable.h"
#include "platform/Volume.h"
#include "tests/app/CommandSupport.h"
#include "tests/support/Child.h"
#include "tests/support/LoopImage.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "widgets/BarMeter.h"

namespace omrek {
namespace {

using test::Child;
using test::Click;
using test::LoopImage;
using test::SelectOnly;
namespace fs = std::filesystem;

const std::string kMarker = "OMREK-FREE-SPACE-MARKER-51c2-";

class WipeSpaceCommand : public ::testing::TestWithParam<bool> {};

TEST_P(WipeSpaceCommand, LeavesNoFillerAndNoTraceOfDeletedFiles) {
  const bool sweep = GetParam();
  LoopImage image(64, 4096, "freespace");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  // ext4 keeps blocks that no program may write, root included: a reserved
  // pool, and a preallocation for small files (the sweep's log is one) that
  // it hands over only to small files. Whichever free blocks end up there
  // keep their old bytes. The test shrinks both so that it can check the
  // whole free space.
  const std::string device = fs::path(image.Device()).filename().string();
  ASSERT_TRUE(test::RunQuietly("echo 0 > /sys/fs/ext4/" + device + "/reserved_clusters"));
  ASSERT_TRUE(test::RunQuietly("echo 1 > /sys/fs/ext4/" + device + "/mb_group_prealloc"));
  const std::string kept = test::WriteFile(root + "/kept", std::string(3000, 'k'));
  std::string secret;
  while (secret.size() < (4u << 20)) secret += kMarker;
  for (int i = 0; i < 3; ++i) test::WriteFile(root + "/secret" + std::to_string(i), secret);
  ::sync();
  for (int i = 0; i < 3; ++i) fs::remove(root + "/secret" + std::to_string(i));
  ::sync();
  const std::int64_t free = QueryDiskSpace(root).FreeBytes;

  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  program.Config().chkWipeSlack->setChecked(sweep);
  SelectOnly(*program.Config().lstDisk, root);
  test::ModalBoxCatcher boxes;
  const QChar letter = program.Config().lstDisk->SelectedDriveLetters().at(0);

  Click(main, "btnWipeSpace");

  ASSERT_EQ(boxes.Boxes().size(), 1u) << "only the question before the filling";
  EXPECT_EQ(boxes.Boxes().front().title, "Wipe Space");
  EXPECT_TRUE(main.CancelFlag());
  EXPECT_EQ(Child<QLabel>(main, "lblStatus").text(), QString("DRIVE ") + letter);
  EXPECT_EQ(Child<QLabel>(main, "lblStatus3").text(), "WIPED");
  const BarMeter& meter = Child<BarMeter>(main, "Meter");
  EXPECT_EQ(meter.position(), meter.maximum()) << "the meter shows full";
  EXPECT_GT(meter.maximum(), 0);
  for (const auto& entry : fs::directory_iterator(root)) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("Omrek-Delete")) << entry.path();
  }
  EXPECT_EQ(fs::exists(root + "/Omrek Slack Skipped Files.log"), sweep);
  EXPECT_EQ(test::ReadWholeFile(kept), std::string(3000, 'k'));
  const std::int64_t logSize =
      sweep ? static_cast<std::int64_t>(fs::file_size(root + "/Omrek Slack Skipped Files.log")) : 0;
  EXPECT_LE(free - QueryDiskSpace(root).FreeBytes, logSize + 4096) << "the free space is back";

  image.Unmount();
  EXPECT_EQ(test::ReadWholeFile(image.ImagePath()).find(kMarker), std::string::npos)
      << "a deleted file's data is left in the free space";
}

// Answers the next message box with Esc, as a user cancelling would, and
// keeps what it said.
class EscapeNextBox {
 public:
  EscapeNextBox() {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible() || answered_) return;
      answered_ = true;
      // Everything the box shows: its text and the drive lines below it.
      for (const QLabel* label : box->findChildren<QLabel*>()) text_ += label->text() + QLatin1Char('\n');
      QTest::keyClick(box, Qt::Key_Escape);
    });
    poll_.start(10);
  }
  const QString& Text() const { return text_; }

 private:
  QTimer poll_;
  QString text_;
  bool answered_ = false;
};

bool FillerIn(const std::string& root) {
  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.path().filename().string().starts_with("Omrek-Delete")) return true;
  }
  return false;
}

TEST(WipeSpaceQuestion, CancelLeavesTheDrivesAndTheStatusAsTheyWere) {
  LoopImage image(16, 4096, "question");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  SelectOnly(*program.Config().lstDisk, root);
  const QChar letter = program.Config().lstDisk->SelectedDriveLetters().at(0);
  const std::int64_t free = QueryDiskSpace(root).FreeBytes;
  {
    EscapeNextBox cancel;
    Click(main, "btnWipeSpace");
    const QString line = QString::fromStdString(root) + " (" + letter + ":): ";
    EXPECT_TRUE(cancel.Text().contains(line + QString::fromStdString(SizeText(free)) + " free, time: unknown"))
        << cancel.Text().toStdString();
    EXPECT_FALSE(cancel.Text().contains(kSystemDriveWarning)) << "a drive the system does not run from";
  }
  EXPECT_EQ(Child<QLabel>(main, "lblStatus").text(), "READY");
  EXPECT_EQ(Child<QLabel>(main, "lblStatus3").text(), "");
  EXPECT_TRUE(main.CancelFlag());
  EXPECT_FALSE(main.CommandRunning());
  EXPECT_FALSE(FillerIn(root));
  EXPECT_EQ(QueryDiskSpace(root).FreeBytes, free);

  // Wiped once, the drive's next question has a time to tell.
  {
    test::ModalBoxCatcher wipe;
    program.Config().chkWipeSlack->setChecked(false);
    Click(main, "btnWipeSpace");
    EXPECT_EQ(Child<QLabel>(main, "lblStatus3").text(), "WIPED");
  }
  EscapeNextBox again;
  Click(main, "btnWipeSpace");
  EXPECT_FALSE(again.Text().contains("time: unknown")) << again.Text().toStdString();
  EXPECT_TRUE(again.Text().contains("time: ")) << again.Text().toStdString();
}

TEST(WipeSpaceQuestion, NoDriveSelectedSaysSoAndNothingRuns) {
  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  program.Config().lstDisk->RefreshDrives();
  program.Config().lstDisk->clearSelection();
  test::ModalBoxCatcher boxes;
  Click(main, "btnWipeSpace");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes().front().title, "Wipe Space");
  EXPECT_EQ(boxes.Boxes().front().text, "No drive is selected: choose the drives to wipe in Config.");
  EXPECT_EQ(Child<QLabel>(main, "lblStatus").text(), "READY");
  EXPECT_TRUE(main.CancelFlag());
}

// Enter out of habit must not fill a drive the system runs from or that
// holds the program's settings: there Cancel is the default and Alt+W wipes;
// elsewhere Wipe stays the default. The question tells what the slack sweep
// does when it is on.
TEST(WipeSpaceQuestion, CancelIsTheDefaultWhereTheSystemOrTheSettingsLie) {
  LoopImage image(16, 4096, "settings");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  const std::optional<Volume> system = VolumeHoldingPath("/usr");
  ASSERT_TRUE(system);
  const std::vector<DriveForecast> plain = ForecastSpaceWipe({{'D', root}}, {});
  const std::vector<DriveForecast> systems = ForecastSpaceWipe({{'C', system->RootDirectory}}, {});
  const std::string settingsOnImage = image.File("app/omrek.ini");
  EXPECT_TRUE(systems[0].holdsSystem) << "the drive holding /usr";
  EXPECT_TRUE(CancelByDefault({systems, false, ""}));
  EXPECT_FALSE(CancelByDefault({plain, false, ""}));
  EXPECT_TRUE(CancelByDefault({plain, false, settingsOnImage})) << "the settings' folder is not made yet";
  EXPECT_TRUE(SpaceConfirmationText({plain, false, settingsOnImage}).contains(kSettingsDriveWarning));
  EXPECT_FALSE(SpaceConfirmationText({plain, false, ""}).contains(kSettingsDriveWarning));
  EXPECT_TRUE(SpaceConfirmationText({plain, true, ""}).contains("lengthens then restores every file on them"));
  EXPECT_FALSE(SpaceConfirmationText({plain, false, ""}).contains("lengthens"));

  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  program.Config().SetProgramPath(image.File("app/omrek"));
  program.Config().chkWipeSlack->setChecked(false);
  SelectOnly(*program.Config().lstDisk, root);
  const std::int64_t free = QueryDiskSpace(root).FreeBytes;
  // Keys go to the box once it is the active window, as a person's would,
  // through its window, where shortcuts such as Alt+W are looked for.
  int pressed = 0;
  const auto answer = [&pressed](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    pressed = 0;
    return [key, modifiers, &pressed](QMessageBox& box) {
      // A shortcut presses its button a moment later, with the box still
      // up meanwhile: one key, once.
      if (!box.isActiveWindow() || pressed > 0) return;
      EXPECT_EQ(box.button(QMessageBox::Ok)->text(), "&Wipe");
      ++pressed;
      QTest::keyClick(box.windowHandle(), key, modifiers);
    };
  };
  {
    test::ModalBoxCatcher enter(answer(Qt::Key_Return));
    Click(main, "btnWipeSpace");
    EXPECT_EQ(pressed, 1);
    ASSERT_FALSE(enter.Boxes().empty());
    EXPECT_EQ(enter.Boxes()[0].icon, QMessageBox::Warning);
  }
  EXPECT_EQ(Child<QLabel>(main, "lblStatus").text(), "READY") << "Enter wrote nothing";
  EXPECT_FALSE(FillerIn(root));
  EXPECT_EQ(QueryDiskSpace(root).FreeBytes, free);
  {
    test::ModalBoxCatcher altW(answer(Qt::Key_W, Qt::AltModifier));
    Click(main, "btnWipeSpace");
    EXPECT_EQ(pressed, 1);
  }
  EXPECT_EQ(Child<QLabel>(main, "lblStatus3").text(), "WIPED") << "Alt+W wipes";

  // Without a drive that matters to the system, Enter wipes.
  test::TempDir elsewhere;
  program.Config().SetProgramPath(elsewhere.File("omrek"));
  main.SetStatus("READY", "", "");
  {
    test::ModalBoxCatcher enter(answer(Qt::Key_Return));
    Click(main, "btnWipeSpace");
    EXPECT_EQ(pressed, 1);
    ASSERT_FALSE(enter.Boxes().empty());
    EXPECT_EQ(enter.Boxes()[0].icon, QMessageBox::Question);
  }
  EXPECT_EQ(Child<QLabel>(main, "lblStatus3").text(), "WIPED");
}

TEST(WipeSpaceForecast, WarnsOnTheSystemsDriveAndTellsSizesAndTimes) {
  const std::optional<Volume> system = VolumeHoldingPath("/");
  ASSERT_TRUE(system);
  WipeSpeeds speeds;
  speeds.Note(system->RootDirectory, 100.0 * (1 << 20));
  const std::vector<DriveForecast> forecast = ForecastSpaceWipe({{'C', system->RootDirectory}}, speeds);
  ASSERT_EQ(forecast.size(), 1u);
  EXPECT_TRUE(forecast[0].holdsSystem);
  ASSERT_TRUE(forecast[0].seconds);
  EXPECT_NEAR(*forecast[0].seconds, static_cast<double>(forecast[0].freeBytes) / (100 << 20), 1.0);
  EXPECT_TRUE(SpaceConfirmationText({forecast, false, ""}).contains(kSystemDriveWarning));

  EXPECT_EQ(SizeText(-1), "unknown");
  EXPECT_EQ(SizeText(512), "512 bytes");
  EXPECT_EQ(SizeText(310 << 20), "310 MiB");
  EXPECT_EQ(SizeText(std::int64_t{13} << 29), "6.5 GiB");
  EXPECT_EQ(DurationText(std::nullopt), "unknown");
  EXPECT_EQ(DurationText(12), "under a minute");
  EXPECT_EQ(DurationText(150), "about 3 min");
  EXPECT_EQ(DurationText(7500), "about 2 h 5 min");
}

INSTANTIATE_TEST_SUITE_P(SweepOnAndOff, WipeSpaceCommand, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& sweep) {
                           return sweep.param ? "slack_swept" : "slack_left";
                         });

}  // namespace
}  // namespace omrek
