#include "engine/CommandReport.h"

#include <ctime>
#include <sstream>

#include "engine/PassPlan.h"
#include "intake/ReadablePath.h"
#include "platform/FileHandle.h"

namespace omrek {

namespace {

// The passes the plan makes of a profile, in the order they run.
std::string PlanText(const WipeProfile& profile) {
  std::ostringstream text;
  text << (profile.DOD() ? "DOD 5220.22M (7 passes of E5), " : "") << (profile.Inversion() ? "invert, " : "")
       << (profile.Randomize() && profile.NumRandomize() > 0 ? std::to_string(profile.NumRandomize()) + " random, "
                                                             : "")
       << (profile.Nullify1() ? "00, " : "") << (profile.Nullify2() ? "FF, " : "")
       << (profile.NullifyCustom() ? profile.NullValue() + ", " : "");
  std::string plan = text.str();
  return plan.empty() ? "no pass" : plan.substr(0, plan.size() - 2);
}

// A file in its readable form; a drive by its letter and root folder.
std::string TargetText(const TargetOutcome& entry) {
  if (entry.drive == 0) return ReadablePath(entry.target);
  return std::string("Drive ") + entry.drive + ": (" + entry.target + ")";
}

std::string UtcText(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&seconds));
  return text;
}

}  // namespace

CommandReport::CommandReport(std::string command, const WipeProfile& profile, bool verify)
    : command_(std::move(command)),
      profile_(PlanText(profile)),
      verify_(verify),
      started_(std::chrono::system_clock::now()) {}

std::string CommandReport::Text() const {
  std::ostringstream text;
  text << "Omrek, Filebane report\n"
       << "Command: " << command_ << "\n"
       << "Started: " << UtcText(started_) << "\n"
       << "Passes: " << profile_ << "\n"
       << "Verification: " << (verify_ ? "on" : "off") << "\n\n";
  for (const TargetOutcome& entry : entries_) {
    text << TargetText(entry) << "\n  " << ReportText(entry);
    if (entry.passesDone > 0) {
      text << "; " << entry.bytes << " bytes; " << entry.passesDone << (entry.passesDone == 1 ? " pass" : " passes");
    }
    text << "; verification " << VerificationText(entry.verification) << "\n";
  }
  return text.str();
}

void CommandReport::Save(const std::string& path) const {
  const std::string text = Text();
  FileHandle file = FileHandle::Create(path);
  file.RestrictToOwner();
  file.WriteAt(text.data(), text.size(), 0);
  file.Flush();
  file.Close();
}

}  // namespace omrek
