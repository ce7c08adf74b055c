#pragma once

#include <cstdint>
#include <string>

#include "engine/ShredEngine.h"
#include "engine/WipeProfile.h"
#include "intake/TargetRows.h"
#include "platform/Volume.h"

namespace omrek {

// Sectors of 512 bytes from a file's start to the end of its last cluster:
// the size rounded up to whole sectors, then up to a whole cluster.
std::int64_t SectorsToClusterEnd(std::uint64_t size, std::uint32_t clusterSize);

// Measures the cluster size of the file system holding `file` (once per
// file system in `memo`) and sets
// SectorCount for a file of `size` bytes there.
void ComputeSectorCount(ShredEngine& engine, const PinnedFile& file, std::uint64_t size, ClusterSizeMemo& memo);

enum class WorkKind {
  PerSector,  // the destroy command: one unit per sector each pass writes
  PerPass,    // the slack command: one unit per pass over each file
};

// Sets WorkTotal for a command over every row of the list, reading the
// profile once per row. PerSector skips folders (and files no longer there
// as listed) and empty files, and measures each file by its entry, with
// no opening of it: a file that cannot be opened fails at its own turn.
// Each file system's cluster size is measured once in `memo`, and each
// run of files in one folder is walked to once in `walks`.
void ComputeWorkTotal(WorkKind kind, ShredEngine& engine, const TargetRows& rows, const WipeProfile& profile,
                      ClusterSizeMemo& memo, FolderWalks& walks);
void ComputeWorkTotal(WorkKind kind, ShredEngine& engine, const TargetRows& rows, const WipeProfile& profile);

}  // namespace omrek
