#pragma once

#include "engine/WipeProfile.h"
#include "widgets/ModelessWindow.h"

class QFrame;

namespace omrek {

class TDiskListView;

// The configuration dialog: the live wipe options of both modes.
class TfrmConfig : public ModelessWindow {
  Q_OBJECT

 public:
  explicit TfrmConfig(QWidget* parent = nullptr);

  // The options of both modes, as the commands read them.
  const WipeProfile& FileModeProfile() const { return fileMode_; }
  const WipeProfile& DiskModeProfile() const { return diskMode_; }
  StoredWipeProfile& StoredFileModeProfile() { return fileMode_; }

  QFrame* BackPanel2;
  TDiskListView* lstDisk;

 private:
  StoredWipeProfile fileMode_;
  StoredWipeProfile diskMode_;
};

}  // namespace omrek
