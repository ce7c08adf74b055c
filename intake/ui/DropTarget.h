#pragma once

#include <QByteArray>
#include <QFlags>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>

class QDropEvent;
class QEvent;
class QMimeData;
class QWidget;

namespace omrek {

// The operations a drop onto a target may carry out. The values are the
// drop effects below, which are also Qt's drop actions.
enum TDragType : std::uint32_t { dtCopy = 1, dtMove = 2, dtLink = 4 };
Q_DECLARE_FLAGS(TDragTypes, TDragType)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDragTypes)

// The modifier keys and mouse buttons held during a drag.
enum TShiftStateItem : std::uint32_t { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
Q_DECLARE_FLAGS(TShiftState, TShiftStateItem)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShiftState)

// What a drop would do: a combination of the values below. The source says
// which effects it allows; the target answers with the one it takes, plus
// the scroll flag while the pointer rests where the target scrolls.
using DropEffect = std::uint32_t;
inline constexpr DropEffect kDropEffectNone = 0;
inline constexpr DropEffect kDropEffectCopy = 1;
inline constexpr DropEffect kDropEffectMove = 2;
inline constexpr DropEffect kDropEffectLink = 4;
inline constexpr DropEffect kDropEffectScroll = 0x80000000;

class TDropTarget;

// An event of a drag: the pointer in the bound control's client area and
// the effect, which the handler may change.
using TDropTargetEvent =
    std::function<void(TDropTarget& sender, TShiftState shiftState, QPoint point, DropEffect& effect)>;
using TNotifyEvent = std::function<void(TDropTarget& sender)>;

// The local file names a drag carries (its text/uri-list), as the exact
// bytes of each path, in order, duplicates kept. Entries that are not local
// files are left out.
QList<QByteArray> LocalFileNames(const QMimeData& data);

// Receives drags over one control. The control's client area (a scroll
// area's viewport) accepts drops while the target is bound to it. For each
// drag the target raises OnEnter, OnDragOver (again and again), then OnLeave
// or OnDrop, provided the dragged data is of the kind it accepts; for other
// data the effect is none throughout and only OnLeave is raised. While the
// pointer rests within the control's font height of an edge that has a
// scroll bar, the control scrolls one line every 100 ms.
//
// Under XDND the drag source draws its own drag image, so there is no image
// for the target to take over or hide.
class TDropTarget : public QObject {
  Q_OBJECT

 public:
  TDropTarget();
  ~TDropTarget() override;
  TDropTarget(const TDropTarget&) = delete;
  TDropTarget& operator=(const TDropTarget&) = delete;

  // Binds the target to `control`, unbinding it from any other control
  // first; nullptr only unbinds. A control takes one drop target at a time:
  // when another holds it, raises std::runtime_error "Failed to Register "
  // followed by the control's name, and the target stays unbound.
  void Register(QWidget* control);
  // Unbinds; drags over the control no longer reach the target.
  void Unregister();
  QWidget* BoundControl() const { return boundControl_; }

  // The effect for a drag whose source allows `effect`: the effects outside
  // Dragtypes are masked off, then OnGetDropEffect decides or else the
  // modifier keys do; the scroll flag is added while `point` lies in the
  // edge band of an axis that had a scroll bar when the drag entered.
  DropEffect ChooseEffect(TShiftState shiftState, QPoint point, DropEffect effect);

  // The dragged data, held from an accepted enter until the leave or drop.
  const QMimeData* DataObject() const;
  const QTimer& AutoScrollTimer() const { return autoScrollTimer_; }

  TDragTypes Dragtypes;
  bool GetDataOnEnter = false;
  TDropTargetEvent OnEnter;
  TDropTargetEvent OnDragOver;
  TNotifyEvent OnLeave;
  TDropTargetEvent OnDrop;
  TDropTargetEvent OnGetDropEffect;

 protected:
  // Reads the held data into the target's own form; true when there was
  // something to read.
  virtual bool FetchData() = 0;
  virtual void ResetData() = 0;
  // True when the held data is of the kind the target accepts.
  virtual bool AcceptsFormat() const = 0;

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum ScrollAxis { Horizontal = 1, Vertical = 2 };

  DropEffect DragEnter(const QMimeData* data, TShiftState shiftState, QPoint point, DropEffect effect);
  DropEffect DragOver(TShiftState shiftState, QPoint point, DropEffect effect);
  void DragLeave();
  DropEffect Drop(TShiftState shiftState, QPoint point, DropEffect effect);
  void ScrollTick();
  void Release();
  QSize ClientSize() const;

  QPointer<QWidget> boundControl_;
  // Where drags arrive: the control, or a scroll area's viewport.
  QPointer<QWidget> surface_;
  bool surfaceAcceptedDrops_ = false;
  QPointer<const QMimeData> dataObject_;
  QTimer autoScrollTimer_;
  int edgeMargin_ = 0;
  int scrollAxes_ = 0;
  QPoint lastClientPoint_;
};

// A drop target for lists of files: FileNames holds the dropped names (the
// bytes of each path), in the order the source gave them, while OnDrop runs (and from the enter on,
// with GetDataOnEnter); otherwise it is empty.
class TDropFileTarget : public TDropTarget {
  Q_OBJECT

 public:
  const QList<QByteArray>& FileNames() const { return fileNames_; }

 protected:
  bool FetchData() override;
  void ResetData() override;
  bool AcceptsFormat() const override;

 private:
  QList<QByteArray> fileNames_;
};

}  // namespace omrek
