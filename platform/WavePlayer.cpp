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

WavePlayer::~WavePlayer() { CloseDevice(); }

void WavePlayer::CloseDevice() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
}

void WavePlayer::PlayAsync() {
  if (image_.empty() || !AudioAvailable() || SDL_GetNumAudioDevices(0) == 0) return;
  CloseDevice();

  SDL_AudioSpec format{};
  Uint8* samples = nullptr;
  Uint32 length = 0;
  SDL_RWops* source = SDL_RWFromConstMem(image_.data(), static_cast<int>(image_.size()));
  if (source == nullptr || SDL_LoadWAV_RW(source, 1, &format, &samples, &length) == nullptr) return;

  device_ = SDL_OpenAudioDevice(nullptr, 0, &format, nullptr, 0);
  if (device_ != 0 && SDL_QueueAudio(device_, samples, length) == 0) SDL_PauseAudioDevice(device_, 0);
  SDL_FreeWAV(samples);
}

}  // namespace omrek
