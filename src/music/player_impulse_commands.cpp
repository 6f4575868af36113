// The commands of the extended and impulse rules beyond Protracker's and
// Scream Tracker's: channel volume, panning, tempo and global volume slides,
// panbrello, fine vibrato, tremor, key off and envelope position, the
// extra-fine slides, and the volume column's commands; and the impulse
// rules' own effect memories and their departures from the S3M actions.
#include <algorithm>
#include <cmath>

#include "music/mixer.h"
#include "music/music_errors.h"
#include "music/pitch.h"
#include "music/player_commands.h"

namespace {

uint8_t HighNibble(uint8_t info) {
  return static_cast<uint8_t>(info >> 4);
}
uint8_t LowNibble(uint8_t info) {
  return static_cast<uint8_t>(info & 15);
}

bool Impulse(const PlayState& state) {
  return state.module->rules == kRulesImpulse;
}

// The tracker's slide rule for D, N, P and W under the impulse rules: xF
// and Fy are fine slides on the row's tick only; x0 and 0y slide on the
// other ticks. Returns the change for this tick (up positive).
int ImpulseSlide(uint8_t info, bool row_tick) {
  const int x = HighNibble(info);
  const int y = LowNibble(info);
  if (y == 15 && x != 0) return row_tick ? x : 0;
  if (x == 15 && y != 0) return row_tick ? -y : 0;
  if (row_tick) return 0;
  if (y == 0) return x;
  return x == 0 ? -y : 0;  // both nibbles set and neither 15: nothing
}

// The extended rules' slide for H and P: x up, else y down, on the ticks
// after the row's.
int ExtendedSlide(uint8_t info, bool row_tick) {
  if (row_tick) return 0;
  return HighNibble(info) != 0 ? HighNibble(info) : -LowNibble(info);
}

int SetPanningFull(const PlayState& state, PlayChannel& channel, int full) {
  full = std::clamp(full, 0, 255);
  const int code = ApplyPanning(state, channel, (full * 128 + 127) / 255);
  channel.panning = static_cast<uint8_t>(full);
  return code;
}

int SetTempo(PlayState& state, int tempo) {
  const uint32_t rate = static_cast<uint32_t>(std::clamp(tempo, 32, 255)) * 40;
  state.update_rate = rate;
  if (TempoHook hook = PlayerGetTempoHook()) hook(rate);
  return state.device != nullptr ? state.device->SetUpdateRate(rate) : kMusicOk;
}

}  // namespace

int WaveformValue(int waveform, uint8_t position) {
  const int at = position & 63;
  switch (waveform & 3) {
    case 1:
      return 255 - at * 8;
    case 2:
      return at < 32 ? 255 : -255;
    case 3:
      return static_cast<int>((static_cast<uint32_t>(at) * 0x9E3779B1u) >> 23) - 255;
    default:
      return (at & 32) ? -kVibratoWave[at & 31] : kVibratoWave[at & 31];
  }
}

namespace {

// One step of a vibrato whose depth is shifted down by `shift` bits (5 for
// H, 7 for the fine U).
void VibratoStep(const PlayState& state, PlayChannel& channel, uint8_t info, int shift) {
  if (LowNibble(info) != 0) channel.vibrato_depth = LowNibble(info);
  if (HighNibble(info) != 0) channel.vibrato_speed = HighNibble(info);
  const int value = WaveformValue(channel.waveforms & 7, channel.vibrato_position);
  const int64_t delta = (int64_t{value < 0 ? -value : value} * channel.vibrato_depth) >> shift;
  ApplyOutputPeriod(state, channel, value < 0 ? channel.period - delta : channel.period + delta);
  channel.vibrato_position = static_cast<uint8_t>(channel.vibrato_position + channel.vibrato_speed);
}

// One step of the impulse rules' vibrato (H, U, K and the volume
// column's), its depth shifted down by `shift` bits (6 for H, 8 for the fine
// U). The position moves on before each step, so a note's first step is
// already off its pitch. The tracker's own effects: the pitch goes up first,
// on every tick (the row's once its note has started). Old effects: twice as
// deep, the pitch goes down first, and the row's tick keeps the last step's
// pitch.
void ImpulseVibratoStep(const PlayState& state, PlayChannel& channel, int shift) {
  const bool old = (state.module->flags & kModuleFlagOldEffects) != 0;
  channel.vibrato_position = static_cast<uint8_t>(channel.vibrato_position + channel.vibrato_speed);
  const int value = WaveformValue(channel.waveforms & 7, channel.vibrato_position);
  const int64_t delta =
      (int64_t{value < 0 ? -value : value} * channel.vibrato_depth) >> (old ? shift - 1 : shift);
  // A lower period is a higher pitch.
  const bool lower = (value < 0) == old;
  ApplyOutputPeriod(state, channel, lower ? channel.period - delta : channel.period + delta);
}

void ImpulseVibrato(const PlayState& state, PlayChannel& channel, uint8_t info, int shift,
                    bool row_tick) {
  if (LowNibble(info) != 0) channel.vibrato_depth = LowNibble(info);
  if (HighNibble(info) != 0) channel.vibrato_speed = HighNibble(info);
  const bool old = (state.module->flags & kModuleFlagOldEffects) != 0;
  // A note of the row has not started yet: ImpulseVibratoAfterNote steps.
  if (row_tick && (old || (channel.flags & kChannelNewNote) != 0)) return;
  ImpulseVibratoStep(state, channel, shift);
}

// The vibrato's shift when the channel's row has one (in the command or the
// volume column), else 0.
int RowVibratoShift(const PlayState& state, const PlayChannel& channel) {
  if ((channel.flags & kChannelCommandPresent) != 0) {
    if (channel.command == kCommandVibrato || channel.command == kCommandVibratoVolSlide) return 6;
    if (channel.command == kCommandFineVibrato) return 8;
  }
  const bool column = (channel.flags & kChannelVolumePresent) != 0 && channel.volume_byte >= 204 &&
                      channel.volume_byte <= 213;
  return Impulse(state) && column ? 6 : 0;
}

void TremoloStep(const PlayState& state, PlayChannel& channel, uint8_t info) {
  if (LowNibble(info) != 0) channel.tremolo_depth = LowNibble(info);
  if (HighNibble(info) != 0) channel.tremolo_speed = HighNibble(info);
  const int value = WaveformValue(channel.waveforms >> 3 & 7, channel.tremolo_position);
  const int delta = (value * channel.tremolo_depth) / 64;
  channel.output_volume =
      static_cast<uint8_t>(std::clamp(channel.volume + delta, 0, state.maximum_volume));
  channel.tremolo_position = static_cast<uint8_t>(channel.tremolo_position + channel.tremolo_speed);
}

// The panbrello swings what the device hears around the channel's panning.
int PanbrelloStep(const PlayState& state, PlayChannel& channel, uint8_t info) {
  if (LowNibble(info) != 0) channel.panbrello_depth = LowNibble(info);
  if (HighNibble(info) != 0) channel.panbrello_speed = HighNibble(info);
  const int value = WaveformValue(channel.waveforms >> 6 & 3, channel.panbrello_position);
  const int full = std::clamp(channel.panning + value * channel.panbrello_depth / 32, 0, 255);
  channel.panbrello_position =
      static_cast<uint8_t>(channel.panbrello_position + channel.panbrello_speed);
  const uint8_t kept = channel.panning;
  const int code = ApplyPanning(state, channel, (full * 128 + 127) / 255);
  channel.panning = kept;
  return code;
}

// Tremor: sounding for x ticks, silent for y (each at least one; the
// extended rules and the impulse rules' old effects count one more).
void TremorStep(const PlayState& state, PlayChannel& channel, uint8_t info) {
  const bool plus_one = !Impulse(state) || (state.module->flags & kModuleFlagOldEffects) != 0;
  const int on = std::max<int>(HighNibble(info) + (plus_one ? 1 : 0), 1);
  const int off = std::max<int>(LowNibble(info) + (plus_one ? 1 : 0), 1);
  if (channel.tremor_count >= on + off) channel.tremor_count = 0;
  channel.output_volume = channel.tremor_count < on ? channel.volume : 0;
  ++channel.tremor_count;
}

// The impulse rules' pattern loop: each channel keeps its own loop row and
// count, and after the last repetition the loop starts after it.
void ImpulsePatternLoop(PlayState& state, PlayChannel& channel, uint8_t count) {
  if (count == 0) {
    channel.pattern_loop_row = static_cast<uint8_t>(state.row);
    return;
  }
  if (channel.pattern_loop_count == 0) {
    channel.pattern_loop_count = count;
  } else if (--channel.pattern_loop_count == 0) {
    // (On the pattern's last row there is no row after it: the mark goes
    // back to the top.)
    const int32_t rows = state.module->patterns[state.pattern]->row_count;
    channel.pattern_loop_row = static_cast<uint8_t>(state.row + 1 < rows ? state.row + 1 : 0);
    return;
  }
  state.row = channel.pattern_loop_row;
  state.row_cursor = nullptr;
}

int VolumeColumnImpulse(PlayState& state, PlayChannel& channel, int value, bool row_tick) {
  static constexpr uint8_t kTonePortamento[10] = {0, 1, 4, 8, 16, 32, 64, 96, 128, 255};
  if (value <= 64) return kMusicOk;
  if (value >= 128 && value <= 192) {
    return row_tick ? SetPanningFull(state, channel, (value - 128) * 255 / 64) : kMusicOk;
  }
  if (value >= 193 && value <= 202) {
    if (row_tick) {
      TonePortamentoRow(state, channel);
    } else {
      TonePortamentoTick(state, channel, kTonePortamento[value - 193]);
    }
    return kMusicOk;
  }
  if (value >= 203 && value <= 212) {
    ImpulseVibrato(state, channel, static_cast<uint8_t>(value - 203), 6, row_tick);
    return kMusicOk;
  }
  const int kind = (value - 65) / 10;  // a..f
  const int amount = (value - 65) % 10;
  switch (kind) {
    case 0:  // fine volume up
    case 1:  // fine volume down
      if (row_tick) ApplyVolume(state, channel, channel.volume + (kind == 0 ? amount : -amount));
      break;
    case 2:
    case 3:
      if (!row_tick) ApplyVolume(state, channel, channel.volume + (kind == 2 ? amount : -amount));
      break;
    case 4:  // pitch down (the period grows), as E with four times the value
    case 5:
      if (!row_tick)
        ApplyPeriod(state, channel, channel.period + (kind == 4 ? 16 : -16) * int64_t{amount});
      break;
    default:
      break;
  }
  return kMusicOk;
}

int VolumeColumnExtended(PlayState& state, PlayChannel& channel, int value, bool row_tick) {
  const int amount = value & 15;
  switch (value >> 4) {
    case 0x5:
    case 0x6:
      if (!row_tick)
        ApplyVolume(state, channel, channel.volume + (value >> 4 == 6 ? amount : -amount));
      return kMusicOk;
    case 0x7:
    case 0x8:
      if (row_tick)
        ApplyVolume(state, channel, channel.volume + (value >> 4 == 8 ? amount : -amount));
      return kMusicOk;
    case 0x9:
      if (row_tick && amount != 0) channel.vibrato_speed = static_cast<uint8_t>(amount);
      return kMusicOk;
    case 0xA:
      if (!row_tick) VibratoStep(state, channel, static_cast<uint8_t>(amount), 5);
      return kMusicOk;
    case 0xB:
      return row_tick ? SetPanningFull(state, channel, amount * 16) : kMusicOk;
    case 0xC:
    case 0xD:
      return row_tick ? kMusicOk
                      : SetPanningFull(state, channel,
                                       channel.panning + (value >> 4 == 0xD ? amount : -amount));
    case 0xE:
      if (row_tick) {
        TonePortamentoRow(state, channel);
      } else {
        TonePortamentoTick(state, channel, static_cast<uint8_t>(amount * 16));
      }
      return kMusicOk;
    default:
      return kMusicOk;
  }
}

// Actions of the new commands (and the impulse rules' own versions of the
// shared ones) on the row's tick (row_tick) or the others. -1: not handled
// here.
int NewCommand(PlayState& state, PlayChannel& channel, uint8_t info, bool row_tick, int repeat) {
  const bool impulse = Impulse(state);
  switch (channel.command) {
    case kCommandPatternBreakRow:
      if (row_tick && !repeat) {
        if (state.row_cursor != nullptr) AdvancePosition(state);
        const int32_t rows = state.module->patterns[state.pattern]->row_count;
        state.row = info < rows ? info : 0;
        state.row_cursor = nullptr;
      }
      return kMusicOk;
    case kCommandChannelVolume:
      if (row_tick) channel.channel_volume = std::min<uint8_t>(info, 64);
      return kMusicOk;
    case kCommandChannelVolumeSlide:
      channel.channel_volume = static_cast<uint8_t>(
          std::clamp(channel.channel_volume + ImpulseSlide(info, row_tick), 0, 64));
      return kMusicOk;
    case kCommandPanningSlide: {
      // Impulse: x left, y right, on a 0..64 scale; extended: x right, y left.
      const int change =
          impulse ? -ImpulseSlide(info, row_tick) * 4 : ExtendedSlide(info, row_tick);
      return change != 0 ? SetPanningFull(state, channel, channel.panning + change) : kMusicOk;
    }
    case kCommandTempoSlide:
      if (row_tick) return kMusicOk;
      return SetTempo(state, static_cast<int>(state.update_rate / 40) +
                                 (HighNibble(info) == 1 ? LowNibble(info) : -LowNibble(info)));
    case kCommandFineVibrato:
      if (impulse) {
        ImpulseVibrato(state, channel, info, 8, row_tick);
      } else if (!row_tick) {
        VibratoStep(state, channel, info, 7);
      }
      return kMusicOk;
    case kCommandGlobalVolumeSlide: {
      const int highest = impulse ? 128 : 64;
      const int change = impulse ? ImpulseSlide(info, row_tick) : ExtendedSlide(info, row_tick);
      state.global_volume =
          static_cast<uint8_t>(std::clamp(state.global_volume + change, 0, highest));
      return kMusicOk;
    }
    case kCommandPanbrello:
      return row_tick ? kMusicOk : PanbrelloStep(state, channel, info);
    case kCommandPanbrelloWaveform:
      if (row_tick)
        channel.waveforms = static_cast<uint8_t>((channel.waveforms & 0x3F) | (info & 3) << 6);
      return kMusicOk;
    case kCommandEnvelopePosition:
      if (row_tick) channel.envelope_position_request = info;
      return kMusicOk;
    case kCommandExtraFinePortamentoUp:
    case kCommandExtraFinePortamentoDown:
      if (row_tick) {
        // As the fine slides: the row's note starts first, then moves.
        const int code = (channel.flags & kChannelNewNote) ? StartNote(state, channel) : kMusicOk;
        const int64_t step = LowNibble(info);
        ApplyPeriod(
            state, channel,
            channel.period + (channel.command == kCommandExtraFinePortamentoUp ? -step : step));
        return code;
      }
      return kMusicOk;
    case kCommandTremor:
      TremorStep(state, channel, info);
      return kMusicOk;
    case kCommandKeyOff:
      if (info == state.tick) {
        channel.note = kNoteKeyOff;
        return StartNote(state, channel);
      }
      return kMusicOk;
    case kCommandGlissando:
      if (row_tick) channel.glissando = LowNibble(info) != 0 ? 1 : 0;
      return kMusicOk;
    case kCommandSetFinetune:
      // The note of this row sounds with finetune -8..7 (eighths of a
      // semitone) in place of its sample's.
      if (row_tick && (channel.flags & kChannelNewNote) != 0) {
        const int code = StartNote(state, channel);
        const int finetune = (info & 7) - (info & 8);
        if (state.module->frequency_model == kFrequencyLinear) {
          // The sample's middle-C rate holds its own finetune (1/128
          // semitone, half a linear step): it gives way to the command's.
          const ModuleSample* sample = channel.voice.sample;
          const uint32_t period =
              sample != nullptr ? NotePeriodFor(kFrequencyLinear, channel.note, sample->rate_hz)
                                : 0;
          if (period != 0)
            ApplyPeriod(state, channel, int64_t{period} + sample->finetune / 2 - finetune * 8);
          return code;
        }
        const auto rate = static_cast<uint32_t>(8363.0 * std::exp2(finetune / 96.0) + 0.5);
        const uint32_t period = NotePeriod(channel.note, rate);
        if (period != 0) ApplyPeriod(state, channel, period);
        return code;
      }
      return kMusicOk;
    case kCommandFinePatternDelay:
      // Several on one row add up; a pattern delay's repetitions get them again.
      if (row_tick) state.row_extra_ticks += LowNibble(info);
      return kMusicOk;
    case kCommandHighOffset:
      if (row_tick) channel.offset_high = LowNibble(info);
      return kMusicOk;
    case kCommandInvertLoop:
      // Protracker's funk repeat rewrites the sample's loop as it plays;
      // the samples here are shared and read-only, so it is not played.
      return kMusicOk;
    case kCommandVibratoWaveform:
    case kCommandTremoloWaveform:
      if (row_tick) {
        const int shift = channel.command == kCommandVibratoWaveform ? 0 : 3;
        channel.waveforms =
            static_cast<uint8_t>((channel.waveforms & ~(7 << shift)) | (info & 3) << shift);
      }
      return kMusicOk;
    default:
      break;
  }
  if (!impulse) return -1;
  // The impulse rules' versions of the shared commands.
  switch (channel.command) {
    case kCommandVibrato:
      ImpulseVibrato(state, channel, info, 6, row_tick);
      return kMusicOk;
    case kCommandVibratoVolSlide:
      ApplyVolume(state, channel, channel.volume + ImpulseSlide(info, row_tick));
      ImpulseVibrato(state, channel, 0, 6, row_tick);
      return kMusicOk;
    case kCommandVolumeSlide:
      ApplyVolume(state, channel, channel.volume + ImpulseSlide(info, row_tick));
      return kMusicOk;
    case kCommandGlobalVolume:
      if (row_tick) state.global_volume = std::min<uint8_t>(info, 128);
      return kMusicOk;
    case kCommandTremolo:
      if (!row_tick) TremoloStep(state, channel, info);
      return kMusicOk;
    case kCommandSetPanningFull:
      return row_tick ? SetPanningFull(state, channel, info) : kMusicOk;
    case kCommandPatternLoop:
      if (row_tick && !repeat) ImpulsePatternLoop(state, channel, LowNibble(info));
      return kMusicOk;
    case kCommandSampleOffset:
      if (!row_tick) return kMusicOk;
      if (info != 0) channel.offset_memory = info;
      if ((channel.flags & kChannelNewNote) != 0) {
        // The offset belongs to this note alone.
        channel.sample_offset =
            uint32_t{channel.offset_high} << 16 | uint32_t{channel.offset_memory} << 8;
        const int code = StartNote(state, channel);
        channel.sample_offset = 0;
        return code;
      }
      return kMusicOk;
    default:
      return -1;
  }
}

}  // namespace

int ImpulseMemorySlot(const PlayState& state, uint8_t command) {
  switch (command) {
    case kCommandVolumeSlide:
    case kCommandVibratoVolSlide:
    case kCommandTonePortaVolSlide:
      return 0;
    case kCommandPortamentoUp:
    case kCommandPortamentoDown:
      return 1;
    case kCommandTonePortamento:
      // Without the compatible-Gxx flag the tone portamento shares the
      // pitch slides' memory.
      return (state.module->flags & kModuleFlagCompatibleGxx) != 0 ? 2 : 1;
    case kCommandTremor:
      return 3;
    case kCommandArpeggio:
      return 4;
    case kCommandChannelVolumeSlide:
      return 5;
    case kCommandPanningSlide:
      return 6;
    case kCommandRetrigger:
      return 7;
    case kCommandTempoSlide:
      return 8;
    case kCommandGlobalVolumeSlide:
      return 9;
    default:
      return -1;
  }
}

int RunNewRowAction(PlayState& state, PlayChannel& channel, uint8_t info, int repeat) {
  const int code = NewCommand(state, channel, info, true, repeat);
  if (code >= 0) return code;
  return RunRowAction(state, channel, info, repeat);
}

int RunNewTickAction(PlayState& state, PlayChannel& channel, uint8_t info) {
  const int code = NewCommand(state, channel, info, false, 0);
  if (code >= 0) return code;
  return RunTickAction(state, channel, info);
}

int RunVolumeColumn(PlayState& state, PlayChannel& channel, int row_tick) {
  if (state.module->rules == kRulesImpulse) {
    const int value = channel.volume_byte > kImpulseVolumeShiftFrom ? channel.volume_byte - 1
                                                                    : channel.volume_byte;
    return VolumeColumnImpulse(state, channel, value, row_tick != 0);
  }
  if (state.module->rules == kRulesExtended && channel.volume_byte > 64)
    return VolumeColumnExtended(state, channel, channel.volume_byte, row_tick != 0);
  return kMusicOk;
}

void GlissandoPeriod(const PlayState& state, PlayChannel& channel) {
  const ModuleSample* sample = ChannelSample(state, channel);
  if (sample == nullptr) return;
  // The device hears the nearest whole semitone; the slide itself goes on.
  uint32_t best = 0;
  for (int note = 0; note < kModuleNotes; ++note) {
    const uint32_t period =
        NotePeriodFor(state.module->frequency_model,
                      static_cast<uint8_t>((note / 12) << 4 | note % 12), sample->rate_hz);
    const auto distance = [&](uint32_t p) {
      return p > channel.period ? p - channel.period : channel.period - p;
    };
    if (period != 0 && (best == 0 || distance(period) < distance(best))) best = period;
  }
  if (best != 0) ApplyOutputPeriod(state, channel, best);
}

void ImpulseVibratoAfterNote(const PlayState& state, PlayChannel& channel) {
  const int shift = RowVibratoShift(state, channel);
  if (Impulse(state) && shift != 0 && (state.module->flags & kModuleFlagOldEffects) == 0)
    ImpulseVibratoStep(state, channel, shift);
}

bool ImpulseRowKeepsVibrato(const PlayState& state, const PlayChannel& channel) {
  return Impulse(state) && RowVibratoShift(state, channel) != 0;
}

void DecodeImpulseSpecial(PlayChannel& channel, uint8_t* command, uint8_t* info) {
  uint8_t parameter = *info;
  if (parameter == 0) {
    parameter = channel.special_memory;
  } else {
    channel.special_memory = parameter;
  }
  const uint8_t y = LowNibble(parameter);
  *info = y;
  switch (HighNibble(parameter)) {
    case 0x3:
      *command = kCommandVibratoWaveform;
      return;
    case 0x4:
      *command = kCommandTremoloWaveform;
      return;
    case 0x5:
      *command = kCommandPanbrelloWaveform;
      return;
    case 0x6:
      *command = kCommandFinePatternDelay;
      return;
    case 0x7:
      *command = kCommandInstrumentControl;
      return;
    case 0x8:
      *command = kCommandSetPanningFull;
      *info = static_cast<uint8_t>(y * 17);  // 16 steps over 0..255
      return;
    case 0x9:
      *command = y == 1 ? kCommandSetPanning : kCommandNone;  // S91: surround
      *info = 0xA4;
      return;
    case 0xA:
      *command = kCommandHighOffset;
      return;
    case 0xB:
      *command = kCommandPatternLoop;
      return;
    case 0xC:
      *command = kCommandNoteCut;
      return;
    case 0xD:
      *command = kCommandNoteDelay;
      return;
    case 0xE:
      *command = kCommandPatternDelay;
      return;
    default:
      // S0x-S2x do nothing here; SFx selects which MIDI macro Zxx sends, and
      // only the default one (Z00-Z7F cutoff, Z80-Z8F resonance) is played,
      // so it is read and ignored.
      *command = kCommandNone;
      return;
  }
}
