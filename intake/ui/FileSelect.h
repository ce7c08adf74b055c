#pragma once

#include <QString>
#include <functional>

#include "widgets/ModelessWindow.h"

class QFrame;
class QLabel;

namespace omrek {

class FileListBox;
class FlatButton;
class FolderTree;

// The file selection dialog: browse the drives' folders on the left, select
// entries of the folder on the right, and append them to the target list.
// It lives for the whole run; closing it only hides it, so the folder shown
// and the selection are still there when it is opened again.
class TfrmSelect : public ModelessWindow {
  Q_OBJECT

 public:
  // Appends one path to the target list; may raise IoError.
  using AddTargetFunction = std::function<void(const std::string& path)>;

  explicit TfrmSelect(AddTargetFunction addTarget, QWidget* parent = nullptr);

  QFrame* pnlTop;
  QLabel* Label1;
  FlatButton* btnAdd;
  FlatButton* btnExit;
  FolderTree* DirTree;
  QFrame* DrawEdge1;
  FileListBox* FileList;

 private:
  void CreateTopPanel();
  void CreateBrowser();
  void WireHandlers();
  void ShowDrives();

  void btnAddClick();
  void btnExitClick();
  void DirTreeChange();

  AddTargetFunction addTarget_;
};

}  // namespace omrek
