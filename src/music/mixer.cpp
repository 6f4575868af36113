// The software sound device: device operations and the mixing loop.
//
// Levels: a voice's gains are volume (0..64) x (64 -/+ panning), so 0..8192
// per side; a sample frame (-128..127), times 64 when interpolated, times its
// gain is summed into a 32-bit accumulator: at most 2^26 per channel, so even
// 32 channels at full scale cannot overflow it. The sum is shifted down by
// kOutputShift (plus the interpolation's fraction bits) and saturated to 16
// bits. Only the final shift rounds, so
// opposite-phase channels cancel exactly.
// One channel at volume 64 in the centre thus reaches a quarter of full scale,
// leaving headroom for the other channels. Surround plays the right side in
// opposite phase.
#include "music/mixer.h"

#include <algorithm>
#include <cstring>

#include "music/module.h"
#include "music/music_errors.h"

namespace {

constexpr int kChunkFrames = 512;  // accumulator size in frames
constexpr int kOutputShift = 6;
constexpr int kFractionBits = 32;
constexpr int kInterpolationBits = 6;  // plenty between two 8-bit sample frames

template <bool kStereo, bool kInterpolate>
void MixRun(const int8_t* __restrict data, uint64_t& position, uint64_t step, int32_t gain_left,
            int32_t gain_right, int32_t* accumulator, int frames) {
  uint64_t at = position;
  // Unrolled: the loop body is short and the run's length unknown.
#pragma GCC unroll 4
  for (int i = 0; i < frames; ++i) {
    const uint32_t index = static_cast<uint32_t>(at >> kFractionBits);
    int32_t left;
    int32_t right;
    if constexpr (kInterpolate) {
      const int32_t s0 = data[index];
      const auto fraction = static_cast<int32_t>((at >> (kFractionBits - kInterpolationBits)) &
                                                 ((1 << kInterpolationBits) - 1));
      const int32_t value = s0 * (1 << kInterpolationBits) + (data[index + 1] - s0) * fraction;
      left = value * gain_left;
      right = value * gain_right;
    } else {
      const int32_t value = data[index];
      left = value * gain_left;
      right = value * gain_right;
    }
    if constexpr (kStereo) {
      accumulator[2 * i] += left;
      accumulator[2 * i + 1] += right;
    } else {
      accumulator[i] += left;
    }
    at += step;
  }
  position = at;
}

using MixRunFunction = void (*)(const int8_t*, uint64_t&, uint64_t, int32_t, int32_t, int32_t*,
                                int);

MixRunFunction SelectRun(bool stereo, bool interpolate) {
  if (stereo) return interpolate ? MixRun<true, true> : MixRun<true, false>;
  return interpolate ? MixRun<false, true> : MixRun<false, false>;
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
  for (Voice& voice : voices_) {
    voice = Voice{};
    UpdateGains(voice);
  }
  update_rate_ = kMixerDefaultUpdateRate;
  SetUpdateRate(update_rate_);
  frames_until_tick_ = 0;
  return kMusicOk;
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
  const ModuleSample* sample = voice.selected;
  voice.sample = sample;
  voice.playing = false;
  voice.data = nullptr;
  if (sample == nullptr || sample->data == nullptr || sample->length == 0) return kMusicOk;
  voice.data = sample->data;
  voice.length = sample->length;
  // A loop counts only when it lies inside the sample and is not empty.
  const uint32_t loop_end = std::min(sample->loop_end, sample->length);
  const bool looping = sample->loop_mode != 0 && sample->loop_start < loop_end;
  voice.loop_start = looping ? sample->loop_start : 0;
  voice.loop_end = looping ? loop_end : 0;
  if (looping) voice.length = loop_end;
  voice.position = 0;
  voice.rate_hz = rate_hz;
  UpdateStep(voice);
  // A rate of 0 has no pitch: the channel stays silent.
  voice.playing = rate_hz != 0;
  return kMusicOk;
}

int Mixer::StopSound(int channel) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  voices_[channel].playing = false;
  return kMusicOk;
}

int Mixer::SetPosition(int channel, uint32_t offset) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  Voice& voice = voices_[channel];
  if (voice.data == nullptr) return kMusicOk;
  // Past the end the sample stops rather than reading outside its data.
  if (offset >= voice.length) {
    voice.playing = false;
    return kMusicOk;
  }
  voice.position = uint64_t{offset} << kFractionBits;
  voice.playing = voice.rate_hz != 0;
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
  voices_[channel].volume = volume;
  UpdateGains(voices_[channel]);
  return kMusicOk;
}

int Mixer::SetPanning(int channel, int panning) {
  if (!ValidChannel(channel)) return kMusicInvalidArgument;
  if (panning != kMixerPanSurround && (panning < -64 || panning > 64)) return kMusicInvalidArgument;
  voices_[channel].panning = panning;
  UpdateGains(voices_[channel]);
  return kMusicOk;
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

void Mixer::UpdateStep(Voice& voice) const {
  voice.step = (uint64_t{voice.rate_hz} << kFractionBits) / static_cast<uint32_t>(mixing_rate_hz_);
}

// Mixes one voice over frames output frames, wrapping its loop or ending it.
// Each run is cut where the sample (or, interpolating, the last frame that
// has a successor) ends, so the inner loop needs no bounds check.
void Mixer::MixVoice(Voice& voice, int32_t* accumulator, int frames) const {
  const bool stereo = output_mode_ == kMixerStereo;
  const int frame_values = stereo ? 2 : 1;
  const MixRunFunction run = SelectRun(stereo, interpolate_ != 0);
  const bool silent = voice.gain_left == 0 && voice.gain_right == 0;
  const uint64_t end = uint64_t{voice.length} << kFractionBits;
  while (frames > 0) {
    if (voice.position >= end) {
      if (voice.loop_end == 0) {
        voice.playing = false;
        return;
      }
      const uint64_t loop_start = uint64_t{voice.loop_start} << kFractionBits;
      const uint64_t loop_length = end - loop_start;
      voice.position = loop_start + (voice.position - loop_start) % loop_length;
    }
    const uint32_t index = static_cast<uint32_t>(voice.position >> kFractionBits);
    if (interpolate_ && !silent && index + 1 >= voice.length) {
      // The last frame before the end blends towards the loop start, or
      // holds its value when the sample ends, so the wrap makes no click.
      const int32_t s0 = voice.data[index];
      const int32_t s1 = voice.loop_end != 0 ? voice.data[voice.loop_start] : s0;
      const auto fraction =
          static_cast<int32_t>((voice.position >> (kFractionBits - kInterpolationBits)) &
                               ((1 << kInterpolationBits) - 1));
      const int32_t value = s0 * (1 << kInterpolationBits) + (s1 - s0) * fraction;
      accumulator[0] += value * voice.gain_left;
      if (stereo) accumulator[1] += value * voice.gain_right;
      accumulator += frame_values;
      voice.position += voice.step;
      --frames;
      continue;
    }
    const uint64_t run_end = interpolate_ && !silent ? end - (uint64_t{1} << kFractionBits) : end;
    const uint64_t frames_to_end = (run_end - voice.position + voice.step - 1) / voice.step;
    const int count =
        static_cast<int>(std::min<uint64_t>(frames_to_end, static_cast<uint64_t>(frames)));
    if (silent) {
      voice.position += voice.step * static_cast<uint64_t>(count);
    } else {
      run(voice.data, voice.position, voice.step, voice.gain_left, voice.gain_right, accumulator,
          count);
    }
    accumulator += count * frame_values;
    frames -= count;
  }
  // Leave the position inside the sample (or its loop) between renders.
  if (voice.position >= end) {
    if (voice.loop_end == 0) {
      voice.playing = false;
    } else {
      const uint64_t loop_start = uint64_t{voice.loop_start} << kFractionBits;
      voice.position = loop_start + (voice.position - loop_start) % (end - loop_start);
    }
  }
}

void Mixer::MixChunk(int frames) {
  const int values = frames * (output_mode_ == kMixerStereo ? 2 : 1);
  std::memset(accumulator_.data(), 0, sizeof(int32_t) * static_cast<size_t>(values));
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
    const int shift = kOutputShift + (interpolate_ ? kInterpolationBits : 0);
    const int values = count * frame_values;
    for (int i = 0; i < values; ++i) {
      const int32_t level = accumulator_[static_cast<size_t>(i)] >> shift;
      target[i] = static_cast<int16_t>(std::clamp(level, -32768, 32767));
    }
    done += count;
    frames_until_tick_ -= count;
  }
  if (mixed_frames != nullptr) *mixed_frames = done;
  return kMusicOk;
}
