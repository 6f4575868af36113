// The instrument and voice layer (see player_instruments.h).
//
// Per tick, for a channel with an instrument:
//   instrument volume = 64 x envelope/64 x fade x sample volume/64 x instrument volume/128
//   panning = own panning moved by the panning envelope, less near the sides
//   pitch = output period's rate moved by the pitch envelope and the automatic vibrato
// The channel's volume (the pattern's) stays apart: the device hears both
// multiplied (UpdateDevice in player.cpp).
#include "music/player_instruments.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "music/envelope.h"
#include "music/mixer.h"
#include "music/music_errors.h"
#include "music/pitch.h"
#include "music/player_commands.h"

namespace {

constexpr int kPitchStepsPerSemitone = 64;
constexpr uint8_t kPanningSurround = 0xA4;

bool Extended(const PlayState& state) {
  return state.module->rules == kRulesExtended;
}

EnvelopeRules RulesOf(const PlayState& state) {
  return Extended(state) ? EnvelopeRules::kExtended : EnvelopeRules::kImpulse;
}

const ModuleInstrument* ChannelInstrument(const PlayState& state, const PlayChannel& channel) {
  const Module& module = *state.module;
  if (channel.instrument < 0 || channel.instrument >= module.instrument_count) return nullptr;
  return module.instruments[channel.instrument];
}

bool EnvelopeOn(const ModuleEnvelope& envelope) {
  return (envelope.flags & kEnvelopeOn) != 0 && envelope.point_count > 0;
}

// A new note or instrument starts every envelope from its first point
// (unless it carries on from the last note), with the key down and no fade.
void Trigger(const ModuleInstrument& instrument, ChannelVoice& voice) {
  auto restart = [](const ModuleEnvelope& envelope, uint16_t& position) {
    if ((envelope.flags & kEnvelopeCarry) == 0) position = 0;
  };
  restart(instrument.volume_envelope, voice.volume_position);
  restart(instrument.panning_envelope, voice.panning_position);
  restart(instrument.pitch_envelope, voice.pitch_position);
  voice.released = 0;
  voice.fading = 0;
  voice.fade = kVoiceFadeFull;
  voice.vibrato_amplitude = 0;
  voice.vibrato_position = 0;
}

// The automatic vibrato's waveform at position (256 a period), -64..64:
// 0 sine, 1 square, 2 ramp up, 3 ramp down.
int VibratoWave(uint8_t type, uint8_t position) {
  switch (type) {
    case 1:
      return position < 128 ? 64 : -64;
    case 2:
      return ((position >> 1) + 64) % 128 - 64;
    case 3:
      return ((128 - (position >> 1)) + 64) % 128 - 64;
    default: {
      const int half = (kVibratoWave[(position >> 2) & 31] * 64 + 127) / 255;
      return position < 128 ? half : -half;
    }
  }
}

// The automatic vibrato's pitch offset this tick, in 1/64 semitones. Its
// depth grows over sweep ticks while the key is down.
int32_t AutoVibrato(ChannelVoice& voice) {
  const ModuleSample* sample = voice.sample;
  if (sample == nullptr || sample->vibrato_depth == 0) return 0;
  const uint32_t full = uint32_t{sample->vibrato_depth} << 8;
  if (sample->vibrato_sweep == 0) {
    voice.vibrato_amplitude = full;
  } else if (!voice.released) {
    voice.vibrato_amplitude =
        std::min(full, voice.vibrato_amplitude + full / sample->vibrato_sweep);
  }
  const int32_t wave = VibratoWave(sample->vibrato_type, voice.vibrato_position);
  voice.vibrato_position = static_cast<uint8_t>(voice.vibrato_position + sample->vibrato_rate);
  // A higher period is a lower pitch: the offset goes the other way.
  return -(wave * static_cast<int32_t>(voice.vibrato_amplitude)) / (1 << 14);
}

// The volume envelope's level this tick (0..64 << 8), moving it on.
int32_t VolumeEnvelopeStep(const PlayState& state, const ModuleEnvelope& envelope,
                           ChannelVoice& voice) {
  if (!EnvelopeOn(envelope)) return 64 << kEnvelopeValueBits;
  const bool held = voice.released == 0;
  const int32_t value = std::clamp<int32_t>(EnvelopeValue(envelope, voice.volume_position), 0,
                                            64 << kEnvelopeValueBits);
  // "IMPM" rules: a volume envelope that has run to its end fades the note.
  if (!Extended(state) && EnvelopeAtEnd(envelope, voice.volume_position, held)) voice.fading = 1;
  voice.volume_position =
      EnvelopeNextPosition(envelope, voice.volume_position, held, RulesOf(state));
  return value;
}

int32_t EnvelopeStep(const PlayState& state, const ModuleEnvelope& envelope, uint16_t& position,
                     bool held) {
  const int32_t value = EnvelopeValue(envelope, position);
  position = EnvelopeNextPosition(envelope, position, held, RulesOf(state));
  return value;
}

int UpdateVoice(PlayState& state, PlayChannel& channel) {
  const ModuleInstrument* instrument = ChannelInstrument(state, channel);
  ChannelVoice& voice = channel.voice;
  voice.pitch_offset = 0;
  if (instrument == nullptr) {
    channel.instrument_volume = 64;
    return kMusicOk;
  }
  const bool held = voice.released == 0;
  const int64_t envelope = VolumeEnvelopeStep(state, instrument->volume_envelope, voice);
  // The fade-out tells already on the tick of the release.
  if (voice.fading) voice.fade -= std::min<uint32_t>(voice.fade, instrument->fadeout);
  const int64_t sample_volume = voice.sample != nullptr ? voice.sample->global_volume : 64;
  // 64 x (envelope / 64 << 8) x (fade / 2^16) x (sample / 64) x (instrument / 128), rounded.
  const int64_t product = envelope * voice.fade * std::min<int64_t>(sample_volume, 64) *
                          std::min<int64_t>(instrument->global_volume, 128);
  constexpr int kShift = kEnvelopeValueBits + 16 + 6 + 7;
  channel.instrument_volume = static_cast<uint8_t>(
      std::min<int64_t>((product + (int64_t{1} << (kShift - 1))) >> kShift, 64));

  int code = kMusicOk;
  const ModuleEnvelope& panning_envelope = instrument->panning_envelope;
  if (EnvelopeOn(panning_envelope) && voice.panning != kPanningSurround) {
    // Values -32..32 move the panning towards a side, by as much as the
    // nearer side leaves room for.
    const int32_t value = EnvelopeStep(state, panning_envelope, voice.panning_position, held);
    const int32_t room = 64 - std::abs(voice.panning - 64);
    const int32_t panning = voice.panning + value * room / (32 << kEnvelopeValueBits);
    if (state.device != nullptr)
      code = state.device->SetPanning(channel.device_channel, std::clamp(panning - 64, -64, 64));
  }
  const ModuleEnvelope& pitch_envelope = instrument->pitch_envelope;
  if (EnvelopeOn(pitch_envelope) && (pitch_envelope.flags & kEnvelopeFilter) == 0) {
    // Values -32..32 are half semitones.
    const int32_t value = EnvelopeStep(state, pitch_envelope, voice.pitch_position, held);
    voice.pitch_offset += value * (kPitchStepsPerSemitone / 2) / (1 << kEnvelopeValueBits);
  }
  voice.pitch_offset += AutoVibrato(voice);
  return code;
}

}  // namespace

bool UsesInstruments(const PlayState& state) {
  return state.module->rules == kRulesExtended || state.module->rules == kRulesImpulse;
}

int ApplyInstrumentByte(PlayState& state, PlayChannel& channel) {
  if (!UsesInstruments(state)) return kMusicOk;
  const ModuleInstrument* instrument = ChannelInstrument(state, channel);
  if (instrument == nullptr) return kMusicOk;
  // Quirk ("Extended Module:"): the instrument byte, not the note, restarts
  // the envelopes, so a note without one goes on where they stand, and an
  // instrument byte alone (or with a tone portamento) restarts them under
  // the sounding note. A key off with an instrument byte only releases.
  if (Extended(state) && channel.note != kNoteKeyOff) Trigger(*instrument, channel.voice);
  const ModuleSample* sample = ChannelSample(state, channel);
  // The sample's panning, else the instrument's, else the channel keeps its own.
  int panning = sample != nullptr ? sample->panning : -1;
  if (panning < 0) panning = instrument->panning;
  if (panning < 0) return kMusicOk;
  return ApplyPanning(state, channel, (std::min(panning, 255) * 128 + 127) / 255);
}

uint8_t MappedNote(const PlayState& state, const PlayChannel& channel) {
  const ModuleInstrument* instrument = ChannelInstrument(state, channel);
  const uint8_t note = channel.note;
  if (!UsesInstruments(state) || instrument == nullptr || note >= kNoteKeyOff || (note & 15) > 11)
    return note;
  const int index = (note >> 4) * 12 + (note & 15);
  return index < kModuleNotes ? instrument->note_notes[index] : note;
}

void NoteStarted(PlayState& state, PlayChannel& channel, const ModuleSample* sample) {
  if (!UsesInstruments(state)) return;
  channel.voice.sample = sample;
  // "IMPM" rules: every note starts its envelopes afresh.
  const ModuleInstrument* instrument = ChannelInstrument(state, channel);
  if (!Extended(state) && instrument != nullptr) Trigger(*instrument, channel.voice);
}

int ReleaseKey(PlayState& state, PlayChannel& channel) {
  ChannelVoice& voice = channel.voice;
  voice.released = 1;
  int code = kMusicOk;
  if (state.device != nullptr) code = state.device->ReleaseSound(channel.device_channel);
  const ModuleInstrument* instrument = ChannelInstrument(state, channel);
  const bool envelope = instrument != nullptr && EnvelopeOn(instrument->volume_envelope);
  if (Extended(state)) {
    // Quirk: without a volume envelope a key off silences the note at once
    // (the note goes on at volume 0; a volume command brings it back).
    if (envelope) {
      voice.fading = 1;
    } else {
      ApplyVolume(state, channel, 0);
    }
  } else if (!envelope || (instrument->volume_envelope.flags & kEnvelopeLoop) != 0) {
    // "IMPM" rules: a looping or missing volume envelope would never end,
    // so the release fades at once; otherwise the envelope's end does.
    voice.fading = 1;
  }
  return code;
}

int UpdateInstrumentVoices(PlayState& state) {
  if (!UsesInstruments(state)) return kMusicOk;
  for (int32_t i = 0; i < state.channel_count; ++i) {
    const int code = UpdateVoice(state, state.channels[i]);
    if (code != kMusicOk) return code;
  }
  return kMusicOk;
}

uint32_t ChannelRateHz(const PlayState& state, const PlayChannel& channel) {
  const uint32_t rate = PeriodToRateHz(channel.output_period);
  if (channel.voice.pitch_offset == 0 || !UsesInstruments(state)) return rate;
  const double factor = std::exp2(channel.voice.pitch_offset / double(12 * kPitchStepsPerSemitone));
  return static_cast<uint32_t>(std::lround(rate * factor));
}
