// The software sound device: mixes up to 32 channels of 8- or 16-bit, mono
// or stereo samples (forward and ping-pong loops) into 16-bit output and
// asks the player for a tick at the spacing that the song's tempo sets.
//
// No voice clicks: a start, a volume or panning change ramps the level over
// about a millisecond, and a cut, a restart or a new note hands the sound
// that was playing to a background voice that fades it out meanwhile.
//
// The player drives it through the device operations (SetUpdateRate,
// SetSample, PlaySound, StopSound, SetPosition, SetRate, SetVolume,
// SetPanning); each returns 0 or a music error code. A sound output pulls
// samples with Render, which calls the tick function at every tick boundary:
//
//   Mixer mixer;
//   mixer.Configure(44100, kMixerStereo, 0);
//   PlayerSetDevice(&mixer);                       // player.h
//   PlayerStart(module, nullptr, 0, &state);
//   int code = mixer.Render(buffer, frames, [](void*) { return PlayerTick(); }, nullptr);
//
// Render keeps the fractional position and the frames left until the next
// tick between calls, so any buffer size gives the same samples. Render and
// the device operations must not run at the same time on two threads (the
// music system calls both inside its critical section). Render allocates,
// locks and logs nothing.
#pragma once

#include <cstdint>
#include <vector>

struct ModuleSample;

// Output modes as the setup dialog numbers them.
constexpr int kMixerMono = 9;
constexpr int kMixerStereo = 10;
constexpr int kMixerMaxChannels = 32;
// Voices: one per channel, then the voices that DetachVoice hands out (notes
// that go on beside their channel's next one), then the short fade-outs of
// cut or restarted sounds. The two pools are apart, so that however many
// notes go on, a cut always finds a voice to fade out on and never clicks.
constexpr int kMixerDetachedVoices = 64;
constexpr int kMixerFadeVoices = 64;
constexpr int kMixerMaxVoices = kMixerMaxChannels + kMixerDetachedVoices + kMixerFadeVoices;
constexpr int kMixerPanSurround = 128;
// Update rate before the first SetUpdateRate: 50 ticks per second.
constexpr uint32_t kMixerDefaultUpdateRate = 5000;

// Called at each tick boundary; returns 0 or an error code that stops Render.
using TickFunction = int (*)(void* context);

class Mixer {
 public:
  Mixer();

  // mixing_rate_hz 1000..192000, output_mode kMixerMono or kMixerStereo,
  // interpolate 0 (sample and hold) or 1 (linear). Stops every channel.
  int Configure(int mixing_rate_hz, int output_mode, int interpolate);

  // rate in hundredths of a hertz (tempo x 40); must be above 0.
  int SetUpdateRate(uint32_t rate);
  // Selects the sample the next PlaySound starts; null selects none. The
  // sample must stay alive while the channel plays it.
  int SetSample(int channel, const ModuleSample* sample);
  // Starts the selected sample from its beginning at rate_hz.
  int PlaySound(int channel, uint32_t rate_hz);
  int StopSound(int channel);
  // The key is released: a sample playing its sustain loop goes on to its
  // own loop (or to its end without one). Nothing else changes.
  int ReleaseSound(int channel);
  // Moves the playing position (in sample frames) of the channel's last
  // started sample, restarting it if it had run out; at or past the sample's
  // end the channel falls silent.
  int SetPosition(int channel, uint32_t offset);
  int SetRate(int channel, uint32_t rate_hz);
  int SetVolume(int channel, int volume);    // 0..64
  int SetPanning(int channel, int panning);  // -64..64, or kMixerPanSurround
  // The channel's resonant low-pass filter: cutoff 0..127 (about 130 Hz to
  // 5 kHz, a quarter octave every 6 steps), resonance 0..127. Cutoff 127
  // without resonance switches the filter off.
  int SetFilter(int channel, int cutoff, int resonance);

  // Moves what the channel plays, as it sounds, to a free background voice
  // kept for the caller (a note that goes on beside the channel's next one):
  // returns the voice's number (kMixerMaxChannels and above), which every
  // device operation takes like a channel's until FreeVoice. -1 when the
  // channel plays nothing or no background voice is free. The channel falls
  // silent without a fade.
  int DetachVoice(int channel);
  // Gives a detached voice back; it fades out if it still sounds.
  void FreeVoice(int voice);
  // Silences at once every voice that plays or has selected one of the
  // samples, fade-outs and detached voices included: their memory is about
  // to be freed, and a fade would read it for another millisecond.
  void ForgetSamples(const ModuleSample* const* samples, int count);

  // Frames over which level changes ramp (0: at once, for exact tests).
  // Configure sets about one millisecond.
  void SetRampFrames(int frames);

  // Fills frames output frames (interleaved left/right in stereo). Returns
  // 0, or the first non-zero code of tick (mixing stops there; the rest of
  // out is silence). *mixed_frames, when given, receives the frames mixed
  // before the stop (frames on success).
  int Render(int16_t* out, int frames, TickFunction tick, void* context,
             int* mixed_frames = nullptr);

  int mixing_rate_hz() const { return mixing_rate_hz_; }
  int output_mode() const { return output_mode_; }
  int interpolate() const { return interpolate_; }
  uint32_t update_rate() const { return update_rate_; }
  // Output frames between two ticks: rate x 100 / update rate + 1, rounded
  // down to an even number.
  int tick_spacing_frames() const { return tick_spacing_frames_; }
  // What a channel holds (tests and status displays); 0 for a bad channel.
  int channel_playing(int channel) const;  // 1 while its sample sounds
  int channel_volume(int channel) const;
  int channel_panning(int channel) const;
  uint32_t channel_rate_hz(int channel) const;
  uint32_t channel_position(int channel) const;  // whole frames into the sample
  int channel_filter_cutoff(int channel) const;  // 127 without a filter
  // Voices sounding now, background fades included.
  int active_voices() const;

 private:
  struct Voice {
    const ModuleSample* selected = nullptr;  // by SetSample
    const ModuleSample* sample = nullptr;    // started by PlaySound
    const int8_t* data8 = nullptr;           // one of the two, by the sample's depth
    const int16_t* data16 = nullptr;
    int channels = 1;  // values per frame
    uint32_t length = 0;
    uint32_t loop_start = 0;
    uint32_t loop_end = 0;  // 0 when not looping
    bool ping_pong = false;
    bool sustained = false;  // playing the sample's sustain loop until ReleaseSound
    bool backwards = false;  // ping-pong: moving towards the loop start
    int64_t position = 0;    // frames, 32.32 fixed point
    uint64_t step = 0;       // 32.32 frames per output frame
    uint32_t rate_hz = 0;
    int volume = 64;
    int panning = 0;
    int32_t gain_left = 0;  // target gains: volume x pan, see UpdateGains
    int32_t gain_right = 0;
    int32_t level_left = 0;  // gains now, with kRampBits fraction bits
    int32_t level_right = 0;
    int32_t ramp_left = 0;  // per-frame change while ramping
    int32_t ramp_right = 0;
    int ramp_frames = 0;  // frames of ramp left
    bool fading = false;  // a background voice: stops when its ramp ends
    bool held = false;    // a detached voice: the caller's until FreeVoice
    // The resonant filter: y = a x + b y1 + c y2, with the last two
    // outputs per side.
    bool filtered = false;
    int filter_cutoff = 127;
    int filter_resonance = 0;
    double filter_a = 0;
    double filter_b = 0;
    double filter_c = 0;
    double filter_history[2][2] = {};
    bool mixed = false;  // has sounded since it started (a change must ramp)
    bool playing = false;
  };

  bool ValidChannel(int channel) const {
    return (channel >= 0 && channel < kMixerMaxChannels) ||
           (channel >= kMixerMaxChannels && channel < kMixerMaxChannels + kMixerDetachedVoices &&
            voices_[channel].held);
  }
  // A free voice of the detached pool (detached true) or of the fade pool.
  Voice* FreeBackgroundVoice(bool detached);
  void UpdateGains(Voice& voice) const;
  void StartRamp(Voice& voice) const;
  void UpdateStep(Voice& voice) const;
  // Takes the sample's sustain loop (sustain true, when it has one) or its
  // own loop as the voice's loop.
  static void SelectLoop(Voice& voice, const ModuleSample& sample, bool sustain);
  // Hands what the channel plays to a background voice that fades it out.
  void FadeOut(Voice& voice);
  void MixChunk(int frames);
  void MixVoice(Voice& voice, int64_t* accumulator, int frames) const;
  void MixFrame(Voice& voice, int64_t* accumulator) const;
  static int64_t Filter(Voice& voice, int side, int64_t value);
  bool KeepInside(Voice& voice) const;

  int mixing_rate_hz_ = 44100;
  int output_mode_ = kMixerStereo;
  int interpolate_ = 0;
  int ramp_frames_ = 0;
  uint32_t update_rate_ = kMixerDefaultUpdateRate;
  int tick_spacing_frames_ = 0;
  int frames_until_tick_ = 0;
  Voice voices_[kMixerMaxVoices];     // channel c plays on voice c; then the two pools
  std::vector<int64_t> accumulator_;  // sized once by the constructor, 2 per frame
};
