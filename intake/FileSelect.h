#pragma once

#include "widgets/ModelessWindow.h"

namespace omrek {

// The file selection dialog: browse folders and add entries to the list.
class TfrmSelect : public ModelessWindow {
  Q_OBJECT

 public:
  explicit TfrmSelect(QWidget* parent = nullptr);
};

}  // namespace omrek
