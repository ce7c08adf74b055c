#include "app/Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>

#include "app/About.h"
#include "app/RedrawThrottle.h"
#include "app/WindowFrontEnd.h"
#include "disk/ui/DiskList.h"
#include "intake/ui/FileSelect.h"
#include "intake/ui/TargetListView.h"
#include "settings/ui/Config.h"
#include "widgets/ClickLabel.h"
#include "widgets/ErrorBox.h"
#include "widgets/FlatButton.h"

namespace omrek {

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("TfrmMain"));
  setWindowTitle(kProgramTitle);
  CreateControls();
  redraw_ = new RedrawThrottle(*this, *lstView);
  WireHandlers();
  // A drop target that cannot be bound is reported; the program then starts
  // without accepting drops.
  RunGuarded([this] { FormCreate(); });
}

TfrmMain::~TfrmMain() { FormDestroy(); }

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
  frontEnd_ = std::make_unique<WindowFrontEnd>(*this, *config);
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
  const std::string problem = frmConfig_->LoadSettings(Wave1, *btnWipeSpace);
  if (problem.empty()) {
    SetStatus("READY", "", "");
    return;
  }
  // A settings file read only in part is said once: the status lines are
  // too narrow for the reason, so they point to a note that says it whole,
  // without holding up the window.
  SetStatus("READY", "SETTINGS", "PROBLEM");
  auto* note =
      new QMessageBox(QMessageBox::Warning, kProgramTitle,
                      QString::fromStdString(problem + ".\nThe options it does not give are at their defaults."),
                      QMessageBox::Ok, this);
  note->setObjectName(QStringLiteral("SettingsProblem"));
  note->setAttribute(Qt::WA_DeleteOnClose);
  note->setWindowModality(Qt::NonModal);
  note->show();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program, even while a dialog is open.
  // The request takes effect once control is back in the event loop, so a
  // running command first reaches its end.
  event->accept();
  closing_ = true;
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

void TfrmMain::lstViewKeyUp(int key) {
  if (key == Qt::Key_Delete) lstView->DeleteSelectedRows();
}

void TfrmMain::DropFileTarget1Drop(TDropTarget&, TShiftState, QPoint, DropEffect&) {
  // Unlike AddTarget, no status and no pumping: the drag source is waiting.
  // An unreadable file ends the loop; the rows before it stay.
  for (const QByteArray& name : DropFileTarget1.FileNames()) lstView->AppendTarget(name.toStdString());
}

}  // namespace omrek
