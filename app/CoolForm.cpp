#include "app/CoolForm.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "app/MaskProperty.h"

namespace omrek {

TCoolForm::TCoolForm(QWidget* parent) : QWidget(parent), mask_(std::make_unique<TRegionType>()) {
  mask_->Owner = this;
  if (parent) AdoptParent();
}

void TCoolForm::AdoptParent() {
  QWidget* form = parentWidget();
  if (form->isWindow() && !form->windowFlags().testFlag(Qt::FramelessWindowHint)) {
    // Changing a window's flags hides it; a form already on screen stays.
    const bool shown = form->isVisible();
    form->setWindowFlag(Qt::FramelessWindowHint);
    if (shown) form->show();
  }
  form->installEventFilter(this);
  setGeometry(form->rect());
}

void TCoolForm::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ParentChange && parentWidget()) AdoptParent();
  QWidget::changeEvent(event);
}

bool TCoolForm::eventFilter(QObject* watched, QEvent* event) {
  // The skin fills its form whatever size the form takes.
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

void TCoolForm::SetPicture(const QPixmap& picture) {
  picture_ = picture;
  update();
}

void TCoolForm::SetMask(std::unique_ptr<TRegionType> mask) {
  if (!mask) return;
  mask_ = std::move(mask);
  mask_->Owner = this;
}

void TCoolForm::ReadMask(QIODevice& stream) {
  omrek::ReadMask(stream, *mask_);
  QWidget* form = parentWidget();
  if (!form) return;
  if (mask_->Region) {
    form->setMask(*mask_->Region);
  } else {
    form->clearMask();
  }
}

void TCoolForm::WriteMask(QIODevice& stream) const { omrek::WriteMask(stream, *mask_); }

void TCoolForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

void TCoolForm::mousePressEvent(QMouseEvent* event) {
  // The press is the skin's alone: it never reaches the form.
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  QWidget* form = window();
  if (form->windowHandle() && form->windowHandle()->startSystemMove()) return;
  // Without a window manager to hand the move to, the skin moves the window
  // with the mouse until the button is released.
  dragOffset_ = form->pos() - event->globalPosition().toPoint();
}

void TCoolForm::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  if (dragOffset_) window()->move(event->globalPosition().toPoint() + *dragOffset_);
}

void TCoolForm::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton) dragOffset_.reset();
}

}  // namespace omrek
