// The WAV file output: the sound of a live run written at the clock's pace.
#include "music/clock_pacer.h"
#include "music/sound_output.h"
#include "music/wav_file.h"

namespace {

class WavOutput final : public SoundOutput {
 public:
  WavOutput(const SoundFormat& format, MillisecondClock clock) : pacer_(format.rate_hz, clock) {}
  bool Open(const SoundFormat& format, const std::string& path, std::string* error) {
    return writer_.Open(path, format.rate_hz, format.channels, error);
  }
  const char* Name() const override { return "WAV file"; }
  int FramesWanted() override { return writer_.IsOpen() ? pacer_.FramesDue() : 0; }
  bool Write(const int16_t* samples, int frames, std::string* error) override {
    pacer_.Took(frames);
    return writer_.Write(samples, static_cast<size_t>(frames), error);
  }
  bool Close(std::string* error) override { return !writer_.IsOpen() || writer_.Close(error); }

 private:
  ClockPacer pacer_;
  WavWriter writer_;
};

}  // namespace

std::unique_ptr<SoundOutput> OpenWavOutput(const SoundFormat& format, const std::string& path,
                                           std::string* error, MillisecondClock clock) {
  auto output = std::make_unique<WavOutput>(format, clock);
  if (!output->Open(format, path, error)) return nullptr;
  return output;
}
