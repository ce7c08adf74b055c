#pragma once

#include "widgets/ModelessWindow.h"

class QFrame;
class QLabel;
class QTextEdit;
class QUrl;

namespace omrek {

class FlatButton;
class FlatPageControl;
class GradientLabel;
class LinkLabel;

// The about and help dialog: the product's name and version over a set of
// help pages, one per tab. It keeps its state, the page last shown and any
// text typed into the pages included, until the program ends.
class TfrmAbout : public ModelessWindow {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  // The folder holding the README.md and LICENSE that the two links open;
  // the program's own folder, where the build puts them, or share/doc/omrek
  // for an installed program.
  void SetDocumentFolder(const QString& folder);

  QFrame* pnlTop;
  GradientLabel* lblOmrek;
  GradientLabel* lblVersion;
  FlatButton* btnClose;
  QLabel* lblHelp;
  QFrame* pnlMain;
  FlatPageControl* PageControl1;

  // The "About" page.
  QFrame* pnlAbout;
  QLabel* imgOmrek;
  QLabel* lblOmrekExplain;
  QTextEdit* txtAbout;
  LinkLabel* lblReadme;
  LinkLabel* lblLicense;
  QLabel* lblCopyright;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateTop();
  void CreatePages();
  QFrame* CreateAboutPage();
  void WireHandlers();

  void OpenDocument(const QUrl& url);
  void ShowDocumentPage(const QString& path);

  void btnCloseClick();
  void lblReadmeClick();
  void lblLicenseClick();
};

}  // namespace omrek
