#include "intake/ui/DropTarget.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFontInfo>
#include <QMimeData>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSysInfo>
#include <QWidget>
#include <algorithm>
#include <stdexcept>

#include "widgets/ErrorBox.h"

namespace omrek {

namespace {

// Marks the widget that a drop target has taken, so that a second one is
// refused as the platform refuses a second registration of a window.
constexpr char kRegistration[] = "omrekDropTarget";

constexpr int kScrollInterval = 100;
constexpr DropEffect kDropEffects = kDropEffectCopy | kDropEffectMove | kDropEffectLink;

QWidget* DropSurfaceOf(QWidget* control) {
  if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) return area->viewport();
  return control;
}

TShiftState ShiftStateOf(const QDropEvent& event) {
  TShiftState state;
  const Qt::KeyboardModifiers keys = event.modifiers();
  const Qt::MouseButtons buttons = event.buttons();
  state.setFlag(ssShift, keys.testFlag(Qt::ShiftModifier));
  state.setFlag(ssAlt, keys.testFlag(Qt::AltModifier));
  state.setFlag(ssCtrl, keys.testFlag(Qt::ControlModifier));
  state.setFlag(ssLeft, buttons.testFlag(Qt::LeftButton));
  state.setFlag(ssRight, buttons.testFlag(Qt::RightButton));
  state.setFlag(ssMiddle, buttons.testFlag(Qt::MiddleButton));
  return state;
}

DropEffect AllowedEffects(const QDropEvent& event) { return event.possibleActions().toInt() & kDropEffects; }

// Qt takes one action for an answer: the first the effect holds.
void Answer(QDropEvent& event, DropEffect effect) {
  for (DropEffect action : {kDropEffectCopy, kDropEffectMove, kDropEffectLink}) {
    if ((effect & action) != 0) {
      event.setDropAction(static_cast<Qt::DropAction>(action));
      event.accept();
      return;
    }
  }
  event.setDropAction(Qt::IgnoreAction);
  event.ignore();
}

// Runs a step of the drag. The drag source waits for the answer while it
// runs, so an error that escapes a handler is shown only after the drag has
// finished, and the answer is then "no drop": a source that would move its
// files keeps them.
template <typename Step>
DropEffect Guarded(Step&& step) {
  try {
    return step();
  } catch (const std::exception& error) {
    const QString message = QString::fromUtf8(error.what());
    QTimer::singleShot(0, QCoreApplication::instance(), [message] { ShowErrorBox(message); });
    return kDropEffectNone;
  }
}

}  // namespace

QList<QByteArray> LocalFileNames(const QMimeData& data) {
  // Read from the list's own bytes: a name that is not UTF-8 comes
  // percent-encoded, and only decoding those escapes gives its exact bytes.
  QList<QByteArray> names;
  for (QByteArray line : data.data(QStringLiteral("text/uri-list")).split('\n')) {
    line = line.trimmed();
    if (!line.startsWith("file:")) continue;
    QByteArray rest = line.mid(5);
    // A file manager may name this machine in a file URI; a file of any
    // other host is not here, and its path must not be taken for a local one.
    if (rest.startsWith("//")) {
      const qsizetype slash = rest.indexOf('/', 2);
      if (slash < 0) continue;
      const QString host = QString::fromUtf8(QByteArray::fromPercentEncoding(rest.mid(2, slash - 2)));
      const bool here = host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
                        host == QSysInfo::machineHostName();
      if (!here) continue;
      rest = rest.mid(slash);
    }
    // A literal '?' or '#' begins a query or fragment, whichever comes
    // first; in a name they are escaped.
    qsizetype end = rest.size();
    for (const char mark : {'?', '#'}) {
      if (const qsizetype at = rest.indexOf(mark); at >= 0) end = std::min(end, at);
    }
    const QByteArray path = QByteArray::fromPercentEncoding(rest.left(end));
    if (path.startsWith('/')) names << path;
  }
  return names;
}

TDropTarget::TDropTarget() {
  autoScrollTimer_.setInterval(kScrollInterval);
  connect(&autoScrollTimer_, &QTimer::timeout, this, [this] { ScrollTick(); });
}

TDropTarget::~TDropTarget() { Release(); }

void TDropTarget::Register(QWidget* control) {
  if (control == boundControl_) return;
  if (boundControl_) Unregister();
  if (control == nullptr) return;

  QWidget* surface = DropSurfaceOf(control);
  if (surface->property(kRegistration).isValid()) {
    throw std::runtime_error("Failed to Register " + control->objectName().toStdString());
  }
  surface->setProperty(kRegistration, QVariant::fromValue(static_cast<QObject*>(this)));
  surfaceAcceptedDrops_ = surface->acceptDrops();
  surface->setAcceptDrops(true);
  surface->installEventFilter(this);
  boundControl_ = control;
  surface_ = surface;
}

void TDropTarget::Unregister() {
  // A drag still over the control ends here for the target.
  if (dataObject_) {
    ResetData();
    dataObject_ = nullptr;
  }
  Release();
}

void TDropTarget::Release() {
  autoScrollTimer_.stop();
  if (surface_) {
    surface_->removeEventFilter(this);
    surface_->setAcceptDrops(surfaceAcceptedDrops_);
    surface_->setProperty(kRegistration, QVariant());
  }
  surface_ = nullptr;
  boundControl_ = nullptr;
}

const QMimeData* TDropTarget::DataObject() const { return dataObject_; }

QSize TDropTarget::ClientSize() const { return surface_ ? surface_->size() : QSize(); }

DropEffect TDropTarget::ChooseEffect(TShiftState shiftState, QPoint point, DropEffect effect) {
  if (!Dragtypes.testFlag(dtCopy)) effect &= ~kDropEffectCopy;
  if (!Dragtypes.testFlag(dtMove)) effect &= ~kDropEffectMove;
  if (!Dragtypes.testFlag(dtLink)) effect &= ~kDropEffectLink;

  if (OnGetDropEffect) {
    OnGetDropEffect(*this, shiftState, point, effect);
    return effect;
  }

  const bool shift = shiftState.testFlag(ssShift);
  const bool ctrl = shiftState.testFlag(ssCtrl);
  DropEffect choice = kDropEffectNone;
  if (shift && ctrl && (effect & kDropEffectLink) != 0) {
    choice = kDropEffectLink;
  } else if (shift && !ctrl && (effect & kDropEffectMove) != 0) {
    choice = kDropEffectMove;
  } else {
    for (DropEffect allowed : {kDropEffectCopy, kDropEffectMove, kDropEffectLink}) {
      if ((effect & allowed) != 0) {
        choice = allowed;
        break;
      }
    }
  }

  const QSize client = ClientSize();
  const bool inHorizontalBand = point.x() < edgeMargin_ || point.x() > client.width() - edgeMargin_;
  const bool inVerticalBand = point.y() < edgeMargin_ || point.y() > client.height() - edgeMargin_;
  if (((scrollAxes_ & Horizontal) != 0 && inHorizontalBand) || ((scrollAxes_ & Vertical) != 0 && inVerticalBand)) {
    choice |= kDropEffectScroll;
  }
  return choice;
}

bool TDropTarget::eventFilter(QObject* watched, QEvent* event) {
  if (watched != surface_) return false;
  switch (event->type()) {
    case QEvent::DragEnter: {
      auto& enter = static_cast<QDragEnterEvent&>(*event);
      Answer(enter, Guarded([&] {
               return DragEnter(enter.mimeData(), ShiftStateOf(enter), enter.position().toPoint(),
                                AllowedEffects(enter));
             }));
      // Qt sends the moves, the leave and the drop only to a widget that took
      // the enter, and every drag must end in a leave or a drop here. So the
      // enter is always taken; a refusal travels as the ignore action and as
      // the answer to the move that follows at once.
      enter.accept();
      return true;
    }
    case QEvent::DragMove: {
      auto& move = static_cast<QDragMoveEvent&>(*event);
      Answer(move,
             Guarded([&] { return DragOver(ShiftStateOf(move), move.position().toPoint(), AllowedEffects(move)); }));
      return true;
    }
    case QEvent::DragLeave:
      Guarded([&] {
        DragLeave();
        return kDropEffectNone;
      });
      return true;
    case QEvent::Drop: {
      auto& drop = static_cast<QDropEvent&>(*event);
      Answer(drop, Guarded([&] { return Drop(ShiftStateOf(drop), drop.position().toPoint(), AllowedEffects(drop)); }));
      return true;
    }
    default:
      return false;
  }
}

DropEffect TDropTarget::DragEnter(const QMimeData* data, TShiftState shiftState, QPoint point, DropEffect effect) {
  ResetData();
  dataObject_ = data;
  lastClientPoint_ = point;
  if (!AcceptsFormat()) {
    dataObject_ = nullptr;
    return kDropEffectNone;
  }

  scrollAxes_ = 0;
  edgeMargin_ = QFontInfo(boundControl_->font()).pixelSize();
  if (auto* area = qobject_cast<QAbstractScrollArea*>(boundControl_.data())) {
    if (area->horizontalScrollBar()->isVisibleTo(area)) scrollAxes_ |= Horizontal;
    if (area->verticalScrollBar()->isVisibleTo(area)) scrollAxes_ |= Vertical;
  }
  if (GetDataOnEnter) FetchData();

  effect = ChooseEffect(shiftState, point, effect);
  if (OnEnter) OnEnter(*this, shiftState, point, effect);
  return effect;
}

DropEffect TDropTarget::DragOver(TShiftState shiftState, QPoint point, DropEffect effect) {
  lastClientPoint_ = point;
  if (!dataObject_) return kDropEffectNone;

  effect = ChooseEffect(shiftState, point, effect);
  if (OnDragOver) OnDragOver(*this, shiftState, point, effect);
  const bool scrolling = scrollAxes_ != 0 && (effect & kDropEffectScroll) != 0;
  if (scrolling && !autoScrollTimer_.isActive()) {
    autoScrollTimer_.start();
  } else if (!scrolling) {
    autoScrollTimer_.stop();
  }
  return effect;
}

void TDropTarget::DragLeave() {
  ResetData();
  autoScrollTimer_.stop();
  dataObject_ = nullptr;
  if (OnLeave) OnLeave(*this);
}

DropEffect TDropTarget::Drop(TShiftState shiftState, QPoint point, DropEffect effect) {
  if (!dataObject_) return kDropEffectNone;
  autoScrollTimer_.stop();
  // However the handler ends, even by an error, the dropped data is let go.
  const auto release = qScopeGuard([this] {
    ResetData();
    dataObject_ = nullptr;
  });

  effect = ChooseEffect(shiftState, point, effect);
  if (GetDataOnEnter || FetchData()) {
    if (OnDrop) OnDrop(*this, shiftState, point, effect);
    return effect;
  }
  return kDropEffectNone;
}

void TDropTarget::ScrollTick() {
  auto* area = qobject_cast<QAbstractScrollArea*>(boundControl_.data());
  if (area == nullptr) {
    // The control went away in the middle of a drag.
    autoScrollTimer_.stop();
    return;
  }
  const QSize client = ClientSize();
  if (lastClientPoint_.y() < edgeMargin_) {
    area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  } else if (lastClientPoint_.y() > client.height() - edgeMargin_) {
    area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  }
  if (lastClientPoint_.x() < edgeMargin_) {
    area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  } else if (lastClientPoint_.x() > client.width() - edgeMargin_) {
    area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  }
}

bool TDropFileTarget::FetchData() {
  ResetData();
  if (DataObject() == nullptr) return false;
  fileNames_ = LocalFileNames(*DataObject());
  return !fileNames_.isEmpty();
}

void TDropFileTarget::ResetData() { fileNames_.clear(); }

bool TDropFileTarget::AcceptsFormat() const {
  return DataObject() != nullptr && !LocalFileNames(*DataObject()).isEmpty();
}

}  // namespace omrek
