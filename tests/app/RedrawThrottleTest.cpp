#include <gtest/gtest.h>

#include <QEvent>
#include <QLabel>
#include <QTest>

#include "app/OmrekProgram.h"
#include "tests/support/Child.h"

namespace omrek {
namespace {

using test::Child;

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

TEST(RedrawThrottle, TheLastStatusOfACommandIsDrawnOnceItEnds) {
  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
  QTest::qWait(100);
  PaintCounter counter(Child<QLabel>(main, "lblStatus"));

  // Many status updates in quick succession, each pumping events: most of
  // their redraws wait, and the one still waiting at the end is not lost.
  main.RunCommand([&] {
    for (int row = 0; row < 200; ++row) main.SetStatus("row " + std::to_string(row), "", "");
  });
  const int paintsDuring = counter.paints;
  EXPECT_LT(paintsDuring, 200) << "not every pump redraws";
  EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > paintsDuring; }, 30000)) << "the last status is drawn";
  EXPECT_EQ(Child<QLabel>(main, "lblStatus").text(), "row 199");
}

}  // namespace
}  // namespace omrek
