#include "settings/ui/Config.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <stdexcept>

#include "disk/ui/DiskList.h"
#include "platform/WavePlayer.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLocation.h"
#include "settings/SoundFile.h"
#include "widgets/ByteEdit.h"
#include "widgets/ErrorBox.h"
#include "widgets/FileNameEdit.h"
#include "widgets/FlatButton.h"
#include "widgets/GradientLabel.h"
#include "widgets/PixelFont.h"
#include "widgets/Place.h"
#include "widgets/SpinEdit.h"

namespace omrek {

namespace {

constexpr int kPanelWidth = 393;
constexpr int kHeadingHeight = 22;
constexpr int kCheckHeight = 17;
constexpr int kEditHeight = 21;
constexpr int kSpinHeight = 22;
constexpr int kMaxPasses = 100;

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, const QPoint& at) {
  auto* label = new QLabel(caption, parent);
  return Place(label, name, QRect(at, label->sizeHint()));
}

// A check box as wide as its caption, but never reaching `right`, where the
// next control on its line begins.
QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& caption, const QPoint& at, int right) {
  auto* check = new QCheckBox(caption, parent);
  const int width = std::min(check->sizeHint().width(), right - at.x());
  return Place(check, name, QRect(at, QSize(width, kCheckHeight)));
}

GradientLabel* MakeHeading(QWidget* parent, const char* name, const QString& caption, int top,
                           const QString& hint = {}) {
  auto* heading = Place(new GradientLabel(caption, GradientLabel::Effect::Raised, parent), QString::fromLatin1(name),
                        QRect(8, top, kPanelWidth, kHeadingHeight), hint);
  heading->setFont(PixelFont(QStringLiteral("Arial"), 19, Bold));
  return heading;
}

QFrame* MakePanel(QWidget* parent, const char* name, int top, int height) {
  auto* panel = Place(new QFrame(parent), QString::fromLatin1(name), QRect(8, top, kPanelWidth, height));
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  return panel;
}

FlatButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int left, const QColor& pressed) {
  auto* button = Place(new FlatButton({caption}, parent), QString::fromLatin1(name), QRect(left, 536, 86, 22));
  button->setColours(FlatButton::DialogColours(*parent, Qt::yellow, pressed));
  return button;
}

// Where one mode's option controls stand in its panel: the check boxes in
// one column, the pass count and the custom byte further right.
struct OptionColumns {
  int checks;
  int passesLabel;
  int passes;
  int byteValue;
};

// The check boxes, pass count and byte edit of one mode. The disk mode's
// names end in "Disk".
WipeControls MakeWipeOptions(QWidget* panel, const OptionColumns& at, const QString& suffix,
                             const QString& passesLabelName) {
  const auto named = [&](const char* name) { return QString::fromLatin1(name) + suffix; };
  const int right = panel->width() - 8;
  WipeControls controls{};
  controls.dod =
      MakeCheck(panel, named("chkDOD"), QStringLiteral("Use DOD 5220.22M specifications"), QPoint(at.checks, 8), right);
  controls.inversion =
      MakeCheck(panel, named("chkInvert"), QStringLiteral("Data Inversion"), QPoint(at.checks, 32), right);
  controls.randomize =
      MakeCheck(panel, named("chkRandomize"), QStringLiteral("Randomize"), QPoint(at.checks, 56), at.passesLabel);
  MakeLabel(panel, passesLabelName, QStringLiteral("# of Passes"), QPoint(at.passesLabel, 59));
  controls.numRandomize =
      Place(new SpinEdit(0, kMaxPasses, panel), named("numRandomize"), QRect(at.passes, 56, 57, kSpinHeight));
  controls.nullify1 =
      MakeCheck(panel, named("chkNullify1"), QStringLiteral("Nullication Pass 1 (all bits set to ZERO)"),
                QPoint(at.checks, 80), right);
  controls.nullify2 = MakeCheck(panel, named("chkNullify2"), QStringLiteral("Nullication Pass 2 (all bits set to ONE)"),
                                QPoint(at.checks, 104), right);
  controls.nullifyCustom =
      MakeCheck(panel, named("chkNullifyCustom"), QStringLiteral("Nullification, Custom Set Byte Value: "),
                QPoint(at.checks, 128), at.byteValue);
  controls.nullValue = Place(new ByteEdit(panel), named("edtNullValue"), QRect(at.byteValue, 127, 25, kEditHeight));
  return controls;
}

}  // namespace

TfrmConfig::TfrmConfig(QWidget* parent)
    : ModelessWindow(QStringLiteral("Configuration"), parent),
      programPath_(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString()) {
  setObjectName(QStringLiteral("TfrmConfig"));
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
  PlaceByOuterGeometry(516, 242, 417, 593);

  CreateHeadingsAndButtons();
  CreateFileModePanel();
  CreateDiskModePanel();
  WireHandlers();
}

void TfrmConfig::CreateHeadingsAndButtons() {
  lblFileMode = MakeHeading(this, "lblFileMode", QStringLiteral("Individual File Mode"), 8,
                            QStringLiteral("options for when you are destroying individual files"));
  lblDiskWipeMode = MakeHeading(this, "lblDiskWipeMode", QStringLiteral("Disk Wipe Mode"), 256);
  BackPanel1 = MakePanel(this, "BackPanel1", 32, 209);
  BackPanel2 = MakePanel(this, "BackPanel2", 280, 249);
  btnOK = MakeButton(this, "btnOK", QStringLiteral("OK"), 88, QColor(0, 128, 0));
  btnQuit = MakeButton(this, "btnQuit", QStringLiteral("Cancel"), 248, Qt::red);
}

void TfrmConfig::CreateFileModePanel() {
  fileControls_ = MakeWipeOptions(BackPanel1, {8, 104, 168, 208}, QString(), QStringLiteral("Label1"));
  lblHex1 = MakeLabel(BackPanel1, QStringLiteral("lblHex1"), QStringLiteral("(2 hexadecimal chars)"), QPoint(244, 132));
  Label2 = MakeLabel(BackPanel1, QStringLiteral("Label2"),
                     QStringLiteral("Sound file to play when file is destroyed (click on folder to browse)"),
                     QPoint(8, 160));
  edtSoundFile = Place(new FileNameEdit(QStringLiteral("*.wav"), BackPanel1), QStringLiteral("edtSoundFile"),
                       QRect(8, 176, 345, kEditHeight));
}

void TfrmConfig::CreateDiskModePanel() {
  lstDisk = Place(new TDiskListView(BackPanel2), QStringLiteral("lstDisk"), QRect(8, 8, 137, 233));
  diskControls_ = MakeWipeOptions(BackPanel2, {152, 264, 328, 360}, QStringLiteral("Disk"), QStringLiteral("Label3"));
  diskControls_.nullValue->setToolTip(QStringLiteral("2 hexadecimal chars in the range of 0 to 9, A to F"));
  const int right = BackPanel2->width() - 8;
  chkWipeSlack = MakeCheck(BackPanel2, QStringLiteral("chkWipeSlack"),
                           QStringLiteral("Wipe slack at end of used clusters"), QPoint(152, 152), right);
  // Background wiping was never built: the box is kept, hidden and off, for
  // the settings key it is written to.
  chkWipeBackground = MakeCheck(BackPanel2, QStringLiteral("chkWipeBackground"),
                                QStringLiteral("Perform wipe of empty space in background"), QPoint(152, 176), right);
  chkWipeBackground->hide();
}

void TfrmConfig::WireHandlers() {
  // The handlers run guarded: a failed save reaches the user in the error
  // box, and the dialog stays open with the options as they were.
  const auto wire = [this](FlatButton* button, void (TfrmConfig::*handler)()) {
    connect(button, &FlatButton::clicked, this, [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
  };
  wire(btnOK, &TfrmConfig::btnOKclick);
  wire(btnQuit, &TfrmConfig::btnQuitClick);
}

bool TfrmConfig::WipeSlack() const { return chkWipeSlack->isChecked(); }

bool TfrmConfig::WipeBackground() const { return chkWipeBackground->isChecked(); }

QString TfrmConfig::SelectedDrives() const { return lstDisk->SelectedDriveLetters(); }

std::string TfrmConfig::SettingsFilePath() const { return PlacesOf(programPath_).settingsFile; }

template <typename Control>
Control* TfrmConfig::ControlOf(const SettingKey& key) const {
  auto* control = findChild<Control*>(QString::fromLatin1(key.control));
  if (control == nullptr) throw std::logic_error(std::string("no control for the setting ") + key.name);
  return control;
}

std::string TfrmConfig::LoadSettings(WavePlayer& sound, FlatButton& wipeSpace) {
  const SettingsFile file(SettingsFilePath());
  for (const SettingKey& key : kSettingKeys) {
    if (key.loaded) PutIntoControl(file, key);
  }
  options_ = {file.ReadBoolean(kVerifyKey), file.ReadBoolean(kWipeNamesKey)};
  quietDrives_ = file.ReadMountPoints(kQuietDrivesKey);
  offerReport_ = file.ReadBoolean(kOfferReportKey);
  thenWipeSpace_.reset();
  if (file.Stored(kThenWipeSpaceKey)) thenWipeSpace_ = file.ReadBoolean(kThenWipeSpaceKey);
  LoadSound(sound);
  chkWipeBackground->setChecked(false);
  wipeSpace.setCaptionLines({QStringLiteral("Wipe Space")});
  return file.Problem().empty() ? std::string() : "Settings file: " + file.Problem();
}

void TfrmConfig::SaveSettings() {
  CreateSettingsFolder(SettingsFilePath());
  SettingsFile file(SettingsFilePath());
  for (const SettingKey& key : kSettingKeys) TakeFromControl(file, key);
  file.WriteBoolean(kVerifyKey, options_.verify);
  file.WriteBoolean(kWipeNamesKey, options_.wipeNames);
  file.WriteBoolean(kOfferReportKey, offerReport_);
  if (thenWipeSpace_) file.WriteBoolean(kThenWipeSpaceKey, *thenWipeSpace_);
}

void TfrmConfig::PutIntoControl(const SettingsFile& file, const SettingKey& key) {
  switch (key.type) {
    case SettingType::Boolean:
      ControlOf<QCheckBox>(key)->setChecked(file.ReadBoolean(key));
      break;
    case SettingType::Integer:
      ControlOf<SpinEdit>(key)->setValue(file.ReadInteger(key));
      break;
    case SettingType::Text:
      // A byte edit cuts the text to its two characters, keeping their case.
      ControlOf<QLineEdit>(key)->setText(QString::fromStdString(file.ReadText(key)));
      break;
    case SettingType::DriveLetters:
      // Never loaded: the letters may name other drives by now.
      break;
    case SettingType::MountPoints:
      // Only a selection the user saved comes back; without one the list
      // keeps the fixed drives it selected itself.
      if (file.Stored(key)) ControlOf<TDiskListView>(key)->SelectMountPoints(file.ReadMountPoints(key));
      break;
  }
}

void TfrmConfig::TakeFromControl(SettingsFile& file, const SettingKey& key) const {
  switch (key.type) {
    case SettingType::Boolean:
      file.WriteBoolean(key, ControlOf<QCheckBox>(key)->isChecked());
      break;
    case SettingType::Integer:
      file.WriteInteger(key, ControlOf<SpinEdit>(key)->value());
      break;
    case SettingType::Text:
      file.WriteText(key, ControlOf<QLineEdit>(key)->text().toStdString());
      break;
    case SettingType::DriveLetters:
      file.WriteText(key, ControlOf<TDiskListView>(key)->SelectedDriveLetters().toStdString());
      break;
    case SettingType::MountPoints:
      file.WriteMountPoints(key, ControlOf<TDiskListView>(key)->SelectedMountPoints());
      break;
  }
}

void TfrmConfig::LoadSound(WavePlayer& sound) {
  try {
    const std::string path = ResolveSoundPath(edtSoundFile->text().toStdString(), PlacesOf(programPath_).dataFolder);
    edtSoundFile->setText(QString::fromStdString(path));
    sound.Load(ReadSoundImage(path));
  } catch (const std::exception&) {
    // A sound that cannot be found or read only means silence.
  }
}

void TfrmConfig::btnOKclick() {
  SaveSettings();
  close();
}

void TfrmConfig::btnQuitClick() { close(); }

bool TfrmConfig::DriveQuiet(const std::string& mountPoint) const {
  return std::find(quietDrives_.begin(), quietDrives_.end(), mountPoint) != quietDrives_.end();
}

void TfrmConfig::QuietDrive(const std::string& mountPoint) {
  if (DriveQuiet(mountPoint)) return;
  quietDrives_.push_back(mountPoint);
  try {
    SettingsFile(SettingsFilePath()).WriteMountPoints(kQuietDrivesKey, quietDrives_);
  } catch (const std::exception&) {
    // The choice still holds until the program ends.
  }
}

void TfrmConfig::RememberThenWipeSpace(bool wipe) {
  if (thenWipeSpace_ == wipe) return;
  thenWipeSpace_ = wipe;
  try {
    CreateSettingsFolder(SettingsFilePath());
    SettingsFile(SettingsFilePath()).WriteBoolean(kThenWipeSpaceKey, wipe);
  } catch (const std::exception&) {
    // The answer still holds until the program ends.
  }
}

void TfrmConfig::StopOfferingReport() {
  offerReport_ = false;
  try {
    CreateSettingsFolder(SettingsFilePath());
    SettingsFile(SettingsFilePath()).WriteBoolean(kOfferReportKey, false);
  } catch (const std::exception& error) {
    // The choice still holds until the program ends; the user is told it
    // will not outlast it.
    ShowErrorBox(QStringLiteral("The choice not to offer the report again could not be stored, so it holds only "
                                "until the program ends: %1")
                     .arg(QString::fromUtf8(error.what())));
  }
}

void TfrmConfig::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        btnOK->click();
        return;
      case Qt::Key_Escape:
        btnQuit->click();
        return;
      default:
        break;
    }
  }
  ModelessWindow::keyPressEvent(event);
}

}  // namespace omrek
