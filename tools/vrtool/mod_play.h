// vrtool mod play: plays a module through the music system's live path (the
// default sound card, silence or a WAV file) until its end or a key press.
#pragma once

// argv[0] is "play". Returns the exit code: 0 played, 1 failed, 2 wrong usage.
int RunModPlay(int argc, char** argv);
