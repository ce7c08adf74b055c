#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>
#include <memory>
#include <optional>

#include "app/RegionType.h"

class QIODevice;

namespace omrek {

// The skin of a borderless window: it fills its form, paints the skin
// picture at its top-left corner, cuts the form to a stored outline and lets
// the user drag the form by the bare skin with the left mouse button.
// Controls placed over it take their own clicks. It is made to sit directly
// on a form; on its parent it takes the frame away.
class TCoolForm : public QWidget {
  Q_OBJECT
  // A stored position never moves the skin off its form's top-left corner.
  Q_PROPERTY(int left READ x WRITE setLeft)
  Q_PROPERTY(int top READ y WRITE setTop)
  Q_PROPERTY(int width READ width WRITE setWidth)
  Q_PROPERTY(int height READ height WRITE setHeight)

 public:
  explicit TCoolForm(QWidget* parent = nullptr);

  const QPixmap& Picture() const { return picture_; }
  void SetPicture(const QPixmap& picture);

  const TRegionType& Mask() const { return *mask_; }
  // Makes the given holder the skin's own; a null holder is ignored.
  void SetMask(std::unique_ptr<TRegionType> mask);

  // Reads the stored outline (see MaskProperty.h) into the holder and cuts
  // the form to it; without a usable outline the form keeps its full
  // rectangle.
  void ReadMask(QIODevice& stream);
  void WriteMask(QIODevice& stream) const;

  void setLeft(int) { move(0, y()); }
  void setTop(int) { move(x(), 0); }
  void setWidth(int width) { resize(width, height()); }
  void setHeight(int height) { resize(width(), height); }

 protected:
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void AdoptParent();

  std::unique_ptr<TRegionType> mask_;
  QPixmap picture_;
  // Where the window's corner lies from the mouse, while this skin moves the
  // window itself.
  std::optional<QPoint> dragOffset_;
};

}  // namespace omrek
