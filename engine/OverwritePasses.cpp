#include "engine/OverwritePasses.h"

#include "platform/IoError.h"

namespace omrek {

namespace {

// True when the pass reached the medium. A failed flush does not end the
// plan: the later passes still run, and the file counts as not destroyed.
bool Flush(FileHandle& file) {
  try {
    file.Flush();
    return true;
  } catch (const IoError&) {
    return false;
  }
}

}  // namespace

bool RunPass(PassWriter& writer, ShredEngine& engine, const Pass& pass, bool flush) {
  FileHandle& file = *engine.WorkFile;
  bool complete = true;
  try {
    writer.Write(file, 0, static_cast<std::uint64_t>(engine.SectorCount) * ShredEngine::kSectorSize, pass);
  } catch (const IoError&) {
    // A sector that cannot be read or written ends an invert pass, not the
    // plan: any whole pass after it makes good what it missed.
    if (pass.kind != PassKind::Invert) throw;
    complete = false;
  }
  return (!flush || Flush(file)) && complete;
}

}  // namespace omrek
