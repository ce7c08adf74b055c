// The real windows on a virtual X display (run by xvfb_window.sh): what a
// person sees and does, through the X server, with xdotool for the keyboard
// and ImageMagick for the screen.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <thread>

#include "app/OmrekProgram.h"
#include "intake/ui/TargetListView.h"
#include "tests/support/Child.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "widgets/BarMeter.h"
#include "widgets/ClickLabel.h"
#include "widgets/FlatButton.h"

namespace omrek {
namespace {

using test::Child;
using test::Click;
using test::TempDir;
using test::WriteFile;

// How long a look at the screen may wait for what it expects: the screen
// follows the program only as fast as a loaded machine lets it.
constexpr std::chrono::seconds kPatience(30);
constexpr int kPatienceMs = std::chrono::milliseconds(kPatience).count();

// Polls `condition` on a thread of its own (not the windows') until it
// holds; false once the patience is spent.
bool WaitUntil(const std::function<bool()>& condition) {
  const auto giveUp = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string Area(const QRect& area) {
  return std::to_string(area.width()) + "x" + std::to_string(area.height()) + "+" + std::to_string(area.x()) + "+" +
         std::to_string(area.y());
}

// How many pixels of `colour` (ImageMagick's name for it) the screen shows
// in `area` now.
int PixelsOf(const char* colour, const QRect& area) {
  const std::string count = test::OutputOf(
      "import -window root -crop " + Area(area) + " +repage png:- | convert png:- -fill black +opaque '" + colour +
      "' -fill white -opaque '" + colour + "' -format '%[fx:int(mean*w*h+0.5)]' info:");
  return count.empty() ? -1 : std::stoi(count);
}

void Xdotool(const QStringList& arguments) {
  QProcess xdotool;
  xdotool.start(QStringLiteral("xdotool"), arguments);
  ASSERT_TRUE(xdotool.waitForFinished(kPatienceMs));
}

class WindowUnderX11 : public ::testing::Test {
 protected:
  WindowUnderX11() {
    program_.Start();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&main_));
  }

  OmrekProgram program_;
  TfrmMain& main_ = program_.Main();
};

// One zero pass over a file on a slow disk: many seconds without a pump
// point, in which the window must go on showing what happens. Each write
// takes a second, so the pass outlasts all the person waits for, however
// loaded the machine; once they have seen it, the disk is quick again and
// the pass ends.
TEST_F(WindowUnderX11, DuringOneLongPassTheMeterMovesAndAnUncoveredWindowRepaints) {
  TempDir dir;
  const std::string file = WriteFile(dir.File("long"), std::string(48 << 20, 'x'));
  for (const char* check : {"chkInvert", "chkRandomize", "chkNullify2", "chkNullifyCustom"}) {
    program_.Config().findChild<QCheckBox*>(check)->setChecked(false);
  }
  main_.AddTarget(file);
  const auto& meterBar = Child<BarMeter>(main_, "Meter");
  const auto& listView = Child<TargetListView>(main_, "lstView");
  const QRect meter(meterBar.mapToGlobal(QPoint(0, 0)), meterBar.size());
  const QRect list(listView.mapToGlobal(QPoint(40, 40)), QSize(300, 200));
  std::set<int> meterShowed;
  int redLeft = -1;
  std::optional<test::SlowedCalls> slowDisk(std::in_place, test::FaultedCall::Write, dir.Path(), 1000);
  std::thread person([&] {
    struct stat st {};
    ::stat(file.c_str(), &st);
    const timespec before = st.st_mtim;
    WaitUntil([&] {
      return ::stat(file.c_str(), &st) == 0 &&
             (st.st_mtim.tv_sec != before.tv_sec || st.st_mtim.tv_nsec != before.tv_nsec);
    });
    WaitUntil([&] {
      const int navy = PixelsOf("rgb(0,0,128)", meter);
      if (navy >= 0) meterShowed.insert(navy);
      return meterShowed.size() >= 2;
    });
    // Another window over the list, then gone: the list must be drawn
    // again, not left showing the other window's red.
    QProcess cover;
    cover.start("display", {"-geometry", QString::fromStdString(Area(list)), "-size",
                            QString("%1x%2").arg(list.width()).arg(list.height()), "xc:red"});
    WaitUntil([&] { return PixelsOf("red", list) >= list.width() * list.height() / 2; });
    cover.kill();
    cover.waitForFinished();
    WaitUntil([&] {
      redLeft = PixelsOf("red", list);
      return redLeft == 0;
    });
    slowDisk.reset();
  });
  test::ClickDestroy(main_);
  person.join();

  EXPECT_EQ(Child<QLabel>(main_, "lblStatus").text(), "File DONE");
  EXPECT_GE(meterShowed.size(), 2u) << "the meter stood still during the pass";
  EXPECT_EQ(redLeft, 0) << "the uncovered list was not drawn again during the pass";
}

// Tab walks through every button of each window; the focus shows where the
// keyboard is. In Config Enter means OK and Esc means Cancel.
TEST_F(WindowUnderX11, TabReachesEveryButtonAndConfigTakesEnterAndEsc) {
  QWidget* config = &program_.Config();
  for (QWidget* window : program_.WindowsInCreationOrder()) {
    if (window != &main_) static_cast<ModelessWindow*>(window)->ShowModeless(&main_);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << window->objectName().toStdString();
    std::set<QWidget*> buttons;
    for (QWidget* button : window->findChildren<QWidget*>()) {
      const bool pressable =
          qobject_cast<FlatButton*>(button) != nullptr || qobject_cast<ClickLabel*>(button) != nullptr;
      if (pressable && button->isVisibleTo(window)) buttons.insert(button);
    }
    std::set<QWidget*> reached;
    for (int press = 0; press < 60 && reached.size() < buttons.size(); ++press) {
      QWidget* const before = QApplication::focusWidget();
      Xdotool({"key", "Tab"});
      // The focus moves once the key has come through the X server.
      if (!QTest::qWaitFor([&] { return QApplication::focusWidget() != before; }, kPatienceMs)) continue;
      if (buttons.count(QApplication::focusWidget()) != 0) reached.insert(QApplication::focusWidget());
    }
    for (QWidget* button : buttons) {
      EXPECT_EQ(reached.count(button), 1u)
          << button->objectName().toStdString() << " in " << window->objectName().toStdString();
    }
    if (window != config && window != &main_) {
      Xdotool({"key", "Escape"});
      EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, kPatienceMs))
          << "Esc closes " << window->objectName().toStdString();
    }
  }

  // Enter in Config saves and closes; Esc closes without saving.
  TempDir dir;
  program_.Config().SetProgramPath(dir.File("omrek"));
  program_.Config().findChild<QCheckBox*>("chkDOD")->setFocus();
  Xdotool({"key", "Return"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !config->isVisible(); }, kPatienceMs));
  EXPECT_NE(test::ReadWholeFile(dir.File("omrek.ini")).find("DOD=0"), std::string::npos);
  program_.Config().ShowModeless(&main_);
  ASSERT_TRUE(QTest::qWaitForWindowActive(config));
  program_.Config().findChild<QCheckBox*>("chkDOD")->setChecked(true);
  Xdotool({"key", "Escape"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !config->isVisible(); }, kPatienceMs));
  EXPECT_EQ(test::ReadWholeFile(dir.File("omrek.ini")).find("DOD=1"), std::string::npos) << "Esc saved";
}

}  // namespace
}  // namespace omrek
