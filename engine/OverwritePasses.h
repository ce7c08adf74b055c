#pragma once

#include <cstdint>

#include "engine/JobMonitor.h"
#include "engine/PassPlan.h"
#include "engine/ShredEngine.h"

namespace omrek {

// The passes over the engine's open WorkFile. Each shows its name, rewrites
// SectorCount sectors of 512 bytes from offset 0 (which reaches the end of
// the file's last cluster, growing the file there), counts one unit of
// progress per sector and flushes the file to the medium at its end. Each
// returns false when that flush failed, and raises StopRequested between
// two writes once the program is asked to end.
//
// The writes go out a megabyte at a time; what reaches the file, and at
// which offsets, is exactly what writing the sectors one by one would give.

// "invert": every byte b becomes 255 - b. Past the file's end the carried
// BlockBuffer supplies the bytes. A failure ends the pass quietly: the
// sectors already rewritten stay so, and the plan goes on. Returns whether
// every sector was rewritten and reached the medium.
bool InvertPass(ShredEngine& engine, JobMonitor& monitor);

// "random": reseeds the stream from the time of day, then writes its bytes.
// A failed write propagates.
bool RandomPass(ShredEngine& engine, JobMonitor& monitor);

// "zeroing": the byte `value` everywhere (whatever the value). A failed
// write propagates.
bool FillPass(ShredEngine& engine, JobMonitor& monitor, std::uint8_t value);

// Returns false when the pass did not reach the medium whole.
bool RunPass(ShredEngine& engine, JobMonitor& monitor, const Pass& pass);

// The invert of a run of blocks, done at once as block-by-block inversion
// through a carried buffer would do it: `data` holds the `read` bytes found
// at the run's place; a block read whole is inverted, a block read short
// keeps the carry's bytes past what was read, a block past the data is the
// carry inverted again. `carry` (one block) is left as after the last block.
void InvertBlocksWithCarry(std::uint8_t* data, std::size_t read, std::size_t blocks, std::size_t blockSize,
                           std::uint8_t* carry);

}  // namespace omrek
