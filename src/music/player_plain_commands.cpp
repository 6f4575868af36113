// The plain-module (Protracker) rules: the commands whose meaning differs
// from the S3M rules, and those only plain modules have. Protracker keeps no
// shared effect memory: a slide with info 0 does nothing, and only tone
// portamento, vibrato, tremolo and sample offset remember their last value.
#include <algorithm>

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

// Quirk: Axy slides up by x when x is set, whatever y holds, else down by
// y; only on the ticks after the row's, on a volume of 0..64.
void VolumeSlideTick(const PlayState& state, PlayChannel& channel, uint8_t info) {
  const int x = HighNibble(info);
  ApplyVolume(state, channel, channel.volume + (x != 0 ? x : -LowNibble(info)));
}

// The tremolo moves what the device hears, never the channel's volume, so
// the volume returns as the command ends.
void TremoloTick(const PlayState& state, PlayChannel& channel, uint8_t info) {
  if (LowNibble(info) != 0) channel.tremolo_depth = LowNibble(info);
  if (HighNibble(info) != 0) channel.tremolo_speed = HighNibble(info);
  const int wave = WaveformValue(channel.waveforms >> 3 & 7, channel.tremolo_position);
  const int delta = ((wave < 0 ? -wave : wave) * channel.tremolo_depth) >> 6;
  const int volume = wave < 0 ? channel.volume - delta : channel.volume + delta;
  channel.output_volume = static_cast<uint8_t>(std::clamp(volume, 0, state.maximum_volume));
  channel.tremolo_position = static_cast<uint8_t>(channel.tremolo_position + channel.tremolo_speed);
}

int RetriggerNote(PlayState& state, const PlayChannel& channel, uint8_t info) {
  const int every = LowNibble(info);
  if (every == 0 || state.tick % every != 0 || state.device == nullptr) return kMusicOk;
  return state.device->SetPosition(channel.device_channel, 0);
}

// Quirk: each channel keeps its own loop row and count (E60 marks, E6x
// repeats x times); the row is not forgotten at a pattern's end.
void PatternLoop(PlayState& state, PlayChannel& channel, uint8_t count) {
  if (count == 0) {
    channel.pattern_loop_row = static_cast<uint8_t>(state.row);
    return;
  }
  if (channel.pattern_loop_count == 0) {
    channel.pattern_loop_count = count;
  } else if (--channel.pattern_loop_count == 0) {
    return;
  }
  state.row = channel.pattern_loop_row;
  state.row_cursor = nullptr;
}

int SetPanning(PlayState& state, PlayChannel& channel, uint8_t full) {
  // 0..255 onto the device's 0..128 (the player's middle is 64).
  return ApplyPanning(state, channel, (full * 128 + 127) / 255);
}

}  // namespace

int RunPlainRowAction(PlayState& state, PlayChannel& channel, uint8_t info, int repeat) {
  switch (channel.command) {
    case kCommandPortamentoUp:
    case kCommandPortamentoDown:
    case kCommandVolumeSlide:
    case kCommandVibratoVolSlide:
      return kMusicOk;  // they act on the other ticks only
    case kCommandSampleOffset: {
      if (info != 0) channel.offset_memory = info;
      if ((channel.flags & kChannelNewNote) == 0) return kMusicOk;
      // Unlike the S3M rules the offset belongs to this note alone.
      channel.sample_offset = uint32_t{channel.offset_memory} * 256;
      const int code = StartNote(state, channel);
      channel.sample_offset = 0;
      return code;
    }
    case kCommandPatternBreak: {
      if (repeat) return kMusicOk;
      if (state.row_cursor != nullptr) AdvancePosition(state);
      // A row past the next pattern's end starts it at its top.
      const int row = HighNibble(info) * 10 + LowNibble(info);
      state.row = row < state.module->patterns[state.pattern]->row_count ? row : 0;
      state.row_cursor = nullptr;
      return kMusicOk;
    }
    case kCommandPatternLoop:
      if (!repeat) PatternLoop(state, channel, LowNibble(info));
      return kMusicOk;
    case kCommandSetVolume:
      ApplyVolume(state, channel, info);
      return kMusicOk;
    case kCommandFinePortamentoUp:
    case kCommandFinePortamentoDown: {
      // Quirk: a fine slide moves the note of its own row, so the note
      // starts first.
      const int code = (channel.flags & kChannelNewNote) ? StartNote(state, channel) : kMusicOk;
      const int64_t step = LowNibble(info) * 4;
      ApplyPeriod(
          state, channel,
          int64_t{channel.period} + (channel.command == kCommandFinePortamentoUp ? -step : step));
      return code;
    }
    case kCommandFineVolumeUp:
      ApplyVolume(state, channel, channel.volume + LowNibble(info));
      return kMusicOk;
    case kCommandFineVolumeDown:
      ApplyVolume(state, channel, channel.volume - LowNibble(info));
      return kMusicOk;
    case kCommandSetPanningFull:
      return SetPanning(state, channel, info);
    case kCommandRetriggerNote:
      // Quirk: on the row's tick only a row without a note retriggers.
      return (channel.flags & kChannelNewNote) == 0 ? RetriggerNote(state, channel, info)
                                                    : kMusicOk;
    case kCommandVibratoWaveform:
    case kCommandTremoloWaveform:
    case kCommandSetFinetune:
      return RunNewRowAction(state, channel, info, repeat);
    default:
      return RunRowAction(state, channel, info, repeat);
  }
}

int RunPlainTickAction(PlayState& state, PlayChannel& channel, uint8_t info) {
  switch (channel.command) {
    case kCommandPortamentoUp:
      ApplyPeriod(state, channel, int64_t{channel.period} - int64_t{info} * 4);
      return kMusicOk;
    case kCommandPortamentoDown:
      ApplyPeriod(state, channel, int64_t{channel.period} + int64_t{info} * 4);
      return kMusicOk;
    case kCommandVolumeSlide:
      VolumeSlideTick(state, channel, info);
      return kMusicOk;
    case kCommandTonePortaVolSlide:
      VolumeSlideTick(state, channel, info);
      TonePortamentoTick(state, channel, 0);
      return kMusicOk;
    case kCommandVibratoVolSlide:
      VolumeSlideTick(state, channel, info);
      VibratoTick(state, channel, 0);
      return kMusicOk;
    case kCommandTremolo:
      TremoloTick(state, channel, info);
      return kMusicOk;
    case kCommandRetriggerNote:
      return RetriggerNote(state, channel, info);
    default:
      return RunTickAction(state, channel, info);
  }
}
