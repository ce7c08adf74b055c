#pragma once

#include <cstdint>
#include <vector>

namespace omrek {

// A wave sound held in memory and played once, asynchronously: the call
// returns at once while the sound plays. Nothing is played when no sound is
// loaded, when the image is not a wave the player understands, or when the
// machine has no audio output.
class WavePlayer {
 public:
  WavePlayer() = default;
  ~WavePlayer();
  WavePlayer(const WavePlayer&) = delete;
  WavePlayer& operator=(const WavePlayer&) = delete;

  void Load(std::vector<std::uint8_t> waveImage);
  bool Loaded() const { return !image_.empty(); }

  // Starts the sound, cutting off the one still playing.
  void PlayAsync();

 private:
  // The image is decoded and the audio device opened at the first play and
  // kept: a command plays the sound once per file, and opening a device
  // can take as long as destroying a small file many times over.
  bool Prepare();
  void Release();

  std::vector<std::uint8_t> image_;
  bool unplayable_ = false;
  std::uint8_t* samples_ = nullptr;
  std::uint32_t length_ = 0;
  std::uint32_t device_ = 0;
};

}  // namespace omrek
