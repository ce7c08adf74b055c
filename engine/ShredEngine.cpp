#include "engine/ShredEngine.h"

#include "platform/SystemTime.h"

namespace omrek {

ShredEngine::ShredEngine()
    : TimeOfDaySeed(UtcMillisecondOfDay),
      IoBuffer(kIoBufferSize),
      SpareIoBuffers{IoBytes(kIoBufferSize), IoBytes(kIoBufferSize)} {}

void ShredEngine::GrowIoBuffersFor(std::uint64_t passLength) {
  if (passLength < kLargeIoBufferSize || IoBuffer.size() >= kLargeIoBufferSize) return;
  for (IoBytes* buffer : {&IoBuffer, &SpareIoBuffers[0], &SpareIoBuffers[1]}) buffer->resize(kLargeIoBufferSize);
}

}  // namespace omrek
