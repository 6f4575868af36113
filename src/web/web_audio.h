// The meeting point of the page's audio callback and the music system: the
// callback asks for a block of frames, the music system's player fills the
// browser's sound output with them (instead of a playback thread).
#pragma once

#include <cstdint>

class BackgroundPlayer;

// The player the audio callback drives while it runs (null: none).
void SetWebAudioPlayer(BackgroundPlayer* player);
// Has the running player fill what the sound output wants now.
void PumpWebAudioPlayer();
