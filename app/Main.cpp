#include "app/Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "app/About.h"
#include "app/MainSkin.h"
#include "app/RedrawThrottle.h"
#include "app/SpaceConfirmation.h"
#include "disk/DiskList.h"
#include "disk/FillerFiles.h"
#include "disk/FreeSpaceWipe.h"
#include "disk/SlackWipe.h"
#include "engine/FileDestruction.h"
#include "intake/FileSelect.h"
#include "intake/TargetListView.h"
#include "platform/DriveTable.h"
#include "platform/InPlaceCaveat.h"
#include "platform/TerminationSignals.h"
#include "settings/Config.h"
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

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("TfrmMain"));
  setWindowTitle(kProgramTitle);
  setFixedSize(kClientWidth, kClientHeight);
  setFont(PixelFont(kArial, 11));
  KeepSkinColours();

  CoolForm1 = AddMainSkin(this);
  CreateTitleAndStatus();
  CreateListPanel();
  redraw_ = new RedrawThrottle(*this, *lstView);
  CreateCommandButtons();
  WireHandlers();
  // A drop target that cannot be bound is reported; the program then starts
  // without accepting drops.
  RunGuarded([this] { FormCreate(); });
}

TfrmMain::~TfrmMain() { FormDestroy(); }

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

void TfrmMain::WireHandlers() {
  // Every handler runs guarded: an error that escapes it reaches the user in
  // the error box and the program goes on.
  const auto wire = [this](auto* sender, auto signal, void (TfrmMain::*handler)()) {
    connect(sender, signal, this, [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
  };
  wire(btnExit, &FlatButton::clicked, &TfrmMain::btnExitClick);
  wire(lblExit, &ClickLabel::clicked, &TfrmMain::lblExitClick);
  wire(btnMin, &ClickLabel::clicked, &TfrmMain::btnMinClick);
  wire(btnHelp, &FlatButton::clicked, &TfrmMain::btnHelpClick);
  wire(btnConfig, &FlatButton::clicked, &TfrmMain::btnConfigClick);
  wire(btnSelectFiles, &FlatButton::clicked, &TfrmMain::btnSelectFilesClick);
  wire(btnCancel, &FlatButton::clicked, &TfrmMain::btnCancelClick);
  wire(btnDestroy, &FlatButton::clicked, &TfrmMain::btnDestroyClick);
  wire(btnWipeSlack, &FlatButton::clicked, &TfrmMain::btnWipeSlackClick);
  wire(btnWipeSpace, &FlatButton::clicked, &TfrmMain::btnWipeSpaceClick);
  connect(lstView, &TargetListView::keyReleased, this, [this](int key) { RunGuarded([&] { lstViewKeyUp(key); }); });
  // Not through RunGuarded: the drop target itself shows an error of the
  // handler, once the drag source has its answer.
  DropFileTarget1.OnDrop = std::bind_front(&TfrmMain::DropFileTarget1Drop, this);
}

void TfrmMain::FormCreate() {
  DropFileTarget1.Dragtypes = dtCopy;
  DropFileTarget1.Register(lstView);
  engine_.ClusterSize = ShredEngine::kDefaultClusterSize;
}

void TfrmMain::FormDestroy() { DropFileTarget1.Unregister(); }

void TfrmMain::AttachDialogs(TfrmConfig* config, TfrmAbout* about, TfrmSelect* select) {
  frmConfig_ = config;
  frmAbout_ = about;
  frmSelect_ = select;
}

void TfrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  RunGuarded([this] { FormShow(); });
}

void TfrmMain::FormShow() {
  SetCancelFlag(true);
  frmConfig_->lstDisk->RefreshDrives();
  frmConfig_->LoadSettings(Wave1, *btnWipeSpace);
  SetStatus("READY", "", "");
  DeleteLeftoverFillersOfAllDrives(*this);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program, even while a dialog is open.
  // The request takes effect once control is back in the event loop, so a
  // running command first reaches its end.
  event->accept();
  QCoreApplication::quit();
}

void TfrmMain::AddTarget(const std::string& path) {
  lstView->AppendTarget(path);
  SetStatus("READY", "", "");
}

bool TfrmMain::RunCommand(const std::function<void()>& command) {
  if (commandRunning_) {
    QApplication::beep();
    return false;
  }
  // Whatever ends the command, even an error, the program is idle again
  // afterwards so the next command can run.
  struct Release {
    TfrmMain& window;
    ~Release() {
      window.SetCancelFlag(true);
      window.commandRunning_ = false;
      window.redraw_->Stop();
    }
  };
  commandRunning_ = true;
  SetCancelFlag(false);
  redraw_->Start();
  Release release{*this};
  command();
  return true;
}

void TfrmMain::SetStatus(const std::string& line1, const std::string& line2, const std::string& line3) {
  lblStatus->setText(QString::fromStdString(line1));
  lblStatus2->setText(QString::fromStdString(line2));
  lblStatus3->setText(QString::fromStdString(line3));
  PumpEvents();
}

void TfrmMain::PumpEvents() {
  redraw_->Release();
  QCoreApplication::processEvents();
}

void TfrmMain::AddProgress(std::uint16_t amount) {
  engine_.Progress += amount;
  Meter->setPosition(engine_.Progress);
  KeepWindowAlive();
}

void TfrmMain::KeepWindowAlive() {
  // A pass over a large file takes minutes without a pump point. Repaints,
  // uncovering and the window manager's pings are served meanwhile; clicks
  // and keys stay queued for the next pump point, so no command starts
  // inside another and Cancel still acts between files.
  constexpr qint64 kAliveMilliseconds = 50;
  if (sinceAlive_.isValid() && sinceAlive_.elapsed() < kAliveMilliseconds) return;
  sinceAlive_.start();
  redraw_->Release();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmMain::ResetProgress() {
  engine_.Progress = 0;
  Meter->setMaximum(engine_.WorkTotal);
  Meter->setPosition(engine_.Progress);
}

void TfrmMain::ShowMeterFull() { Meter->setPosition(engine_.WorkTotal); }

bool TfrmMain::CancelFlag() const { return engine_.CancelFlag || TerminationSignals::Requested() != 0; }

void TfrmMain::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, kProgramTitle, QString::fromStdString(text), QMessageBox::Ok, this);
  box.exec();
}

void TfrmMain::btnExitClick() {
  SetCancelFlag(true);
  close();
}

void TfrmMain::lblExitClick() { close(); }

void TfrmMain::btnMinClick() {
  // The whole program goes to its taskbar button, dialogs included.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible() && window->windowType() == Qt::Window) window->showMinimized();
  }
}

void TfrmMain::btnHelpClick() { frmAbout_->ShowModeless(this); }

void TfrmMain::btnConfigClick() { frmConfig_->ShowModeless(this); }

void TfrmMain::btnSelectFilesClick() { frmSelect_->ShowModeless(this); }

void TfrmMain::btnCancelClick() { SetCancelFlag(true); }

std::vector<std::string> TfrmMain::ListedRoutes() const {
  std::vector<std::string> routes;
  for (int row = 0; row < lstView->RowCount(); ++row) routes.push_back(lstView->RowFile(row).route);
  return routes;
}

bool TfrmMain::AcceptInPlaceCaveats(const std::vector<std::string>& paths) {
  InPlaceCaveats caveats;
  std::vector<std::string> asked;
  for (const std::string& path : paths) {
    const auto caveat = caveats.Of(path);
    if (!caveat || frmConfig_->DriveQuiet(caveat->mountPoint)) continue;
    if (std::find(asked.begin(), asked.end(), caveat->mountPoint) != asked.end()) continue;
    asked.push_back(caveat->mountPoint);

    const char letter = DriveTable::Read().LetterOf(caveat->mountPoint);
    const std::string drive = letter != 0 ? std::string("Drive ") + letter + ": (" + caveat->mountPoint + ")"
                                          : "The drive at " + caveat->mountPoint;
    QMessageBox box(QMessageBox::Warning, kProgramTitle,
                    QString::fromStdString(drive + ": " + caveat->reason +
                                           ".\nOverwriting in place may not reach old copies of the data there."),
                    QMessageBox::NoButton, this);
    QPushButton* go = box.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(go);
    box.setCheckBox(new QCheckBox(QStringLiteral("Don't warn again for this drive")));
    box.exec();
    if (box.clickedButton() != go) return false;
    if (box.checkBox()->isChecked()) frmConfig_->QuietDrive(caveat->mountPoint);
  }
  return true;
}

void TfrmMain::btnDestroyClick() {
  RunReportedCommand([this](std::optional<CommandReport>& report) {
    if (!AcceptInPlaceCaveats(ListedRoutes())) return;
    report.emplace("Destroy", PassOrder::Destroy, frmConfig_->FileModeProfile(), frmConfig_->Options().verify);
    FileDestruction destruction(engine_, *this, frmConfig_->FileModeProfile(), Wave1, frmConfig_->Options());
    destruction.RecordInto(*report);
    destruction.DestroyListedFiles(*lstView);
  });
}

void TfrmMain::RunReportedCommand(const std::function<void(std::optional<CommandReport>& report)>& command) {
  std::optional<CommandReport> report;
  const auto offer = [this, &report] {
    if (report && !report->Empty()) OfferReport(std::move(*report));
  };
  try {
    RunCommand([&command, &report] { command(report); });
  } catch (...) {
    offer();
    throw;
  }
  offer();
}

void TfrmMain::OfferReport(CommandReport report) {
  // Offered, never forced: a list of shredded paths is itself sensitive, and
  // the window goes on meanwhile.
  if (reportOffer_) reportOffer_->close();
  reportOffer_ =
      new QMessageBox(QMessageBox::Question, kProgramTitle, QStringLiteral("Save a report of what was done?"),
                      QMessageBox::Save | QMessageBox::Close, this);
  reportOffer_->setAttribute(Qt::WA_DeleteOnClose);
  reportOffer_->setWindowModality(Qt::NonModal);
  connect(reportOffer_, &QMessageBox::buttonClicked, this, [this, report = std::move(report)](QAbstractButton* button) {
    if (reportOffer_ == nullptr || reportOffer_->standardButton(button) != QMessageBox::Save) return;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Report"),
                                                      QDir::home().filePath(QStringLiteral("Omrek report.txt")));
    if (!path.isEmpty()) RunGuarded([&] { report.Save(QFile::encodeName(path).toStdString()); });
  });
  reportOffer_->show();
}

void TfrmMain::btnWipeSlackClick() {
  RunReportedCommand([this](std::optional<CommandReport>& report) {
    if (!AcceptInPlaceCaveats(ListedRoutes())) return;
    const bool verify = frmConfig_->Options().verify;
    report.emplace("Wipe Slack", PassOrder::Slack, frmConfig_->FileModeProfile(), verify);
    SlackWipe wipe(engine_, *this, frmConfig_->FileModeProfile(), verify);
    wipe.RecordInto(*report);
    wipe.WipeListedFiles(*lstView);
  });
}

void TfrmMain::btnWipeSpaceClick() {
  if (CommandRunning()) {
    QApplication::beep();
    return;
  }
  const QString letters = frmConfig_->lstDisk->SelectedDriveLetters();
  const std::vector<std::string> roots = frmConfig_->lstDisk->SelectedDriveRoots();
  std::vector<DriveToWipe> drives;
  for (qsizetype i = 0; i < letters.size(); ++i) {
    drives.push_back({letters.at(i).toLatin1(), roots.at(static_cast<std::size_t>(i))});
  }
  // Filling a drive makes every program writing there fail until the wipe
  // ends: the user is asked first, and told when there is nothing to ask.
  if (drives.empty()) {
    TellNoDriveSelected(this);
    return;
  }
  if (!ConfirmSpaceWipe(this, ForecastSpaceWipe(drives, wipeSpeeds_))) return;
  RunReportedCommand([this, &drives, &roots](std::optional<CommandReport>& report) {
    if (!AcceptInPlaceCaveats(roots)) return;
    const bool verify = frmConfig_->Options().verify;
    report.emplace("Wipe Space", PassOrder::FreeSpace, frmConfig_->DiskModeProfile(), verify);
    FreeSpaceWipe wipe(
        engine_, *this, frmConfig_->DiskModeProfile(), [this] { return frmConfig_->WipeSlack(); }, DiskInfo, verify);
    wipe.firstChunkTimed = [this](const std::string& root, double speed) { wipeSpeeds_.Note(root, speed); };
    wipe.RecordInto(*report);
    wipe.WipeSelectedDrives(drives);
  });
}

void TfrmMain::lstViewKeyUp(int key) {
  if (key == Qt::Key_Delete) lstView->DeleteSelectedRows();
}

void TfrmMain::DropFileTarget1Drop(TDropTarget&, TShiftState, QPoint, DropEffect&) {
  // Unlike AddTarget, no status and no pumping: the drag source is waiting.
  // An unreadable file ends the loop; the rows before it stay.
  for (const QByteArray& name : DropFileTarget1.FileNames()) lstView->AppendTarget(name.toStdString());
}

}  // namespace omrek
