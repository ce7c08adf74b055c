#pragma once

#include "widgets/ModelessWindow.h"

namespace omrek {

// The configuration dialog: the live wipe options of both modes.
class TfrmConfig : public ModelessWindow {
  Q_OBJECT

 public:
  explicit TfrmConfig(QWidget* parent = nullptr);
};

}  // namespace omrek
