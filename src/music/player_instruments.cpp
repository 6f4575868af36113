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
#include <numbers>

#include "music/envelope.h"
#include "music/mixer.h"
#include "music/music_errors.h"
#include "music/pitch.h"
#include "music/player_commands.h"
#include "music/player_new_notes.h"

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
  return InstrumentAt(state, channel.instrument);
}

// An envelope plays when it has points and is switched on, by the
// instrument or by a command on the channel, and no command switched it off.
bool EnvelopeActive(const ModuleEnvelope& envelope, const ChannelVoice& voice, uint8_t which) {
  const bool on = (envelope.flags & kEnvelopeOn) != 0 || (voice.envelopes_on & which) != 0;
  return envelope.point_count > 0 && on && (voice.envelopes_off & which) == 0;
}

// A new note or instrument starts every envelope from its first point
// (unless it carries on from the last note: may_carry, a note of the same
// instrument), with the key down and no fade.
void Trigger(const ModuleInstrument& instrument, ChannelVoice& voice, bool may_carry) {
  auto restart = [may_carry](const ModuleEnvelope& envelope, uint16_t& position) {
    if (!may_carry || (envelope.flags & kEnvelopeCarry) == 0) position = 0;
  };
  restart(instrument.volume_envelope, voice.volume_position);
  restart(instrument.panning_envelope, voice.panning_position);
  restart(instrument.pitch_envelope, voice.pitch_position);
  voice.released = 0;
  voice.fading = 0;
  voice.ended_silent = 0;
  voice.fade = kVoiceFadeFull;
  voice.vibrato_amplitude = 0;
  voice.vibrato_position = 0;
  voice.envelopes_on = 0;
  voice.envelopes_off = 0;
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

// The "IMPM" rules' automatic vibrato waveform at position (256 a period)
// as a pitch offset, -64..64 (up positive), after the tracker's tables: 0
// sine, 1 square (64 for the first half, then 0), 3 ramp down (64 to -64),
// 2 the ramp the other way, 4 random (a fixed scramble of the position).
int ImpulseVibratoWave(uint8_t type, uint8_t position) {
  switch (type) {
    case 1:
      return position < 128 ? 64 : 0;
    case 2:
      return ((position + 1) >> 1) - 64;
    case 3:
      return 64 - ((position + 1) >> 1);
    case 4:
      return static_cast<int>((position * 0x9E3779B1u) >> 25) - 64;
    default:
      return static_cast<int>(std::lround(64 * std::sin(position * (2 * std::numbers::pi / 256))));
  }
}

// The automatic vibrato's pitch offset this tick, in 1/64 semitones.
// "Extended Module:" rules: the depth grows over sweep ticks while the key is
// down. "IMPM" rules: vibrato_sweep is the tracker's rate, the depth (<< 8)
// grows by it every tick until it reaches the sample's; the pitch goes up
// first.
int32_t AutoVibrato(const PlayState& state, ChannelVoice& voice) {
  const ModuleSample* sample = voice.sample;
  if (sample == nullptr || sample->vibrato_depth == 0) return 0;
  const uint32_t full = uint32_t{sample->vibrato_depth} << 8;
  if (!Extended(state)) {
    voice.vibrato_amplitude = std::min(full, voice.vibrato_amplitude + sample->vibrato_sweep);
    const int32_t wave = ImpulseVibratoWave(sample->vibrato_type, voice.vibrato_position);
    voice.vibrato_position = static_cast<uint8_t>(voice.vibrato_position + sample->vibrato_rate);
    return wave * static_cast<int32_t>(voice.vibrato_amplitude) / (1 << 14);
  }
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
  if (!EnvelopeActive(envelope, voice, kVoiceVolumeEnvelope)) return 64 << kEnvelopeValueBits;
  const bool held = voice.released == 0;
  const int32_t value = std::clamp<int32_t>(EnvelopeValue(envelope, voice.volume_position), 0,
                                            64 << kEnvelopeValueBits);
  // "IMPM" rules: a volume envelope that has run to its end fades the note,
  // and ends it when it ends on 0.
  if (!Extended(state) && EnvelopeAtEnd(envelope, voice.volume_position, held)) {
    voice.fading = 1;
    voice.ended_silent = value == 0 ? 1 : 0;
  }
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

}  // namespace

uint8_t StepVoice(PlayState& state, const ModuleInstrument& instrument, ChannelVoice& voice,
                  int device_voice) {
  voice.pitch_offset = 0;
  const bool held = voice.released == 0;
  // The fade-out tells already on the tick of the release; one that the end
  // of an "IMPM" volume envelope starts, from the tick after.
  if (voice.fading) voice.fade -= std::min<uint32_t>(voice.fade, instrument.fadeout);
  const int64_t envelope = VolumeEnvelopeStep(state, instrument.volume_envelope, voice);
  const int64_t sample_volume = voice.sample != nullptr ? voice.sample->global_volume : 64;
  // 64 x (envelope / 64 << 8) x (fade / 2^16) x (sample / 64) x (instrument / 128), rounded.
  const int64_t product = envelope * voice.fade * std::min<int64_t>(sample_volume, 64) *
                          std::min<int64_t>(instrument.global_volume, 128);
  constexpr int kShift = kEnvelopeValueBits + 16 + 6 + 7;
  const auto volume = static_cast<uint8_t>(
      std::min<int64_t>((product + (int64_t{1} << (kShift - 1))) >> kShift, 64));

  const ModuleEnvelope& panning_envelope = instrument.panning_envelope;
  if (EnvelopeActive(panning_envelope, voice, kVoicePanningEnvelope) &&
      voice.panning != kPanningSurround) {
    // Values -32..32 move the panning towards a side, by as much as the
    // nearer side leaves room for. A device that refuses it keeps the last.
    const int32_t value = EnvelopeStep(state, panning_envelope, voice.panning_position, held);
    const int32_t room = 64 - std::abs(voice.panning - 64);
    const int32_t panning = voice.panning + value * room / (32 << kEnvelopeValueBits);
    if (state.device != nullptr)
      state.device->SetPanning(device_voice, std::clamp(panning - 64, -64, 64));
  }
  const ModuleEnvelope& pitch_envelope = instrument.pitch_envelope;
  int32_t cutoff = voice.filter_cutoff;
  if (EnvelopeActive(pitch_envelope, voice, kVoicePitchEnvelope)) {
    const int32_t value = EnvelopeStep(state, pitch_envelope, voice.pitch_position, held);
    if ((pitch_envelope.flags & kEnvelopeFilter) != 0) {
      // In filter mode -32..32 scales the cutoff from 0 to all of it.
      cutoff = cutoff * (value + (32 << kEnvelopeValueBits)) / (64 << kEnvelopeValueBits);
    } else {
      // Values -32..32 are half semitones.
      voice.pitch_offset += value * (kPitchStepsPerSemitone / 2) / (1 << kEnvelopeValueBits);
    }
  }
  if (state.device != nullptr)
    state.device->SetFilter(device_voice, cutoff, voice.filter_resonance);
  voice.pitch_offset += AutoVibrato(state, voice);
  return volume;
}

bool VolumeEnvelopeEndedSilent(const ModuleInstrument& instrument, const ChannelVoice& voice) {
  return voice.ended_silent != 0 &&
         EnvelopeActive(instrument.volume_envelope, voice, kVoiceVolumeEnvelope);
}

int ReleaseVoice(PlayState& state, const ModuleInstrument* instrument, ChannelVoice& voice,
                 int device_voice, bool* silences) {
  *silences = false;
  voice.released = 1;
  int code = kMusicOk;
  if (state.device != nullptr) code = state.device->ReleaseSound(device_voice);
  const bool envelope = instrument != nullptr &&
                        EnvelopeActive(instrument->volume_envelope, voice, kVoiceVolumeEnvelope);
  if (Extended(state)) {
    voice.fading = envelope ? 1 : 0;
    *silences = !envelope;
    return code;
  }
  // "IMPM" rules: a looping or missing volume envelope would never end,
  // so the release fades at once; otherwise the envelope's end does.
  if (!envelope || (instrument->volume_envelope.flags & kEnvelopeLoop) != 0) voice.fading = 1;
  return code;
}

const ModuleInstrument* InstrumentAt(const PlayState& state, int32_t index) {
  const Module& module = *state.module;
  return index >= 0 && index < module.instrument_count ? module.instruments[index] : nullptr;
}

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
  if (Extended(state) && channel.note != kNoteKeyOff) Trigger(*instrument, channel.voice, false);
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
  ChannelVoice& voice = channel.voice;
  // (A note that has faded out or ended is no note to carry on from.)
  const bool same_instrument = voice.sample != nullptr && voice.instrument == channel.instrument &&
                               voice.fade > 0 && voice.ended_silent == 0;
  voice.sample = sample;
  voice.instrument = channel.instrument;
  voice.note = channel.note;
  const ModuleInstrument* instrument = ChannelInstrument(state, channel);
  voice.new_note_action = instrument != nullptr ? instrument->new_note_action : kNewNoteCut;
  // An instrument that sets a filter sets it for its notes; otherwise the
  // channel keeps the one it has.
  if (instrument != nullptr && instrument->filter_cutoff <= 127)
    voice.filter_cutoff = instrument->filter_cutoff;
  if (instrument != nullptr && instrument->filter_resonance <= 127)
    voice.filter_resonance = instrument->filter_resonance;
  // "IMPM" rules: every note starts its envelopes afresh, but an envelope
  // that carries goes on where the channel's last note of the same
  // instrument left it.
  if (!Extended(state) && instrument != nullptr) Trigger(*instrument, voice, same_instrument);
  // The row's command acted before the note started; what it says of the
  // sounding note belongs to this one.
  if ((channel.flags & kChannelCommandPresent) != 0 &&
      (channel.command == kCommandInstrumentControl || channel.command == kCommandFilterCutoff)) {
    RunVoiceCommand(state, channel, channel.info);
  }
}

int ReleaseKey(PlayState& state, PlayChannel& channel) {
  bool silences = false;
  const int code = ReleaseVoice(state, ChannelInstrument(state, channel), channel.voice,
                                channel.device_channel, &silences);
  // Quirk ("Extended Module:"): without a volume envelope a key off silences
  // the note at once (it goes on at volume 0; a volume command brings it back).
  if (silences) ApplyVolume(state, channel, 0);
  return code;
}

int UpdateInstrumentVoices(PlayState& state) {
  if (!UsesInstruments(state)) return kMusicOk;
  for (int32_t i = 0; i < state.channel_count; ++i) {
    PlayChannel& channel = state.channels[i];
    const ModuleInstrument* instrument = ChannelInstrument(state, channel);
    channel.voice.pitch_offset = 0;
    // L: the envelopes jump to the tick the row asked for.
    if (channel.envelope_position_request >= 0) {
      const auto tick = static_cast<uint16_t>(channel.envelope_position_request);
      channel.voice.volume_position = tick;
      channel.voice.panning_position = tick;
      channel.envelope_position_request = -1;
    }
    channel.instrument_volume =
        instrument != nullptr ? StepVoice(state, *instrument, channel.voice, channel.device_channel)
                              : 64;
    channel.voice.heard_volume = channel.output_volume;
    channel.voice.heard_channel_volume = channel.channel_volume;
    channel.voice.heard_period = channel.output_period;
    // "IMPM" rules: a volume envelope that has ended on 0 ends the note (it
    // leaves no background voice behind when the next note starts).
    if (!Extended(state) && instrument != nullptr && state.device != nullptr &&
        VolumeEnvelopeEndedSilent(*instrument, channel.voice) &&
        state.device->channel_playing(channel.device_channel)) {
      const int code = state.device->StopSound(channel.device_channel);
      if (code != kMusicOk) return code;
    }
  }
  StepBackgroundVoices(state);
  return kMusicOk;
}

uint32_t OffsetRateHz(const PlayState& state, uint32_t period, uint32_t middle_c_rate_hz,
                      int32_t pitch_offset) {
  const uint32_t rate = PeriodToRateHzFor(state.module->frequency_model, period, middle_c_rate_hz);
  if (pitch_offset == 0) return rate;
  const double factor = std::exp2(pitch_offset / double(12 * kPitchStepsPerSemitone));
  return static_cast<uint32_t>(std::lround(rate * factor));
}

uint32_t ChannelRateHz(const PlayState& state, const PlayChannel& channel) {
  // The sounding sample's middle C (a linear period leaves it out); before
  // any note sounded, the one the channel would play.
  const ModuleSample* sample =
      channel.voice.sample != nullptr ? channel.voice.sample : ChannelSample(state, channel);
  return OffsetRateHz(state, channel.output_period, sample != nullptr ? sample->rate_hz : 0,
                      UsesInstruments(state) ? channel.voice.pitch_offset : 0);
}
