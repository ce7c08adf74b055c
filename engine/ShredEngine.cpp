#include "engine/ShredEngine.h"

#include "platform/SystemTime.h"

namespace omrek {

namespace {
constexpr std::size_t kIoBufferSize = 1 << 20;
}

ShredEngine::ShredEngine()
    : TimeOfDaySeed(UtcMillisecondOfDay), IoBuffer(kIoBufferSize), SpareIoBuffer(kIoBufferSize) {}

}  // namespace omrek
