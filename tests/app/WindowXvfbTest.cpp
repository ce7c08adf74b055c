// The real windows on a virtual X display (run by xvfb_window.sh): what a
// person sees and does, through the X server, with xdotool for the keyboard
// and ImageMagick for the screen.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <set>
#include <thread>

#include "app/OmrekProgram.h"
#include "intake/ui/TargetListView.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "widgets/BarMeter.h"
#include "widgets/ClickLabel.h"
#include "widgets/FlatButton.h"

namespace omrek {
namespace {

using test::TempDir;
using test::WriteFile;

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
  ASSERT_TRUE(xdotool.waitForFinished(10000));
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

// One zero pass over a file on a slow disk: some seconds without a pump
// point, in which the window must go on showing what happens.
TEST_F(WindowUnderX11, DuringOneLongPassTheMeterMovesAndAnUncoveredWindowRepaints) {
  TempDir dir;
  const std::string file = WriteFile(dir.File("long"), std::string(48 << 20, 'x'));
  for (const char* check : {"chkInvert", "chkRandomize", "chkNullify2", "chkNullifyCustom"}) {
    program_.Config().findChild<QCheckBox*>(check)->setChecked(false);
  }
  main_.AddTarget(file);
  const QRect meter(main_.Meter->mapToGlobal(QPoint(0, 0)), main_.Meter->size());
  const QRect list(main_.lstView->mapToGlobal(QPoint(40, 40)), QSize(300, 200));
  std::set<int> meterShowed;
  int redLeft = -1;
  test::SlowedCalls slow(test::FaultedCall::Write, dir.Path(), 50);
  std::thread person([&] {
    struct stat st {};
    ::stat(file.c_str(), &st);
    const timespec before = st.st_mtim;
    const auto started = [&] {
      return ::stat(file.c_str(), &st) == 0 &&
             (st.st_mtim.tv_sec != before.tv_sec || st.st_mtim.tv_nsec != before.tv_nsec);
    };
    for (int wait = 0; wait < 2000 && !started(); ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int look = 0; look < 3; ++look) {
      meterShowed.insert(PixelsOf("rgb(0,0,128)", meter));
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    // Another window over the list, then gone: the list must be drawn
    // again, not left showing the other window's red.
    QProcess cover;
    cover.start("display", {"-geometry", QString::fromStdString(Area(list)), "-size",
                            QString("%1x%2").arg(list.width()).arg(list.height()), "xc:red"});
    for (int wait = 0; wait < 100 && PixelsOf("red", list) < list.width() * list.height() / 2; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    cover.kill();
    cover.waitForFinished();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    redLeft = PixelsOf("red", list);
  });
  QTest::mouseClick(main_.btnDestroy, Qt::LeftButton);
  person.join();

  EXPECT_EQ(main_.lblStatus->text(), "File DONE");
  EXPECT_GE(meterShowed.size(), 2u) << "the meter stood still during the pass";
  EXPECT_EQ(redLeft, 0) << "the uncovered list was not drawn again within 200 ms";
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
      Xdotool({"key", "Tab"});
      QTest::qWait(20);
      if (buttons.count(QApplication::focusWidget()) != 0) reached.insert(QApplication::focusWidget());
    }
    for (QWidget* button : buttons) {
      EXPECT_EQ(reached.count(button), 1u)
          << button->objectName().toStdString() << " in " << window->objectName().toStdString();
    }
    if (window != config && window != &main_) {
      Xdotool({"key", "Escape"});
      EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000))
          << "Esc closes " << window->objectName().toStdString();
    }
  }

  // Enter in Config saves and closes; Esc closes without saving.
  TempDir dir;
  program_.Config().SetProgramPath(dir.File("omrek"));
  program_.Config().findChild<QCheckBox*>("chkDOD")->setFocus();
  Xdotool({"key", "Return"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !config->isVisible(); }, 5000));
  EXPECT_NE(test::ReadWholeFile(dir.File("omrek.ini")).find("DOD=0"), std::string::npos);
  program_.Config().ShowModeless(&main_);
  ASSERT_TRUE(QTest::qWaitForWindowActive(config));
  program_.Config().findChild<QCheckBox*>("chkDOD")->setChecked(true);
  Xdotool({"key", "Escape"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !config->isVisible(); }, 5000));
  EXPECT_EQ(test::ReadWholeFile(dir.File("omrek.ini")).find("DOD=1"), std::string::npos) << "Esc saved";
}

}  // namespace
}  // namespace omrek
