// Format detection and dispatch to the module readers (see module_loader.h).
#include "music/module_loader.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "music/it_reader.h"
#include "music/mod_reader.h"
#include "music/music_errors.h"
#include "music/music_io.h"
#include "music/s3m_reader.h"
#include "music/xm_reader.h"

int LoadModuleFromMemory(const uint8_t* data, size_t size, Module** module, std::string* reason) {
  std::string unused;
  if (reason == nullptr) reason = &unused;
  reason->clear();
  if (size >= 16 && std::memcmp(data, "Extended Module:", 16) == 0) {
    const char* why = nullptr;
    const int code = LoadExtendedModuleFromMemory(data, size, module, &why);
    if (code != kMusicOk) *reason = why != nullptr ? why : MusicErrorText(code);
    return code;
  }
  if (size >= 4 && std::memcmp(data, "IMPM", 4) == 0) {
    const char* why = nullptr;
    const int code = LoadImpulseModuleFromMemory(data, size, module, &why);
    if (code != kMusicOk) *reason = why != nullptr ? why : MusicErrorText(code);
    return code;
  }
  int code;
  if (size >= 48 && std::memcmp(data + 44, "SCRM", 4) == 0) {
    code = LoadS3MFromMemory(data, size, module);
  } else {
    const char* why = nullptr;
    code = LoadPlainModuleFromMemory(data, size, module, &why);
    if (code != kMusicOk && why != nullptr) *reason = why;
  }
  if (code != kMusicOk && reason->empty()) *reason = MusicErrorText(code);
  return code;
}

int LoadModuleFile(const char* path, Module** module, std::string* reason) {
  std::string unused;
  if (reason == nullptr) reason = &unused;
  MusicFile* file = nullptr;
  int code = MusicFileOpen(path, &file);
  if (code != kMusicOk) {
    *reason = std::string("cannot open the module file: ") + std::strerror(errno);
    return code;
  }
  std::vector<uint8_t> bytes(MusicFileSize(file));
  code = MusicFileRead(file, bytes.data(), bytes.size());
  MusicFileClose(file);
  if (code != kMusicOk) {
    *reason = std::string("cannot read the module file (") + MusicErrorText(code) + ")";
    return code;
  }
  return LoadModuleFromMemory(bytes.data(), bytes.size(), module, reason);
}

const char* ModuleFormatName(int32_t rules) {
  switch (rules) {
    case kRulesPlain:
      return "mod";
    case kRulesS3M:
      return "s3m";
    case kRulesExtended:
      return "xm";
    case kRulesImpulse:
      return "it";
    default:
      return "unknown";
  }
}
