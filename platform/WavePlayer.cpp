#include "platform/WavePlayer.h"

#include <SDL.h>

namespace omrek {

namespace {

// The audio system starts the first time a sound is played and stays up.
// It would take SIGINT and SIGTERM over for its own quit event, and the
// program would no longer end on them.
bool AudioAvailable() {
  static const bool available = [] {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  }();
  return available;
}

}  // namespace

WavePlayer::~WavePlayer() { Release(); }

void WavePlayer::Load(std::vector<std::uint8_t> waveImage) {
  Release();
  image_ = std::move(waveImage);
  unplayable_ = false;
}

void WavePlayer::Release() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
  if (samples_ != nullptr) SDL_FreeWAV(samples_);
  samples_ = nullptr;
  length_ = 0;
}

bool WavePlayer::Prepare() {
  if (device_ != 0) return true;
  if (unplayable_ || image_.empty() || !AudioAvailable() || SDL_GetNumAudioDevices(0) == 0) return false;
  SDL_AudioSpec format{};
  SDL_RWops* source = SDL_RWFromConstMem(image_.data(), static_cast<int>(image_.size()));
  if (source == nullptr || SDL_LoadWAV_RW(source, 1, &format, &samples_, &length_) == nullptr) {
    // Not a wave this player understands: no use trying again each time.
    unplayable_ = true;
    return false;
  }
  device_ = SDL_OpenAudioDevice(nullptr, 0, &format, nullptr, 0);
  if (device_ == 0) Release();
  return device_ != 0;
}

void WavePlayer::PlayAsync() {
  if (!Prepare()) return;
  SDL_ClearQueuedAudio(device_);
  if (SDL_QueueAudio(device_, samples_, length_) == 0) SDL_PauseAudioDevice(device_, 0);
}

}  // namespace omrek
