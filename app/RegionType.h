#pragma once

#include <QRegion>
#include <optional>

namespace omrek {

class TCoolForm;

// The region a shaped window is cut to, and the component it belongs to.
struct TRegionType {
  // None: the window keeps its full rectangle.
  std::optional<QRegion> Region;
  TCoolForm* Owner = nullptr;
};

}  // namespace omrek
