#pragma once

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <memory>

namespace omrek::test {

// Data as a file manager drags it: a text/uri-list of file URLs.
inline std::unique_ptr<QMimeData> DraggedFiles(const QStringList& paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  data->setUrls(urls);
  return data;
}

inline std::unique_ptr<QMimeData> DraggedText(const QString& text) {
  auto data = std::make_unique<QMimeData>();
  data->setText(text);
  return data;
}

// Plays the window system's part of one drag over a widget, event by event
// as Qt delivers them: an enter is always followed by a move at the same
// point. Each call returns the widget's answer, IgnoreAction for a refusal.
class SyntheticDrag {
 public:
  SyntheticDrag(QWidget* surface, const QMimeData& data, Qt::DropActions allowed)
      : surface_(surface), data_(data), allowed_(allowed) {}

  Qt::DropAction Enter(QPoint point, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QDragEnterEvent enter(point, allowed_, &data_, Qt::LeftButton, keys);
    QApplication::sendEvent(surface_, &enter);
    return Move(point, keys);
  }

  Qt::DropAction Move(QPoint point, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QDragMoveEvent move(point, allowed_, &data_, Qt::LeftButton, keys);
    QApplication::sendEvent(surface_, &move);
    return move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
  }

  void Leave() {
    QDragLeaveEvent leave;
    QApplication::sendEvent(surface_, &leave);
  }

  // The button is released over the widget.
  Qt::DropAction Drop(QPoint point, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QDropEvent drop(point, allowed_, &data_, Qt::NoButton, keys);
    QApplication::sendEvent(surface_, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
  }

 private:
  QWidget* surface_;
  const QMimeData& data_;
  Qt::DropActions allowed_;
};

}  // namespace omrek::test
