// Whole-file writes that never leave a half-written file behind: the bytes go
// to PATH.part, which is renamed over PATH only once complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// On failure removes the temporary, leaves PATH as it was, and puts a message
// naming PATH and the reason in *error.
bool WriteFileAtomically(const std::string& path, const uint8_t* bytes, size_t size,
                         std::string* error);
