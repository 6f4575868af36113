// The instrument and voice layer of the player for the rule sets with real
// instruments ("Extended Module:" and "IMPM" files): default volume and
// panning of an instrument, the note map, key off and fade-out, the volume,
// panning and pitch envelopes and the automatic vibrato. The pattern
// commands set a channel's volume, panning and period; this layer turns them,
// once per tick, into what the device hears.
//
// The S3M and plain rules never reach it: for them the functions return at
// once and ChannelRateHz is the period's rate.
#pragma once

#include <cstdint>

#include "music/player.h"

// True for the rule sets with instruments, envelopes and fade-out.
bool UsesInstruments(const PlayState& state);

// An instrument byte was read on the row (after the channel took the
// sample's volume): takes the default panning and, under the extended
// rules, restarts the envelopes, the fade-out and the automatic vibrato,
// whether or not a note comes with it. Device code.
int ApplyInstrumentByte(PlayState& state, PlayChannel& channel);

// The note the instrument's map plays for the channel's note.
uint8_t MappedNote(const PlayState& state, const PlayChannel& channel);

// The channel's note has just started sample on the device.
void NoteStarted(PlayState& state, PlayChannel& channel, const ModuleSample* sample);

// A key off: the sustain lets go and the fade-out starts (extended rules
// without a volume envelope: the volume drops to 0 at once). Device code.
int ReleaseKey(PlayState& state, PlayChannel& channel);

// Once per tick, after the row or the effects: moves the envelopes, the
// fade-out and the automatic vibrato on and sets each channel's instrument
// volume, panning and pitch offset. Device code.
int UpdateInstrumentVoices(PlayState& state);

// The module's instrument at index, or null.
const ModuleInstrument* InstrumentAt(const PlayState& state, int32_t index);

// One tick of a voice's envelopes, fade-out and automatic vibrato: returns
// its instrument volume (0..64), sets voice.pitch_offset and sends the
// enveloped panning to the device's channel or voice device_voice.
uint8_t StepVoice(PlayState& state, const ModuleInstrument& instrument, ChannelVoice& voice,
                  int device_voice);
// "IMPM" rules: the voice's volume envelope has run to its end, on 0 (the
// note is over).
bool VolumeEnvelopeEndedSilent(const ModuleInstrument& instrument, const ChannelVoice& voice);
// Lets go of a voice's key: its sustain ends and, by the rules, its fade-out
// starts. *silences: the extended rules want the volume cut at once (no
// volume envelope). Device code.
int ReleaseVoice(PlayState& state, const ModuleInstrument* instrument, ChannelVoice& voice,
                 int device_voice, bool* silences);

// The rate for a period under the module's frequency model (for a sample
// whose middle C plays at middle_c_rate_hz) moved by pitch_offset (1/64
// semitones).
uint32_t OffsetRateHz(const PlayState& state, uint32_t period, uint32_t middle_c_rate_hz,
                      int32_t pitch_offset);
// The rate the device plays the channel at: its output period with the
// envelope's and the automatic vibrato's pitch offset.
uint32_t ChannelRateHz(const PlayState& state, const PlayChannel& channel);
