// The default sound card through SDL2's queued audio: the background player
// pushes mixed frames with SDL_QueueAudio and keeps about the buffer length
// queued, so no audio callback runs on SDL's own thread.
#include <SDL.h>

#include <algorithm>

#include "music/sound_output.h"

namespace {

class SdlOutput final : public SoundOutput {
 public:
  ~SdlOutput() override { Shut(); }

  bool Open(const SoundFormat& format, int buffer_length_ms, std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      *error = std::string("cannot start SDL audio: ") + SDL_GetError();
      return false;
    }
    subsystem_started_ = true;
    SDL_AudioSpec wanted{};
    wanted.freq = format.rate_hz;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(format.channels);
    // The device's own period: short, so the queue level is what sets the
    // latency.
    wanted.samples = 1024;
    wanted.callback = nullptr;
    // SDL converts whatever the device needs; the mixer's format is fixed.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device_ == 0) {
      *error = std::string("cannot open the default sound device: ") + SDL_GetError();
      Shut();
      return false;
    }
    bytes_per_frame_ = format.channels * 2;
    target_frames_ = std::max(
        1, static_cast<int>(static_cast<int64_t>(format.rate_hz) * buffer_length_ms / 1000));
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  const char* Name() const override { return "Default"; }

  int FramesWanted() override {
    const int queued = static_cast<int>(SDL_GetQueuedAudioSize(device_)) / bytes_per_frame_;
    return std::max(0, target_frames_ - queued);
  }

  bool Write(const int16_t* samples, int frames, std::string* error) override {
    // An unplugged card is stopped by SDL; its queue would never drain.
    if (SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) {
      *error = std::string("the sound device was lost");
      return false;
    }
    if (SDL_QueueAudio(device_, samples, static_cast<Uint32>(frames * bytes_per_frame_)) != 0) {
      *error = std::string("the sound device refused the sound: ") + SDL_GetError();
      return false;
    }
    return true;
  }

  void DropQueued() override { SDL_ClearQueuedAudio(device_); }

  bool MayFallSilent() const override { return true; }

  bool Close(std::string* /*error*/) override {
    Shut();
    return true;
  }

 private:
  void Shut() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
    if (subsystem_started_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_started_ = false;
  }

  SDL_AudioDeviceID device_ = 0;
  bool subsystem_started_ = false;
  int bytes_per_frame_ = 4;
  int target_frames_ = 0;
};

}  // namespace

std::unique_ptr<SoundOutput> OpenSdlOutput(const SoundFormat& format, int buffer_length_ms,
                                           std::string* error) {
  auto output = std::make_unique<SdlOutput>();
  if (!output->Open(format, buffer_length_ms, error)) return nullptr;
  return output;
}
