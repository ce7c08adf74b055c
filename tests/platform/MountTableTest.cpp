#include "platform/MountTable.h"

#include <gtest/gtest.h>

namespace omrek {
namespace {

TEST(MountTable, ReadsFieldsAroundOptionalTagsAndUnescapesPaths) {
  const std::string text =
      "26 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
      "45 26 7:3 / /media/My\\040Disk rw,relatime shared:5 master:2 - vfat /dev/loop3 rw\n"
      "garbage line\n"
      "50 26 0:40 / /tmp/x rw - tmpfs tmpfs rw,size=4096k\n"
      "51 26 x:y / /bad rw - ext4 /dev/sdz rw\n";
  const auto entries = ParseMountTable(text);
  ASSERT_EQ(entries.size(), 3u) << "unreadable lines are left out";
  EXPECT_EQ(entries[0].MountPoint, "/");
  EXPECT_EQ(entries[0].Major, 254u);
  EXPECT_EQ(entries[0].Type, "ext4");
  EXPECT_EQ(entries[0].Source, "/dev/vda");
  EXPECT_EQ(entries[0].Id, 26u);
  EXPECT_EQ(entries[2].Id, 50u);
  EXPECT_EQ(entries[1].MountPoint, "/media/My Disk");
  EXPECT_EQ(entries[1].Minor, 3u);
  EXPECT_EQ(entries[1].Type, "vfat");
  EXPECT_EQ(entries[2].Type, "tmpfs");
}

}  // namespace
}  // namespace omrek
