// The default music: an original composition of fourteen sections whose
// boundaries fall on the demo's scene changes, written as an S3M module.
#pragma once

#include <string>
#include <vector>

#include "content/s3m_writer.h"

// Seconds at which the music's sections begin, the last entry being the
// end of the song; they match the rows of the demo's schedule.
const std::vector<double>& MusicSectionStarts();

// Builds the module. Fails (false, reason in *error) only when the
// composition no longer lines up with the section starts.
bool ComposeMusic(S3mModule* module, std::string* error);
