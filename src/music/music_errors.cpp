// Texts of the music system's error codes.
#include "music/music_errors.h"

const char* MusicErrorText(int code) {
  switch (code) {
    case kMusicOk:
      return "OK";
    case kMusicUndefinedError:
      return "Undefined error";
    case kMusicOutOfMemory:
      return "Out of memory";
    case kMusicHeapCorrupted:
      return "Heap corrupted";
    case kMusicInvalidMemoryBlock:
      return "Invalid memory block";
    case kMusicFileOpenFailed:
      return "Unable to open file";
    case kMusicFileReadFailed:
      return "Unable to read file";
    case kMusicFileSeekFailed:
      return "Unable to seek in file";
    case kMusicUnexpectedEndOfFile:
      return "Unexpected end of file";
    case kMusicFileWriteFailed:
      return "Unable to write file";
    case kMusicInvalidArgument:
      return "Invalid argument";
    case kMusicInvalidModule:
      return "Invalid module file";
    case kMusicInvalidInstrument:
      return "Invalid instrument in module";
    case kMusicInvalidPatternData:
      return "Invalid pattern data in module";
    case kMusicSoundDeviceFailure:
      return "Sound device failure";
    case kMusicNoSoundDevice:
      return "No sound device";
    case kMusicOutOfResources:
      return "Out of system resources";
    default:
      return "Unknown error";
  }
}
