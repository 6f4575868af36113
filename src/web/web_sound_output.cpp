// The default sound card of the page: the browser's audio context, whose
// callback asks for one block of frames at a time (web_audio.h). The music
// system writes 16-bit frames; the page plays them as floats, one plane per
// channel. The first frames of a song anchor the demo clock to the moment
// they are heard.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "music/sound_output.h"
#include "platform/web/web_page.h"
#include "web/web_audio.h"

namespace {

// Largest block the page's audio callback asks for.
constexpr int kMaxBlockFrames = 16384;

class WebAudioOutput;
WebAudioOutput* active_output = nullptr;

class WebAudioOutput : public SoundOutput {
 public:
  explicit WebAudioOutput(const SoundFormat& format)
      : channels_(format.channels), planes_(static_cast<size_t>(kMaxBlockFrames) * 2) {
    active_output = this;
  }
  ~WebAudioOutput() override {
    if (active_output == this) active_output = nullptr;
  }
  const char* Name() const override { return "browser audio"; }
  int FramesWanted() override { return requested_ - written_; }
  bool Write(const int16_t* samples, int frames, std::string* /*error*/) override {
    frames = std::min(frames, requested_ - written_);
    float* left = planes_.data();
    float* right = left + kMaxBlockFrames;
    for (int i = 0; i < frames; ++i) {
      const int16_t l = samples[i * channels_];
      const int16_t r = samples[i * channels_ + channels_ - 1];
      left[written_ + i] = static_cast<float>(l) * (1.0f / 32768.0f);
      right[written_ + i] = static_cast<float>(r) * (1.0f / 32768.0f);
      Record(samples + static_cast<ptrdiff_t>(i) * channels_);
    }
    written_ += frames;
    return true;
  }
  bool Close(std::string* /*error*/) override { return true; }
  // Nothing is queued ahead in the page; the song's first frames are
  // written by the next callback, and the clock waits until they are heard.
  void DropQueued() override {
    veyrith_page_song_starts();
    recording_ = record_limit_ > 0;
  }
  bool MayFallSilent() const override { return true; }

  // One block for the callback: left plane, then right plane.
  float* Pull(int frames) {
    requested_ = std::clamp(frames, 0, kMaxBlockFrames);
    written_ = 0;
    PumpWebAudioPlayer();
    std::fill(planes_.begin() + written_, planes_.begin() + kMaxBlockFrames, 0.0f);
    std::fill(planes_.begin() + kMaxBlockFrames + written_, planes_.end(), 0.0f);
    requested_ = written_ = 0;
    return planes_.data();
  }

  // Keeps the first frames of the song as written, for the page's check that
  // it plays what the offline renderer makes.
  void RecordSong(int frames) {
    record_limit_ = frames;
    recorded_.clear();
  }
  const std::vector<int16_t>& recorded() const { return recorded_; }

 private:
  void Record(const int16_t* frame) {
    if (!recording_) return;
    if (static_cast<int>(recorded_.size()) >= record_limit_ * channels_) {
      recording_ = false;
      return;
    }
    recorded_.insert(recorded_.end(), frame, frame + channels_);
  }

  int channels_;
  int requested_ = 0;
  int written_ = 0;
  std::vector<float> planes_;
  int record_limit_ = 0;
  bool recording_ = false;
  std::vector<int16_t> recorded_;
};

int pending_record_frames = 0;

}  // namespace

std::unique_ptr<SoundOutput> OpenSdlOutput(const SoundFormat& format, int /*buffer_length_ms*/,
                                           std::string* /*error*/) {
  auto output = std::make_unique<WebAudioOutput>(format);
  output->RecordSong(pending_record_frames);
  return output;
}

// The page's audio callback: frames of sound as two planes of floats, or
// null when no sound output is open (the page plays silence).
extern "C" EMSCRIPTEN_KEEPALIVE float* veyrith_audio_pull(int frames) {
  if (active_output == nullptr) return nullptr;
  return active_output->Pull(frames);
}

// Asks the next output opened to keep the song's first frames.
extern "C" EMSCRIPTEN_KEEPALIVE void veyrith_audio_record(int frames) {
  pending_record_frames = std::max(0, frames);
}

// The kept frames (interleaved, as mixed) and their count of samples.
extern "C" EMSCRIPTEN_KEEPALIVE const int16_t* veyrith_audio_recorded(int* samples) {
  if (active_output == nullptr) {
    *samples = 0;
    return nullptr;
  }
  *samples = static_cast<int>(active_output->recorded().size());
  return active_output->recorded().data();
}
