// New note actions, duplicate checks and the background voices of the
// "IMPM" rules: when a channel starts a note, the note it was playing may go
// on beside it (continue, released, fading) on a voice of the device that the
// player keeps stepping through its envelopes until it has faded or ended.
// Also the commands that act on a channel's voices: the past-note actions,
// the new note action of the sounding note and the envelope switches (S7x).
#pragma once

#include <cstdint>

#include "music/player.h"

// Called before the channel starts sample for its new note: the duplicate
// check of the new note's instrument acts on the channel's earlier notes,
// then the sounding note is cut or handed to a background voice by its new
// note action. Device code.
int HandOverSoundingNote(PlayState& state, PlayChannel& channel, const ModuleSample* sample);

// One tick of every background voice: envelopes, fade-out, volume, panning
// and pitch; frees those that have faded or whose sample has ended.
void StepBackgroundVoices(PlayState& state);

// Gives every background voice back to the device (the state stops).
void FreeBackgroundVoices(PlayState& state);

// The row action of the commands this layer owns (kCommandInstrumentControl,
// kCommandFilterCutoff). Device code.
int RunVoiceCommand(PlayState& state, PlayChannel& channel, uint8_t info);
