#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <filesystem>

#include "app/OmrekProgram.h"
#include "disk/DiskList.h"
#include "platform/DriveTable.h"
#include "platform/Volume.h"
#include "tests/app/CommandSupport.h"
#include "tests/support/LoopImage.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "widgets/BarMeter.h"
#include "widgets/FlatButton.h"

namespace omrek {
namespace {

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

  QTest::mouseClick(main.btnWipeSpace, Qt::LeftButton);

  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_TRUE(main.CancelFlag());
  EXPECT_EQ(main.lblStatus->text(), QString("DRIVE ") + letter);
  EXPECT_EQ(main.lblStatus3->text(), "WIPED");
  EXPECT_EQ(main.Meter->position(), main.Meter->maximum()) << "the meter shows full";
  EXPECT_GT(main.Meter->maximum(), 0);
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

INSTANTIATE_TEST_SUITE_P(SweepOnAndOff, WipeSpaceCommand, ::testing::Values(false, true));

}  // namespace
}  // namespace omrek
