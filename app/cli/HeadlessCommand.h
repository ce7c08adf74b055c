#pragma once

#include <iosfwd>

#include "app/cli/CommandLine.h"

namespace omrek {

// Exit statuses of the command line.
inline constexpr int kExitDone = 0;
inline constexpr int kExitSkipped = 1;
inline constexpr int kExitUsage = 2;

// Runs --destroy, --wipe-slack or --wipe-space with the same engine as the
// window's buttons, without a window or a display: the passes come from the
// settings file (or --settings), --wipe-space first asks on `in` (a
// terminal) whether to fill the drives, each file or drive gets one line on `out`
// saying what was done or why not, and messages go to `errors`. Returns
// kExitDone when all was done, kExitSkipped when anything was skipped or
// failed or the user declined, kExitUsage when the settings cannot be read,
// the report's path names anything already (or cannot be made), or
// --wipe-space was run from a script (stdin not a terminal) without --yes,
// having written nothing, and 128 plus the signal's number when a
// termination signal stopped it. Targets that are skipped get their line,
// and their place in the report, in the order they were given.
int RunHeadless(const CommandLine& line, std::istream& in, std::ostream& out, std::ostream& errors);

}  // namespace omrek
