#pragma once

#include <QWidget>

namespace omrek {

// A dialog window that lives for the whole run. Closing it only hides it, so
// its controls keep their state; showing it again brings it to the front.
class ModelessWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ModelessWindow(const QString& caption, QWidget* parent = nullptr);

  void ShowModeless();

 protected:
  // Sizes the window from its outer size (frame included) as the Windows
  // layout gives it, so the controls placed for that client area fit.
  void PlaceByOuterGeometry(int left, int top, int outerWidth, int outerHeight);
};

}  // namespace omrek
