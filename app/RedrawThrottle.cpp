#include "app/RedrawThrottle.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace omrek {

namespace {
constexpr qint64 kRedrawMilliseconds = 50;
}

RedrawThrottle::RedrawThrottle(QWidget& window, QWidget& list) : QObject(&window), window_(window), list_(list) {
  window_.installEventFilter(this);
  list_.installEventFilter(this);
}

void RedrawThrottle::Start() {
  active_ = true;
  sinceRedraw_.start();
}

void RedrawThrottle::Stop() {
  active_ = false;
  if (redrawWaiting_) RepostRedraw();
}

void RedrawThrottle::Release() {
  if (active_ && redrawWaiting_ && Due()) RepostRedraw();
}

bool RedrawThrottle::Due() const { return sinceRedraw_.elapsed() >= kRedrawMilliseconds; }

void RedrawThrottle::RepostRedraw() {
  // The window asks for a redraw once and waits for it: the request it
  // made, held back here, has to come again or nothing more is drawn.
  redrawWaiting_ = false;
  QCoreApplication::postEvent(&window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

bool RedrawThrottle::eventFilter(QObject* watched, QEvent* event) {
  if (!active_) return false;
  if (watched == &window_ && event->type() == QEvent::UpdateRequest) {
    if (!Due()) {
      redrawWaiting_ = true;
      return true;
    }
    sinceRedraw_.start();
    return false;
  }
  // The list's timers lay its rows out again after each removal, which
  // costs a walk over every row; a timer held back fires again at the next
  // pump, and drawing the list lays it out first anyway.
  return watched == &list_ && event->type() == QEvent::Timer && !Due();
}

}  // namespace omrek
