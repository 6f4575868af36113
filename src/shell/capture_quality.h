// How a video capture trades encoding time against picture quality and file
// size (--video-quality). Every choice is visually lossless on the demo's
// pictures; the faster ones spend more bytes to get there.
#pragma once

enum class VideoQuality {
  kFast,      // the default: the least encoding work, the largest files
  kBalanced,  // nearly twice the work, files two thirds as large
  kBest,      // three times the work of balanced: finer pictures, smaller files
};

// "fast", "balanced" or "best"; false for any other word.
bool ParseVideoQuality(const char* name, VideoQuality* quality);
