#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <stdexcept>

#include "app/OmrekProgram.h"
#include "tests/support/Child.h"
#include "tests/support/ModalBoxCatcher.h"
#include "widgets/BarMeter.h"
#include "widgets/ErrorBox.h"

namespace omrek {
namespace {

using test::Child;
using test::Click;

class Commands : public ::testing::Test {
 protected:
  Commands() { program_.Start(); }

  // A stand-in for a list command: one status update (which pumps events)
  // and one poll of the cancel flag per row, as the real commands do.
  int RunRows(int rows, const std::function<void(int)>& atRow = {}) {
    int done = 0;
    main_.RunCommand([&] {
      for (int row = 0; row < rows; ++row) {
        if (atRow) atRow(row);
        main_.SetStatus("wiping", "", "");
        ++done;
        if (main_.CancelFlag()) break;
      }
    });
    return done;
  }

  OmrekProgram program_;
  TfrmMain& main_ = program_.Main();
};

TEST_F(Commands, StatusLinesPumpEventsAndTheMeterCounts) {
  bool pumped = false;
  QTimer::singleShot(0, [&] { pumped = true; });
  main_.SetStatus("wiping", "", "");
  EXPECT_TRUE(pumped) << "SetStatus lets pending events run";
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus").text(), "wiping");
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus2").text(), "");
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus3").text(), "");

  main_.Engine().WorkTotal = 40;
  main_.ResetProgress();
  for (int i = 0; i < 3; ++i) main_.AddProgress(1);
  EXPECT_EQ(main_.Engine().Progress, 3);
  EXPECT_EQ(Child<BarMeter>(main_, "Meter").position(), 3);
  EXPECT_EQ(Child<BarMeter>(main_, "Meter").maximum(), 40);
  main_.ResetProgress();
  EXPECT_EQ(Child<BarMeter>(main_, "Meter").position(), 0);
}

TEST_F(Commands, OneCommandAtATime) {
  bool flagDuringCommand = true;
  bool nestedStarted = false;
  const bool started = main_.RunCommand([&] {
    flagDuringCommand = main_.CancelFlag();
    nestedStarted = main_.RunCommand([] {});
    EXPECT_TRUE(main_.CommandRunning());
  });
  EXPECT_TRUE(started);
  EXPECT_FALSE(flagDuringCommand) << "a command runs with CancelFlag cleared";
  EXPECT_FALSE(nestedStarted) << "a second command is refused while one runs";
  EXPECT_TRUE(main_.CancelFlag()) << "and it is set again when the command ends";
  EXPECT_FALSE(main_.CommandRunning());
}

TEST_F(Commands, AnErrorThatEndsACommandLeavesTheProgramIdle) {
  test::ModalBoxCatcher catcher;
  RunGuarded([&] { main_.RunCommand([] { throw std::runtime_error("Disk full"); }); });
  ASSERT_EQ(catcher.Boxes().size(), 1u);
  EXPECT_EQ(catcher.Boxes()[0].text, "Disk full.");
  EXPECT_TRUE(main_.CancelFlag());
  EXPECT_FALSE(main_.CommandRunning());
  EXPECT_TRUE(main_.RunCommand([] {})) << "the next command runs";
}

TEST_F(Commands, CancelStopsBeforeTheNextRow) {
  const int done = RunRows(5, [&](int row) {
    if (row == 1) QTimer::singleShot(0, [&] { Click(main_, "btnCancel"); });
  });
  EXPECT_EQ(done, 2) << "the row in progress finishes, the next one never starts";
  EXPECT_TRUE(main_.CancelFlag());
}

TEST_F(Commands, ExitDuringACommandStopsItAndEndsTheProgram) {
  int done = 0;
  bool timedOut = false;
  QTimer::singleShot(0, [&] {
    done = RunRows(5, [&](int row) {
      if (row == 1) QTimer::singleShot(0, [&] { Click(main_, "btnExit"); });
    });
  });
  QTimer::singleShot(10000, [&] {
    timedOut = true;
    QCoreApplication::quit();
  });
  QApplication::exec();
  EXPECT_FALSE(timedOut) << "the event loop ended";
  EXPECT_EQ(done, 2);
  EXPECT_FALSE(main_.isVisible());
}

TEST_F(Commands, CloseBoxDuringACommandLetsItFinishThenEndsTheProgram) {
  int done = 0;
  bool timedOut = false;
  Click(main_, "btnConfig");  // an open dialog does not keep the program alive
  QTimer::singleShot(0, [&] {
    done = RunRows(5, [&](int row) {
      if (row == 1) QTimer::singleShot(0, [&] { Click(main_, "lblExit"); });
    });
  });
  QTimer::singleShot(10000, [&] {
    timedOut = true;
    QCoreApplication::quit();
  });
  QApplication::exec();
  EXPECT_FALSE(timedOut) << "the event loop ended";
  EXPECT_EQ(done, 5) << "X does not touch CancelFlag";
  program_.Config().hide();
}

}  // namespace
}  // namespace omrek
