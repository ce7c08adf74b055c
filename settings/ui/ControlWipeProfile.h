#pragma once

#include "engine/WipeProfile.h"

class QCheckBox;
class QLineEdit;

namespace omrek {

class SpinEdit;

// The controls of one mode in the configuration dialog.
struct WipeControls {
  QCheckBox* dod;
  QCheckBox* inversion;
  QCheckBox* randomize;
  SpinEdit* numRandomize;
  QCheckBox* nullify1;
  QCheckBox* nullify2;
  QCheckBox* nullifyCustom;
  QLineEdit* nullValue;
};

// A mode's options as its controls show them at the moment of each read, so
// a change in the open dialog reaches a running command at its next read.
// It reads the controls through `controls`, which the dialog fills once it
// has made them and which lives as long as the dialog.
class ControlWipeProfile : public WipeProfile {
 public:
  explicit ControlWipeProfile(const WipeControls& controls) : controls_(controls) {}

  bool DOD() const override;
  bool Inversion() const override;
  bool Randomize() const override;
  // The number as typed, even outside the edit's range until it loses the
  // focus.
  std::int32_t NumRandomize() const override;
  bool Nullify1() const override;
  bool Nullify2() const override;
  bool NullifyCustom() const override;
  std::string NullValue() const override;

 private:
  const WipeControls& controls_;
};

}  // namespace omrek
