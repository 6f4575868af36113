// Installs an in-memory library as the content library for a test's lifetime.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "storage/content_library.h"
#include "storage/file_library.h"
#include "storage/stream.h"
#include "storage/test_files.h"

namespace storage_test {

class ContentLibraryScope {
 public:
  explicit ContentLibraryScope(
      const std::vector<std::pair<std::string, std::vector<uint8_t>>>& members)
      : bytes_(MakeLibrary(members)), stream_(bytes_.data(), static_cast<int32_t>(bytes_.size())) {
    stream_.Open(smRead);
    library_ = std::make_unique<TFileLib>(&stream_);
    ContentLibrary = library_.get();
  }
  ~ContentLibraryScope() { ContentLibrary = nullptr; }

 private:
  std::vector<uint8_t> bytes_;
  TMemoryStream stream_;
  std::unique_ptr<TFileLib> library_;
};

}  // namespace storage_test
