#pragma once

#include <QWidget>

class QScrollArea;

namespace omrek {

// The tallest title bar in common use (a scaled one included): assumed for a
// window whose frame is not known yet, before its first show, so that its
// lower edge is not pushed off the screen by it.
inline constexpr int kLargestTitleBar = 40;

// A dialog window that lives for the whole run. Closing it only hides it, so
// its controls keep their state; showing it again brings it to the front.
// Esc closes it.
class ModelessWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ModelessWindow(const QString& caption, QWidget* parent = nullptr);

  // Shows the window where it stands when all of it lies on the screen that
  // holds `owner`; otherwise (a small screen, a large scale factor, the
  // owner moved to another screen) fully on that screen, near `owner`. A
  // window larger than that screen shrinks to it and scrolls its controls,
  // so that none is out of reach.
  void ShowModeless(const QWidget* owner = nullptr);

  // The scroll area that holds the controls once the window had to shrink;
  // null before.
  QScrollArea* Scroller() const { return scroller_; }

 protected:
  // Sizes the window from its outer size (frame included) as the Windows
  // layout gives it, so the controls placed for that client area fit.
  void PlaceByOuterGeometry(int left, int top, int outerWidth, int outerHeight);

  void keyPressEvent(QKeyEvent* event) override;

 private:
  void KeepOnScreenOf(const QWidget& owner);
  // Moves the controls, and the layout that places them if there is one,
  // into a scroll area filling the window, at the size they were laid out for.
  void ScrollControls();

  QScrollArea* scroller_ = nullptr;
};

}  // namespace omrek
