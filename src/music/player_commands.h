// The actions of the player's commands: what each internal command number
// does on its row's own tick and on the ticks after it, and the steps they
// share (pitch and volume clamps, volume slide, starting a note, position
// jumps). Used by player.cpp only; exposed for the player's tests.
#pragma once

#include <cstdint>

#include "music/player.h"

// Clamping steps; each writes what it computes into the channel.
void ApplyPeriod(const PlayState& state, PlayChannel& channel, int64_t period);
void ApplyOutputPeriod(const PlayState& state, PlayChannel& channel, int64_t period);
void ApplyVolume(const PlayState& state, PlayChannel& channel, int volume);
int ApplyPanning(const PlayState& state, PlayChannel& channel, int value);  // device code

// Starts (or stops, for a cut) the channel's note on the device. Device code.
int StartNote(PlayState& state, PlayChannel& channel);
// Moves to the next playable order, counting passes through the song end.
void AdvancePosition(PlayState& state);

// The command's action on the row's own tick, with info (memory already put
// in place of 0 when the caller wants it). repeat is 1 for the repetitions
// of a pattern delay. Device code or 0.
int RunRowAction(PlayState& state, PlayChannel& channel, uint8_t info, int repeat);
// The command's action on the other ticks. Device code or 0.
int RunTickAction(PlayState& state, PlayChannel& channel, uint8_t info);

// Steps shared by the rule sets: the tone portamento's target on the row
// and its slide on the other ticks, and one vibrato step.
void TonePortamentoRow(const PlayState& state, PlayChannel& channel);
void TonePortamentoTick(const PlayState& state, PlayChannel& channel, uint8_t info);
void VibratoTick(const PlayState& state, PlayChannel& channel, uint8_t info);

// The plain-module rules' actions: commands whose meaning differs from the
// S3M rules, or that only plain modules have; the others go to
// RunRowAction and RunTickAction.
int RunPlainRowAction(PlayState& state, PlayChannel& channel, uint8_t info, int repeat);
int RunPlainTickAction(PlayState& state, PlayChannel& channel, uint8_t info);

// The sample the channel plays, or null.
const ModuleSample* ChannelSample(const PlayState& state, const PlayChannel& channel);

// The extended and impulse rules (player_impulse_commands.cpp): the
// commands numbered from kCommandPatternBreakRow on, and for the impulse
// rules their own versions of the shared ones; the rest go to RunRowAction
// and RunTickAction.
int RunNewRowAction(PlayState& state, PlayChannel& channel, uint8_t info, int repeat);
int RunNewTickAction(PlayState& state, PlayChannel& channel, uint8_t info);
// The volume column's commands (bytes above 64) under the extended and
// impulse rules, on the row's tick (row_tick 1) or the others. Device code.
int RunVolumeColumn(PlayState& state, PlayChannel& channel, int row_tick);
// Where the impulse rules keep the last non-zero info of a command in
// PlayChannel::effect_memory; -1 for commands without one.
int ImpulseMemorySlot(const PlayState& state, uint8_t command);
// A vibrato, tremolo or panbrello waveform's value at position (0..63 of a
// period, higher bits ignored), -255..255: 0 sine, 1 ramp down, 2 square,
// 3 random (a fixed scramble of the position, so a song plays the same
// every time); bit 2 (no restart on a new note) is ignored.
int WaveformValue(int waveform, uint8_t position);
// S as the impulse rules store it (info: the parameter) -> the internal
// command and info of its sub-command, kCommandNone for none; S00 stands
// for the channel's last S.
void DecodeImpulseSpecial(PlayChannel& channel, uint8_t* command, uint8_t* info);
// The impulse rules' vibrato on a row with a note: its step on the row's
// tick comes once the note has started.
void ImpulseVibratoAfterNote(const PlayState& state, PlayChannel& channel);
// The impulse rules: the channel's row has a vibrato, which goes on from
// the last row's pitch instead of starting from the note's.
bool ImpulseRowKeepsVibrato(const PlayState& state, const PlayChannel& channel);
// Glissando: the output period moves to the nearest whole semitone.
void GlissandoPeriod(const PlayState& state, PlayChannel& channel);
