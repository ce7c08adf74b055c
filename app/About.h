#pragma once

#include "widgets/ModelessWindow.h"

namespace omrek {

// The about and help dialog.
class TfrmAbout : public ModelessWindow {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
};

}  // namespace omrek
