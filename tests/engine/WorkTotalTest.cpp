#include "engine/WorkTotal.h"

#include <gtest/gtest.h>

#include "tests/support/LoopImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/VectorRows.h"

namespace omrek {
namespace {

using test::LoopImage;
using test::VectorRows;
using test::WriteFile;

TEST(WorkTotal, PerSectorAndPerPassOverTheList) {
  LoopImage image(16, 4096, "totals");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string file = WriteFile(image.File("thousand"), std::string(1000, 'x'));
  const std::string empty = WriteFile(image.File("empty"), "");
  ShredEngine engine;
  StoredWipeProfile profile;

  VectorRows one({file});
  ComputeWorkTotal(WorkKind::PerSector, engine, one, profile);
  EXPECT_EQ(engine.WorkTotal, 40) << "5 passes of 8 sectors";
  EXPECT_EQ(engine.ClusterSize, 4096u);
  ComputeWorkTotal(WorkKind::PerPass, engine, one, profile);
  EXPECT_EQ(engine.WorkTotal, 5);

  VectorRows mixed({file, image.MountPoint(), image.File("gone"), empty});
  ComputeWorkTotal(WorkKind::PerSector, engine, mixed, profile);
  EXPECT_EQ(engine.WorkTotal, 40) << "folders, vanished paths and empty files add nothing";
  ComputeWorkTotal(WorkKind::PerPass, engine, mixed, profile);
  EXPECT_EQ(engine.WorkTotal, 20) << "every row counts its passes";

  profile.numRandomize = 0;
  ComputeWorkTotal(WorkKind::PerSector, engine, one, profile);
  EXPECT_EQ(engine.WorkTotal, 32);

  VectorRows none({});
  ComputeWorkTotal(WorkKind::PerSector, engine, none, profile);
  EXPECT_EQ(engine.WorkTotal, 0);
  ComputeWorkTotal(WorkKind::PerPass, engine, none, profile);
  EXPECT_EQ(engine.WorkTotal, 0);
}

TEST(WorkTotal, ClusterSizeOfEachFilesOwnVolume) {
  LoopImage small(16, 1024, "small");
  LoopImage large(16, 4096, "large");
  OMREK_REQUIRE_MOUNTED(small);
  OMREK_REQUIRE_MOUNTED(large);
  VectorRows rows({WriteFile(small.File("a"), "x"), WriteFile(large.File("b"), "x")});
  ShredEngine engine;
  StoredWipeProfile profile;
  ComputeWorkTotal(WorkKind::PerSector, engine, rows, profile);
  EXPECT_EQ(engine.WorkTotal, 5 * 2 + 5 * 8);
}

TEST(WorkTotal, AFileSystemMountedMidCommandIsMeasuredAfresh) {
  // One command's memo outlives a file system; the next one made in its
  // place, most likely on the same loop device and device number, has
  // other clusters.
  ClusterSizeMemo memo;
  FolderWalks walks;
  ShredEngine engine;
  StoredWipeProfile profile;
  for (const int blockSize : {4096, 1024, 2048}) {
    LoopImage image(16, blockSize, "remade");
    OMREK_REQUIRE_MOUNTED(image);
    VectorRows rows({WriteFile(image.File("a"), "x"), WriteFile(image.File("b"), "y")});
    ComputeWorkTotal(WorkKind::PerSector, engine, rows, profile, memo, walks);
    EXPECT_EQ(engine.ClusterSize, static_cast<std::uint32_t>(blockSize));
    EXPECT_EQ(engine.WorkTotal, 2 * 5 * blockSize / 512);
  }
}

}  // namespace
}  // namespace omrek
