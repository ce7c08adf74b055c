#include "engine/CommandReport.h"

#include <algorithm>
#include <ctime>
#include <sstream>

#include "engine/ReportFile.h"
#include "intake/ReadablePath.h"

namespace omrek {

namespace {

// A file in its readable form; a drive by its letter and root folder.
std::string TargetText(const TargetOutcome& entry) {
  if (entry.drive == 0) return ReadablePath(entry.target);
  return std::string("Drive ") + entry.drive + ": (" + ReadablePath(entry.target) + ")";
}

std::string UtcText(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&seconds));
  return text;
}

}  // namespace

CommandReport::CommandReport(std::string command, PassOrder order, const WipeProfile& profile, bool verify)
    : command_(std::move(command)),
      profile_(PlanText(order, profile)),
      verify_(verify),
      started_(std::chrono::system_clock::now()) {}

bool CommandReport::Empty() const {
  return entries_.empty() && std::all_of(followers_.begin(), followers_.end(),
                                         [](const CommandReport& follower) { return follower.Empty(); });
}

std::string CommandReport::Text() const {
  std::string text = "Omrek, Filebane report\n" + Part();
  for (const CommandReport& follower : followers_) text += "\n" + follower.Part();
  return text;
}

std::string CommandReport::Part() const {
  std::ostringstream text;
  text << "Command: " << command_ << "\n"
       << "Started: " << UtcText(started_) << "\n"
       << "Passes: " << profile_ << "\n"
       << "Verification: " << (verify_ ? "on" : "off") << "\n\n";
  if (!startRepairs_.empty()) {
    text << "Left by stopped runs, seen at start:\n";
    for (const std::string& line : startRepairs_) text << "  " << line << "\n";
    text << "\n";
  }
  for (const TargetOutcome& entry : entries_) {
    text << TargetText(entry) << "\n  " << ReportText(entry);
    if (entry.passesDone > 0) {
      text << "; " << entry.bytes << " bytes; " << entry.passesDone << (entry.passesDone == 1 ? " pass" : " passes");
    }
    // Nothing of a folder's is read back.
    const bool folder = entry.outcome == Outcome::FolderRemoved || entry.outcome == Outcome::FolderKept;
    if (!folder) text << "; verification " << VerificationText(entry.verification);
    text << "\n";
  }
  if (!unclearedJournals_.empty()) {
    text << "\nJournals not cleared:\n";
    for (const std::string& line : unclearedJournals_) text << "  " << line << "\n";
  }
  return text.str();
}

void CommandReport::Save(const std::string& path) const { ReportFile(path).Write(Text()); }

}  // namespace omrek
