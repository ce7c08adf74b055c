#include "engine/WorkTotal.h"

#include "engine/ClusterSize.h"
#include "engine/PassPlan.h"
#include "intake/TargetFile.h"

namespace omrek {

namespace {
constexpr std::uint64_t kSector = ShredEngine::kSectorSize;
}

std::int64_t SectorsToClusterEnd(std::uint64_t size, std::uint32_t clusterSize) {
  std::uint64_t sectors = size / kSector + (size % kSector != 0 ? 1 : 0);
  const std::uint64_t rest = (sectors * kSector) % clusterSize;
  if (rest != 0) sectors += (clusterSize - rest) / kSector;
  return static_cast<std::int64_t>(sectors);
}

void ComputeSectorCount(ShredEngine& engine, const PinnedFile& file, std::uint64_t size, ClusterSizeMemo& memo) {
  MeasureClusterSizeOf(engine.ClusterSize, file, memo);
  engine.SectorCount = SectorsToClusterEnd(size, engine.ClusterSize);
}

void ComputeWorkTotal(WorkKind kind, ShredEngine& engine, const TargetRows& rows, const WipeProfile& profile) {
  ClusterSizeMemo memo;
  FolderWalks walks;
  ComputeWorkTotal(kind, engine, rows, profile, memo, walks);
}

void ComputeWorkTotal(WorkKind kind, ShredEngine& engine, const TargetRows& rows, const WipeProfile& profile,
                      ClusterSizeMemo& memo, FolderWalks& walks) {
  engine.WorkTotal = 0;
  for (engine.RowIndex = 0; engine.RowIndex < rows.RowCount(); ++engine.RowIndex) {
    const std::int64_t passes = PassCount(kind == WorkKind::PerPass ? PassOrder::Slack : PassOrder::Destroy, profile);
    if (kind == WorkKind::PerPass) {
      engine.WorkTotal += passes;
      continue;
    }
    const auto file = ReachListedFile(rows.RowFile(engine.RowIndex), walks);
    if (!file) continue;
    // The length the reach saw: the total needs no opening of every file.
    const std::uint64_t size = file->SizeWhenReached();
    if (size == 0) continue;
    ComputeSectorCount(engine, *file, size, memo);
    engine.WorkTotal += passes * engine.SectorCount;
  }
}

}  // namespace omrek
