// What each internal command does on its row's tick and on the ticks after
// it, with the pitch and volume clamps they share. The tracker quirks that
// songs rely on are kept and named where they live ("Quirk:").
#include "music/player_commands.h"

#include <algorithm>

#include "music/mixer.h"
#include "music/music_errors.h"
#include "music/pitch.h"
#include "music/player_instruments.h"
#include "music/player_new_notes.h"

namespace {

enum class Phase { kRowTick, kOtherTick };

uint8_t HighNibble(uint8_t info) {
  return static_cast<uint8_t>(info >> 4);
}
uint8_t LowNibble(uint8_t info) {
  return static_cast<uint8_t>(info & 15);
}

int64_t ClampPeriod(const PlayState& state, int64_t period) {
  return std::clamp<int64_t>(period, state.minimum_period, state.maximum_period);
}

// Quirk: D, K and L share one rule set; a fine slide (xF or Fy) acts only
// on the row's tick, a normal one on the other ticks, and with the module's
// fast-slide flag (old Scream Tracker songs) on the row's tick as well.
void VolumeSlide(const PlayState& state, PlayChannel& channel, uint8_t info, Phase phase) {
  const int x = HighNibble(info);
  const int y = LowNibble(info);
  const bool row_tick = phase == Phase::kRowTick;
  const bool normal_slide_now = !row_tick || (state.module->flags & kModuleFlagFastSlides) != 0;
  int volume = channel.volume;
  if (y == 15 && x != 0) {
    if (!row_tick) return;
    volume += x;
  } else if (x == 15 && y != 0) {
    if (!row_tick) return;
    volume -= y;
  } else if (y != 0) {
    // Quirk: both nibbles set and neither 15 slides down by y.
    if (!normal_slide_now) return;
    volume -= y;
  } else {
    if (!normal_slide_now) return;
    volume += x;
  }
  ApplyVolume(state, channel, volume);
}

void ArpeggioTick(const PlayState& state, PlayChannel& channel, uint8_t info) {
  const ModuleSample* sample = ChannelSample(state, channel);
  if (sample == nullptr || channel.note >= kNoteKeyOff || (channel.note & 15) > 11) return;
  // Quirk ("Extended Module:"): the tracker counts the row's ticks down, so
  // the order of the three notes depends on the speed (at speed 6: note, y,
  // x, note, y, x).
  const int step =
      state.module->rules == kRulesExtended ? (state.speed - state.tick) % 3 : state.tick % 3;
  const int semitones = step == 0 ? 0 : (step == 1 ? HighNibble(info) : LowNibble(info));
  if (state.module->frequency_model == kFrequencyLinear) {
    if (channel.period == 0) return;
    int64_t base = channel.period;
    if (semitones != 0 && state.module->rules == kRulesExtended) {
      // The extended rules count from the whole semitone at or below a
      // slid pitch; the impulse rules from the pitch itself.
      const int64_t below = kLinearPeriodTop - base;
      const int64_t whole =
          below >= 0 ? below / kLinearPeriodsPerSemitone
                     : -((-below + kLinearPeriodsPerSemitone - 1) / kLinearPeriodsPerSemitone);
      base = kLinearPeriodTop - whole * kLinearPeriodsPerSemitone;
    }
    ApplyOutputPeriod(state, channel, base - semitones * kLinearPeriodsPerSemitone);
    return;
  }
  const uint32_t period =
      NotePeriod(RaiseNote(MappedNote(state, channel), semitones), sample->rate_hz);
  if (period != 0) ApplyOutputPeriod(state, channel, period);
}

int RetriggerTick(PlayState& state, PlayChannel& channel, uint8_t info) {
  int code = kMusicOk;
  if (channel.retrigger_count >= LowNibble(info)) {
    if (Mixer* device = state.device)
      code = device->SetPosition(channel.device_channel, channel.sample_offset);
    channel.retrigger_count = 0;
    ApplyVolume(state, channel, RetriggerVolume(channel.volume, HighNibble(info)));
  }
  ++channel.retrigger_count;
  return code;
}

void PositionJump(PlayState& state, uint8_t target) {
  const int32_t old_position = state.position;
  state.position = target;
  if (state.position > state.last_position) {
    state.position = state.restart_position;
    ++state.loop_count;
    state.global_volume = state.module->master_volume;
  } else if (old_position >= target) {
    ++state.loop_count;  // a backward or same-place jump is a pass through the song
  }
  state.pattern = state.module->orders[state.position];
  if (state.pattern >= state.module->pattern_count) {
    // A jump onto a skip or end marker moves on as the end of a pattern
    // would, instead of playing a pattern that does not exist.
    --state.position;
    AdvancePosition(state);
  }
  state.row_cursor = nullptr;
  state.row = 0;
  state.pattern_loop_row = 0;
}

void PatternBreak(PlayState& state, uint8_t info) {
  if (state.row_cursor != nullptr) AdvancePosition(state);  // no jump on this row yet
  const int row = info <= 99 ? HighNibble(info) * 10 + LowNibble(info) : 63;
  // A row past the pattern's end would read beyond its data: stop at the last row.
  const int32_t row_count = state.module->patterns[state.pattern]->row_count;
  state.row = std::min(row, row_count - 1);
  state.row_cursor = nullptr;
  state.pattern_loop_row = 0;
}

void PatternLoop(PlayState& state, uint8_t info) {
  const uint8_t count = LowNibble(info);
  if (count == 0) {
    state.pattern_loop_row = static_cast<uint8_t>(state.row);
    return;
  }
  bool jump = true;
  if (state.pattern_loop_count == 0) {
    state.pattern_loop_count = count;
  } else {
    jump = state.pattern_loop_count != 1;
    --state.pattern_loop_count;
  }
  if (jump) {
    state.row = state.pattern_loop_row;
    state.row_cursor = nullptr;
  }
}

int CoarsePanning(uint8_t y) {
  return y <= 6 ? y * 8 : (y <= 8 ? 64 : y * 8 + 8);
}

}  // namespace

void TonePortamentoTick(const PlayState& state, PlayChannel& channel, uint8_t info) {
  if (channel.portamento_target != 0 && info != 0) channel.portamento_speed = info;
  if (channel.portamento_target == 0 || channel.portamento_target == channel.period) return;
  const int64_t step = int64_t{channel.portamento_speed} * 4;
  const int64_t target = channel.portamento_target;
  const int64_t period = channel.period;
  const int64_t next = period < target ? std::min(period + step, target)
                                       : (period - target <= step ? target : period - step);
  ApplyPeriod(state, channel, next);
  if (channel.glissando) GlissandoPeriod(state, channel);
}

void TonePortamentoRow(const PlayState& state, PlayChannel& channel) {
  const ModuleSample* sample = ChannelSample(state, channel);
  if ((channel.flags & kChannelNewNote) == 0 || sample == nullptr || channel.note == kNoteCut)
    return;
  // The instrument's note map applies to the note slid to as to a note played.
  channel.portamento_target =
      NotePeriodFor(state.module->frequency_model, MappedNote(state, channel), sample->rate_hz);
  channel.flags &= ~kChannelNewNote;  // slide to the note instead of restarting it
}

void VibratoTick(const PlayState& state, PlayChannel& channel, uint8_t info) {
  if (LowNibble(info) != 0) channel.vibrato_depth = LowNibble(info);
  if (HighNibble(info) != 0) channel.vibrato_speed = HighNibble(info);
  const int wave = WaveformValue(channel.waveforms & 7, channel.vibrato_position);
  const int64_t delta = ((wave < 0 ? -wave : wave) * channel.vibrato_depth) >> 5;
  const int64_t period = channel.period;
  ApplyOutputPeriod(state, channel, wave < 0 ? period - delta : period + delta);
  channel.vibrato_position = static_cast<uint8_t>(channel.vibrato_position + channel.vibrato_speed);
}

void ApplyPeriod(const PlayState& state, PlayChannel& channel, int64_t period) {
  if (period == 0) return;
  // Compared as a signed value: a slide past the highest pitch (a negative
  // period) stops at the minimum period instead of wrapping to a low one.
  const auto clamped = static_cast<uint32_t>(ClampPeriod(state, period));
  channel.period = clamped;
  channel.output_period = clamped;
}

void ApplyOutputPeriod(const PlayState& state, PlayChannel& channel, int64_t period) {
  channel.output_period = static_cast<uint32_t>(ClampPeriod(state, period));
}

void ApplyVolume(const PlayState& state, PlayChannel& channel, int volume) {
  const auto clamped = static_cast<uint8_t>(std::clamp(volume, 0, state.maximum_volume));
  channel.volume = clamped;
  channel.output_volume = clamped;
}

int ApplyPanning(const PlayState& state, PlayChannel& channel, int value) {
  const int panning = value == 0xA4 ? kMixerPanSurround : std::clamp(value - 64, -64, 64);
  // Kept for the panning envelope, which moves the device's panning around it.
  channel.voice.panning = static_cast<int16_t>(panning == kMixerPanSurround ? value : panning + 64);
  // Kept on 0..255 for the slides that start from it.
  if (value != 0xA4)
    channel.panning = static_cast<uint8_t>((std::clamp(value, 0, 128) * 255 + 64) / 128);
  Mixer* device = state.device;
  return device != nullptr ? device->SetPanning(channel.device_channel, panning) : kMusicOk;
}

const ModuleSample* ChannelSample(const PlayState& state, const PlayChannel& channel) {
  const Module& module = *state.module;
  if (channel.instrument < 0 || channel.instrument >= module.instrument_count) return nullptr;
  const ModuleInstrument* instrument = module.instruments[channel.instrument];
  if (instrument != nullptr && (module.rules == kRulesExtended || module.rules == kRulesImpulse)) {
    // The instrument's map picks the sample of the channel's note.
    if (channel.note >= kNoteKeyOff || (channel.note & 15) > 11) return instrument->sample;
    const int note = (channel.note >> 4) * 12 + (channel.note & 15);
    const uint8_t index = note < kModuleNotes ? instrument->note_samples[note] : kInstrumentNone;
    return index < module.sample_count ? module.samples[index] : nullptr;
  }
  if (instrument == nullptr || channel.sample >= instrument->sample_count) return nullptr;
  return instrument->sample;
}

int StartNote(PlayState& state, PlayChannel& channel) {
  channel.vibrato_position = 0;
  channel.flags &= ~kChannelNewNote;
  if (channel.note == kNoteKeyOff && UsesInstruments(state)) return ReleaseKey(state, channel);
  // A note fade lets the note fade out without releasing its envelopes.
  if (channel.note == kNoteFade) {
    channel.voice.fading = 1;
    return kMusicOk;
  }
  const ModuleSample* sample = ChannelSample(state, channel);
  if (sample == nullptr) return kMusicOk;
  Mixer* device = state.device;
  if (channel.note == kNoteCut || channel.note == kNoteKeyOff) {
    return device != nullptr ? device->StopSound(channel.device_channel) : kMusicOk;
  }
  // A sample without a middle-C rate, or a note byte that is no note, has no
  // pitch: the note is ignored rather than divided by zero.
  const uint8_t model = state.module->frequency_model;
  const uint32_t period = NotePeriodFor(model, MappedNote(state, channel), sample->rate_hz);
  if (period == 0) return kMusicOk;
  channel.last_note = channel.note;
  channel.period = period;
  channel.output_period = period;
  if (device == nullptr) return kMusicOk;
  // Instrument rules: a note that has ended leaves nothing to go on or carry
  // envelopes from; the sounding note may go on beside the new one, and a
  // note without an instrument byte may map to another sample.
  if (UsesInstruments(state) && !device->channel_playing(channel.device_channel))
    channel.voice.sample = nullptr;
  int code = HandOverSoundingNote(state, channel, sample);
  if (code == kMusicOk && UsesInstruments(state))
    code = device->SetSample(channel.device_channel, sample);
  if (code == kMusicOk)
    code = device->PlaySound(channel.device_channel,
                             PeriodToRateHzFor(model, period, sample->rate_hz));
  NoteStarted(state, channel, sample);
  // Quirk: the offset stays until the next instrument byte, so later notes
  // without one start at it too.
  if (code == kMusicOk && channel.sample_offset != 0) {
    uint32_t offset = channel.sample_offset;
    // Plain rules: an offset beyond the end of a looping sample starts its
    // loop (without a loop the device falls silent).
    if (state.module->rules == kRulesPlain && offset >= sample->length &&
        sample->loop_mode != kLoopNone) {
      offset = sample->loop_start;
    }
    code = device->SetPosition(channel.device_channel, offset);
  }
  return code;
}

void AdvancePosition(PlayState& state) {
  const Module& module = *state.module;
  // Bounded: an order list of nothing but markers cannot spin forever.
  for (int32_t guard = 0; guard <= module.song_length + 1; ++guard) {
    ++state.position;
    if (state.position > state.last_position || module.orders[state.position] == kOrderEndOfSong) {
      state.position = state.restart_position;
      ++state.loop_count;
      state.global_volume = module.master_volume;
    }
    const uint16_t order = module.orders[state.position];
    if (order < module.pattern_count) {
      state.pattern = order;
      state.row_cursor = nullptr;
      return;
    }
  }
  state.stuck = 1;
  state.row_cursor = nullptr;
}

int RunRowAction(PlayState& state, PlayChannel& channel, uint8_t info, int repeat) {
  Mixer* device = state.device;
  switch (channel.command) {
    case kCommandPortamentoUp:
    case kCommandPortamentoDown: {
      const int64_t sign = channel.command == kCommandPortamentoUp ? -1 : 1;
      if (info >= 0xF0)
        ApplyPeriod(state, channel, channel.period + sign * LowNibble(info) * 4);
      else if (info >= 0xE0)
        ApplyPeriod(state, channel, channel.period + sign * LowNibble(info));
      return kMusicOk;
    }
    case kCommandTonePortamento:
    case kCommandTonePortaVolSlide:
      TonePortamentoRow(state, channel);
      return kMusicOk;
    case kCommandVibratoVolSlide:
      // Quirk: the row's vibrato step moves the position, but the output
      // period it sets is undone when the row ends without a new note.
      VolumeSlide(state, channel, info, Phase::kRowTick);
      VibratoTick(state, channel, 0);
      return kMusicOk;
    case kCommandSetPanning:
      return ApplyPanning(state, channel, info);
    case kCommandSampleOffset:
      if (info != 0) channel.offset_memory = info;
      if ((channel.flags & kChannelNewNote) != 0) {
        // Quirk: offsets add up until an instrument byte resets them.
        channel.sample_offset += uint32_t{channel.offset_memory} * 256;
        return StartNote(state, channel);
      }
      return kMusicOk;
    case kCommandVolumeSlide:
      VolumeSlide(state, channel, info, Phase::kRowTick);
      return kMusicOk;
    case kCommandPositionJump:
      // Jumps, breaks and loops act once per row, not again on the
      // repetitions of a pattern delay (a repeated backward jump would count
      // as another pass through the song and end it).
      if (!repeat) PositionJump(state, info);
      return kMusicOk;
    case kCommandPatternBreak:
      if (!repeat) PatternBreak(state, info);
      return kMusicOk;
    case kCommandSetSpeed:
      if (info != 0) state.speed = info;
      return kMusicOk;
    case kCommandSetTempo:
      if (info > 31) {
        const uint32_t rate = uint32_t{info} * 40;
        state.update_rate = rate;
        if (TempoHook hook = PlayerGetTempoHook()) hook(rate);
        if (device != nullptr) return device->SetUpdateRate(rate);
      }
      return kMusicOk;
    case kCommandPatternLoop:
      if (!repeat) PatternLoop(state, info);
      return kMusicOk;
    case kCommandSetPanningCoarse:
      return ApplyPanning(state, channel, CoarsePanning(LowNibble(info)));
    case kCommandNoteCut:
      if (info == state.tick) ApplyVolume(state, channel, 0);
      return kMusicOk;
    case kCommandNoteDelay:
      if (info != 0 && (channel.flags & kChannelNewNote) != 0) {
        channel.flags = (channel.flags & ~kChannelNewNote) | kChannelNoteDelayed;
      } else {
        channel.flags &= ~kChannelNoteDelayed;
      }
      return kMusicOk;
    case kCommandPatternDelay:
      if (state.pattern_delay == 0) state.pattern_delay = info;
      return kMusicOk;
    case kCommandGlobalVolume:
      state.global_volume = std::min<uint8_t>(info, 64);
      return kMusicOk;
    case kCommandRetrigger:
      channel.retrigger_count = 1;
      return kMusicOk;
    case kCommandSync:
      state.sync_value = info;
      if (state.sync_callback != nullptr) state.sync_callback(info, state.position, state.row);
      return kMusicOk;
    default:
      // Arpeggio, vibrato and tremolo act on the other ticks only; the
      // remaining numbers are not produced for S3M modules.
      return kMusicOk;
  }
}

int RunTickAction(PlayState& state, PlayChannel& channel, uint8_t info) {
  switch (channel.command) {
    case kCommandArpeggio:
      ArpeggioTick(state, channel, info);
      return kMusicOk;
    case kCommandPortamentoUp:
    case kCommandPortamentoDown: {
      const int64_t sign = channel.command == kCommandPortamentoUp ? -1 : 1;
      if (info < 0xE0) ApplyPeriod(state, channel, channel.period + sign * int64_t{info} * 4);
      return kMusicOk;
    }
    case kCommandTonePortamento:
      TonePortamentoTick(state, channel, info);
      return kMusicOk;
    case kCommandVibrato:
      VibratoTick(state, channel, info);
      return kMusicOk;
    case kCommandTonePortaVolSlide:
      VolumeSlide(state, channel, info, Phase::kOtherTick);
      TonePortamentoTick(state, channel, 0);
      return kMusicOk;
    case kCommandVibratoVolSlide:
      VolumeSlide(state, channel, info, Phase::kOtherTick);
      VibratoTick(state, channel, 0);
      return kMusicOk;
    case kCommandVolumeSlide:
      VolumeSlide(state, channel, info, Phase::kOtherTick);
      return kMusicOk;
    case kCommandNoteCut:
      if (info == state.tick) ApplyVolume(state, channel, 0);
      return kMusicOk;
    case kCommandNoteDelay:
      if (info == state.tick && (channel.flags & kChannelNoteDelayed) != 0) {
        channel.flags &= ~kChannelNoteDelayed;
        return StartNote(state, channel);
      }
      return kMusicOk;
    case kCommandRetrigger:
      return RetriggerTick(state, channel, info);
    default:
      return kMusicOk;
  }
}
