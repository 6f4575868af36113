// Where the music system's mixed sound goes: the default sound card (SDL2),
// the silent "No Sound" device, or a WAV file. The background player asks
// an output how many frames it wants, mixes that many and hands them over;
// the output alone decides the pace (the sound card by how much it has
// queued, the silent and file outputs by the clock), so the player is ticked
// at the rate the song's tempo asks for whichever output plays.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct SoundFormat {
  int rate_hz = 44100;
  int channels = 2;  // 1 or 2, interleaved left then right
};

class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  virtual const char* Name() const = 0;
  // Frames the output takes now to stay on pace; 0 when it has enough.
  virtual int FramesWanted() = 0;
  // Takes frames × channels interleaved samples. False when the output
  // failed for good (the reason in *error).
  virtual bool Write(const int16_t* samples, int frames, std::string* error) = 0;
  // Ends the output (a file is completed). False with the reason in *error.
  virtual bool Close(std::string* error) = 0;
  // Forgets sound handed over but not heard yet (a sound card's queue of
  // silence when a song starts), so the song is heard at once rather than
  // a buffer length late. Clock-paced outputs have nothing queued.
  virtual void DropQueued() {}
  // True when losing this output costs only the sound (a sound card); a
  // file that stops being written must not pass for complete.
  virtual bool MayFallSilent() const { return false; }
};

// Milliseconds of a monotonic clock; the silent and file outputs are paced
// by one. The default follows the demo clock: the wall clock normally, the
// virtual clock when the run uses one, so headless runs stay in step.
using MillisecondClock = double (*)();
double DemoClockMs();

// The default audio device through SDL2, keeping about buffer_length_ms of
// sound queued. Null with the reason in *error when no device opens.
std::unique_ptr<SoundOutput> OpenSdlOutput(const SoundFormat& format, int buffer_length_ms,
                                           std::string* error);

// Plays nothing, but wants frames at real-time pace so the song advances.
std::unique_ptr<SoundOutput> OpenSilentOutput(const SoundFormat& format,
                                              MillisecondClock clock = DemoClockMs);

// Writes the sound to a 16-bit WAV file at the clock's pace; the file
// appears under its name when the output is closed.
std::unique_ptr<SoundOutput> OpenWavOutput(const SoundFormat& format, const std::string& path,
                                           std::string* error,
                                           MillisecondClock clock = DemoClockMs);
