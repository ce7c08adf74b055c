#include "settings/ui/Config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <QTreeWidgetItem>
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "disk/ui/DiskList.h"
#include "engine/FileDestruction.h"
#include "platform/DriveTable.h"
#include "platform/WavePlayer.h"
#include "settings/MountPointList.h"
#include "tests/support/LoopImage.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/RecordingMonitor.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"
#include "tests/support/VectorRows.h"
#include "widgets/ByteEdit.h"
#include "widgets/FileNameEdit.h"
#include "widgets/FlatButton.h"
#include "widgets/GradientLabel.h"
#include "widgets/SpinEdit.h"

namespace omrek {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::WriteFile;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The dialog of a program standing in a folder of the test's own, with the
// drive list filled as the main window's first showing fills it.
class ConfigDialog : public ::testing::Test {
 protected:
  ConfigDialog() {
    config_.SetProgramPath(folder_.File("omrek"));
    config_.lstDisk->RefreshDrives();
  }

  std::string SettingsPath() const { return folder_.File("omrek.ini"); }
  void Store(const std::string& text) { WriteFile(SettingsPath(), text); }
  void Load() { config_.LoadSettings(sound_, wipeSpace_); }

  template <typename Control = QWidget>
  Control* Find(const char* name) {
    auto* control = config_.findChild<Control*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  bool Checked(const char* name) { return Find<QCheckBox>(name)->isChecked(); }
  int Passes(const char* name) { return Find<SpinEdit>(name)->value(); }
  QString Text(const char* name) { return Find<QLineEdit>(name)->text(); }

  test::TempDir folder_;
  TfrmConfig config_;
  WavePlayer sound_;
  FlatButton wipeSpace_{{"Wipe", "Space"}};
};

struct Placed {
  const char* name;
  QRect geometry;
  QString caption;
};

TEST_F(ConfigDialog, EveryControlInItsPlaceWithItsCaption) {
  EXPECT_EQ(config_.windowTitle(), "Configuration");
  EXPECT_EQ(config_.font().pixelSize(), 11);
  const QString dod = "Use DOD 5220.22M specifications";
  const QString zero = "Nullication Pass 1 (all bits set to ZERO)";
  const QString one = "Nullication Pass 2 (all bits set to ONE)";
  const QString custom = "Nullification, Custom Set Byte Value: ";
  // Widths and heights of check boxes and labels follow their captions; the
  // rest is given.
  const std::vector<Placed> controls{
      {"BackPanel1", {8, 32, 393, 209}, {}},
      {"BackPanel2", {8, 280, 393, 249}, {}},
      {"btnOK", {88, 536, 86, 22}, "OK"},
      {"btnQuit", {248, 536, 86, 22}, "Cancel"},
      {"chkDOD", {8, 8, 0, 0}, dod},
      {"chkInvert", {8, 32, 0, 0}, "Data Inversion"},
      {"chkRandomize", {8, 56, 0, 0}, "Randomize"},
      {"Label1", {104, 59, 0, 0}, "# of Passes"},
      {"numRandomize", {168, 56, 57, 22}, {}},
      {"chkNullify1", {8, 80, 0, 0}, zero},
      {"chkNullify2", {8, 104, 0, 0}, one},
      {"chkNullifyCustom", {8, 128, 0, 0}, custom},
      {"edtNullValue", {208, 127, 25, 21}, {}},
      {"lblHex1", {244, 132, 0, 0}, "(2 hexadecimal chars)"},
      {"Label2", {8, 160, 0, 0}, "Sound file to play when file is destroyed (click on folder to browse)"},
      {"edtSoundFile", {8, 176, 345, 21}, {}},
      {"lstDisk", {8, 8, 137, 233}, {}},
      {"chkDODDisk", {152, 8, 0, 0}, dod},
      {"chkInvertDisk", {152, 32, 0, 0}, "Data Inversion"},
      {"chkRandomizeDisk", {152, 56, 0, 0}, "Randomize"},
      {"Label3", {264, 59, 0, 0}, "# of Passes"},
      {"numRandomizeDisk", {328, 56, 57, 22}, {}},
      {"chkNullify1Disk", {152, 80, 0, 0}, zero},
      {"chkNullify2Disk", {152, 104, 0, 0}, one},
      {"chkNullifyCustomDisk", {152, 128, 0, 0}, custom},
      {"edtNullValueDisk", {360, 127, 25, 21}, {}},
      {"chkWipeSlack", {152, 152, 0, 0}, "Wipe slack at end of used clusters"},
      {"chkWipeBackground", {152, 176, 0, 0}, "Perform wipe of empty space in background"},
  };
  for (const Placed& expected : controls) {
    QWidget* control = Find(expected.name);
    if (control == nullptr) continue;
    EXPECT_EQ(control->pos(), expected.geometry.topLeft()) << expected.name;
    if (!expected.geometry.size().isEmpty()) {
      EXPECT_EQ(control->size(), expected.geometry.size()) << expected.name;
    }
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
      EXPECT_EQ(check->text(), expected.caption);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      EXPECT_EQ(label->text(), expected.caption);
    } else if (auto* button = qobject_cast<FlatButton*>(control)) {
      EXPECT_EQ(button->text(), expected.caption);
    }
  }
  // Check boxes end before the control that follows them on their line.
  EXPECT_LE(Find("chkRandomize")->geometry().right(), 104);
  EXPECT_LE(Find("chkNullifyCustom")->geometry().right(), 208);
  EXPECT_LE(Find("chkNullifyCustomDisk")->geometry().right(), 360);
  EXPECT_EQ(Find("edtNullValueDisk")->toolTip(), "2 hexadecimal chars in the range of 0 to 9, A to F");
  EXPECT_EQ(Find<FileNameEdit>("edtSoundFile")->filter(), "*.wav");
  EXPECT_EQ(Find<SpinEdit>("numRandomize")->maximum(), 100);
  EXPECT_EQ(Find<SpinEdit>("numRandomizeDisk")->minimum(), 0);
  EXPECT_NE(Find<ByteEdit>("edtNullValue"), nullptr);
  EXPECT_NE(Find<ByteEdit>("edtNullValueDisk"), nullptr);
}

TEST_F(ConfigDialog, HeadingsButtonsAndTheHiddenBox) {
  const std::vector<Placed> headings{{"lblFileMode", {8, 8, 393, 22}, "Individual File Mode"},
                                     {"lblDiskWipeMode", {8, 256, 393, 22}, "Disk Wipe Mode"}};
  for (const Placed& expected : headings) {
    auto* heading = Find<GradientLabel>(expected.name);
    EXPECT_EQ(heading->geometry(), expected.geometry);
    EXPECT_EQ(heading->text(), expected.caption);
    EXPECT_EQ(heading->font().family(), "Arial");
    EXPECT_EQ(heading->font().pixelSize(), 19);
    EXPECT_TRUE(heading->font().bold());
  }
  EXPECT_EQ(config_.lblFileMode->toolTip(), "options for when you are destroying individual files");

  EXPECT_EQ(config_.btnOK->colours().hover, QColor(Qt::yellow));
  EXPECT_EQ(config_.btnQuit->colours().hover, QColor(Qt::yellow));
  EXPECT_EQ(config_.btnOK->colours().pressed, QColor(0, 128, 0));
  EXPECT_EQ(config_.btnQuit->colours().pressed, QColor(Qt::red));
  EXPECT_EQ(config_.btnOK->colours().border, QColor(153, 143, 130)) << "8556441 is BGR 0x828F99";

  config_.ShowModeless();
  EXPECT_TRUE(config_.isVisible());
  EXPECT_FALSE(config_.chkWipeBackground->isVisible());
  EXPECT_TRUE(config_.chkWipeSlack->isVisible());
  config_.close();
}

TEST_F(ConfigDialog, WithoutASettingsFileBothModesStartWithTheDefaults) {
  const QString fixedDrives = config_.SelectedDrives();
  Load();
  for (const char* suffix : {"", "Disk"}) {
    const auto name = [&](const char* base) { return (std::string(base) + suffix); };
    EXPECT_FALSE(Checked(name("chkDOD").c_str()));
    EXPECT_TRUE(Checked(name("chkInvert").c_str()));
    EXPECT_TRUE(Checked(name("chkRandomize").c_str()));
    EXPECT_EQ(Passes(name("numRandomize").c_str()), 1);
    EXPECT_TRUE(Checked(name("chkNullify1").c_str()));
    EXPECT_TRUE(Checked(name("chkNullify2").c_str()));
    EXPECT_TRUE(Checked(name("chkNullifyCustom").c_str()));
    EXPECT_EQ(Text(name("edtNullValue").c_str()), "FE");
  }
  EXPECT_TRUE(config_.WipeSlack());
  EXPECT_FALSE(config_.WipeBackground());
  EXPECT_EQ(config_.SelectedDrives(), fixedDrives) << "the fixed drives stay selected";
  EXPECT_EQ(wipeSpace_.captionLines(), QStringList{"Wipe Space"});
  // No whoose.wav here, nor in the working folder: the program's folder is
  // shown, and there is nothing to play.
  EXPECT_EQ(Text("edtSoundFile").toStdString(), folder_.File("whoose.wav"));
  EXPECT_FALSE(sound_.Loaded());

  const WipeProfile& files = config_.FileModeProfile();
  EXPECT_FALSE(files.DOD());
  EXPECT_TRUE(files.Inversion());
  EXPECT_EQ(files.NumRandomize(), 1);
  EXPECT_EQ(files.NullValue(), "FE");
}

TEST_F(ConfigDialog, StoredValuesLoadByTheFilesRules) {
  Store(
      "[FileMode]\n"
      "DOD=yes\n"
      "NumRandomize=500\n"
      "NullValue=abc\n"
      "[DiskMode]\n"
      "DOD=2\n"
      "NumRandomize=-3\n"
      "NullValue=fe\n"
      "WipeBackground=1\n"
      "WipeSlack=0\n");
  config_.chkWipeBackground->setChecked(true);
  Load();
  EXPECT_FALSE(Checked("chkDOD")) << "yes is no number: the default";
  EXPECT_EQ(Passes("numRandomize"), 100);
  EXPECT_EQ(Text("edtNullValue"), "ab") << "two characters, case kept";
  EXPECT_TRUE(Checked("chkDODDisk"));
  EXPECT_EQ(Passes("numRandomizeDisk"), 0);
  EXPECT_EQ(Text("edtNullValueDisk"), "fe");
  EXPECT_FALSE(config_.WipeBackground()) << "always off after loading";
  EXPECT_FALSE(config_.WipeSlack());
  EXPECT_EQ(config_.DiskModeProfile().NullValue(), "fe") << "the commands get the lower case";

  config_.ShowModeless();
  QTest::mouseClick(config_.btnOK, Qt::LeftButton);
  const std::string saved = ReadWholeFile(SettingsPath());
  EXPECT_NE(saved.find("[FileMode]\nDOD=0\n"), std::string::npos);
  EXPECT_NE(saved.find("NumRandomize=100\n"), std::string::npos);
  EXPECT_NE(saved.find("NullValue=ab\n"), std::string::npos);
  EXPECT_NE(saved.find("[DiskMode]\nDOD=1\n"), std::string::npos);
  EXPECT_NE(saved.find("NumRandomize=0\n"), std::string::npos);
  EXPECT_NE(saved.find("WipeBackground=0\n"), std::string::npos);
}

TEST_F(ConfigDialog, PassCountsAsStored) {
  const std::vector<std::pair<std::string, int>> stored{{"500", 100}, {"-3", 0}, {"0x0A", 10}, {"$1F", 31},
                                                        {"abc", 1},   {"", 1},   {"7", 7}};
  for (const auto& [text, shown] : stored) {
    Store("[FileMode]\nNumRandomize=" + text + "\n");
    Load();
    EXPECT_EQ(Passes("numRandomize"), shown) << text;
  }
}

TEST_F(ConfigDialog, TheSoundIsLookedForBesideTheProgram) {
  fs::copy_file(OMREK_SHIPPED_SOUND, folder_.File("whoose.wav"));
  Store("[FileMode]\nSound=/no/such/folder/whoose.wav\n");
  Load();
  EXPECT_EQ(Text("edtSoundFile").toStdString(), folder_.File("whoose.wav"));
  EXPECT_TRUE(sound_.Loaded());

  // An empty name leaves the program's folder in the edit and the sound
  // loaded before as it was; no box says anything.
  test::ModalBoxCatcher boxes;
  WavePlayer silent;
  Store("[FileMode]\nSound=\n");
  config_.LoadSettings(silent, wipeSpace_);
  EXPECT_EQ(Text("edtSoundFile").toStdString(), folder_.Path() + "/");
  EXPECT_FALSE(silent.Loaded());
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ConfigDialog, OkWritesEveryKeyInOrderIntoANewFile) {
  Load();
  config_.ShowModeless();
  QTest::mouseClick(config_.btnOK, Qt::LeftButton);
  EXPECT_FALSE(config_.isVisible()) << "OK closes the dialog";
  const std::vector<std::string> expected{"[FileMode]",
                                          "DOD=0",
                                          "Inversion=1",
                                          "Randomize=1",
                                          "NumRandomize=1",
                                          "Nullify1=1",
                                          "Nullify2=1",
                                          "NullifyCustom=1",
                                          "NullValue=FE",
                                          "Sound=" + folder_.File("whoose.wav"),
                                          "",
                                          "[DiskMode]",
                                          "DOD=0",
                                          "Inversion=1",
                                          "Randomize=1",
                                          "NumRandomize=1",
                                          "Nullify1=1",
                                          "Nullify2=1",
                                          "NullifyCustom=1",
                                          "NullValue=FE",
                                          "SelectedDrives=" + config_.SelectedDrives().toStdString(),
                                          "WipeBackground=0",
                                          "WipeSlack=1",
                                          "SelectedMounts=" + JoinMountPoints(config_.lstDisk->SelectedMountPoints()),
                                          "",
                                          "[Options]",
                                          "Verify=0",
                                          "WipeNames=1",
                                          "OfferReport=1"};
  EXPECT_EQ(Lines(ReadWholeFile(SettingsPath())), expected);
}

TEST_F(ConfigDialog, OkKeepsWhatTheProgramDoesNotKnow) {
  Store("[Window]\nLeft=10\n\n[FileMode]\nDOD=1\nFavourite=yes\n");
  Load();
  config_.ShowModeless();
  QTest::mouseClick(config_.btnOK, Qt::LeftButton);
  const std::string saved = ReadWholeFile(SettingsPath());
  EXPECT_EQ(saved.rfind("[Window]\nLeft=10\n\n[FileMode]\nDOD=1\nFavourite=yes\nInversion=1\n", 0), 0u) << saved;
  EXPECT_NE(saved.find("WipeSlack=1\n"), std::string::npos);
}

TEST_F(ConfigDialog, ATypedPassCountIsSavedAsTypedAndComesBackInRange) {
  Load();
  config_.ShowModeless();
  config_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&config_));
  auto* passes = Find<SpinEdit>("numRandomize");
  passes->setFocus();
  passes->selectAll();
  QTest::keyClicks(passes, "250");
  QTest::mouseClick(config_.btnOK, Qt::LeftButton);
  EXPECT_NE(ReadWholeFile(SettingsPath()).find("[FileMode]\nDOD=0\nInversion=1\nRandomize=1\nNumRandomize=250\n"),
            std::string::npos)
      << "OK takes no focus, so the number is saved as typed";

  TfrmConfig restarted;
  restarted.SetProgramPath(folder_.File("omrek"));
  restarted.LoadSettings(sound_, wipeSpace_);
  EXPECT_EQ(restarted.findChild<SpinEdit*>("numRandomize")->value(), 100);
}

TEST_F(ConfigDialog, AFailedSaveShowsTheBoxAndTheDialogStaysOpen) {
  Store("[FileMode]\nDOD=1\n");
  fs::permissions(SettingsPath(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Load();
  config_.ShowModeless();
  test::ModalBoxCatcher boxes;
  QTest::mouseClick(config_.btnOK, Qt::LeftButton);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].title, "Omrek, Filebane");
  EXPECT_EQ(boxes.Boxes()[0].text.toStdString(), "Unable to write to " + SettingsPath() + ".");
  EXPECT_EQ(boxes.Boxes()[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(config_.isVisible());
  EXPECT_EQ(ReadWholeFile(SettingsPath()), "[FileMode]\nDOD=1\n");
  config_.close();

  // A portable copy in a folder of nobody's, run by root, says why.
  const std::string nobodys = folder_.File("nobodys");
  fs::create_directory(nobodys);
  ASSERT_EQ(::chown(nobodys.c_str(), 65534, 65534), 0);
  TfrmConfig portable;
  portable.SetProgramPath(nobodys + "/omrek");
  portable.ShowModeless();
  QTest::mouseClick(portable.btnOK, Qt::LeftButton);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[1].text.toStdString(),
            "Unable to write to " + nobodys + "/omrek.ini: the folder " + nobodys + " belongs to another user.");
  EXPECT_TRUE(portable.isVisible());
  EXPECT_TRUE(fs::is_empty(nobodys));
  portable.close();
}

TEST_F(ConfigDialog, AChangeLeftWithCancelReachesTheNextCommand) {
  Load();
  config_.ShowModeless();
  QTest::mouseClick(Find<QCheckBox>("chkInvert"), Qt::LeftButton);
  Find<SpinEdit>("numRandomize")->setValue(3);
  QTest::mouseClick(Find<QCheckBox>("chkDODDisk"), Qt::LeftButton);
  QTest::mouseClick(config_.btnQuit, Qt::LeftButton);
  EXPECT_FALSE(config_.isVisible());
  EXPECT_FALSE(fs::exists(SettingsPath())) << "Cancel saves nothing";
  EXPECT_TRUE(config_.DiskModeProfile().DOD());
  EXPECT_FALSE(config_.FileModeProfile().DOD()) << "each mode reads its own controls";

  // The destroy command, as its button runs it, over a real file.
  const std::string target = WriteFile(folder_.File("secret.txt"), std::string(3000, 's'));
  ShredEngine engine;
  test::RecordingMonitor monitor(engine);
  test::VectorRows rows({target});
  FileDestruction(engine, monitor, config_.FileModeProfile(), sound_).DestroyListedFiles(rows);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(std::count(monitor.statuses.begin(), monitor.statuses.end(), "random"), 3);
  EXPECT_EQ(std::count(monitor.statuses.begin(), monitor.statuses.end(), "invert"), 0);

  TfrmConfig restarted;
  restarted.SetProgramPath(folder_.File("omrek"));
  restarted.LoadSettings(sound_, wipeSpace_);
  EXPECT_TRUE(restarted.FileModeProfile().Inversion()) << "after a restart the old value is back";
}

// Unchecks a box of the dialog the first time a given pass begins, as a
// user would while the command pumps events.
class ChangingMonitor : public test::RecordingMonitor {
 public:
  ChangingMonitor(ShredEngine& engine, std::string pass, QCheckBox* box)
      : RecordingMonitor(engine), pass_(std::move(pass)), box_(box) {}

  void SetStatus(const std::string& line1, const std::string& line2, const std::string& line3) override {
    RecordingMonitor::SetStatus(line1, line2, line3);
    if (line1 == pass_ && box_->isChecked()) QTest::mouseClick(box_, Qt::LeftButton);
  }

 private:
  std::string pass_;
  QCheckBox* box_;
};

TEST_F(ConfigDialog, AChangeWhileACommandRunsReachesItsNextStep) {
  Load();
  config_.ShowModeless();
  const std::string target = WriteFile(folder_.File("secret.txt"), std::string(3000, 's'));
  ShredEngine engine;
  ChangingMonitor monitor(engine, "random", Find<QCheckBox>("chkNullify2"));
  test::VectorRows rows({target});
  FileDestruction(engine, monitor, config_.FileModeProfile(), sound_).DestroyListedFiles(rows);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(std::count(monitor.statuses.begin(), monitor.statuses.end(), "zeroing"), 2)
      << "the 0xFF pass, read after the change, is left out";
  config_.close();
}

TEST_F(ConfigDialog, GarbledFilesGiveDefaultsWhereValuesAreBad) {
  std::string junk;
  for (int i = 0; i < 20000; ++i) junk += static_cast<char>((i * 7919) % 256);
  Store(junk);
  Load();
  EXPECT_TRUE(Checked("chkInvert"));
  EXPECT_EQ(Passes("numRandomize"), 1);
  EXPECT_EQ(Text("edtNullValue"), "FE");

  Store("[FileMode]\nNullValue=" + std::string(100 * 1024, 'b') + "\nNumRandomize=" + std::string(100 * 1024, '9') +
        "\n[DiskMode]\nDOD=1\n[FileMode]\nDOD=1\n[DiskMode]\nNumRandomize=4\n");
  Load();
  EXPECT_EQ(Text("edtNullValue"), "bb");
  EXPECT_EQ(Passes("numRandomize"), 1) << "too large: the default";
  EXPECT_TRUE(Checked("chkDOD"));
  EXPECT_TRUE(Checked("chkDODDisk"));
  EXPECT_EQ(Passes("numRandomizeDisk"), 4);

  // Past 1 MiB nothing is read: every key has its default.
  Store("[FileMode]\nDOD=1\n; " + std::string(1 << 20, 'x') + "\n");
  EXPECT_EQ(config_.LoadSettings(sound_, wipeSpace_), "Settings file: larger than 1 MiB");
  EXPECT_FALSE(Checked("chkDOD"));
  Store("[FileMode]\nDOD=1\n; " + std::string((1 << 20) - 20, 'x') + "\n");
  ASSERT_EQ(fs::file_size(SettingsPath()), 1u << 20);
  EXPECT_EQ(config_.LoadSettings(sound_, wipeSpace_), "");
  EXPECT_TRUE(Checked("chkDOD")) << "1 MiB itself is read";
}

TEST_F(ConfigDialog, AStoredDriveSelectionComesBackByMountPoint) {
  test::LoopImage image(8, 1024, "second");
  OMREK_REQUIRE_MOUNTED(image);
  config_.lstDisk->RefreshDrives();
  const QChar second = QChar(DriveTable::Read().LetterOf(image.MountPoint()));
  const QString fixedDrives = config_.SelectedDrives();
  ASSERT_TRUE(fixedDrives.contains('C') && fixedDrives.contains(second)) << fixedDrives.toStdString();
  Load();
  EXPECT_EQ(config_.SelectedDrives(), fixedDrives) << "without a stored selection, not the key's default C";

  // Letters alone never select: by now they may name other drives.
  Store("[DiskMode]\nSelectedDrives=" + QString(second).toStdString() + "\n");
  Load();
  EXPECT_EQ(config_.SelectedDrives(), fixedDrives);

  config_.lstDisk->SelectMountPoints({image.MountPoint()});
  config_.ShowModeless();
  QTest::mouseClick(config_.btnOK, Qt::LeftButton);
  const std::string saved = ReadWholeFile(SettingsPath());
  EXPECT_NE(saved.find("SelectedDrives=" + QString(second).toStdString() + "\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("WipeSlack=1\nSelectedMounts=" + JoinMountPoints({image.MountPoint()}) + "\n"),
            std::string::npos)
      << saved;

  // Another file system mounted in front of the image takes its letter, and
  // its mount point holds bytes a list of paths could stumble over.
  const std::string front = fs::path(image.MountPoint()).parent_path().string() + "/a front;odd \\name\xFF";
  test::TmpfsMount inFront(front);
  if (!inFront.Mounted()) GTEST_SKIP() << inFront.Reason();
  ASSERT_EQ(DriveTable::Read().LetterOf(front), second.toLatin1()) << "the letters have shifted";

  TfrmConfig restarted;
  restarted.SetProgramPath(folder_.File("omrek"));
  restarted.lstDisk->RefreshDrives();
  restarted.LoadSettings(sound_, wipeSpace_);
  EXPECT_EQ(restarted.lstDisk->SelectedMountPoints(), std::vector<std::string>{image.MountPoint()});
  EXPECT_EQ(restarted.SelectedDrives(), QString(QChar(second.unicode() + 1))) << "the image, under its new letter";

  restarted.lstDisk->SelectMountPoints({front, image.MountPoint()});
  restarted.SaveSettings();
  // The dialog's list has followed the mount on its own.
  ASSERT_TRUE(QTest::qWaitFor([this, &front] {
    const auto items = config_.lstDisk->findItems(QString(), Qt::MatchContains);
    return std::any_of(items.begin(), items.end(), [&front](const QTreeWidgetItem* item) {
      return item->data(0, Qt::UserRole).toByteArray().toStdString() == front;
    });
  }));
  Load();
  EXPECT_EQ(config_.lstDisk->SelectedMountPoints(), (std::vector<std::string>{front, image.MountPoint()}));

  // Stored drives that are not mounted now stay unselected; the fixed
  // drives are not put in their place.
  Store("[DiskMode]\nSelectedMounts=/no/such/mount\n");
  Load();
  EXPECT_TRUE(config_.lstDisk->SelectedMountPoints().empty());
}

// Every line of `original` is in `saved`, in the same order.
bool KeptInOrder(const std::string& original, const std::string& saved) {
  const std::vector<std::string> savedLines = Lines(saved);
  auto next = savedLines.begin();
  for (const std::string& line : Lines(original)) {
    next = std::find(next, savedLines.end(), line);
    if (next == savedLines.end()) return false;
    ++next;
  }
  return true;
}

TEST_F(ConfigDialog, DamagedFilesKeepWhatWasNotUnderstoodAcrossOk) {
  const std::string afterNul("\0[Secret]\nKept=after the NUL byte\n[FileMode]\nDOD=0\n", 52);
  const std::vector<std::pair<const char*, std::string>> damaged{
      {"a NUL byte", "[FileMode]\nDOD=1\n" + afterNul},
      {"an unclosed header", "[FileMode]\nDOD=1\n[DiskMode\nNumRandomize=7\n[Window]\nLeft=10\n"},
      {"comments and lines without =", "; mine\n[FileMode]\n# why\nDOD=1\njust words\n\n[Other]\nx\n"},
      {"Windows line breaks", "[FileMode]\r\nDOD=1\r\n; note\r\n[Other]\r\nx=1\r\n"},
  };
  for (const auto& [what, text] : damaged) {
    Store(text);
    Load();
    ASSERT_TRUE(Checked("chkDOD")) << what;
    config_.ShowModeless();
    QTest::mouseClick(config_.btnOK, Qt::LeftButton);
    const std::string saved = ReadWholeFile(SettingsPath());
    EXPECT_TRUE(KeptInOrder(text, saved)) << what << ":\n" << saved;
    config_.ShowModeless();
    QTest::mouseClick(config_.btnOK, Qt::LeftButton);
    EXPECT_EQ(ReadWholeFile(SettingsPath()), saved) << what << ": the next OK finds what this one wrote";

    TfrmConfig restarted;
    restarted.SetProgramPath(folder_.File("omrek"));
    restarted.LoadSettings(sound_, wipeSpace_);
    EXPECT_TRUE(restarted.FileModeProfile().DOD()) << what;
  }
  const std::string saved = ReadWholeFile(SettingsPath());
  EXPECT_NE(saved.find("\r\nWipeSlack=1\r\n"), std::string::npos) << "new lines end as the file's do";

  Store(damaged[0].second);
  Load();
  config_.ShowModeless();
  QTest::mouseClick(config_.btnOK, Qt::LeftButton);
  const std::string withNul = ReadWholeFile(SettingsPath());
  EXPECT_TRUE(withNul.ends_with(afterNul)) << "what follows the NUL byte is untouched";
  EXPECT_EQ(std::count(withNul.begin(), withNul.end() - afterNul.size(), '='), 24) << "every key before it";

  Store(damaged[1].second);
  EXPECT_EQ(config_.LoadSettings(sound_, wipeSpace_), "Settings file: line 3 is malformed");
  EXPECT_TRUE(Checked("chkDOD")) << "what can be read is read";
  EXPECT_EQ(Passes("numRandomize"), 1) << "the keys after an unclosed header are in no section the program reads";
  EXPECT_EQ(Passes("numRandomizeDisk"), 1);
  for (const auto& [what, text] : {damaged[0], damaged[2], damaged[3]}) {
    Store(text);
    EXPECT_EQ(config_.LoadSettings(sound_, wipeSpace_), "") << what << " reads as it is";
  }
}

TEST_F(ConfigDialog, ASettingsFileThatIsALinkIsReadAndWrittenThrough) {
  fs::create_directory(folder_.File("dotfiles"));
  const std::string target = WriteFile(folder_.File("dotfiles/omrek.ini"), "; mine\n[FileMode]\nDOD=1\n");
  fs::create_symlink(target, SettingsPath());
  Load();
  EXPECT_TRUE(Checked("chkDOD"));
  config_.ShowModeless();
  QTest::mouseClick(config_.btnOK, Qt::LeftButton);
  EXPECT_FALSE(config_.isVisible()) << "OK succeeded";
  EXPECT_TRUE(fs::is_symlink(SettingsPath()));
  EXPECT_EQ(ReadWholeFile(target).rfind("; mine\n[FileMode]\nDOD=1\nInversion=1\n", 0), 0u);
}

}  // namespace
}  // namespace omrek
