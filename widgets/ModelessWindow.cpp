#include "widgets/ModelessWindow.h"

#include <QKeyEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace omrek {

namespace {
// A classic sizeable Windows frame: 4 pixels each side, a 19-pixel caption.
constexpr int kFrameBorder = 4;
constexpr int kCaptionHeight = 19;
}  // namespace

ModelessWindow::ModelessWindow(const QString& caption, QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(caption);
}

void ModelessWindow::ShowModeless(const QWidget* owner) {
  if (owner != nullptr) KeepOnScreenOf(*owner);
  show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void ModelessWindow::PlaceByOuterGeometry(int left, int top, int outerWidth, int outerHeight) {
  resize(outerWidth - 2 * kFrameBorder, outerHeight - 2 * kFrameBorder - kCaptionHeight);
  move(left, top);
}

void ModelessWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void ModelessWindow::KeepOnScreenOf(const QWidget& owner) {
  const QScreen* screen = owner.screen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  QRect outer = frameGeometry();
  if (outer == geometry()) outer.adjust(-kFrameBorder, -kLargestTitleBar, kFrameBorder, kFrameBorder);
  if (area.contains(outer)) return;

  // Beside the owner's centre, then pushed in from every edge it crosses;
  // a window larger than the screen gives up the excess.
  QSize fitting = outer.size().boundedTo(area.size());
  if (fitting != outer.size()) {
    ScrollControls();
    // A vertical scroll bar would take its width from the controls: the
    // window widens by it where the screen has room.
    if (fitting.height() < outer.height()) {
      fitting.setWidth(std::min(area.width(), fitting.width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent)));
    }
    resize(size() - (outer.size() - fitting));
  }
  outer.setSize(fitting);
  outer.moveCenter(owner.frameGeometry().center());
  outer.moveLeft(std::clamp(outer.left(), area.left(), area.right() - outer.width() + 1));
  outer.moveTop(std::clamp(outer.top(), area.top(), area.bottom() - outer.height() + 1));
  move(outer.topLeft());
}

void ModelessWindow::ScrollControls() {
  if (scroller_ != nullptr) return;
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("ScrolledPage"));
  page->setMinimumSize(size());
  // In the order they were made, which is also the order Tab takes them.
  for (QObject* child : children()) {
    auto* control = qobject_cast<QWidget*>(child);
    if (control == nullptr || control->isWindow()) continue;
    const bool hidden = control->isHidden();
    control->setParent(page);
    control->setHidden(hidden);
  }
  // A window that lays out its own controls hands its layout to the page,
  // which then holds them as the window did.
  if (layout() != nullptr) page->setLayout(layout());
  scroller_ = new QScrollArea(this);
  scroller_->setObjectName(QStringLiteral("Scroller"));
  scroller_->setFrameShape(QFrame::NoFrame);
  scroller_->setWidgetResizable(true);
  scroller_->setWidget(page);
  auto* fill = new QVBoxLayout(this);
  fill->setContentsMargins(0, 0, 0, 0);
  fill->addWidget(scroller_);
}

}  // namespace omrek
