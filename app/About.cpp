#include "app/About.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QResizeEvent>
#include <QTextEdit>
#include <stdexcept>

#include "app/JpegDecoder.h"
#include "app/Version.h"
#include "settings/SettingsLocation.h"
#include "widgets/ErrorBox.h"
#include "widgets/FlatButton.h"
#include "widgets/FlatPageControl.h"
#include "widgets/GradientLabel.h"
#include "widgets/LinkLabel.h"
#include "widgets/PixelFont.h"
#include "widgets/Place.h"

namespace omrek {

namespace {

const QString kArial = QStringLiteral("Arial");

constexpr int kTopHeight = 65;

const QColor kGold(216, 190, 10);  // the Windows colour value 704216, stored as BGR
const QColor kNavy(0, 0, 128);

// The help pages after "About", in tab order. Each is one rich-text box
// filling its page; the texts are resources compiled into the program.
struct HelpPage {
  const char* caption;
  const char* name;
  const char* resource;
  bool html;
  bool editable;
};

const HelpPage kHelpPages[] = {
    {"FAQ", "txtFaq", ":/about/Faq.html", true, false},
    {"Destroy Files", "txtDestroyFiles", ":/about/DestroyFiles.html", true, false},
    {"Wipe Disk", "txtWipeDisk", ":/about/WipeDisk.html", true, true},
    {"WipeSlack", "txtWipeSlack", ":/about/WipeSlack.html", true, true},
    {"EULA", "txtEula", ":/about/LICENSE", false, false},
    {"Destroy Modes", "txtDestroyModes", ":/about/DestroyModes.html", true, true},
};

constexpr int kFirstShownPage = 6;  // "Destroy Modes"

QString ReadResource(const char* path) {
  QFile file(QString::fromLatin1(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

QFrame* MakePanel(QWidget* parent, const char* name, const QRect& geometry) {
  auto* panel = Place(new QFrame(parent), name, geometry);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  return panel;
}

void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

QTextEdit* MakeTextBox(QWidget* parent, const HelpPage& page) {
  auto* box = new QTextEdit(parent);
  box->setObjectName(QString::fromLatin1(page.name));
  if (page.html) {
    box->setHtml(ReadResource(page.resource));
  } else {
    box->setPlainText(ReadResource(page.resource));
  }
  box->setReadOnly(!page.editable);
  // Tab moves on to the tabs and Close rather than into the text.
  box->setTabChangesFocus(true);
  return box;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : ModelessWindow(QStringLiteral("About / Help"), parent) {
  setObjectName(QStringLiteral("TfrmAbout"));
  setFont(PixelFont(kArial, 11));
  PlaceByOuterGeometry(519, 357, 608, 407);

  CreateTop();
  CreatePages();
  WireHandlers();
  const std::string program = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
  SetDocumentFolder(QFile::decodeName(QByteArray::fromStdString(PlacesOf(program).documentFolder)));
}

void TfrmAbout::CreateTop() {
  pnlTop = MakePanel(this, "pnlTop", QRect(0, 0, width(), kTopHeight));

  lblOmrek = Place(new GradientLabel(QStringLiteral("Omrek, Filebane"), GradientLabel::Effect::Sunken, pnlTop),
                   "lblOmrek", QRect(8, 8, 438, 46));
  lblOmrek->setFont(PixelFont(kArial, 37, Bold | Italic));
  lblOmrek->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  lblVersion = Place(new GradientLabel(QStringLiteral("Version %1").arg(QLatin1String(kVersion)),
                                       GradientLabel::Effect::Raised, pnlTop),
                     "lblVersion", QRect(476, 8, 120, 27));
  lblVersion->setFont(PixelFont(kArial, 19, Bold | Italic));

  btnClose = Place(new FlatButton({QStringLiteral("Close")}, pnlTop), "btnClose", QRect(498, 34, 86, 22));
  FlatButton::Colours gold;
  gold.hover = kGold;
  gold.pressed = kGold;
  btnClose->setColours(gold);

  lblHelp = new QLabel(QStringLiteral("Click on any button below for more detail"), this);
  lblHelp->setObjectName(QStringLiteral("lblHelp"));
  lblHelp->move(8, 71);
  lblHelp->adjustSize();
}

void TfrmAbout::CreatePages() {
  pnlMain = MakePanel(this, "pnlMain", QRect(8, 88, 585, 289));
  PageControl1 = Place(new FlatPageControl(pnlMain), "PageControl1", QRect(8, 8, 569, 273));
  PageControl1->addPage(QStringLiteral("About"), CreateAboutPage());
  for (const HelpPage& page : kHelpPages) {
    PageControl1->addPage(QString::fromLatin1(page.caption), MakeTextBox(PageControl1, page));
  }
  PageControl1->setCurrentIndex(kFirstShownPage);
}

QFrame* TfrmAbout::CreateAboutPage() {
  pnlAbout = new QFrame(PageControl1);
  pnlAbout->setObjectName(QStringLiteral("pnlAbout"));
  pnlAbout->setAutoFillBackground(true);
  // A white page: its texts must be dark whatever the desktop's palette.
  SetColour(pnlAbout, QPalette::Window, Qt::white);
  SetColour(pnlAbout, QPalette::WindowText, Qt::black);
  SetColour(pnlAbout, QPalette::Base, Qt::white);
  SetColour(pnlAbout, QPalette::Text, Qt::black);

  imgOmrek = Place(new QLabel(pnlAbout), "imgOmrek", QRect(8, 8, 144, 143));
  const QImage emblem = DecodeJpegFile(QStringLiteral(":/about/emblem.jpg"));
  if (!emblem.isNull()) imgOmrek->setPixmap(QPixmap::fromImage(emblem));

  lblOmrekExplain = Place(new QLabel(QStringLiteral("The emblem: a page going through the shredder's blade and "
                                                    "coming out in strips that no one can put together again."),
                                     pnlAbout),
                          "lblOmrekExplain", QRect(8, 157, 144, 80));
  lblOmrekExplain->setWordWrap(true);
  lblOmrekExplain->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  SetColour(lblOmrekExplain, QPalette::WindowText, kNavy);

  txtAbout = Place(new QTextEdit(pnlAbout), "txtAbout", QRect(168, 8, 393, 128));
  txtAbout->setFrameShape(QFrame::NoFrame);
  txtAbout->setTabChangesFocus(true);
  txtAbout->setHtml(ReadResource(":/about/About.html"));

  lblReadme = Place(new LinkLabel(QStringLiteral("README: what Omrek does, how to build and test it"), pnlAbout),
                    "lblReadme", QRect(168, 144, 393, 16));
  lblLicense = Place(new LinkLabel(QStringLiteral("Licence: the MIT License"), pnlAbout), "lblLicense",
                     QRect(168, 164, 393, 16));

  lblCopyright =
      Place(new QLabel(QString::fromUtf8(kCopyrightLine), pnlAbout), "lblCopyright", QRect(168, 221, 393, 16));
  return pnlAbout;
}

void TfrmAbout::WireHandlers() {
  const auto wire = [this](auto* sender, auto signal, void (TfrmAbout::*handler)()) {
    connect(sender, signal, this, [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
  };
  wire(btnClose, &FlatButton::clicked, &TfrmAbout::btnCloseClick);
  wire(lblReadme, &LinkLabel::clicked, &TfrmAbout::lblReadmeClick);
  wire(lblLicense, &LinkLabel::clicked, &TfrmAbout::lblLicenseClick);
}

void TfrmAbout::SetDocumentFolder(const QString& folder) {
  const QDir dir(folder);
  lblReadme->setUrl(QUrl::fromLocalFile(dir.absoluteFilePath(QStringLiteral("README.md"))));
  lblLicense->setUrl(QUrl::fromLocalFile(dir.absoluteFilePath(QStringLiteral("LICENSE"))));
}

void TfrmAbout::resizeEvent(QResizeEvent* event) {
  // The top panel spans the window however wide the user makes it.
  pnlTop->resize(event->size().width(), kTopHeight);
  ModelessWindow::resizeEvent(event);
}

void TfrmAbout::btnCloseClick() { close(); }

// Opens a shipped document with the desktop's viewer for it, or, where the
// desktop has none, shows its text in a page of this window.
void TfrmAbout::OpenDocument(const QUrl& url) {
  const QString path = url.toLocalFile();
  if (!QFileInfo(path).isFile())
    throw std::runtime_error(QStringLiteral("File not found (%1)").arg(path).toStdString());
  if (!QDesktopServices::openUrl(url)) ShowDocumentPage(path);
}

void TfrmAbout::ShowDocumentPage(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw std::runtime_error(QStringLiteral("%1 (%2)").arg(file.errorString(), path).toStdString());
  const QString caption = QFileInfo(path).fileName();
  auto* box = PageControl1->findChild<QTextEdit*>(QStringLiteral("txt") + caption);
  if (box == nullptr) {
    box = new QTextEdit(PageControl1);
    box->setObjectName(QStringLiteral("txt") + caption);
    box->setReadOnly(true);
    box->setTabChangesFocus(true);
    PageControl1->addPage(caption, box);
  }
  box->setPlainText(QString::fromUtf8(file.readAll()));
  for (int index = 0; index < PageControl1->count(); ++index) {
    if (PageControl1->page(index) == box) PageControl1->setCurrentIndex(index);
  }
}

void TfrmAbout::lblReadmeClick() { OpenDocument(lblReadme->url()); }

void TfrmAbout::lblLicenseClick() { OpenDocument(lblLicense->url()); }

}  // namespace omrek
