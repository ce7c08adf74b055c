#include "engine/TargetOutcome.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace omrek {

namespace {

constexpr const char* kRefusedBusy = "refused: another Omrek is wiping it";
constexpr const char* kStopped = "stopped after %passes% passes, kept";
constexpr const char* kFailedMidway = "failed after %passes% passes, kept (%why%)";
constexpr const char* kEmptied = "overwritten and emptied, not deleted (%why%)";
constexpr const char* kUnwritten = "deleted without overwriting%note%";
constexpr const char* kNameRemoved = "name removed; %why%";

constexpr std::array<OutcomeTexts, 21> kTexts = {{
    // status lines, row, report, command line, done
    {{}, "skipped", "skipped (%why%)", "skipped (%why%)", false},                                   // LeftAlone
    {{}, nullptr, "not done", "not done", false},                                                   // NotReached
    {{"File DONE", "", ""}, nullptr, "File DONE%note%", "File DONE%note%", true},                   // Destroyed
    {{"ERROR", "", ""}, "skipped", "ERROR, kept (%why%)", "skipped (ERROR: %why%)", false},         // Kept
    {{"SLACK", "WIPED", ""}, "-slack", "SLACK WIPED", "SLACK WIPED", true},                         // SlackWiped
    {{"FAILED", "", ""}, "skipped", "FAILED, put back (%why%)", "skipped (FAILED: %why%)", false},  // PutBack
    {{"FAILED", "%why%", ""}, "lengthened", "FAILED (%why%)", "lengthened (FAILED %why%)", false},  // LeftLengthened
    {{"%drive%", "%megs%", "WIPED"}, nullptr, "WIPED%note%", "%drive% %megs% WIPED%note%", true},   // DriveWiped
    {{}, nullptr, "stopped before the drive was full", "stopped (%drive% %megs% written)", false},  // DriveStopped
    {{"%drive%", "%megs%", "FAILED"}, nullptr, "FAILED", "FAILED (%why%)", false},                  // DriveFailed
    {{}, nullptr, "no empty space to wipe", "not wiped", false},                                    // NoSpace
    {{"%drive%", "BUSY", ""}, nullptr, kRefusedBusy, kRefusedBusy, false},                          // DriveBusy
    {{"REFUSED", "%why%", ""}, "skipped", "refused, nothing written (%why%)", "skipped (%why%)", false},  // Refused
    {{"ERROR", "", ""}, "skipped", kStopped, kStopped, false},                                            // Stopped
    {{"ERROR", "", ""}, "skipped", kFailedMidway, kFailedMidway, false},                           // FailedMidway
    {{"File DONE", "", ""}, nullptr, kUnwritten, kUnwritten, true},                                // DeletedUnwritten
    {{}, "skipped", "skipped (%why%)", "skipped (%why%)", false},                                  // Skipped
    {{"ERROR", "", ""}, "skipped", kEmptied, kEmptied, false},                                     // EmptiedNotDeleted
    {{}, nullptr, "folder removed%note%", "folder removed%note%", true},                           // FolderRemoved
    {{"FOLDER KEPT", "%why%", ""}, nullptr, "folder kept (%why%)", "folder kept (%why%)", false},  // FolderKept
    {{"NAME REMOVED", "", ""}, nullptr, kNameRemoved, kNameRemoved, true},                         // NameRemoved
}};

std::string Filled(const char* text, const TargetOutcome& done) {
  if (text == nullptr) return {};
  std::string filled = text;
  // Only a mark the text holds is worked out: most hold none.
  const auto replace = [&filled](std::string_view mark, const auto& by) {
    if (const auto at = filled.find(mark); at != std::string::npos) filled.replace(at, mark.size(), by());
  };
  replace("%drive%", [&] { return std::string("DRIVE ") + done.drive; });
  replace("%megs%", [&] { return MegText(done.bytes); });
  replace("%passes%", [&] { return std::to_string(done.passesDone) + " of " + std::to_string(done.passesPlanned); });
  replace("%why%", [&] { return done.detail; });
  replace("%note%", [&] { return done.detail.empty() ? std::string() : " (" + done.detail + ")"; });
  return filled;
}

}  // namespace

const OutcomeTexts& TextsOf(Outcome outcome) { return kTexts.at(static_cast<std::size_t>(outcome)); }

void ShowOutcome(JobMonitor& monitor, const TargetOutcome& done) {
  const auto& lines = TextsOf(done.outcome).status;
  if (lines[0] != nullptr) monitor.SetStatus(Filled(lines[0], done), Filled(lines[1], done), Filled(lines[2], done));
}

std::string ReportText(const TargetOutcome& done) { return Filled(TextsOf(done.outcome).report, done); }
std::string CommandLineText(const TargetOutcome& done) { return Filled(TextsOf(done.outcome).line, done); }

std::string VerificationText(Verification verification) {
  constexpr std::array<const char*, 4> kWords = {"off", "not done", "verified", "mismatch"};
  return kWords.at(static_cast<std::size_t>(verification));
}

std::string MegText(std::uint64_t bytes) {
  // A megabyte begun counts: a drive that took 516 KiB was written to.
  const std::uint64_t megs = (bytes + (1 << 20) - 1) >> 20;
  return std::to_string(megs) + (megs == 1 ? " meg" : " megs");
}

std::string SizeText(std::int64_t bytes) {
  if (bytes < 0) return "unknown";
  constexpr const char* kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  auto value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024 && unit < 4) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 || value >= 100 ? "%.0f %s" : "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string NameWipingNote(NameWiping wiping) {
  switch (wiping) {
    case NameWiping::Wiped:
      return "";
    case NameWiping::WipedPlainly:
      return "name wiped by plain renames: the file system cannot rename without replacing";
    case NameWiping::NotWiped:
      break;
  }
  return "name not wiped: the file system cannot rename safely";
}

}  // namespace omrek
