#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "app/OmrekProgram.h"
#include "intake/ui/TargetListView.h"
#include "tests/support/Child.h"
#include "tests/support/LoopImage.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

using test::Child;
using test::Click;

TEST(SlackCommand, MarksEachRowAndEndsReady) {
  test::LoopImage image(16, 4096, "slackcmd");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string file = test::WriteFile(image.File("kept"), std::string(1000, 'k'));
  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  // The offer of the folder's files is declined.
  const test::ModalBoxCatcher boxes;
  main.AddTarget(file);
  main.AddTarget(image.MountPoint());

  Click(main, "btnWipeSlack");

  const TargetListView& list = Child<TargetListView>(main, "lstView");
  EXPECT_EQ(list.RowStateText(0), "-slack");
  EXPECT_EQ(list.RowStateText(1), "skipped");
  EXPECT_EQ(list.RowCount(), 2) << "the slack command removes no row";
  EXPECT_EQ(Child<QLabel>(main, "lblStatus").text(), "READY");
  EXPECT_TRUE(main.CancelFlag());
  EXPECT_EQ(test::ReadWholeFile(file), std::string(1000, 'k'));
}

}  // namespace
}  // namespace omrek
