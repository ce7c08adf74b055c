#include "intake/ui/FileSelect.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "intake/ReadablePath.h"
#include "platform/DriveTable.h"
#include "widgets/ErrorBox.h"
#include "widgets/FileListBox.h"
#include "widgets/FlatButton.h"
#include "widgets/FolderTree.h"
#include "widgets/PixelFont.h"
#include "widgets/Place.h"

namespace omrek {

namespace {

constexpr int kTopPanelHeight = 57;
constexpr int kEdgeWidth = 9;
constexpr int kFileListWidth = 257;
constexpr int kEntryHeight = 18;
constexpr int kTreeIndent = 19;
constexpr int kTreeBorder = 2;

FlatButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
  auto* button = Place(new FlatButton({caption}, parent), name, geometry);
  button->setFont(PixelFont(QStringLiteral("Arial"), 11));
  const QColor gold(216, 190, 10);
  button->setColours(FlatButton::DialogColours(*parent, gold, gold));
  return button;
}

}  // namespace

TfrmSelect::TfrmSelect(AddTargetFunction addTarget, QWidget* parent)
    : ModelessWindow(QStringLiteral("Select Files to Destroy"), parent), addTarget_(std::move(addTarget)) {
  setObjectName(QStringLiteral("TfrmSelect"));
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
  PlaceByOuterGeometry(370, 350, 612, 468);

  CreateTopPanel();
  CreateBrowser();
  WireHandlers();
  ShowDrives();
}

void TfrmSelect::CreateTopPanel() {
  pnlTop = new QFrame(this);
  pnlTop->setObjectName(QStringLiteral("pnlTop"));
  pnlTop->setFrameStyle(QFrame::Panel | QFrame::Raised);
  pnlTop->setFixedHeight(kTopPanelHeight);

  Label1 = new QLabel(QStringLiteral("Navigate your drives and folders on the left, and click on the\n"
                                     "files to the right to select. Hold the CTRL key down while\n"
                                     "clicking for multiple selections. SHIFT key for entire ranges."),
                      pnlTop);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(8, 5, 329, 39);
  Label1->setAttribute(Qt::WA_TranslucentBackground);

  btnAdd = MakeButton(pnlTop, "btnAdd", QStringLiteral("Add Selected Files"), QRect(360, 16, 129, 22));
  btnExit = MakeButton(pnlTop, "btnExit", QStringLiteral("Close"), QRect(504, 16, 86, 22));
}

void TfrmSelect::CreateBrowser() {
  DirTree = new FolderTree(this);
  DirTree->setObjectName(QStringLiteral("DirTree"));
  DirTree->setIndentation(kTreeIndent);
  DirTree->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  DirTree->setLineWidth(kTreeBorder);

  DrawEdge1 = new QFrame(this);
  DrawEdge1->setObjectName(QStringLiteral("DrawEdge1"));
  DrawEdge1->setFrameStyle(QFrame::VLine | QFrame::Sunken);
  DrawEdge1->setLineWidth(2);
  DrawEdge1->setFixedWidth(kEdgeWidth);

  FileList = new FileListBox(kEntryHeight, this);
  FileList->setObjectName(QStringLiteral("FileList"));
  FileList->setFixedWidth(kFileListWidth);

  // The panel spans the top; below it the list keeps its width at the right
  // edge and the tree takes what the window leaves over.
  auto* browser = new QHBoxLayout;
  browser->setContentsMargins(0, 0, 0, 0);
  browser->setSpacing(0);
  browser->addWidget(DirTree, 1);
  browser->addWidget(DrawEdge1);
  browser->addWidget(FileList);

  auto* window = new QVBoxLayout(this);
  window->setContentsMargins(0, 0, 0, 0);
  window->setSpacing(0);
  window->addWidget(pnlTop);
  window->addLayout(browser, 1);
}

void TfrmSelect::WireHandlers() {
  const auto wire = [this](auto* sender, auto signal, void (TfrmSelect::*handler)()) {
    connect(sender, signal, this, [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
  };
  wire(btnAdd, &FlatButton::clicked, &TfrmSelect::btnAddClick);
  wire(btnExit, &FlatButton::clicked, &TfrmSelect::btnExitClick);
  wire(DirTree, &FolderTree::selectedFolderChanged, &TfrmSelect::DirTreeChange);
}

void TfrmSelect::ShowDrives() {
  QList<FolderTree::Root> roots;
  for (const Drive& drive : DriveTable::Read().Drives()) {
    // Opening a drive that does not answer would hold the window.
    if (!drive.Responding) continue;
    roots.append({drive.RootDirectory, QString::fromStdString(ReadablePath(drive.DisplayName()))});
  }
  // The whole tree hangs from "/", even where the mount table could not be
  // read.
  if (roots.isEmpty()) roots.append({"/", QStringLiteral("/")});
  DirTree->SetRoots(roots);
  // Browsing starts in the user's own files.
  if (!DirTree->SelectPath(QFile::encodeName(QDir::homePath()).toStdString())) DirTree->SelectPath("/");
}

void TfrmSelect::btnAddClick() {
  // The entries are taken as they are selected at the click. Every add lets
  // the user act, and a folder opened or a selection changed meanwhile must
  // not mix another folder's entries into this batch.
  for (const std::string& path : FileList->SelectedEntryPaths()) addTarget_(path);
}

void TfrmSelect::btnExitClick() { close(); }

void TfrmSelect::DirTreeChange() { FileList->SetPath(DirTree->SelectedPath()); }

}  // namespace omrek
