#pragma once

#include "engine/PassPlan.h"
#include "engine/PassWriter.h"
#include "engine/ShredEngine.h"

namespace omrek {

// One pass of the destroy command over the engine's open WorkFile, written
// by `writer` (of kDestroyPasses, its carry the engine's BlockBuffer): it
// shows its name, rewrites SectorCount sectors of 512 bytes from offset 0
// (which reaches the end of the file's last cluster, growing the file
// there), counts one unit of progress per sector and, with `flush`, flushes
// the file to the medium at its end.
//
// Returns false when the pass did not reach the medium whole: an invert
// pass that a failed read or write ended early (quietly: the sectors already
// rewritten stay so, and the plan goes on), or a flush that failed. A fill
// or random pass whose write fails raises the error, and StopRequested is
// raised between two chunks once the program is asked to end.
bool RunPass(PassWriter& writer, ShredEngine& engine, const Pass& pass, bool flush);

}  // namespace omrek
