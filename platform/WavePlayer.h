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

  void Load(std::vector<std::uint8_t> waveImage) { image_ = std::move(waveImage); }
  bool Loaded() const { return !image_.empty(); }

  // Starts the sound, cutting off the one still playing.
  void PlayAsync();

 private:
  void CloseDevice();

  std::vector<std::uint8_t> image_;
  std::uint32_t device_ = 0;
};

}  // namespace omrek
