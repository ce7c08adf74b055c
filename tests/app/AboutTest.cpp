#include "app/About.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QLabel>
#include <QTest>
#include <QTextEdit>
#include <QUrl>
#include <map>

#include "app/OmrekProgram.h"
#include "tests/support/Child.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/TempDir.h"
#include "widgets/FlatButton.h"
#include "widgets/FlatPageControl.h"
#include "widgets/GradientLabel.h"
#include "widgets/LinkLabel.h"

namespace omrek {
namespace {

using test::Click;

const QColor kMaroon(128, 0, 0);
const QString kCopyright = "Copyright (c) 2026 The Omrek, Filebane developers";

// Stands in for the desktop's viewer: records what the dialog asks to open.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  UrlRecorder() { QDesktopServices::setUrlHandler("file", this, "Open"); }
  ~UrlRecorder() override { QDesktopServices::unsetUrlHandler("file"); }

  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.append(url); }
};

class AboutDialog : public ::testing::Test {
 protected:
  template <typename Widget = QWidget>
  Widget* Control(const char* name) {
    return about_.findChild<Widget*>(QString::fromLatin1(name));
  }

  QTextEdit* TextPage(int index) { return qobject_cast<QTextEdit*>(about_.PageControl1->page(index)); }

  TfrmAbout about_;
};

TEST_F(AboutDialog, WindowAndTopPanelAtTheirPlaces) {
  EXPECT_EQ(about_.objectName(), "TfrmAbout");
  EXPECT_EQ(about_.windowTitle(), "About / Help");
  EXPECT_EQ(about_.geometry(), QRect(519, 357, 600, 380));
  EXPECT_FALSE(about_.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_NE(about_.minimumSize(), about_.maximumSize()) << "the frame is resizable";
  EXPECT_EQ(about_.font().family(), "Arial");
  EXPECT_EQ(about_.font().pixelSize(), 11);

  EXPECT_EQ(Control("pnlTop")->geometry(), QRect(0, 0, 600, 65));
  auto* title = Control<GradientLabel>("lblOmrek");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->parentWidget(), Control("pnlTop"));
  EXPECT_EQ(title->geometry(), QRect(8, 8, 438, 46));
  EXPECT_EQ(title->text(), "Omrek, Filebane");
  EXPECT_EQ(title->alignment(), Qt::AlignHCenter | Qt::AlignTop);
  EXPECT_EQ(title->font().pixelSize(), 37);
  EXPECT_TRUE(title->font().bold() && title->font().italic());
  EXPECT_EQ(title->effect(), GradientLabel::Effect::Sunken);
  EXPECT_EQ(title->colours().end, kMaroon);

  auto* version = Control<GradientLabel>("lblVersion");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->geometry(), QRect(476, 8, 120, 27));
  EXPECT_EQ(version->text(), "Version 3.04");
  EXPECT_EQ(version->font().pixelSize(), 19);
  EXPECT_TRUE(version->font().bold() && version->font().italic());
  EXPECT_EQ(version->effect(), GradientLabel::Effect::Raised);
  EXPECT_EQ(version->colours().end, kMaroon);

  auto* close = Control<FlatButton>("btnClose");
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->parentWidget(), Control("pnlTop"));
  EXPECT_EQ(close->geometry(), QRect(498, 34, 86, 22));
  EXPECT_EQ(close->text(), "Close");
  const QColor gold(704216 & 0xFF, (704216 >> 8) & 0xFF, 704216 >> 16);  // a Windows colour value is BGR
  EXPECT_EQ(close->colours().hover, gold);
  EXPECT_EQ(close->colours().pressed, gold);

  auto* help = Control<QLabel>("lblHelp");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->pos(), QPoint(8, 71));
  EXPECT_EQ(help->text(), "Click on any button below for more detail");
  EXPECT_EQ(Control("pnlMain")->geometry(), QRect(8, 88, 585, 289));
  EXPECT_EQ(Control("PageControl1")->parentWidget(), Control("pnlMain"));
  EXPECT_EQ(Control("PageControl1")->geometry(), QRect(8, 8, 569, 273));
}

TEST_F(AboutDialog, SevenTabsOpeningOnDestroyModesAndKeepingThePageLastShown) {
  FlatPageControl& pages = *about_.PageControl1;
  const QStringList captions{"About", "FAQ", "Destroy Files", "Wipe Disk", "WipeSlack", "EULA", "Destroy Modes"};
  ASSERT_EQ(pages.count(), captions.size());
  for (int i = 0; i < pages.count(); ++i) EXPECT_EQ(pages.tab(i)->text(), captions[i]);

  about_.ShowModeless();
  EXPECT_EQ(pages.currentIndex(), 6);
  EXPECT_TRUE(TextPage(6)->isVisible());

  QTest::mouseClick(pages.tab(1), Qt::LeftButton);
  EXPECT_EQ(pages.currentIndex(), 1);
  EXPECT_TRUE(TextPage(1)->isVisible());
  EXPECT_FALSE(TextPage(6)->isVisible());

  QTest::mouseClick(Control<FlatButton>("btnClose"), Qt::LeftButton);
  ASSERT_FALSE(about_.isVisible());
  about_.ShowModeless();
  EXPECT_EQ(pages.currentIndex(), 1);
}

TEST_F(AboutDialog, OnlyTheMarkedPagesAcceptTyping) {
  about_.ShowModeless();
  const std::map<int, bool> editable{{1, false}, {2, false}, {3, true}, {4, true}, {5, false}, {6, true}};
  for (const auto& [index, accepts] : editable) {
    QTextEdit* box = TextPage(index);
    ASSERT_NE(box, nullptr) << index;
    about_.PageControl1->setCurrentIndex(index);
    const QString before = box->toPlainText();
    ASSERT_FALSE(before.isEmpty()) << index;
    box->moveCursor(QTextCursor::Start);
    QTest::keyClicks(box, "Zq");
    EXPECT_EQ(box->toPlainText(), accepts ? "Zq" + before : before) << index;
  }

  // On the "About" page only the borderless text takes typing; the rest are
  // labels and the picture.
  about_.PageControl1->setCurrentIndex(0);
  about_.txtAbout->moveCursor(QTextCursor::Start);
  QTest::keyClicks(about_.txtAbout, "Zq");
  EXPECT_TRUE(about_.txtAbout->toPlainText().startsWith("ZqOMREK, FILEBANE"));
  EXPECT_EQ(about_.pnlAbout->findChildren<QTextEdit*>().size(), 1);

  // What was typed stays while the program runs.
  about_.close();
  about_.ShowModeless();
  EXPECT_TRUE(TextPage(3)->toPlainText().startsWith("Zq"));
}

TEST_F(AboutDialog, AboutPageShowsTheEmblemItsNoteAndTheCopyright) {
  const QPixmap emblem = about_.imgOmrek->pixmap();
  ASSERT_EQ(emblem.size(), QSize(144, 143));
  EXPECT_EQ(about_.imgOmrek->geometry(), QRect(8, 8, 144, 143));
  const QImage picture = emblem.toImage();
  EXPECT_GT(qGray(picture.pixel(1, 1)), 240) << "white outside the badge";
  const QColor blade = picture.pixelColor(72, 75);
  EXPECT_NEAR(blade.red(), 216, 30);
  EXPECT_NEAR(blade.green(), 190, 30);
  EXPECT_LT(blade.blue(), 60);

  QLabel* note = about_.lblOmrekExplain;
  EXPECT_GE(note->y(), about_.imgOmrek->geometry().bottom());
  EXPECT_EQ(note->x(), about_.imgOmrek->x());
  EXPECT_TRUE(note->wordWrap());
  EXPECT_EQ(note->palette().color(QPalette::WindowText), QColor(0, 0, 128));
  EXPECT_FALSE(note->text().isEmpty());
  EXPECT_EQ(about_.pnlAbout->palette().color(QPalette::Window), QColor(Qt::white));

  EXPECT_EQ(about_.txtAbout->frameShape(), QFrame::NoFrame);
  EXPECT_TRUE(about_.txtAbout->toPlainText().startsWith("OMREK, FILEBANE"));
  EXPECT_EQ(about_.lblCopyright->text(), kCopyright);
  const QString licence = TextPage(5)->toPlainText();
  EXPECT_TRUE(licence.startsWith("MIT License"));
  EXPECT_TRUE(licence.contains(kCopyright));
}

TEST_F(AboutDialog, HelpTextsSpeakOfThisSystem) {
  for (int i = 1; i < about_.PageControl1->count(); ++i) {
    const QString text = TextPage(i)->toPlainText();
    EXPECT_FALSE(text.contains("Explorer")) << i;
    EXPECT_FALSE(text.contains('\\')) << i;
  }
  EXPECT_TRUE(TextPage(2)->toPlainText().contains("file manager"));
  EXPECT_TRUE(TextPage(3)->toPlainText().contains("C: is the one mounted at /"));
}

TEST_F(AboutDialog, LinksOpenTheReadmeAndLicenceShippedWithTheProgram) {
  test::TempDir folder;
  test::WriteFile(folder.File("README.md"), "# Omrek\n");
  test::WriteFile(folder.File("LICENSE"), "MIT License\n");
  about_.SetDocumentFolder(QString::fromStdString(folder.Path()));
  about_.ShowModeless();
  about_.PageControl1->setCurrentIndex(0);

  UrlRecorder viewer;
  test::ModalBoxCatcher boxes;
  QTest::mouseClick(about_.lblReadme, Qt::LeftButton);
  QTest::mouseClick(about_.lblLicense, Qt::LeftButton);

  EXPECT_TRUE(boxes.Boxes().empty());
  ASSERT_EQ(viewer.opened.size(), 2);
  EXPECT_EQ(viewer.opened[0], QUrl::fromLocalFile(QString::fromStdString(folder.File("README.md"))));
  EXPECT_EQ(viewer.opened[1], QUrl::fromLocalFile(QString::fromStdString(folder.File("LICENSE"))));
  EXPECT_EQ(about_.lblReadme->toolTip(), QString::fromStdString(folder.File("README.md")));
}

// A desktop with no program to open documents (no xdg-open, no browser on
// the PATH): the README and licence are shown in pages of the window itself.
TEST_F(AboutDialog, WithoutAViewerTheDocumentsAreShownInTheWindow) {
  test::TempDir folder;
  test::WriteFile(folder.File("README.md"), "# Omrek\n\nWhat it does.\n");
  test::WriteFile(folder.File("LICENSE"), "MIT License\n");
  test::TempDir noPrograms;
  struct PathRestorer {
    QByteArray saved = qgetenv("PATH");
    ~PathRestorer() { qputenv("PATH", saved); }
  } restorer;
  qputenv("PATH", QByteArray::fromStdString(noPrograms.Path()));
  about_.SetDocumentFolder(QString::fromStdString(folder.Path()));
  about_.ShowModeless();
  about_.PageControl1->setCurrentIndex(0);
  const int pages = about_.PageControl1->count();

  test::ModalBoxCatcher boxes;
  QTest::mouseClick(about_.lblReadme, Qt::LeftButton);
  QTest::mouseClick(about_.lblReadme, Qt::LeftButton);
  EXPECT_TRUE(boxes.Boxes().empty()) << "no error box alone";
  ASSERT_EQ(about_.PageControl1->count(), pages + 1) << "one page, however often it is asked for";
  EXPECT_EQ(about_.PageControl1->currentIndex(), pages);
  const auto* readme = qobject_cast<QTextEdit*>(about_.PageControl1->page(pages));
  ASSERT_NE(readme, nullptr);
  EXPECT_EQ(readme->toPlainText(), "# Omrek\n\nWhat it does.\n");
  EXPECT_TRUE(readme->isReadOnly());
  EXPECT_EQ(about_.PageControl1->tab(pages)->text(), "README.md");

  QTest::mouseClick(about_.lblLicense, Qt::LeftButton);
  ASSERT_EQ(about_.PageControl1->count(), pages + 2);
  EXPECT_EQ(TextPage(pages + 1)->toPlainText(), "MIT License\n");
  EXPECT_EQ(about_.PageControl1->currentIndex(), pages + 1);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(AboutDialog, ByDefaultTheLinksPointBesideTheProgram) {
  const QString beside = QCoreApplication::applicationDirPath();
  EXPECT_EQ(about_.lblReadme->url(), QUrl::fromLocalFile(beside + "/README.md"));
  EXPECT_EQ(about_.lblLicense->url(), QUrl::fromLocalFile(beside + "/LICENSE"));
}

TEST_F(AboutDialog, AMissingDocumentIsReportedAndNothingOpened) {
  test::TempDir empty;
  about_.SetDocumentFolder(QString::fromStdString(empty.Path()));
  about_.ShowModeless();
  about_.PageControl1->setCurrentIndex(0);

  UrlRecorder viewer;
  test::ModalBoxCatcher boxes;
  QTest::mouseClick(about_.lblLicense, Qt::LeftButton);

  EXPECT_TRUE(viewer.opened.empty());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].title, "Omrek, Filebane");
  EXPECT_EQ(boxes.Boxes()[0].text, QString("File not found (%1)").arg(QString::fromStdString(empty.File("LICENSE"))));
  EXPECT_EQ(boxes.Boxes()[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(about_.isVisible());
}

TEST_F(AboutDialog, CloseButtonAndCloseBoxOnlyHide) {
  about_.ShowModeless();
  QTest::mouseClick(Control<FlatButton>("btnClose"), Qt::LeftButton);
  EXPECT_FALSE(about_.isVisible());
  about_.ShowModeless();
  EXPECT_TRUE(about_.isVisible());
  EXPECT_TRUE(about_.close());
  EXPECT_FALSE(about_.isVisible());
}

TEST(AboutFromMainWindow, HelpButtonShowsTheDialog) {
  OmrekProgram program;
  program.Start();
  Click(program.Main(), "btnHelp");
  EXPECT_TRUE(program.About().isVisible());
  EXPECT_EQ(program.About().PageControl1->currentIndex(), 6);
}

}  // namespace
}  // namespace omrek

#include "AboutTest.moc"
