// The software sound device: device operations and the mixing loop.
//
// Levels: every sample value is taken at 16-bit scale (8-bit data times
// 256). A voice's gains are volume (0..64) x (64 -/+ panning), so 0..8192
// per side; a value, times 2^14 when interpolated, times its gain is summed
// into a 64-bit accumulator, which no number of voices can overflow. The
// sum is shifted down by kOutputShift (plus the 16-bit scale and the
// interpolation's fraction bits) and saturated to 16 bits. Only the final
// shift rounds, so opposite-phase voices cancel exactly. One channel at
// volume 64 in the centre thus reaches a quarter of full scale, leaving
// headroom for the other channels. Surround plays the right side in
// opposite phase.
//
// Ramps: a voice's level moves to its target gains over ramp_frames_ output
// frames, one step per frame; those frames go through MixFrame, the rest
// through the unrolled runs of MixRun.
#include "music/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "music/module.h"
#include "music/music_errors.h"

namespace {

constexpr int kChunkFrames = 512;  // accumulator size in frames
constexpr int kOutputShift = 6;
constexpr int kSampleScaleBits = 8;  // 8-bit values to 16-bit scale
constexpr int kFractionBits = 32;
constexpr int kInterpolationBits = 14;
constexpr int kRampBits = 16;  // fraction bits of a ramping level
constexpr int64_t kOneFrame = int64_t{1} << kFractionBits;
// A filtered value stays far inside this even at full resonance; the bound
// keeps the products with the gains inside 64 bits whatever happens.
constexpr double kFilterLimit = double(int64_t{1} << 40);

inline int32_t Scaled(int8_t value) {
  return value * (1 << kSampleScaleBits);
}
inline int32_t Scaled(int16_t value) {
  return value;
}

inline int32_t Blend(int32_t s0, int32_t s1, int32_t fraction) {
  return s0 * (1 << kInterpolationBits) + (s1 - s0) * fraction;
}

inline int32_t FractionOf(int64_t position) {
  return static_cast<int32_t>((position >> (kFractionBits - kInterpolationBits)) &
                              ((1 << kInterpolationBits) - 1));
}

// One run of frames that stay inside the sample data (the caller cuts the
// run there), at fixed gains; step is negative for a ping-pong voice moving
// back.
template <typename T, int kChannels, bool kStereoOut, bool kInterpolate>
void MixRun(const void* samples, int64_t& position, int64_t step, int32_t gain_left,
            int32_t gain_right, int64_t* accumulator, int frames) {
  const T* __restrict data = static_cast<const T*>(samples);
  int64_t at = position;
#pragma GCC unroll 4
  for (int i = 0; i < frames; ++i) {
    const auto index = static_cast<size_t>(at >> kFractionBits) * kChannels;
    int32_t left;
    int32_t right;
    if constexpr (kInterpolate) {
      const int32_t fraction = FractionOf(at);
      left = Blend(Scaled(data[index]), Scaled(data[index + kChannels]), fraction);
      right = kChannels == 2
                  ? Blend(Scaled(data[index + 1]), Scaled(data[index + 1 + kChannels]), fraction)
                  : left;
    } else {
      left = Scaled(data[index]);
      right = kChannels == 2 ? Scaled(data[index + 1]) : left;
    }
    if constexpr (kStereoOut) {
      accumulator[2 * i] += int64_t{left} * gain_left;
      accumulator[2 * i + 1] += int64_t{right} * gain_right;
    } else if constexpr (kChannels == 2) {
      accumulator[i] += ((int64_t{left} + right) * gain_left) >> 1;
    } else {
      accumulator[i] += int64_t{left} * gain_left;
    }
    at += step;
  }
  position = at;
}

using MixRunFunction = void (*)(const void*, int64_t&, int64_t, int32_t, int32_t, int64_t*, int);

template <typename T, int kChannels>
MixRunFunction SelectRunFor(bool stereo_out, bool interpolate) {
  if (stereo_out) {
    return interpolate ? MixRun<T, kChannels, true, true> : MixRun<T, kChannels, true, false>;
  }
  return interpolate ? MixRun<T, kChannels, false, true> : MixRun<T, kChannels, false, false>;
}

MixRunFunction SelectRun(bool sixteen_bit, int channels, bool stereo_out, bool interpolate) {
  if (sixteen_bit) {
    return channels == 2 ? SelectRunFor<int16_t, 2>(stereo_out, interpolate)
                         : SelectRunFor<int16_t, 1>(stereo_out, interpolate);
  }
  return channels == 2 ? SelectRunFor<int8_t, 2>(stereo_out, interpolate)
                       : SelectRunFor<int8_t, 1>(stereo_out, interpolate);
}

}  // namespace

Mixer::Mixer() : accumulator_(2 * kChunkFrames) {
  Configure(44100, kMixerStereo, 0);
}

int Mixer::Configure(int mixing_rate_hz, int output_mode, int interpolate) {
  if (mixing_rate_hz < 1000 || mixing_rate_hz > 192000) return kMusicInvalidArgument;
  if (output_mode != kMixerMono && output_mode != kMixerStereo) return kMusicInvalidArgument;
  mixing_rate_hz_ = mixing_rate_hz;
  output_mode_ = output_mode;
  interpolate_ = interpolate != 0 ? 1 : 0;
  ramp_frames_ = mixing_rate_hz / 1000;
  for (Voice& voice : voices_) {
    voice = Voice{};
    UpdateGains(voice);
  }
  update_rate_ = kMixerDefaultUpdateRate;
  SetUpdateRate(update_rate_);
  frames_until_tick_ = 0;
  return kMusicOk;
}

void Mixer::SetRampFrames(int frames) {
  ramp_frames_ = std::clamp(frames, 0, 1 << 16);
}

int Mixer::SetUpdateRate(uint32_t rate) {
  if (rate == 0) return kMusicInvalidArgument;
  update_rate_ = rate;
  const uint64_t spacing = uint64_t{static_cast<uint32_t>(mixing_rate_hz_)} * 100 / rate + 1;
  tick_spacing_frames_ = static_cast<int>(std::clamp<uint64_t>(spacing & ~uint64_t{1}, 2, 1 << 24));
  return kMusicOk;
}

int Mixer::SetSample(int channel, const ModuleSample* sample) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  voices_[channel].selected = sample;
  return kMusicOk;
}

int Mixer::PlaySound(int channel, uint32_t rate_hz) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  Voice& voice = voices_[channel];
  FadeOut(voice);
  const ModuleSample* sample = voice.selected;
  voice.sample = sample;
  voice.playing = false;
  voice.data8 = nullptr;
  voice.data16 = nullptr;
  if (sample == nullptr || (sample->data == nullptr && sample->data16 == nullptr) ||
      sample->length == 0) {
    return kMusicOk;
  }
  voice.data8 = sample->data16 == nullptr ? sample->data : nullptr;
  voice.data16 = sample->data16;
  voice.channels = sample->channels == 2 ? 2 : 1;
  SelectLoop(voice, *sample, true);
  voice.position = 0;
  voice.backwards = false;
  voice.rate_hz = rate_hz;
  UpdateStep(voice);
  // A rate of 0 has no pitch: the channel stays silent.
  voice.playing = rate_hz != 0;
  for (double* side : voice.filter_history) side[0] = side[1] = 0;
  voice.level_left = 0;
  voice.level_right = 0;
  StartRamp(voice);
  return kMusicOk;
}

int Mixer::StopSound(int channel) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  FadeOut(voices_[channel]);
  voices_[channel].playing = false;
  return kMusicOk;
}

int Mixer::ReleaseSound(int channel) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  Voice& voice = voices_[channel];
  if (!voice.sustained || voice.sample == nullptr) return kMusicOk;
  SelectLoop(voice, *voice.sample, false);
  // A forward loop (or none) goes on forwards from where the sound stands.
  if (!voice.ping_pong) voice.backwards = false;
  return kMusicOk;
}

void Mixer::SelectLoop(Voice& voice, const ModuleSample& sample, bool sustain) {
  // A loop counts only when it lies inside the sample and is not empty.
  const uint32_t sustain_end = std::min(sample.sustain_end, sample.length);
  voice.sustained =
      sustain && sample.sustain_mode != kLoopNone && sample.sustain_start < sustain_end;
  const uint8_t mode = voice.sustained ? sample.sustain_mode : sample.loop_mode;
  const uint32_t start = voice.sustained ? sample.sustain_start : sample.loop_start;
  const uint32_t end = voice.sustained ? sustain_end : std::min(sample.loop_end, sample.length);
  const bool looping = mode != kLoopNone && start < end;
  voice.length = looping ? end : sample.length;
  voice.loop_start = looping ? start : 0;
  voice.loop_end = looping ? end : 0;
  voice.ping_pong = looping && mode == kLoopPingPong;
}

int Mixer::SetPosition(int channel, uint32_t offset) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  Voice& voice = voices_[channel];
  if (voice.data8 == nullptr && voice.data16 == nullptr) return kMusicOk;
  FadeOut(voice);
  // Past the end the sample stops rather than reading outside its data.
  if (offset >= voice.length) {
    voice.playing = false;
    return kMusicOk;
  }
  voice.position = int64_t{offset} << kFractionBits;
  voice.backwards = false;
  voice.playing = voice.rate_hz != 0;
  voice.level_left = 0;
  voice.level_right = 0;
  StartRamp(voice);
  return kMusicOk;
}

int Mixer::SetRate(int channel, uint32_t rate_hz) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  if (rate_hz == 0) return kMusicOk;  // no pitch: keep the last one
  voices_[channel].rate_hz = rate_hz;
  UpdateStep(voices_[channel]);
  return kMusicOk;
}

int Mixer::SetVolume(int channel, int volume) {
  if (!ValidChannel(channel) || volume < 0 || volume > 64) return kMusicInvalidArgument;
  Voice& voice = voices_[channel];
  if (voice.volume == volume) return kMusicOk;
  voice.volume = volume;
  UpdateGains(voice);
  StartRamp(voice);
  return kMusicOk;
}

int Mixer::SetPanning(int channel, int panning) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  if (panning != kMixerPanSurround && (panning < -64 || panning > 64)) return kMusicInvalidArgument;
  Voice& voice = voices_[channel];
  if (voice.panning == panning) return kMusicOk;
  voice.panning = panning;
  UpdateGains(voice);
  StartRamp(voice);
  return kMusicOk;
}

// The two-pole resonant low-pass of the "IMPM" tracker, from its public
// description: the cutoff sets the corner frequency 110 x 2^(0.25 + cutoff /
// 24) Hz, the resonance a damping of -24/128 dB a step; the coefficients keep
// a gain of 1 at 0 Hz.
int Mixer::SetFilter(int channel, int cutoff, int resonance) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  cutoff = std::clamp(cutoff, 0, 127);
  resonance = std::clamp(resonance, 0, 127);
  Voice& voice = voices_[channel];
  if (voice.filter_cutoff == cutoff && voice.filter_resonance == resonance) return kMusicOk;
  voice.filter_cutoff = cutoff;
  voice.filter_resonance = resonance;
  const bool was_filtered = voice.filtered;
  voice.filtered = cutoff < 127 || resonance > 0;
  if (!voice.filtered) return kMusicOk;
  // A filter switched on starts from silence; one that moves keeps its past.
  if (!was_filtered) {
    for (double* side : voice.filter_history) side[0] = side[1] = 0;
  }
  constexpr double kPi = 3.14159265358979323846;
  const double rate = mixing_rate_hz_;
  const double frequency = std::min(110.0 * std::exp2(0.25 + cutoff / 24.0), rate / 2);
  const double w = 2 * kPi * frequency / rate;
  const double damping = std::pow(10.0, -(24.0 / 128.0) * resonance / 20.0);
  const double d = (2 * damping - std::min((1 - 2 * damping) * w, 2.0)) / w;
  const double e = 1 / (w * w);
  voice.filter_a = 1 / (1 + d + e);
  voice.filter_b = (d + 2 * e) / (1 + d + e);
  voice.filter_c = -e / (1 + d + e);
  return kMusicOk;
}

int64_t Mixer::Filter(Voice& voice, int side, int64_t value) {
  double* history = voice.filter_history[side];
  // In floating point: a recursion this close to its poles would, in
  // integers, hold on to offsets hundreds of times its rounding step.
  const double output = std::clamp(
      voice.filter_a * double(value) + voice.filter_b * history[0] + voice.filter_c * history[1],
      -kFilterLimit, kFilterLimit);
  history[1] = history[0];
  history[0] = output;
  return static_cast<int64_t>(output >= 0 ? output + 0.5 : output - 0.5);
}

int Mixer::channel_playing(int channel) const {
  return ValidChannel(channel) && voices_[channel].playing ? 1 : 0;
}

int Mixer::channel_volume(int channel) const {
  return ValidChannel(channel) ? voices_[channel].volume : 0;
}

int Mixer::channel_panning(int channel) const {
  return ValidChannel(channel) ? voices_[channel].panning : 0;
}

uint32_t Mixer::channel_rate_hz(int channel) const {
  return ValidChannel(channel) ? voices_[channel].rate_hz : 0;
}

uint32_t Mixer::channel_position(int channel) const {
  return ValidChannel(channel) ? static_cast<uint32_t>(voices_[channel].position >> kFractionBits)
                               : 0;
}

int Mixer::channel_filter_cutoff(int channel) const {
  return ValidChannel(channel) && voices_[channel].filtered ? voices_[channel].filter_cutoff : 127;
}

int Mixer::active_voices() const {
  return static_cast<int>(std::count_if(std::begin(voices_), std::end(voices_),
                                        [](const Voice& voice) { return voice.playing; }));
}

void Mixer::UpdateGains(Voice& voice) const {
  if (output_mode_ == kMixerMono) {
    voice.gain_left = voice.volume * 64;
    voice.gain_right = voice.gain_left;
  } else if (voice.panning == kMixerPanSurround) {
    voice.gain_left = voice.volume * 64;
    voice.gain_right = -voice.volume * 64;
  } else {
    voice.gain_left = voice.volume * (64 - voice.panning);
    voice.gain_right = voice.volume * (64 + voice.panning);
  }
}

// A silent voice, or one with ramps switched off, takes its gains at once;
// a sounding one moves there over ramp_frames_ frames.
void Mixer::StartRamp(Voice& voice) const {
  const int32_t target_left = voice.gain_left * (1 << kRampBits);
  const int32_t target_right = voice.gain_right * (1 << kRampBits);
  if (!voice.playing || ramp_frames_ == 0) {
    voice.level_left = target_left;
    voice.level_right = target_right;
    voice.ramp_frames = 0;
    return;
  }
  voice.ramp_left = (target_left - voice.level_left) / ramp_frames_;
  voice.ramp_right = (target_right - voice.level_right) / ramp_frames_;
  voice.ramp_frames = ramp_frames_;
}

Mixer::Voice* Mixer::FreeBackgroundVoice(bool detached) {
  Voice* first = voices_ + kMixerMaxChannels + (detached ? 0 : kMixerDetachedVoices);
  Voice* last = detached ? first + kMixerDetachedVoices : std::end(voices_);
  Voice* free_voice =
      std::find_if(first, last, [](const Voice& v) { return !v.playing && !v.held; });
  return free_voice != last ? free_voice : nullptr;
}

int Mixer::DetachVoice(int channel) {
  if (!ValidChannel(channel) || !voices_[channel].playing) return -1;
  Voice* free_voice = FreeBackgroundVoice(true);
  if (free_voice == nullptr) return -1;
  *free_voice = voices_[channel];
  free_voice->held = true;
  free_voice->fading = false;
  voices_[channel].playing = false;
  return static_cast<int>(free_voice - voices_);
}

void Mixer::FreeVoice(int voice) {
  if (voice < kMixerMaxChannels || !ValidChannel(voice)) return;
  StopSound(voice);
  voices_[voice].held = false;
}

void Mixer::ForgetSamples(const ModuleSample* const* samples, int count) {
  for (Voice& voice : voices_) {
    for (int i = 0; i < count; ++i) {
      if (samples[i] == nullptr) continue;
      if (voice.sample == samples[i] || voice.selected == samples[i]) {
        voice.playing = false;
        voice.fading = false;
        voice.sample = nullptr;
        voice.selected = nullptr;
        break;
      }
    }
  }
}

void Mixer::FadeOut(Voice& voice) {
  if (!voice.playing || ramp_frames_ == 0 || voice.fading) return;
  if (voice.level_left == 0 && voice.level_right == 0) return;
  // No free background voice: the old sound stops at once, as without ramps.
  Voice* free_voice = FreeBackgroundVoice(false);
  if (free_voice == nullptr) return;
  *free_voice = voice;
  free_voice->held = false;
  free_voice->fading = true;
  free_voice->gain_left = 0;
  free_voice->gain_right = 0;
  StartRamp(*free_voice);
}

void Mixer::UpdateStep(Voice& voice) const {
  voice.step = (uint64_t{voice.rate_hz} << kFractionBits) / static_cast<uint32_t>(mixing_rate_hz_);
}

// Brings a voice that ran past its end (or, going back, past its loop
// start) into its loop. False when a sample without a loop has ended.
bool Mixer::KeepInside(Voice& voice) const {
  const int64_t end = int64_t{voice.length} << kFractionBits;
  const int64_t start = int64_t{voice.loop_start} << kFractionBits;
  if (!voice.backwards && voice.position >= 0 && voice.position < end) return true;
  if (voice.backwards && voice.position >= start && voice.position < end) return true;
  if (voice.loop_end == 0) return false;
  const int64_t loop_length = end - start;
  if (!voice.ping_pong) {
    voice.position = start + ((voice.position - start) % loop_length + loop_length) % loop_length;
    return true;
  }
  // Unfold the back-and-forth movement into one line of period twice the
  // loop, fold the position back into it and read off the direction.
  const int64_t period = 2 * loop_length;
  int64_t unfolded = voice.position - start;
  if (voice.backwards) unfolded = period - 1 - unfolded;
  unfolded = (unfolded % period + period) % period;
  voice.backwards = unfolded >= loop_length;
  voice.position = voice.backwards ? start + period - 1 - unfolded : start + unfolded;
  return true;
}

// One output frame of a voice with every bound checked: for the frames of a
// ramp and the last frame before a loop's end, whose neighbour for the
// interpolation is the loop start (forward) or itself (ping-pong, no loop).
void Mixer::MixFrame(Voice& voice, int64_t* accumulator) const {
  const auto index = static_cast<uint32_t>(voice.position >> kFractionBits);
  uint32_t next = index + 1;
  if (next >= voice.length)
    next = voice.loop_end != 0 && !voice.ping_pong ? voice.loop_start : index;
  const int channels = voice.channels;
  auto value = [&](uint32_t frame, int side) -> int32_t {
    const size_t at = size_t{frame} * static_cast<size_t>(channels) + static_cast<size_t>(side);
    return voice.data16 != nullptr ? Scaled(voice.data16[at]) : Scaled(voice.data8[at]);
  };
  int64_t left = value(index, 0);
  int64_t right = channels == 2 ? value(index, 1) : left;
  if (interpolate_) {
    const int32_t fraction = FractionOf(voice.position);
    left = Blend(static_cast<int32_t>(left), value(next, 0), fraction);
    right = channels == 2 ? Blend(static_cast<int32_t>(right), value(next, 1), fraction) : left;
  }
  if (voice.filtered) {
    left = Filter(voice, 0, left);
    right = channels == 2 ? Filter(voice, 1, right) : left;
  }
  const int32_t gain_left = voice.level_left >> kRampBits;
  const int32_t gain_right = voice.level_right >> kRampBits;
  if (output_mode_ == kMixerStereo) {
    accumulator[0] += left * gain_left;
    accumulator[1] += right * gain_right;
  } else {
    accumulator[0] += channels == 2 ? ((left + right) * gain_left) >> 1 : left * gain_left;
  }
  if (voice.ramp_frames > 0 && --voice.ramp_frames > 0) {
    voice.level_left += voice.ramp_left;
    voice.level_right += voice.ramp_right;
  } else {
    voice.level_left = voice.gain_left * (1 << kRampBits);
    voice.level_right = voice.gain_right * (1 << kRampBits);
  }
  const auto step = static_cast<int64_t>(voice.step);
  voice.position += voice.backwards ? -step : step;
}

// Mixes one voice over frames output frames, wrapping its loop or ending it.
// Each run is cut where the sample (or, interpolating, the last frame that
// has a successor) ends, so the inner loop needs no bounds check.
void Mixer::MixVoice(Voice& voice, int64_t* accumulator, int frames) const {
  const bool stereo = output_mode_ == kMixerStereo;
  const int frame_values = stereo ? 2 : 1;
  const MixRunFunction run =
      SelectRun(voice.data16 != nullptr, voice.channels, stereo, interpolate_ != 0);
  const void* data = voice.data16 != nullptr ? static_cast<const void*>(voice.data16)
                                             : static_cast<const void*>(voice.data8);
  const int64_t end = int64_t{voice.length} << kFractionBits;
  const int64_t last_pair = end - kOneFrame;  // interpolation reads the frame after
  const auto step = static_cast<int64_t>(voice.step);
  while (frames > 0) {
    if (!KeepInside(voice)) {
      voice.playing = false;
      return;
    }
    // Filtered voices go frame by frame: the filter carries its state from
    // one frame to the next.
    if (voice.ramp_frames > 0 || voice.filtered || (interpolate_ && voice.position >= last_pair)) {
      MixFrame(voice, accumulator);
      accumulator += frame_values;
      --frames;
      if (voice.fading && voice.ramp_frames == 0) {
        voice.playing = false;
        return;
      }
      continue;
    }
    int64_t available;
    if (voice.backwards) {
      available = (voice.position - (int64_t{voice.loop_start} << kFractionBits)) / step + 1;
    } else {
      const int64_t run_end = interpolate_ ? last_pair : end;
      available = (run_end - voice.position + step - 1) / step;
    }
    const int count = static_cast<int>(std::min<int64_t>(available, frames));
    const int64_t signed_step = voice.backwards ? -step : step;
    if (voice.gain_left == 0 && voice.gain_right == 0) {
      voice.position += signed_step * count;  // (a filtered voice never comes here)
    } else {
      run(data, voice.position, signed_step, voice.gain_left, voice.gain_right, accumulator, count);
    }
    accumulator += count * frame_values;
    frames -= count;
  }
  // Leave the position inside the sample (or its loop) between renders.
  if (!KeepInside(voice)) voice.playing = false;
}

void Mixer::MixChunk(int frames) {
  const int values = frames * (output_mode_ == kMixerStereo ? 2 : 1);
  std::memset(accumulator_.data(), 0, sizeof(int64_t) * static_cast<size_t>(values));
  for (Voice& voice : voices_) {
    if (voice.playing && voice.step != 0) MixVoice(voice, accumulator_.data(), frames);
  }
}

int Mixer::Render(int16_t* out, int frames, TickFunction tick, void* context, int* mixed_frames) {
  const int frame_values = output_mode_ == kMixerStereo ? 2 : 1;
  int done = 0;
  while (done < frames) {
    if (frames_until_tick_ <= 0) {
      const int code = tick != nullptr ? tick(context) : kMusicOk;
      if (code != kMusicOk) {
        if (mixed_frames != nullptr) *mixed_frames = done;
        std::memset(out + done * frame_values, 0,
                    sizeof(int16_t) * static_cast<size_t>((frames - done) * frame_values));
        return code;
      }
      frames_until_tick_ = tick_spacing_frames_;
    }
    const int count = std::min({frames - done, frames_until_tick_, kChunkFrames});
    MixChunk(count);
    int16_t* target = out + done * frame_values;
    const int shift = kOutputShift + kSampleScaleBits + (interpolate_ ? kInterpolationBits : 0);
    const int values = count * frame_values;
    for (int i = 0; i < values; ++i) {
      const int64_t level = accumulator_[static_cast<size_t>(i)] >> shift;
      target[i] = static_cast<int16_t>(std::clamp<int64_t>(level, -32768, 32767));
    }
    done += count;
    frames_until_tick_ -= count;
  }
  if (mixed_frames != nullptr) *mixed_frames = done;
  return kMusicOk;
}
