// The music system's settings and the fixed sound qualities.
#include "music/music_settings.h"

const QualityPreset kQualityPresets[kQualityPresetCount] = {
    {"very-low", 22050, 0}, {"low", 32000, 0},       {"medium", 44100, 0},
    {"high", 32000, 1},     {"very-high", 44100, 1},
};

MusicSettings& CurrentMusicSettings() {
  static MusicSettings settings;
  return settings;
}

int OutputChannels(const MusicSettings& settings) {
  const bool stereo = settings.output_mode == kOutputModeNotChosen ||
                      (settings.output_mode & kOutputModeStereoBit) != 0;
  return stereo ? 2 : 1;
}

int FindQualityPreset(int rate_hz, int interpolation) {
  for (int i = 0; i < kQualityPresetCount; ++i) {
    if (kQualityPresets[i].rate_hz == rate_hz &&
        (kQualityPresets[i].interpolation != 0) == (interpolation != 0)) {
      return i;
    }
  }
  return -1;
}
