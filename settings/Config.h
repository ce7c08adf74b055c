#pragma once

#include "widgets/ModelessWindow.h"

class QFrame;

namespace omrek {

class TDiskListView;

// The configuration dialog: the live wipe options of both modes.
class TfrmConfig : public ModelessWindow {
  Q_OBJECT

 public:
  explicit TfrmConfig(QWidget* parent = nullptr);

  QFrame* BackPanel2;
  TDiskListView* lstDisk;
};

}  // namespace omrek
