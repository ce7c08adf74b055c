#include "settings/ui/ControlWipeProfile.h"

#include <QCheckBox>
#include <QLineEdit>

#include "widgets/SpinEdit.h"

namespace omrek {

bool ControlWipeProfile::DOD() const { return controls_.dod->isChecked(); }

bool ControlWipeProfile::Inversion() const { return controls_.inversion->isChecked(); }

bool ControlWipeProfile::Randomize() const { return controls_.randomize->isChecked(); }

std::int32_t ControlWipeProfile::NumRandomize() const { return controls_.numRandomize->value(); }

bool ControlWipeProfile::Nullify1() const { return controls_.nullify1->isChecked(); }

bool ControlWipeProfile::Nullify2() const { return controls_.nullify2->isChecked(); }

bool ControlWipeProfile::NullifyCustom() const { return controls_.nullifyCustom->isChecked(); }

std::string ControlWipeProfile::NullValue() const { return controls_.nullValue->text().toStdString(); }

}  // namespace omrek
