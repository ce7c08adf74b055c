#include <QFrame>
#include <QLabel>
#include <algorithm>

#include "app/Main.h"
#include "app/MainSkin.h"
#include "intake/ui/TargetListView.h"
#include "widgets/Accessibility.h"
#include "widgets/BarMeter.h"
#include "widgets/ClickLabel.h"
#include "widgets/ErrorBox.h"
#include "widgets/FlatButton.h"
#include "widgets/Label3D.h"
#include "widgets/PixelFont.h"
#include "widgets/Place.h"

namespace omrek {

namespace {

const QString kArial = QStringLiteral("Arial");
const QString kKillMe = QStringLiteral("Kill Me!");

constexpr int kClientWidth = 720;
constexpr int kClientHeight = 466;
constexpr int kButtonLeft = 24;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 40;

const QColor kMaroon(128, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kBlue(0, 0, 255);
const QColor kSilver(192, 192, 192);

// A title never gives up letters: the width laid out for it is a minimum,
// widened to what the font in use needs (italics lean past the advance; the
// 3-D effect takes a pixel more).
void FitWidthToText(QLabel& title) {
  const QFontMetrics metrics(title.font());
  const int ink = std::max(metrics.horizontalAdvance(title.text()), metrics.boundingRect(title.text()).right() + 1);
  const int needed = ink + 1;
  if (needed > title.width()) title.resize(needed, title.height());
}

QLabel* MakeStatusLabel(QWidget* parent, const char* name, int top) {
  auto* label = Place(new QLabel(QStringLiteral("STATUS"), parent), name, QRect(544, top, 101, 16));
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setAttribute(Qt::WA_TranslucentBackground);
  label->setFont(PixelFont(kArial, 13));
  // A label of fixed size asks its window for no new layout when its text
  // changes; a command sets these texts several times per file.
  label->setFixedSize(label->size());
  return label;
}

ClickLabel* MakeLabelButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
  auto* label = Place(new ClickLabel(caption, parent), name, geometry, kKillMe);
  label->setFont(PixelFont(kArial, 13, Bold));
  return label;
}

struct CommandButton {
  const char* name;
  int top;
  QStringList caption;
  QString hint;
  QColor colour;
  int style;
};

FlatButton* MakeCommandButton(QWidget* parent, const CommandButton& row) {
  auto* button = Place(new FlatButton(row.caption, parent), row.name,
                       QRect(kButtonLeft, row.top, kButtonWidth, kButtonHeight), row.hint);
  button->setFont(PixelFont(kArial, 11, row.style));
  FlatButton::Colours colours;
  colours.text = row.colour;
  button->setColours(colours);
  return button;
}

}  // namespace

void TfrmMain::CreateControls() {
  setFixedSize(kClientWidth, kClientHeight);
  setFont(PixelFont(kArial, 11));
  KeepSkinColours();

  CoolForm1 = AddMainSkin(this);
  CreateTitleAndStatus();
  CreateListPanel();
  CreateCommandButtons();
}

void TfrmMain::KeepSkinColours() {
  // Titles, status lines and label buttons stand on the skin, a fixed
  // picture: a desktop palette's colours (light text on a dark theme) would
  // vanish on it. The list keeps the desktop's own pair of colours.
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, Qt::black);
  colours.setColor(QPalette::Light, Qt::white);
  colours.setColor(QPalette::Dark, QColor(128, 128, 128));
  setPalette(colours);
}

void TfrmMain::CreateTitleAndStatus() {
  lblTitle1 = Place(new Label3D(QStringLiteral("Omrek"), Label3D::Effect::Raised, this), "lblTitle1",
                    QRect(19, 16, 80, 36), QStringLiteral("Drag files to window below and click \"Destroy\""));
  lblTitle1->setFont(PixelFont(kArial, 27, Bold | Italic));
  FitWidthToText(*lblTitle1);
  lblTitle2 = Place(new Label3D(QStringLiteral("Filebane"), Label3D::Effect::Raised, this), "lblTitle2",
                    QRect(19, 48, 202, 28));
  lblTitle2->setFont(PixelFont(kArial, 21, Bold | Italic));
  FitWidthToText(*lblTitle2);

  lblStatus = MakeStatusLabel(this, "lblStatus", 15);
  lblStatus2 = MakeStatusLabel(this, "lblStatus2", 31);
  lblStatus3 = MakeStatusLabel(this, "lblStatus3", 47);

  btnMin = MakeLabelButton(this, "btnMin", QStringLiteral("="), QRect(684, 19, 8, 16));
  lblExit = MakeLabelButton(this, "lblExit", QStringLiteral("X"), QRect(696, 16, 9, 16));
  // "=" and "X" say nothing read aloud; what they do does.
  btnMin->setAccessibleName(QStringLiteral("Minimize"));
  lblExit->setAccessibleName(QStringLiteral("Close"));
}

void TfrmMain::CreateListPanel() {
  pnlMain = Place(new QFrame(this), "pnlMain", QRect(143, 97, 566, 357));
  pnlMain->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  pnlMain->setAutoFillBackground(true);
  QPalette silver = pnlMain->palette();
  silver.setColor(QPalette::Window, kSilver);
  pnlMain->setPalette(silver);

  lstView = Place(new TargetListView(pnlMain), "lstView", QRect(1, 1, 564, 335),
                  QStringLiteral("Press the DELETE key to remove files from this list individually"));
  lstView->setFont(PixelFont(kArial, 11));
  lstView->setAccessibleName(QStringLiteral("Listed Files"));
  PresentAsTable(*lstView);
  Meter = Place(new BarMeter(pnlMain), "Meter", QRect(1, 336, 564, 20));
}

void TfrmMain::CreateCommandButtons() {
  const QColor windowText = Qt::black;
  btnDestroy = MakeCommandButton(this, {"btnDestroy",
                                        92,
                                        {QStringLiteral("  Destroy"), QStringLiteral("Listed Files")},
                                        QStringLiteral("Destroy the files listed in the window"),
                                        kMaroon,
                                        Plain});
  btnWipeSlack = MakeCommandButton(this, {"btnWipeSlack",
                                          136,
                                          {QStringLiteral("  Wipe Slack "), QStringLiteral("of Listed Files")},
                                          QStringLiteral("Wipe the slack space of files listed in the window"),
                                          windowText,
                                          Plain});
  btnWipeSpace = MakeCommandButton(this, {"btnWipeSpace",
                                          180,
                                          {QStringLiteral("Wipe Space")},
                                          QStringLiteral("wipe the empty space on your disk"),
                                          windowText,
                                          Plain});
  btnSelectFiles = MakeCommandButton(
      this, {"btnSelectFiles",
             224,
             {QStringLiteral("Select Files")},
             QStringLiteral("You can also just drag and drop files from Windows Explorer\nto the main window here."),
             kGreen,
             Bold});
  btnHelp = MakeCommandButton(this, {"btnHelp", 268, {QStringLiteral("Help/About")}, {}, kGreen, Plain});
  btnConfig = MakeCommandButton(this, {"btnConfig", 312, {QStringLiteral("Config")}, {}, kGreen, Plain});
  btnCancel = MakeCommandButton(this, {"btnCancel",
                                       368,
                                       {QStringLiteral("Cancel")},
                                       QStringLiteral("Cancels the current operation, if any"),
                                       kBlue,
                                       Bold});
  btnExit = MakeCommandButton(this, {"btnExit", 412, {QStringLiteral("EXIT")}, kKillMe, kBlue, Bold});
}

}  // namespace omrek
