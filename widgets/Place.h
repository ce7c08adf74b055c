#pragma once

#include <QRect>
#include <QString>

namespace omrek {

// Puts a control where the window's layout says, under its own name (also
// its objectName, by which tests and tools find it), with its hint.
template <typename Widget>
Widget* Place(Widget* widget, const QString& name, const QRect& geometry, const QString& hint = {}) {
  widget->setObjectName(name);
  widget->setGeometry(geometry);
  if (!hint.isEmpty()) widget->setToolTip(hint);
  return widget;
}

}  // namespace omrek
