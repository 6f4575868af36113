// LoadScene: reads a .3DS member of the content library whole into memory
// with one Read, then parses it in place.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "scene/tds_reader.h"
#include "storage/content_library.h"
#include "storage/file_library.h"

namespace {

// The member's bytes, or false with the reason in *error.
bool ReadLibraryMember(const char* path, std::vector<uint8_t>* bytes, SceneLoadError* error) {
  if (ContentLibrary == nullptr) {
    std::snprintf(error->message, sizeof(error->message), "%s: no content library is open", path);
    return false;
  }
  std::unique_ptr<TFileInLib> stream = std::make_unique<TFileInLib>(ContentLibrary);
  stream->SetName(path);
  stream->Open(smRead);
  const int32_t size = stream->Size();
  if (stream->Failed() || size < 0) {
    std::snprintf(error->message, sizeof(error->message), "%s: not found in the content library",
                  path);
    return false;
  }
  bytes->resize(static_cast<size_t>(size));
  if (size == 0 || stream->Read(bytes->data(), size, 1) != 1) {
    std::snprintf(error->message, sizeof(error->message), "%s: cannot read its %d bytes", path,
                  static_cast<int>(size));
    return false;
  }
  return true;
}

}  // namespace

Scene* LoadScene(const char* path, SceneLoadError* error) {
  SceneLoadError local_error;
  SceneLoadError* reason = error != nullptr ? error : &local_error;
  reason->message[0] = '\0';
  std::vector<uint8_t> bytes;
  if (path == nullptr || !ReadLibraryMember(path, &bytes, reason)) return nullptr;
  Scene* scene = LoadSceneFromMemory(bytes.data(), bytes.size(), reason);
  if (scene == nullptr && error != nullptr) {
    // Name the member in the reason.
    const std::string message = std::string(path) + ": " + reason->message;
    const size_t kept = std::min(message.size(), sizeof(reason->message) - 1);
    std::memcpy(reason->message, message.data(), kept);
    reason->message[kept] = '\0';
  }
  return scene;
}

Scene* LoadScene(const char* path) {
  return LoadScene(path, nullptr);
}
