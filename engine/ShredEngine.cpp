#include "engine/ShredEngine.h"

#include "platform/SystemTime.h"

namespace omrek {

namespace {
constexpr std::size_t kIoBufferSize = 1 << 20;
}

ShredEngine::ShredEngine()
    : TimeOfDaySeed(UtcMillisecondOfDay),
      IoBuffer(kIoBufferSize),
      SpareIoBuffers{IoBytes(kIoBufferSize), IoBytes(kIoBufferSize)} {}

}  // namespace omrek
