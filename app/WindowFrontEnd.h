#pragma once

#include <QMessageBox>
#include <QPointer>

#include "app/command/CommandFrontEnd.h"

class QWidget;

namespace omrek {

class TfrmConfig;

// How the window asks before a command writes and what it offers after:
// the question before a Destroy, the in-place caveat of each drive (unless
// the user silenced it), the question before Wipe Space fills drives, and
// the report, offered and
// never forced. What a command did to each target the window shows in its
// rows and status lines already.
class WindowFrontEnd : public CommandFrontEnd {
 public:
  WindowFrontEnd(QWidget& window, TfrmConfig& config);

  bool AcceptInPlaceCaveats(const std::vector<InPlaceCaveat>& caveats) override;
  bool ConfirmSpaceWipe(const std::vector<DriveForecast>& drives) override;
  // Ticked as the user last chose, else where a drive keeps old copies; an
  // answer other than the offer is remembered.
  std::optional<bool> ConfirmDestroy(const DestroyQuestion& question) override;
  void TargetDone(const TargetOutcome&) override {}
  void ReportReady(CommandReport report) override;

 private:
  // False once the user cancels.
  bool AcceptCaveat(const InPlaceCaveat& caveat);

  QWidget& window_;
  TfrmConfig& config_;
  QPointer<QMessageBox> reportOffer_;
};

}  // namespace omrek
