// Error codes of the music system's reader, player and sound device, and
// their texts. Every operation of the music core returns one of these ints:
// 0 is success, anything else names the failure. Show a code to a user with
// MusicErrorText(code) next to the file or operation that failed.
#pragma once

enum MusicErrorCode : int {
  kMusicOk = 0,
  kMusicUndefinedError = 1,
  kMusicOutOfMemory = 2,
  kMusicHeapCorrupted = 3,
  kMusicInvalidMemoryBlock = 4,   // an allocation of 0 bytes
  kMusicFileOpenFailed = 5,       // file layer: the file cannot be opened
  kMusicFileReadFailed = 6,       // file layer: the read failed
  kMusicFileSeekFailed = 7,       // file layer: the position is outside the file
  kMusicUnexpectedEndOfFile = 8,  // file layer: fewer bytes than asked for
  kMusicFileWriteFailed = 9,
  kMusicInvalidArgument = 10,  // a device operation got a channel or value out of range
  kMusicInvalidModule = 15,
  kMusicInvalidInstrument = 16,
  kMusicInvalidPatternData = 17,
  kMusicSoundDeviceFailure = 20,
  kMusicNoSoundDevice = 21,
  kMusicOutOfResources = 37,  // no free play slot
};

// The message for a code; never null. Unknown codes give "Unknown error".
const char* MusicErrorText(int code);
