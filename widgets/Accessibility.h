#pragma once

class QTreeWidget;

namespace omrek {

// Teaches Qt's accessibility what the painted controls are, so that a
// screen reader tells them as what they look like: a label that works as a
// button is a button, the bar meter a progress bar with its value. Safe to
// call any number of times; the controls call it when they are made.
void InstallWidgetAccessibility();

// Has a flat report list told as a table rather than as a tree.
void PresentAsTable(QTreeWidget& list);

}  // namespace omrek
