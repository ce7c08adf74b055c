#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <map>

#include "app/OmrekProgram.h"
#include "app/SpaceConfirmation.h"
#include "disk/ui/DiskList.h"
#include "intake/ui/TargetListView.h"
#include "tests/support/Child.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "widgets/BarMeter.h"
#include "widgets/ClickLabel.h"
#include "widgets/FlatButton.h"
#include "widgets/ModelessWindow.h"

namespace omrek {
namespace {

using test::Child;
using test::Click;

class MainWindow : public ::testing::Test {
 protected:
  MainWindow() { program_.Start(); }

  template <typename Widget = QWidget>
  Widget* Control(const char* name) {
    return program_.Main().findChild<Widget*>(QString::fromLatin1(name));
  }

  OmrekProgram program_;
};

TEST_F(MainWindow, StartsReadyWithNoCommandRunning) {
  TfrmMain& main = program_.Main();
  EXPECT_EQ(Child<QLabel>(main, "lblStatus").text(), "READY");
  EXPECT_EQ(Child<QLabel>(main, "lblStatus2").text(), "");
  EXPECT_EQ(Child<QLabel>(main, "lblStatus3").text(), "");
  EXPECT_TRUE(main.CancelFlag());
  EXPECT_FALSE(main.CommandRunning());
  EXPECT_EQ(main.Engine().ClusterSize, 32768u);
  EXPECT_EQ(Child<TargetListView>(main, "lstView").RowCount(), 0);
  EXPECT_EQ(QGuiApplication::desktopFileName(), "org.omrek.Filebane") << "the desktop entry docks match it to";
}

TEST_F(MainWindow, FirstShowingFillsTheDriveList) {
  TDiskListView* drives = program_.Config().lstDisk;
  EXPECT_EQ(drives->objectName(), "lstDisk");
  EXPECT_EQ(drives->geometry(), QRect(8, 8, 137, 233));
  EXPECT_EQ(drives->parentWidget()->geometry(), QRect(8, 280, 393, 249));
  ASSERT_GT(drives->topLevelItemCount(), 0);
  EXPECT_TRUE(drives->SelectedDriveLetters().startsWith('C')) << "the fixed drive C is preselected";
}

TEST_F(MainWindow, FourWindowsInOrderWithTheirCaptions) {
  const auto windows = program_.WindowsInCreationOrder();
  const QStringList names{"TfrmMain", "TfrmConfig", "TfrmAbout", "TfrmSelect"};
  const QStringList captions{"Omrek, Filebane", "Configuration", "About / Help", "Select Files to Destroy"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(windows[i]->objectName(), names[i]);
    EXPECT_EQ(windows[i]->windowTitle(), captions[i]);
    EXPECT_TRUE(windows[i]->isWindow());
    EXPECT_EQ(windows[i]->isVisible(), i == 0) << names[i].toStdString();
  }
}

TEST_F(MainWindow, BorderlessAtTheGivenSize) {
  TfrmMain& main = program_.Main();
  EXPECT_TRUE(main.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(main.size(), QSize(720, 466));
  EXPECT_EQ(main.font().family(), "Arial");
  EXPECT_EQ(main.font().pixelSize(), 11);
}

struct Expected {
  const char* name;
  QRect geometry;
  QString caption;
  QString hint;
};

TEST_F(MainWindow, LabelsHaveTheirPlacesCaptionsAndHints) {
  const QString killMe = "Kill Me!";
  const std::vector<Expected> labels{
      {"lblTitle1", {19, 16, 80, 36}, "Omrek", "Drag files to window below and click \"Destroy\""},
      {"lblTitle2", {19, 48, 202, 28}, "Filebane", ""},
      {"lblStatus", {544, 15, 101, 16}, "READY", ""},
      {"lblStatus2", {544, 31, 101, 16}, "", ""},
      {"lblStatus3", {544, 47, 101, 16}, "", ""},
      {"btnMin", {684, 19, 8, 16}, "=", killMe},
      {"lblExit", {696, 16, 9, 16}, "X", killMe},
  };
  for (const Expected& expected : labels) {
    auto* label = Control<QLabel>(expected.name);
    ASSERT_NE(label, nullptr) << expected.name;
    if (QString(expected.name).startsWith("lblTitle")) {
      // A title keeps its place and height and widens to its text.
      const int ink = QFontMetrics(label->font()).boundingRect(expected.caption).right() + 1;
      EXPECT_EQ(label->pos(), expected.geometry.topLeft()) << expected.name;
      EXPECT_EQ(label->height(), expected.geometry.height()) << expected.name;
      EXPECT_GE(label->width(), std::max(expected.geometry.width(), ink)) << expected.name;
    } else {
      EXPECT_EQ(label->geometry(), expected.geometry) << expected.name;
    }
    EXPECT_EQ(label->text(), expected.caption) << expected.name;
    EXPECT_EQ(label->toolTip(), expected.hint) << expected.name;
  }
  EXPECT_EQ(Control<QLabel>("lblStatus")->alignment() & Qt::AlignRight, Qt::AlignRight);
  EXPECT_EQ(Control<QLabel>("lblTitle1")->font().pixelSize(), 27);
  EXPECT_TRUE(Control<QLabel>("lblTitle1")->font().bold());
  EXPECT_TRUE(Control<QLabel>("lblTitle2")->font().italic());
}

TEST_F(MainWindow, CommandButtonsInTheirColumn) {
  const std::vector<Expected> buttons{
      {"btnDestroy", {24, 92, 100, 40}, "  Destroy\nListed Files", "Destroy the files listed in the window"},
      {"btnWipeSlack",
       {24, 136, 100, 40},
       "  Wipe Slack \nof Listed Files",
       "Wipe the slack space of files listed in the window"},
      {"btnWipeSpace", {24, 180, 100, 40}, "Wipe Space", "wipe the empty space on your disk"},
      {"btnSelectFiles",
       {24, 224, 100, 40},
       "Select Files",
       "You can also just drag and drop files from Windows Explorer\nto the main window here."},
      {"btnHelp", {24, 268, 100, 40}, "Help/About", ""},
      {"btnConfig", {24, 312, 100, 40}, "Config", ""},
      {"btnCancel", {24, 368, 100, 40}, "Cancel", "Cancels the current operation, if any"},
      {"btnExit", {24, 412, 100, 40}, "EXIT", "Kill Me!"},
  };
  for (const Expected& expected : buttons) {
    auto* button = Control<FlatButton>(expected.name);
    ASSERT_NE(button, nullptr) << expected.name;
    EXPECT_EQ(button->geometry(), expected.geometry) << expected.name;
    EXPECT_EQ(button->text(), expected.caption) << expected.name;
    EXPECT_EQ(button->toolTip(), expected.hint) << expected.name;
    EXPECT_EQ(button->colours().face, QColor(Qt::white)) << expected.name;
  }
  EXPECT_EQ(Control<FlatButton>("btnDestroy")->colours().text, QColor(128, 0, 0));
  EXPECT_EQ(Control<FlatButton>("btnSelectFiles")->colours().text, QColor(0, 128, 0));
  EXPECT_TRUE(Control<FlatButton>("btnSelectFiles")->font().bold());
  EXPECT_EQ(Control<FlatButton>("btnExit")->colours().text, QColor(0, 0, 255));
}

TEST_F(MainWindow, ListPanelListAndMeter) {
  EXPECT_EQ(Control("pnlMain")->geometry(), QRect(143, 97, 566, 357));
  auto* list = Control<TargetListView>("lstView");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->parentWidget(), Control("pnlMain"));
  EXPECT_EQ(list->geometry(), QRect(1, 1, 564, 335));
  EXPECT_EQ(list->toolTip(), "Press the DELETE key to remove files from this list individually");
  EXPECT_EQ(list->headerItem()->text(0), "Filename");
  EXPECT_EQ(list->headerItem()->text(1), "Size (kb)");
  EXPECT_EQ(list->columnWidth(0), 445);
  EXPECT_GE(list->columnWidth(1), 99) << "the last column stretches over what is left";
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
  auto* meter = Control<BarMeter>("Meter");
  ASSERT_NE(meter, nullptr);
  EXPECT_EQ(meter->geometry(), QRect(1, 336, 564, 20));
}

// What a screen reader finds: every painted control in the window's
// accessibility tree with a role and a name, as QAccessible walks it.
void CollectAccessible(QAccessibleInterface* node, std::vector<QAccessibleInterface*>& found) {
  found.push_back(node);
  for (int i = 0; i < node->childCount(); ++i) CollectAccessible(node->child(i), found);
}

std::map<QString, QAccessibleInterface*> ByName(const std::vector<QAccessibleInterface*>& nodes,
                                                QAccessible::Role role) {
  std::map<QString, QAccessibleInterface*> named;
  for (QAccessibleInterface* node : nodes) {
    if (node->role() == role) named[node->text(QAccessible::Name)] = node;
  }
  return named;
}

// The names of the children of Qt's own accessible tree for a plain copy of
// `list`, in its order: the order its focus and selection events count in.
QStringList QtsOwnChildNames(const QTreeWidget& list) {
  QTreeWidget plain;
  plain.setHeaderItem(list.headerItem()->clone());
  for (int row = 0; row < list.topLevelItemCount(); ++row) plain.addTopLevelItem(list.topLevelItem(row)->clone());
  plain.doItemsLayout();
  QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(&plain);
  QStringList names;
  for (int i = 0; i < tree->childCount(); ++i) names << tree->child(i)->text(QAccessible::Name);
  return names;
}

QStringList ChildNames(QAccessibleInterface* node) {
  QStringList names;
  for (int i = 0; i < node->childCount(); ++i) names << node->child(i)->text(QAccessible::Name);
  return names;
}

TEST_F(MainWindow, ScreenReadersFindEveryButtonByNameAndTheMetersValue) {
  TfrmMain& main = program_.Main();
  std::vector<QAccessibleInterface*> nodes;
  CollectAccessible(QAccessible::queryAccessibleInterface(&main), nodes);
  const std::map<QString, QAccessibleInterface*> buttons = ByName(nodes, QAccessible::Button);
  for (const char* name : {"Destroy Listed Files", "Wipe Slack of Listed Files", "Wipe Space", "Select Files",
                           "Help/About", "Config", "Cancel", "EXIT", "Minimize", "Close"}) {
    EXPECT_EQ(buttons.count(name), 1u) << name;
  }
  ASSERT_EQ(buttons.count("Destroy Listed Files"), 1u);
  EXPECT_EQ(buttons.at("Destroy Listed Files")->text(QAccessible::Description),
            "Destroy the files listed in the window");
  // A label that works as a button presses as one.
  ASSERT_EQ(buttons.count("Minimize"), 1u);
  QAccessibleActionInterface* minimize = buttons.at("Minimize")->actionInterface();
  ASSERT_NE(minimize, nullptr);
  EXPECT_EQ(minimize->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});

  const std::map<QString, QAccessibleInterface*> meters = ByName(nodes, QAccessible::ProgressBar);
  ASSERT_EQ(meters.count("Completion Progress"), 1u);
  QAccessibleInterface* meter = meters.at("Completion Progress");
  auto& bars = Child<BarMeter>(main, "Meter");
  bars.setMaximum(400);
  bars.setPosition(100);
  ASSERT_NE(meter->valueInterface(), nullptr);
  EXPECT_EQ(meter->valueInterface()->currentValue().toLongLong(), 100);
  EXPECT_EQ(meter->valueInterface()->maximumValue().toLongLong(), 400);
  EXPECT_EQ(meter->text(QAccessible::Value), "25%");
  bars.setPosition(400);
  EXPECT_EQ(meter->text(QAccessible::Value), "100%");
  // A screen reader is told once per percent shown, not once per position
  // (a file each in a sweep).
  QSignalSpy told(&bars, &BarMeter::percentChanged);
  bars.setMaximum(1000);
  for (int position = 0; position <= 25; ++position) bars.setPosition(position);
  QList<int> percents;
  for (const QList<QVariant>& change : told) percents << change.at(0).toInt();
  EXPECT_EQ(percents, (QList<int>{40, 0, 1, 2}));

  // The list is a table of rows under its column headers, kept in step as
  // rows come and go.
  const std::map<QString, QAccessibleInterface*> tables = ByName(nodes, QAccessible::Table);
  ASSERT_EQ(tables.count("Listed Files"), 1u);
  QAccessibleTableInterface* table = tables.at("Listed Files")->tableInterface();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount(), 0);
  test::TempDir dir;
  main.AddTarget(test::WriteFile(dir.File("first"), "1"));
  main.AddTarget(test::WriteFile(dir.File("second"), std::string(2000, '2')));
  auto& list = Child<TargetListView>(main, "lstView");
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->columnCount(), 2);
  EXPECT_EQ(table->columnDescription(0), "Filename");
  EXPECT_EQ(table->columnDescription(1), "Size (kb)");
  EXPECT_EQ(table->cellAt(1, 0)->text(QAccessible::Name), QString::fromStdString(dir.File("second")));
  EXPECT_EQ(table->cellAt(1, 1)->text(QAccessible::Name), "2");
  // Children are counted as the list's events count them: headers first.
  QAccessibleInterface* listed = tables.at("Listed Files");
  EXPECT_EQ(listed->childCount(), 6);
  EXPECT_EQ(listed->indexOfChild(table->cellAt(1, 1)), 5);
  ASSERT_NE(listed->child(1), nullptr);
  EXPECT_EQ(listed->child(1)->role(), QAccessible::ColumnHeader);
  EXPECT_EQ(listed->child(1)->text(QAccessible::Name), "Size (kb)");
  EXPECT_EQ(listed->indexOfChild(listed->child(1)), 1);
  EXPECT_EQ(listed->child(2)->text(QAccessible::Name), QString::fromStdString(dir.File("first")));
  // The list's focus and selection events name a row by Qt's count: a
  // screen reader hears the row that became current, never its neighbour.
  EXPECT_EQ(ChildNames(listed), QtsOwnChildNames(list));
  ASSERT_TRUE(table->selectRow(1));
  EXPECT_TRUE(list.topLevelItem(1)->isSelected()) << "selecting through the table selects the row";
  EXPECT_EQ(table->selectedRows(), QList<int>{1});
  EXPECT_TRUE(table->cellAt(1, 0)->state().selected);
  list.DeleteRow(0);
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->cellAt(0, 0)->text(QAccessible::Name), QString::fromStdString(dir.File("second")));
  EXPECT_EQ(table->cellAt(1, 0), nullptr);
}

// In every window each painted button and link has a name to be read by,
// and says what it is.
TEST_F(MainWindow, EveryPaintedControlOfEveryWindowHasANameAndARole) {
  for (QWidget* window : program_.WindowsInCreationOrder()) {
    std::vector<QAccessibleInterface*> nodes;
    CollectAccessible(QAccessible::queryAccessibleInterface(window), nodes);
    int painted = 0;
    for (QAccessibleInterface* node : nodes) {
      auto* control = qobject_cast<QWidget*>(node->object());
      const bool flat = qobject_cast<FlatButton*>(control) != nullptr || qobject_cast<ClickLabel*>(control) != nullptr;
      if (!flat && qobject_cast<QToolButton*>(control) == nullptr) continue;
      ++painted;
      const std::string where = window->objectName().toStdString() + "/" + control->objectName().toStdString();
      EXPECT_FALSE(node->text(QAccessible::Name).trimmed().isEmpty()) << where;
      EXPECT_TRUE(node->role() == QAccessible::Button || node->role() == QAccessible::Link ||
                  node->role() == QAccessible::PageTab)
          << where << " is " << node->role();
    }
    EXPECT_GT(painted, 0) << window->objectName().toStdString();
  }
  const auto* readme = program_.About().findChild<QWidget*>("lblReadme");
  ASSERT_NE(readme, nullptr);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(const_cast<QWidget*>(readme))->role(), QAccessible::Link);
}

TEST_F(MainWindow, DialogButtonsShowEachDialogOnceAndKeepIt) {
  TfrmMain& main = program_.Main();
  const std::vector<std::pair<FlatButton*, QWidget*>> pairs{
      {&Child<FlatButton>(main, "btnConfig"), &program_.Config()},
      {&Child<FlatButton>(main, "btnHelp"), &program_.About()},
      {&Child<FlatButton>(main, "btnSelectFiles"), &program_.Select()}};
  for (const auto& [button, dialog] : pairs) {
    const auto before = QApplication::topLevelWidgets().size();
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible()) << dialog->objectName().toStdString();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before) << "no second window";
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible()) << "shown again after its close box";
    dialog->hide();
  }
  EXPECT_TRUE(main.isVisible());
}

TEST_F(MainWindow, CancelWhenIdleChangesNothingVisible) {
  TfrmMain& main = program_.Main();
  Click(main, "btnCancel");
  EXPECT_TRUE(main.CancelFlag());
  EXPECT_EQ(Child<QLabel>(main, "lblStatus").text(), "READY");
}

// A settings file read only in part: the narrow status lines point to a
// note that gives the reason whole, and the window goes on meanwhile.
TEST(MainWindowSettings, AProblemWithTheSettingsFileIsSaidWhole) {
  test::TempDir folder;
  test::WriteFile(folder.File("omrek.ini"), "[FileMode]\nDOD=1\n[DiskMode\nDOD=0\n");
  OmrekProgram program;
  program.Config().SetProgramPath(folder.File("omrek"));
  program.Start();
  TfrmMain& main = program.Main();
  EXPECT_EQ(Child<QLabel>(main, "lblStatus2").text(), "SETTINGS");
  EXPECT_EQ(Child<QLabel>(main, "lblStatus3").text(), "PROBLEM");
  for (const char* line : {"lblStatus2", "lblStatus3"}) {
    const QLabel& label = Child<QLabel>(main, line);
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), label.width()) << line;
  }
  const auto* note = main.findChild<QMessageBox*>(QStringLiteral("SettingsProblem"));
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->isVisible());
  EXPECT_FALSE(note->isModal());
  EXPECT_TRUE(note->text().startsWith("Settings file: line 3 is malformed.\n")) << note->text().toStdString();
}

// How far apart the darkest and the lightest pixel of a control are, as
// it shows in its window (a transparent control shows what lies behind
// it): the contrast ratio of their luminances, 1 (none) to 21.
double ContrastOf(QWidget& control) {
  QWidget& window = *control.window();
  const QImage shot = window.grab(QRect(control.mapTo(&window, QPoint(0, 0)), control.size())).toImage();
  const auto luminance = [](QRgb pixel) {
    const auto linear = [](int channel) {
      const double c = channel / 255.0;
      return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) + 0.0722 * linear(qBlue(pixel));
  };
  double darkest = 1;
  double lightest = 0;
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      darkest = std::min(darkest, luminance(shot.pixel(x, y)));
      lightest = std::max(lightest, luminance(shot.pixel(x, y)));
    }
  }
  return (lightest + 0.05) / (darkest + 0.05);
}

// A desktop with a dark palette (light text on dark faces): every caption
// still stands out from what it is drawn on.
TEST(AnyPalette, EveryCaptionStaysReadableOnADarkPalette) {
  const QPalette desktop = QApplication::palette();
  QPalette dark(QColor(53, 53, 53), QColor(40, 40, 40));
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    dark.setColor(role, QColor(230, 230, 230));
  QApplication::setPalette(dark);
  {
    OmrekProgram program;
    program.Start();
    for (QWidget* window : program.WindowsInCreationOrder()) {
      window->show();
      for (QWidget* control : window->findChildren<QWidget*>()) {
        const bool captioned =
            (qobject_cast<QAbstractButton*>(control) != nullptr &&
             !qobject_cast<QAbstractButton*>(control)->text().isEmpty()) ||
            (qobject_cast<QLabel*>(control) != nullptr && !qobject_cast<QLabel*>(control)->text().trimmed().isEmpty());
        if (!captioned || !control->isVisibleTo(window) || control->width() <= 0) continue;
        EXPECT_GT(ContrastOf(*control), 3.0)
            << control->objectName().toStdString() << " in " << window->objectName().toStdString();
      }
      window->hide();
    }
  }
  QApplication::setPalette(desktop);
}

// Laptops and scaled desktops: a dialog whose own place would run off the
// screen opens wholly on it, near the main window; one taller than the
// screen shrinks to it and scrolls, every button still within reach.
TEST(SmallScreens, EveryDialogLiesWhollyOnTheScreen) {
  // 2560 x 1600 at twice the scale is a desktop of 1280 x 800; 1920 x 1080
  // at twice the scale one of 960 x 540, lower than the configuration; a
  // short one of 900 x 480 (as one scaled twice with a dock beside and
  // below) is lower than the file selection too.
  for (const char* screen : {"laptop-screen.json", "scaled-screen.json", "small-screen.json",
                             "full-hd-scaled-screen.json", "short-screen.json"}) {
    const std::string config = std::string(OMREK_TEST_SOURCE_DIR) + "/support/" + screen;
    EXPECT_EQ(test::RunTestCaseInChild("SmallScreensChild.DialogsFit",
                                       {{"QT_QPA_PLATFORM", "offscreen:configfile=" + config}}),
              0)
        << screen;
  }
}

TEST(SmallScreensChild, DialogsFit) {
  test::ChildArgument("QT_QPA_PLATFORM");
  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  const QRect area = main.screen()->availableGeometry();
  EXPECT_TRUE(area.contains(main.frameGeometry()));
  for (const char* button : {"btnConfig", "btnHelp", "btnSelectFiles"}) {
    Click(main, button);
    QWidget* dialog = nullptr;
    for (QWidget* window : program.WindowsInCreationOrder()) {
      if (window != &main && window->isVisible()) dialog = window;
    }
    ASSERT_NE(dialog, nullptr);
    const std::string name = dialog->objectName().toStdString();
    EXPECT_TRUE(area.contains(dialog->geometry()))
        << name << " at " << dialog->geometry().x() << "," << dialog->geometry().y();
    QScrollArea* scroller = static_cast<ModelessWindow*>(dialog)->Scroller();
    const bool taller = dialog == &program.Config()   ? area.height() < 600
                        : dialog == &program.Select() ? area.height() < 489
                                                      : false;
    EXPECT_EQ(scroller != nullptr, taller) << name << " scrolls only where it is taller than the screen";
    if (scroller != nullptr) {
      // The scroll area fills the window, and no control it holds has
      // been squeezed to nothing.
      EXPECT_EQ(scroller->geometry(), dialog->rect()) << name;
      for (QWidget* control : scroller->widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control->isVisibleTo(dialog)) {
          EXPECT_FALSE(control->size().isEmpty()) << control->objectName().toStdString();
        }
      }
    }
    for (QAbstractButton* pressable : dialog->findChildren<QAbstractButton*>()) {
      if (!pressable->isVisibleTo(dialog)) continue;
      if (scroller != nullptr) {
        scroller->ensureWidgetVisible(pressable);
        QApplication::processEvents();
      }
      const QRect onScreen(pressable->mapToGlobal(QPoint(0, 0)), pressable->size());
      EXPECT_TRUE(area.contains(onScreen) && dialog->geometry().contains(onScreen))
          << pressable->objectName().toStdString() << " of " << name;
    }
    dialog->hide();
  }

  // The Wipe Space question with forty drives, the system's among them:
  // it lies on the screen, its drive lines scroll, and Cancel stays the
  // default beside Alt+W.
  SpaceWipeQuestion question;
  for (int i = 0; i < 40; ++i) {
    question.drives.push_back(
        {static_cast<char>('D' + i % 23), "/mnt/drive" + std::to_string(i), 1 << 30, 90.0, i == 0});
  }
  bool asked = false;
  test::ModalBoxCatcher boxes([&](QMessageBox& box) {
    asked = true;
    EXPECT_TRUE(area.contains(box.frameGeometry()));
    for (QAbstractButton* button : box.buttons()) {
      EXPECT_TRUE(area.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())))
          << button->text().toStdString();
    }
    EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()), box.button(QMessageBox::Cancel));
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), "&Wipe");
    auto* pane = box.findChild<QScrollArea*>("DriveLinesPane");
    EXPECT_TRUE(pane != nullptr && pane->isVisible() && pane->height() > 0);
    if (pane != nullptr) {
      if (area.height() <= 540) {
        EXPECT_GT(pane->verticalScrollBar()->maximum(), 0) << "the lines scroll";
        EXPECT_GT(pane->widget()->height(), pane->viewport()->height()) << "none is squeezed out";
      }
      EXPECT_EQ(static_cast<QLabel*>(pane->widget())->text().count("/mnt/drive"), 40);
    }
    box.done(QMessageBox::Cancel);
  });
  EXPECT_FALSE(ConfirmSpaceWipe(&main, question));
  EXPECT_TRUE(asked);
}

}  // namespace
}  // namespace omrek
