// Real drags under X11 (run by xvfb_drop.sh on a virtual display): the
// program's windows in this process, the tests' drag source in another,
// and xdotool pressing, moving and releasing the pointer between them, so
// the drop travels the whole XDND way from one program to the other.

#include <gtest/gtest.h>

#include <QDropEvent>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <filesystem>

#include "app/OmrekProgram.h"
#include "intake/ui/TargetListView.h"
#include "tests/support/Child.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/TempDir.h"

// Failures show texts as text.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace omrek {
namespace {

using test::Child;
using test::TempDir;
using test::WriteFile;

constexpr int kWait = 30000;

// The drag source's window lies at 0, 0 (200 x 150); the drag starts in it.
const QPoint kSourcePoint(100, 75);

// Sees the drag events that reach a widget before the drop target does.
class DragWatch : public QObject {
 public:
  explicit DragWatch(QWidget* widget) { widget->installEventFilter(this); }

  QPoint lastMove{-1, -1};
  Qt::KeyboardModifiers keys;
  // The drop or the leave has been handled: set once control is back in the
  // event loop, after the drop target had its turn.
  bool over = false;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::DragMove) {
      const auto* move = static_cast<QDragMoveEvent*>(event);
      lastMove = move->position().toPoint();
      keys |= move->modifiers();
    } else if (event->type() == QEvent::Drop || event->type() == QEvent::DragLeave) {
      QMetaObject::invokeMethod(
          this, [this] { over = true; }, Qt::QueuedConnection);
    }
    return false;
  }
};

void Xdotool(const QStringList& arguments) {
  QProcess xdotool;
  xdotool.start(QStringLiteral("xdotool"), arguments);
  ASSERT_TRUE(QTest::qWaitFor([&] { return xdotool.state() == QProcess::NotRunning; }, kWait));
  ASSERT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
}

QStringList MoveTo(QPoint at) { return {"mousemove", QString::number(at.x()), QString::number(at.y())}; }

class DropUnderX11 : public ::testing::Test {
 protected:
  DropUnderX11() {
    program_.Start();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&main_));
  }

  ~DropUnderX11() override {
    source_.kill();
    source_.waitForFinished();
  }

  TargetListView& List() const { return Child<TargetListView>(main_, "lstView"); }

  // What the drag source has said so far.
  QString SourceSaid() {
    said_ += QString::fromUtf8(source_.readAllStandardOutput());
    return said_;
  }

  // Drags what the source offers onto lstView at `listPoint` and lets go;
  // returns the source's word on the outcome ("result copy", "result none"),
  // once the list has handled the drop or the leave.
  QString DragOntoList(const QStringList& offer, QPoint listPoint = {200, 100}, bool holdShift = false) {
    source_.start(QString::fromLocal8Bit(qgetenv("DRAG_SOURCE")), offer);
    if (!QTest::qWaitFor([&] { return SourceSaid().contains("ready"); }, kWait)) return "source not ready";

    const QPoint beyond = kSourcePoint + QPoint(30, 20);
    Xdotool(MoveTo(kSourcePoint) + QStringList{"mousedown", "1"} + MoveTo(kSourcePoint + QPoint(10, 5)) +
            MoveTo(beyond));
    const bool started = QTest::qWaitFor([&] { return SourceSaid().contains("dragging"); }, kWait);
    DragWatch watch(List().viewport());
    bool arrived = false;
    if (started) {
      if (holdShift) Xdotool({"keydown", "shift"});
      // One move at a time: while the source waits for the target's answer
      // to a position it drops further moves, so the last of a quick burst
      // might never reach the list.
      const QPoint target = List().viewport()->mapToGlobal(listPoint);
      Xdotool(MoveTo((beyond + target) / 2));
      // The drag may still be waiting for the list's first answer when the
      // pointer arrives; a small step aside and back repeats the position.
      for (int attempt = 0; attempt < 5 && !arrived; ++attempt) {
        if (attempt > 0) Xdotool(MoveTo(target + QPoint(0, 3)));
        Xdotool(MoveTo(target));
        arrived = QTest::qWaitFor([&] { return watch.lastMove == listPoint; }, kWait / 5);
      }
    }
    // The button and the key go up whatever happened, or the next drag
    // would begin with them held.
    Xdotool({"mouseup", "1"});
    if (holdShift) Xdotool({"keyup", "shift"});
    keysSeen_ = watch.keys;
    if (!started) return "no drag started";
    if (!arrived) {
      return QStringLiteral("the drag did not reach the list (last move at %1, %2)")
          .arg(watch.lastMove.x())
          .arg(watch.lastMove.y());
    }

    if (!QTest::qWaitFor([&] { return watch.over && SourceSaid().contains("result"); }, kWait)) {
      return "the drag did not end";
    }
    return SourceSaid().trimmed().split('\n').last();
  }

  QStringList Rows() const {
    QStringList rows;
    for (int row = 0; row < List().RowCount(); ++row) {
      rows << QString::fromStdString(List().RowFile(row).path) + " " + List().RowStateText(row);
    }
    return rows;
  }

  OmrekProgram program_;
  TfrmMain& main_ = program_.Main();
  QProcess source_;
  QString said_;
  Qt::KeyboardModifiers keysSeen_;
};

TEST_F(DropUnderX11, ThreeFilesBecomeThreeRowsInOrderWithTheirSizes) {
  TempDir dir;
  const QString one = QString::fromStdString(WriteFile(dir.File("one"), "x"));
  const QString two = QString::fromStdString(WriteFile(dir.File("two"), std::string(2048, 'x')));
  const QString three = QString::fromStdString(WriteFile(dir.File("three"), std::string(5000, 'x')));

  EXPECT_EQ(DragOntoList({one, two, three}), "result copy");
  EXPECT_EQ(Rows(), QStringList({one + " 1", two + " 2", three + " 5"}));
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus").text(), "READY");
  EXPECT_TRUE(main_.DropFileTarget1.FileNames().isEmpty());
}

TEST_F(DropUnderX11, FolderBecomesAFolderRow) {
  TempDir dir;
  WriteFile(dir.File("inside"), "x");
  const QString folder = QString::fromStdString(dir.Path());
  test::ModalBoxCatcher boxes;
  EXPECT_EQ(DragOntoList({folder}), "result copy") << "the source has its answer before the folder is walked";
  // The offer of its files follows; declined, the folder's row stays.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.Boxes().empty(); }, kWait));
  EXPECT_EQ(Rows(), QStringList({folder + " folder"}));
}

TEST_F(DropUnderX11, PlainTextAddsNothing) {
  EXPECT_EQ(DragOntoList({"--text", "/etc/hostname"}), "result none");
  EXPECT_EQ(List().RowCount(), 0);
}

TEST_F(DropUnderX11, ShiftHeldStillCopiesAndTheSourceKeepsItsFiles) {
  TempDir dir;
  const QString file = QString::fromStdString(WriteFile(dir.File("kept"), "x"));
  EXPECT_EQ(DragOntoList({file}, {200, 100}, true), "result copy");
  EXPECT_TRUE(keysSeen_.testFlag(Qt::ShiftModifier)) << "the list saw Shift held";
  EXPECT_TRUE(std::filesystem::exists(file.toStdString()));
  EXPECT_EQ(Rows(), QStringList({file + " 1"}));
}

TEST_F(DropUnderX11, SourceOfferingOnlyMoveIsRefused) {
  TempDir dir;
  const QString file = QString::fromStdString(WriteFile(dir.File("stays"), "x"));
  EXPECT_EQ(DragOntoList({"--move-only", file}), "result none");
  EXPECT_TRUE(std::filesystem::exists(file.toStdString()));
  EXPECT_EQ(List().RowCount(), 0);
}

}  // namespace
}  // namespace omrek
