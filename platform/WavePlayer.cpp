#include "platform/WavePlayer.h"

#include <SDL.h>

#include <optional>
#include <stdexcept>

#include "platform/LoadedModule.h"

namespace omrek {

namespace {

// SDL's audio, loaded the first time a sound is played: a program that
// plays none (a command from the command line) starts without SDL and the
// sound servers' libraries it brings. Where it cannot be loaded or started,
// there is no sound, as on a machine without audio output.
struct SdlAudio {
  decltype(&SDL_SetHint) SetHint;
  decltype(&SDL_InitSubSystem) InitSubSystem;
  decltype(&SDL_GetNumAudioDevices) GetNumAudioDevices;
  decltype(&SDL_RWFromConstMem) RWFromConstMem;
  decltype(&SDL_LoadWAV_RW) LoadWAV_RW;
  decltype(&SDL_FreeWAV) FreeWAV;
  decltype(&SDL_OpenAudioDevice) OpenAudioDevice;
  decltype(&SDL_CloseAudioDevice) CloseAudioDevice;
  decltype(&SDL_ClearQueuedAudio) ClearQueuedAudio;
  decltype(&SDL_QueueAudio) QueueAudio;
  decltype(&SDL_PauseAudioDevice) PauseAudioDevice;
};

SdlAudio LoadSdlAudio() {
  const LoadedModule sdl("libSDL2-2.0.so.0");
  const auto find = [&sdl]<typename Function>(Function& entry, const char* name) { entry = sdl.Find<Function>(name); };
  SdlAudio audio{};
  find(audio.SetHint, "SDL_SetHint");
  find(audio.InitSubSystem, "SDL_InitSubSystem");
  find(audio.GetNumAudioDevices, "SDL_GetNumAudioDevices");
  find(audio.RWFromConstMem, "SDL_RWFromConstMem");
  find(audio.LoadWAV_RW, "SDL_LoadWAV_RW");
  find(audio.FreeWAV, "SDL_FreeWAV");
  find(audio.OpenAudioDevice, "SDL_OpenAudioDevice");
  find(audio.CloseAudioDevice, "SDL_CloseAudioDevice");
  find(audio.ClearQueuedAudio, "SDL_ClearQueuedAudio");
  find(audio.QueueAudio, "SDL_QueueAudio");
  find(audio.PauseAudioDevice, "SDL_PauseAudioDevice");
  return audio;
}

// The audio system starts the first time a sound is played and stays up.
// It would take SIGINT and SIGTERM over for its own quit event, and the
// program would no longer end on them.
const SdlAudio* Audio() {
  static const std::optional<SdlAudio> audio = []() -> std::optional<SdlAudio> {
    try {
      const SdlAudio sdl = LoadSdlAudio();
      sdl.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
      if (sdl.InitSubSystem(SDL_INIT_AUDIO) != 0) return std::nullopt;
      return sdl;
    } catch (const std::runtime_error&) {
      return std::nullopt;
    }
  }();
  return audio ? &*audio : nullptr;
}

}  // namespace

WavePlayer::~WavePlayer() { Release(); }

void WavePlayer::Load(std::vector<std::uint8_t> waveImage) {
  Release();
  image_ = std::move(waveImage);
  unplayable_ = false;
}

void WavePlayer::Release() {
  // Only what was made through the loaded library is held here.
  if (device_ != 0) Audio()->CloseAudioDevice(device_);
  device_ = 0;
  if (samples_ != nullptr) Audio()->FreeWAV(samples_);
  samples_ = nullptr;
  length_ = 0;
}

bool WavePlayer::Prepare() {
  if (device_ != 0) return true;
  if (unplayable_ || image_.empty()) return false;
  const SdlAudio* audio = Audio();
  if (audio == nullptr || audio->GetNumAudioDevices(0) == 0) return false;
  SDL_AudioSpec format{};
  SDL_RWops* source = audio->RWFromConstMem(image_.data(), static_cast<int>(image_.size()));
  if (source == nullptr || audio->LoadWAV_RW(source, 1, &format, &samples_, &length_) == nullptr) {
    // Not a wave this player understands: no use trying again each time.
    unplayable_ = true;
    return false;
  }
  device_ = audio->OpenAudioDevice(nullptr, 0, &format, nullptr, 0);
  if (device_ == 0) Release();
  return device_ != 0;
}

void WavePlayer::PlayAsync() {
  if (!Prepare()) return;
  const SdlAudio* audio = Audio();
  audio->ClearQueuedAudio(device_);
  if (audio->QueueAudio(device_, samples_, length_) == 0) audio->PauseAudioDevice(device_, 0);
}

}  // namespace omrek
