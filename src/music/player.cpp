// The module player: play slots, ticks and rows, order-list traversal and
// the push of every channel's volume and rate to the sound device.
#include "music/player.h"

#include <algorithm>
#include <new>

#include "music/mixer.h"
#include "music/music_errors.h"
#include "music/pitch.h"
#include "music/player_commands.h"
#include "music/player_instruments.h"
#include "music/player_new_notes.h"

namespace {

// The player's one process-wide state: its slots and the device they play on.
struct PlayerSlots {
  PlayState* states[kPlaySlots] = {};
  bool starting = false;  // PlayerTick does nothing while a state is set up
  Mixer* device = nullptr;
  TempoHook tempo_hook = nullptr;
};

PlayerSlots& Slots() {
  static PlayerSlots slots;
  return slots;
}

// Commands whose info 0 means "the last value": they take the channel's
// memory in its place. For the others 0 is a value of its own (C00 breaks to
// row 0, B00 jumps to the first order, SB0 marks the loop row, S80 pans
// left): they keep it.
bool UsesMemory(uint8_t command) {
  switch (command) {
    case kCommandArpeggio:
    case kCommandPortamentoUp:
    case kCommandPortamentoDown:
    case kCommandTonePortamento:
    case kCommandVibrato:
    case kCommandTonePortaVolSlide:
    case kCommandVibratoVolSlide:
    case kCommandTremolo:
    case kCommandSampleOffset:
    case kCommandVolumeSlide:
    case kCommandRetrigger:
      return true;
    default:
      return false;
  }
}

// The plain and extended rules share Protracker's commands and differ from
// it in their effect memories only.
bool PlainRules(const PlayState& state) {
  return state.module->rules == kRulesPlain || state.module->rules == kRulesExtended;
}

// Where the extended rules keep the last non-zero info of a command; -1 for
// commands without a memory (or with one inside the command).
int ExtendedMemorySlot(uint8_t command) {
  switch (command) {
    case kCommandPortamentoUp:
      return 0;
    case kCommandPortamentoDown:
      return 1;
    case kCommandVolumeSlide:
    case kCommandTonePortaVolSlide:
    case kCommandVibratoVolSlide:
      return 2;  // the three slides share one
    case kCommandFinePortamentoUp:
      return 3;
    case kCommandFinePortamentoDown:
      return 4;
    case kCommandFineVolumeUp:
      return 5;
    case kCommandFineVolumeDown:
      return 6;
    case kCommandRetrigger:
      return 7;
    case kCommandGlobalVolumeSlide:
      return 8;
    case kCommandPanningSlide:
      return 9;
    case kCommandExtraFinePortamentoUp:
      return 10;
    case kCommandExtraFinePortamentoDown:
      return 11;
    default:
      return -1;
  }
}

bool ImpulseRules(const PlayState& state) {
  return state.module->rules == kRulesImpulse;
}

// Quirk (S3M rules): one memory per channel stands in for any info of 0.
// The plain rules have no such memory (the commands that remember do it
// themselves); the extended rules keep one per command.
uint8_t EffectiveInfo(const PlayState& state, PlayChannel& channel) {
  if (state.module->rules == kRulesExtended || ImpulseRules(state)) {
    const int slot = ImpulseRules(state) ? ImpulseMemorySlot(state, channel.command)
                                         : ExtendedMemorySlot(channel.command);
    if (slot < 0) return channel.info;
    if (channel.info != 0) channel.effect_memory[slot] = channel.info;
    return channel.effect_memory[slot];
  }
  if (PlainRules(state)) return channel.info;
  return channel.info == 0 && UsesMemory(channel.command) ? channel.memory : channel.info;
}

// Command numbers above this are invalid pattern data under the state's rules.
uint8_t HighestCommand(const PlayState& state) {
  return PlainRules(state) || UsesInstruments(state) ? kCommandHighestAnyRules : kCommandHighest;
}

int RowAction(PlayState& state, PlayChannel& channel, uint8_t info, int repeat) {
  if (channel.command >= kCommandInstrumentControl) return RunVoiceCommand(state, channel, info);
  if (ImpulseRules(state) || channel.command >= kCommandPatternBreakRow)
    return RunNewRowAction(state, channel, info, repeat);
  return PlainRules(state) ? RunPlainRowAction(state, channel, info, repeat)
                           : RunRowAction(state, channel, info, repeat);
}

int TickAction(PlayState& state, PlayChannel& channel, uint8_t info) {
  if (ImpulseRules(state) || channel.command >= kCommandPatternBreakRow)
    return RunNewTickAction(state, channel, info);
  return PlainRules(state) ? RunPlainTickAction(state, channel, info)
                           : RunTickAction(state, channel, info);
}

void PatternBytes(const PlayState& state, const uint8_t** begin, const uint8_t** end) {
  static const uint8_t kNoRows[1] = {0};
  const Module& module = *state.module;
  if (state.pattern < 0 || state.pattern >= module.pattern_count ||
      module.patterns[state.pattern] == nullptr) {
    *begin = kNoRows;
    *end = kNoRows;
    return;
  }
  const ModulePattern& pattern = *module.patterns[state.pattern];
  *begin = pattern.rows;
  *end = pattern.rows + (pattern.size_bytes - kModulePatternHeadBytes);
}

size_t EntryBytes(uint8_t what) {
  return 1 + ((what & 32) ? 2 : 0) + ((what & 64) ? 1 : 0) + ((what & 128) ? 2 : 0);
}

// Skips to the start of row `row`; never past the pattern's data.
const uint8_t* LocateRow(const uint8_t* at, const uint8_t* end, int32_t row) {
  for (int32_t skipped = 0; skipped < row && at < end; ++skipped) {
    while (at < end && *at != 0)
      at += std::min<size_t>(EntryBytes(*at), static_cast<size_t>(end - at));
    if (at < end) ++at;
  }
  return at;
}

// Reads one row's entries into the channels; returns the start of the next row.
const uint8_t* ReadRow(PlayState& state, const uint8_t* at, const uint8_t* end) {
  while (at < end && *at != 0) {
    const uint8_t what = *at;
    const size_t bytes = EntryBytes(what);
    if (bytes > static_cast<size_t>(end - at)) return end;
    const uint8_t* field = at + 1;
    at += bytes;
    const int channel_index = what & 31;
    if (channel_index >= state.channel_count) continue;
    PlayChannel& channel = state.channels[channel_index];
    if (what & 32) {
      if (field[0] != kNoteNone) {
        channel.note = field[0];
        channel.flags |= kChannelNewNote;
      }
      if (field[1] != kInstrumentNone) {
        channel.instrument_number = field[1];
        channel.flags |= kChannelInstrumentPresent;
      }
      field += 2;
    }
    if (what & 64) {
      if (field[0] != kVolumeNone) {
        channel.volume_byte = field[0];
        channel.flags |= kChannelVolumePresent;
      }
      field += 1;
    }
    if ((what & 128) && field[0] != 0) {
      uint8_t command = field[0];
      uint8_t info = field[1];
      if (command == kCommandImpulseSpecial) DecodeImpulseSpecial(channel, &command, &info);
      if (command != kCommandNone) {
        channel.command = command;
        channel.info = info;
        channel.flags |= kChannelCommandPresent;
      }
    }
  }
  return at < end ? at + 1 : end;
}

int RunTickEffects(PlayState& state) {
  for (int32_t i = 0; i < state.channel_count; ++i) {
    PlayChannel& channel = state.channels[i];
    if (channel.flags & kChannelVolumePresent) {
      const int code = RunVolumeColumn(state, channel, 0);
      if (code != kMusicOk) return code;
    }
    if ((channel.flags & kChannelCommandPresent) == 0) continue;
    if (channel.command > HighestCommand(state)) return kMusicInvalidPatternData;
    const int code = TickAction(state, channel, EffectiveInfo(state, channel));
    if (code != kMusicOk) return code;
  }
  return kMusicOk;
}

int ApplyRowToChannel(PlayState& state, PlayChannel& channel) {
  Mixer* device = state.device;
  int code = kMusicOk;
  if (channel.flags & kChannelInstrumentPresent) {
    channel.instrument = channel.instrument_number;
    channel.sample = 0;
    channel.sample_offset = 0;
    const ModuleSample* sample = ChannelSample(state, channel);
    if (sample != nullptr) {
      const int volume = std::clamp(sample->volume, 0, state.maximum_volume);
      channel.volume = static_cast<uint8_t>(volume);
      channel.output_volume = channel.volume;
    }
    if (device != nullptr) code = device->SetSample(channel.device_channel, sample);
    if (code == kMusicOk) code = ApplyInstrumentByte(state, channel);
    if (code != kMusicOk) return code;
  }
  if ((channel.flags & kChannelVolumePresent) && channel.volume_byte <= 64) {
    channel.volume = static_cast<uint8_t>(std::min<int>(channel.volume_byte, state.maximum_volume));
    channel.output_volume = channel.volume;
  }
  if (channel.flags & kChannelVolumePresent) {
    code = RunVolumeColumn(state, channel, 1);
    if (code != kMusicOk) return code;
  }
  if (channel.flags & kChannelCommandPresent) {
    if (channel.command > HighestCommand(state)) return kMusicInvalidPatternData;
    if (channel.info != 0) channel.memory = channel.info;
    code = RowAction(state, channel, EffectiveInfo(state, channel), 0);
    if (code != kMusicOk) return code;
  }
  if (channel.flags & kChannelNewNote) {
    code = StartNote(state, channel);
    if (code == kMusicOk) ImpulseVibratoAfterNote(state, channel);
    return code;
  }
  // The row ends any vibrato or arpeggio offset of the previous row (the
  // impulse rules' vibrato goes on from it).
  if (channel.period != 0 && !ImpulseRowKeepsVibrato(state, channel))
    ApplyOutputPeriod(state, channel, channel.period);
  return kMusicOk;
}

int ProcessRow(PlayState& state) {
  state.status = PlayStatus{state.position, state.pattern, state.row};
  state.row_extra_ticks = 0;
  if (state.pattern_delay != 0) {
    // Quirk: the repetitions run the row actions with the info as stored,
    // without putting the memory in place of a 0.
    for (int32_t i = 0; i < state.channel_count; ++i) {
      PlayChannel& channel = state.channels[i];
      if ((channel.flags & kChannelCommandPresent) == 0) continue;
      if (channel.command > HighestCommand(state)) return kMusicInvalidPatternData;
      const int code = RowAction(state, channel, channel.info, 1);
      if (code != kMusicOk) return code;
    }
    const int code = RunTickEffects(state);
    --state.pattern_delay;
    return code;
  }
  const uint8_t* begin = nullptr;
  const uint8_t* end = nullptr;
  PatternBytes(state, &begin, &end);
  if (state.row_cursor == nullptr) state.row_cursor = LocateRow(begin, end, state.row);
  for (int32_t i = 0; i < state.channel_count; ++i) {
    state.channels[i].flags &= ~(kChannelNewNote | kChannelVolumePresent |
                                 kChannelInstrumentPresent | kChannelCommandPresent);
  }
  state.row_cursor = ReadRow(state, state.row_cursor, end);
  ++state.rows_read;
  for (int32_t i = 0; i < state.channel_count; ++i) {
    const int code = ApplyRowToChannel(state, state.channels[i]);
    if (code != kMusicOk) return code;
  }
  if (state.row_cursor != nullptr) {  // no jump, break or loop on this row
    ++state.row;
    const int32_t row_count = state.module->patterns[state.pattern]->row_count;
    if (state.row >= row_count) {
      state.row = 0;
      state.pattern_loop_row = 0;
      AdvancePosition(state);
    }
  }
  return kMusicOk;
}

int UpdateDevice(const PlayState& state) {
  Mixer* device = state.device;
  if (device == nullptr) return kMusicOk;
  for (int32_t i = 0; i < state.channel_count; ++i) {
    const PlayChannel& channel = state.channels[i];
    uint64_t product = uint64_t{state.global_volume} * channel.output_volume *
                       channel.instrument_volume * state.music_volume;
    int shift = 18;
    if (ImpulseRules(state)) {
      // Global volume 0..128 and the channel's own volume 0..64; the
      // sample's and the instrument's global volumes are in
      // instrument_volume already.
      product *= channel.channel_volume;
      shift = 25;
    }
    const uint64_t round = (uint64_t{1} << shift) - 1;
    int code =
        device->SetVolume(channel.device_channel, static_cast<int>((product + round) >> shift));
    if (code == kMusicOk && channel.output_period != 0) {
      code = device->SetRate(channel.device_channel, ChannelRateHz(state, channel));
    }
    if (code != kMusicOk) return code;
  }
  return kMusicOk;
}

void ResetChannel(PlayChannel& channel, int device_channel, uint8_t channel_volume) {
  channel = PlayChannel{};
  channel.channel_volume = channel_volume;
  channel.envelope_position_request = -1;
  channel.instrument = -1;
  channel.instrument_number = -1;
  channel.sample = 255;
  channel.note = kNoteNone;
  channel.last_note = kNoteNone;
  channel.volume = 64;
  channel.output_volume = 64;
  channel.instrument_volume = 64;
  channel.voice.fade = kVoiceFadeFull;
  channel.voice.filter_cutoff = 127;
  channel.device_channel = static_cast<uint8_t>(device_channel);
}

int SetUpState(PlayState& state, Module* module, const int* device_channels, int loop,
               Mixer* device) {
  state = PlayState{};
  state.module = module;
  state.last_position = module->song_length - 1;
  state.restart_position = module->restart_position;
  state.speed = module->speed;
  state.channel_count = std::min<int32_t>(module->channel_count, kModuleMaxChannels);
  state.loop_flag = loop;
  state.global_volume = module->master_volume;
  state.music_volume = 64;
  state.sync_value = -1;
  state.pattern = module->orders[0];
  if (state.pattern >= module->pattern_count) {
    // The song starts on a marker: move to the first pattern it plays.
    state.position = -1;
    AdvancePosition(state);
    state.loop_count = 0;
    state.global_volume = module->master_volume;
  }
  // A tempo of 0 would stop the clock: play it at the default 125.
  const uint32_t tempo = module->tempo != 0 ? module->tempo : 125;
  state.update_rate = tempo * 40;
  state.device = device;
  int code = device != nullptr ? device->SetUpdateRate(state.update_rate) : kMusicOk;
  for (int32_t i = 0; i < state.channel_count && code == kMusicOk; ++i) {
    ResetChannel(state.channels[i], device_channels != nullptr ? device_channels[i] : i,
                 module->channel_volume[i]);
    code = ApplyPanning(state, state.channels[i], module->panning[i]);
  }
  state.period_shift = 2;
  state.maximum_volume = module->rules == kRulesPlain || module->rules == kRulesExtended ||
                                 module->rules == kRulesImpulse
                             ? kPlayerPlainMaximumVolume
                             : kPlayerMaximumVolume;
  const bool amiga_limits = (module->flags & kModuleFlagAmigaLimits) != 0;
  state.maximum_period = amiga_limits ? 3424 : 0x7FFF;
  state.minimum_period = amiga_limits ? 452 : 64;
  if (module->frequency_model == kFrequencyLinear) {
    // A linear period may slide on past the notes' B-9 (64) up to 1.
    state.maximum_period = 0x7FFF;
    state.minimum_period = 1;
  }
  return code;
}

}  // namespace

void PlayerSetDevice(Mixer* device) {
  Slots().device = device;
}
Mixer* PlayerDevice() {
  return Slots().device;
}
void PlayerSetTempoHook(TempoHook hook) {
  Slots().tempo_hook = hook;
}
TempoHook PlayerGetTempoHook() {
  return Slots().tempo_hook;
}

int PlayerStart(Module* module, const int* device_channels, int loop, PlayState** state) {
  if (module == nullptr || state == nullptr || module->song_length <= 0 ||
      module->pattern_count <= 0) {
    return kMusicInvalidArgument;
  }
  PlayerSlots& slots = Slots();
  PlayState** slot = std::find(std::begin(slots.states), std::end(slots.states), nullptr);
  if (slot == std::end(slots.states)) return kMusicOutOfResources;
  auto* created = new (std::nothrow) PlayState;
  if (created == nullptr) return kMusicOutOfMemory;
  slots.starting = true;
  const int code = SetUpState(*created, module, device_channels, loop, slots.device);
  if (code != kMusicOk) {
    delete created;
  } else {
    *slot = created;
    *state = created;
  }
  slots.starting = false;
  return code;
}

int PlayerTickState(PlayState* state) {
  if (state == nullptr || state->stuck) return kMusicOk;
  // Once past its end a song that is not repeated sends nothing more.
  if (state->loop_count > 0 && state->loop_flag == 0) return kMusicOk;
  // Quirk: a state starts on tick 0 of no row, so the first row is read on
  // the speed-th tick like every later one (a lead-in of speed - 1 ticks).
  if (PlainRules(*state) || ImpulseRules(*state)) {
    // Each tick starts from the channels' own volumes; a tremolo then moves
    // what the device hears for this tick only.
    for (int32_t i = 0; i < state->channel_count; ++i) {
      state->channels[i].output_volume = state->channels[i].volume;
    }
  }
  int code;
  if (++state->tick < state->speed + state->row_extra_ticks) {
    code = RunTickEffects(*state);
  } else {
    state->tick = 0;
    code = ProcessRow(*state);
  }
  if (code == kMusicOk) code = UpdateInstrumentVoices(*state);
  return code != kMusicOk ? code : UpdateDevice(*state);
}

int PlayerTick() {
  PlayerSlots& slots = Slots();
  if (slots.starting) return kMusicOk;
  for (PlayState* state : slots.states) {
    const int code = PlayerTickState(state);
    if (code != kMusicOk) return code;
  }
  return kMusicOk;
}

void PlayerStop(PlayState* state) {
  if (state == nullptr) return;
  PlayerSlots& slots = Slots();
  for (PlayState*& slot : slots.states) {
    if (slot == state) slot = nullptr;
  }
  FreeBackgroundVoices(*state);
  delete state;
}

int PlayerSongEnded(const PlayState* state) {
  return state != nullptr && (state->loop_count > 0 || state->stuck) ? 1 : 0;
}

int ModuleChannelCount(const Module* module) {
  return module != nullptr ? module->channel_count : 0;
}

double PlayerWalkSong(Module* module, uint32_t max_rows, SongRowFunction on_row, void* context) {
  if (module == nullptr || module->song_length <= 0 || module->pattern_count <= 0) return 0.0;
  auto* state = new (std::nothrow) PlayState;
  if (state == nullptr) return 0.0;
  SetUpState(*state, module, nullptr, 1, nullptr);
  double seconds = 0.0;
  while (state->rows_read < max_rows && !state->stuck) {
    const bool reads_row =
        state->tick + 1 >= state->speed + state->row_extra_ticks && state->pattern_delay == 0;
    if (reads_row && state->loop_count > 0) break;
    const uint32_t rows_before = state->rows_read;
    if (PlayerTickState(state) != kMusicOk) break;
    if (on_row != nullptr && state->rows_read != rows_before) on_row(state->status, context);
    // The tick just run lasts until the next one, at the rate it left.
    seconds += 100.0 / state->update_rate;
  }
  delete state;
  return seconds;
}
