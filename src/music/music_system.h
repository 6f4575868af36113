// The calling interface of the music system (version 1.1.2), in the order
// the demo calls it:
//
//   MusicStartup();                  // defaults, then the command line's presets
//   if (!MusicSetupDialog())         // 0: cancelled, or not shown (see below)
//     return MusicSetupDialogFailed() ? 1 : 0;
//   MusicInit();                     // opens the sound output
//   MusicStartBackgroundPlay(0);     // the playback thread, 20 ms poll period
//   MusicModule* module = MusicLoadModule("music.s3m");
//   uint32_t handle = MusicPlayModule(module, 0);   // demo thread
//   ...
//   MusicStopModule(handle); MusicFreeModule(module);
//   MusicStopBackgroundPlay(); MusicClose();
//
// Results are 1 for success and 0 for failure; MusicLastError() then gives
// the music error code (music_errors.h). A null module and a 0 play handle
// are accepted everywhere and do nothing. A fatal error of the playback
// thread writes its text to standard error and ends the process with 255.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

struct Module;
struct MusicModule;
struct PlayStatus;

// Resets the music system: settings to their defaults with the command
// line's presets laid over them, no error, nothing open. Always 1.
int MusicStartup();

// Shows the modal setup dialog "Music System v1.1.2 Setup" and keeps the
// chosen settings: 1 on OK, 0 on Cancel. With MusicSkipSetupDialog(true)
// (music_options.h) it returns 1 at once. When no dialog can be shown (no
// display) it writes why to standard error, sets MusicLastError() to 1 and
// returns 0 with MusicSetupDialogFailed() 1: the caller ends with exit code
// 1, whereas a Cancel ends it with 0.
int MusicSetupDialog();
// After MusicSetupDialog returned 0: 1 when the dialog could not be shown
// (no display), 0 when the user cancelled it.
int MusicSetupDialogFailed();

// Opens the sound output that the settings choose: "Default" is the default
// sound card, and silence when none opens; "No Sound" is silence; a WAV
// file when the command line asked for one. 0 when the output or the mixer
// cannot be set up.
int MusicInit();

// Starts the playback thread; its poll period is 20 ms for rate 0, else
// (1000 / rate) / 2 ms (at least 1). Always 1.
int MusicStartBackgroundPlay(uint32_t rate);

// Reads a module file from disk. The head of the file tells the format:
// "SCRM" at byte 44 is an S3M module, "Extended Module:" at byte 0 an
// extended one, "IMPM" at byte 0 an impulse one; any other file is read as a plain
// module, and refused when it is none. A refusal names the file (written to
// standard error too).
// Null on failure.
MusicModule* MusicLoadModule(const char* path);

// Starts a module from its beginning (or from the start time, below) on
// free device channels; the playback thread plays it from then on. loop 0
// plays the song once. Returns the play handle, 0 on failure.
uint32_t MusicPlayModule(MusicModule* module, int loop);
// Stops a playing module and frees its device channels.
int MusicStopModule(uint32_t handle);
// Stops every play of the module and releases it.
int MusicFreeModule(MusicModule* module);
// Asks the playback thread to end and waits for it. Always 1.
int MusicStopBackgroundPlay();
// Stops the thread and every play, closes the output (a WAV file is
// completed) and releases the music system. 0 when the output could not be
// completed.
int MusicClose();

// The code of the last failed operation (0: none).
int MusicLastError();

// Makes the next MusicPlayModule start the song at this time in seconds, as
// if it had played silently until then (the tail of a play from 0, sample
// for sample). Not reset by MusicStartup: the shell sets it from --start.
void MusicSetStartTime(double seconds);

// Where a playing module is (tools). 0 for an unknown handle.
int MusicGetPlayStatus(uint32_t handle, PlayStatus* status);
// 1 once the module has passed the end of its song (loop 0), else 0.
int MusicSongEnded(uint32_t handle);

// The music system's one critical section, around every use of the player
// and the mixer (the offline renderer holds it too).
std::mutex& MusicCriticalSection();

// Reads a module file as MusicLoadModule does (the same format checks), for
// tools and offline renders: 0 and *module, or a music error code with the
// reason in *reason. Free the module with FreeModule (s3m_reader.h).
int LoadModuleChecked(const char* path, Module** module, std::string* reason);
