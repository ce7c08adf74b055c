#include "engine/TargetOutcome.h"

#include <array>

namespace omrek {

namespace {

constexpr std::array<OutcomeTexts, 11> kTexts = {{
    // status1, status2, row, report, command line, done
    {nullptr, nullptr, "skipped", "skipped (a folder, or no longer the file listed)", "skipped", false},  // LeftAlone
    {nullptr, nullptr, nullptr, "not done", "not done", false},                                        // NotReached
    {"File DONE", "", nullptr, "File DONE", "File DONE", true},                                        // Destroyed
    {"ERROR", "", "skipped", "ERROR, kept", "skipped (ERROR)", false},                                 // Kept
    {"SLACK", "WIPED", "-slack", "SLACK WIPED", "SLACK WIPED", true},                                  // SlackWiped
    {"FAILED", "", "skipped", "FAILED, put back", "skipped (FAILED)", false},                          // PutBack
    {"FAILED", "%why%", "lengthened", "FAILED (%why%)", "lengthened (FAILED %why%)", false},          // LeftLengthened
    {nullptr, nullptr, nullptr, "WIPED", "%drive% WIPED", true},                                       // DriveWiped
    {nullptr, nullptr, nullptr, "stopped by Cancel", "stopped (%drive% written)", false},  // DriveStopped
    {nullptr, nullptr, nullptr, "FAILED", "FAILED (%why%)", false},                                    // DriveFailed
    {nullptr, nullptr, nullptr, "no empty space to wipe", "not wiped", false},                         // NoSpace
}};

std::string Filled(const char* text, const TargetOutcome& done) {
  if (text == nullptr) return {};
  std::string filled = text;
  const auto replace = [&filled](const std::string& mark, const std::string& by) {
    if (const auto at = filled.find(mark); at != std::string::npos) filled.replace(at, mark.size(), by);
  };
  replace("%drive%", DriveStatus(done.drive) + " " + MegText(done.bytes));
  replace("%why%", done.detail);
  return filled;
}

}  // namespace

const OutcomeTexts& TextsOf(Outcome outcome) { return kTexts.at(static_cast<std::size_t>(outcome)); }

std::string StatusLine1(const TargetOutcome& done) { return Filled(TextsOf(done.outcome).status1, done); }
std::string StatusLine2(const TargetOutcome& done) { return Filled(TextsOf(done.outcome).status2, done); }
std::string ReportText(const TargetOutcome& done) { return Filled(TextsOf(done.outcome).report, done); }
std::string CommandLineText(const TargetOutcome& done) { return Filled(TextsOf(done.outcome).line, done); }

std::string VerificationText(Verification verification) {
  constexpr std::array<const char*, 4> kWords = {"off", "not done", "verified", "mismatch"};
  return kWords.at(static_cast<std::size_t>(verification));
}

std::string DriveStatus(char letter) { return std::string("DRIVE ") + letter; }

std::string MegText(std::uint64_t bytes) {
  const std::uint64_t megs = bytes >> 20;
  return std::to_string(megs) + (megs == 1 ? " meg" : " megs");
}

}  // namespace omrek
