#include "disk/ui/DiskList.h"

#include <gtest/gtest.h>

#include <QTest>
#include <string>
#include <vector>

#include "platform/DriveTable.h"
#include "tests/support/LoopImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

namespace omrek {
namespace {

using test::LoopImage;

QTreeWidgetItem* ItemOf(const TDiskListView& list, const QString& displayName) {
  const auto found = list.findItems(displayName, Qt::MatchExactly);
  return found.isEmpty() ? nullptr : found.first();
}

QString DisplayNameAt(const std::string& mountPoint) {
  const DriveTable table = DriveTable::Read();
  return QString::fromStdString(table.Find(table.LetterOf(mountPoint))->DisplayName());
}

TEST(DriveLetterOfDisplayName, TakesTheLetterFromTheEndingMarker) {
  EXPECT_EQ(DriveLetterOfDisplayName("Local Disk (C:)"), QChar('C'));
  EXPECT_EQ(DriveLetterOfDisplayName("My (old) disk (D:)"), QChar('D'));
  EXPECT_EQ(DriveLetterOfDisplayName("lower (e:)"), QChar('E'));
  EXPECT_TRUE(DriveLetterOfDisplayName("no marker").isNull());
  EXPECT_TRUE(DriveLetterOfDisplayName("(C:)").isNull());
  EXPECT_TRUE(DriveLetterOfDisplayName("half (C:").isNull());
  EXPECT_TRUE(DriveLetterOfDisplayName("digit (1:)").isNull());
}

TEST(DiskList, ListsEachDriveOnceWithFixedDrivesSelected) {
  LoopImage image(16, 4096, "My (old) disk");
  test::TmpfsMount ram;
  OMREK_REQUIRE_MOUNTED(image);
  if (!ram.Mounted()) GTEST_SKIP() << ram.Reason();

  TDiskListView list;
  EXPECT_EQ(list.headerItem()->text(0), "Select drives");
  list.RefreshDrives();
  list.RefreshDrives();
  const auto drives = DriveTable::Read().Drives();
  ASSERT_EQ(list.topLevelItemCount(), static_cast<int>(drives.size())) << "one item per drive, after two fills";
  for (int row = 0; row < list.topLevelItemCount(); ++row) {
    EXPECT_EQ(list.topLevelItem(row)->text(0), QString::fromStdString(drives[row].DisplayName())) << "letter order";
    EXPECT_FALSE(list.topLevelItem(row)->icon(0).isNull());
  }

  QTreeWidgetItem* disk = ItemOf(list, DisplayNameAt(image.MountPoint()));
  QTreeWidgetItem* ramDisk = ItemOf(list, DisplayNameAt(ram.MountPoint()));
  ASSERT_NE(disk, nullptr);
  ASSERT_NE(ramDisk, nullptr);
  EXPECT_TRUE(disk->isSelected()) << "fixed";
  EXPECT_FALSE(ramDisk->isSelected()) << "RAM disks are listed, never preselected";
  EXPECT_TRUE(list.topLevelItem(0)->isSelected()) << "C: is fixed";

  // Only the image's drive: the "(old)" in its label must not stand in for
  // its letter.
  list.clearSelection();
  disk->setSelected(true);
  const char letter = DriveTable::Read().LetterOf(image.MountPoint());
  EXPECT_EQ(list.SelectedDriveLetters(), QString(QChar(letter)));

  EXPECT_EQ(list.SelectedMountPoints(), std::vector<std::string>{image.MountPoint()});

  ramDisk->setSelected(true);
  list.topLevelItem(0)->setSelected(true);
  const QString expected = QString("C") + QChar(std::min(letter, DriveTable::Read().LetterOf(ram.MountPoint()))) +
                           QChar(std::max(letter, DriveTable::Read().LetterOf(ram.MountPoint())));
  EXPECT_EQ(list.SelectedDriveLetters(), expected) << "list order";
  list.clearSelection();
  EXPECT_EQ(list.SelectedDriveLetters(), "");

  list.SelectMountPoints({ram.MountPoint(), "/no/such/mount", "/"});
  EXPECT_EQ(list.selectedItems().size(), 2);
  EXPECT_TRUE(ramDisk->isSelected());
  EXPECT_TRUE(list.topLevelItem(0)->isSelected());
  EXPECT_EQ(list.SelectedMountPoints().front(), "/") << "list order";
}

bool Listed(const TDiskListView& list, const std::string& mountPoint) {
  for (int row = 0; row < list.topLevelItemCount(); ++row) {
    if (list.topLevelItem(row)->data(0, Qt::UserRole).toByteArray().toStdString() == mountPoint) return true;
  }
  return false;
}

TEST(DiskList, FollowsMountsAndUnmountsKeepingTheSelectionByMountPoint) {
  test::TempDir folder;
  TDiskListView list;
  list.RefreshDrives();
  list.SelectMountPoints({"/"});

  test::TmpfsMount ram(folder.File("m"));
  if (!ram.Mounted()) GTEST_SKIP() << ram.Reason();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Listed(list, ram.MountPoint()); }));
  EXPECT_EQ(list.SelectedMountPoints(), std::vector<std::string>{"/"}) << "a new drive starts unselected";

  list.SelectMountPoints({"/", ram.MountPoint()});
  const char ramLetter = DriveTable::Read().LetterOf(ram.MountPoint());
  test::TmpfsMount inFront(folder.File("a"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Listed(list, inFront.MountPoint()); }));
  ASSERT_EQ(DriveTable::Read().LetterOf(inFront.MountPoint()), ramLetter) << "the letters have shifted";
  EXPECT_EQ(list.SelectedMountPoints(), (std::vector<std::string>{"/", ram.MountPoint()}));

  ram.Unmount();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Listed(list, ram.MountPoint()); }));
  EXPECT_EQ(list.SelectedMountPoints(), std::vector<std::string>{"/"});
  EXPECT_EQ(list.SelectedDriveLetters(), "C");
}

TEST(DiskList, WithoutSelectLocalDrivesNothingIsPreselected) {
  TDiskListView list;
  list.SetSelectLocalDrives(false);
  list.RefreshDrives();
  EXPECT_GT(list.topLevelItemCount(), 0);
  EXPECT_TRUE(list.selectedItems().isEmpty());
  EXPECT_EQ(list.SelectedDriveLetters(), "");
}

}  // namespace
}  // namespace omrek
