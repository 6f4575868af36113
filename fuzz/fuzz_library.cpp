// libFuzzer target for the file library: the bytes are a whole library file.
// The directory is read; every member (up to a bound) is looked up by its
// name, read to its end in uneven pieces and sought about; the first two
// members are then read alternately. While the library has not failed, a
// member must give its bytes of the file unchanged, read alone or
// alternately.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "storage/file_library.h"
#include "storage/stream.h"

namespace {

constexpr int32_t kMembersRead = 64;
constexpr int32_t kPieces[] = {1, 7, 4096};

struct MemberName {
  char text[kLibEntryNameBytes + 1] = {};
};

MemberName NameOf(const LibEntry& entry) {
  MemberName name;
  std::memcpy(name.text, entry.name, kLibEntryNameBytes);
  return name;
}

// Reads the member from its start in pieces of piece bytes, at most limit
// bytes; returns what was read.
std::vector<uint8_t> ReadMember(TFileInLib* member, int32_t piece, int32_t limit) {
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> buffer(static_cast<size_t>(piece));
  while (static_cast<int32_t>(bytes.size()) < limit) {
    const int32_t before = member->Tell();
    const int32_t got = member->Read(buffer.data(), 1, piece);
    FuzzCheck(got >= 0 && got <= piece, "a read returns at most what was asked");
    FuzzCheck(member->Tell() == before + got, "a read moves the position by what it read");
    if (got == 0) break;
    bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
  }
  return bytes;
}

void ExerciseMember(TFileLib* library, const uint8_t* file, const LibEntry& entry, int32_t piece) {
  const MemberName name = NameOf(entry);
  // A name that fills its field without its NUL names nothing, and a damaged
  // entry (negative offset or length) does not open.
  const LibEntry* found = library->Find(name.text);
  FuzzCheck((found != nullptr) == (std::memchr(entry.name, 0, kLibEntryNameBytes) != nullptr),
            "a name of the directory is found when it ends inside its field");
  if (found == nullptr) return;
  const bool readable = found->offset >= 0 && found->length >= 0;
  TFileInLib member(library);
  member.SetName(name.text);
  FuzzCheck(member.Open(smWrite) == readable, "a member opens when its entry is readable");
  if (!readable) return;
  const int32_t size = member.Size();
  FuzzCheck(member.Tell() == 0, "an opened member starts at 0");
  const std::vector<uint8_t> bytes = ReadMember(&member, piece, std::max(size, 0));
  FuzzCheck(static_cast<int32_t>(bytes.size()) <= std::max(size, 0),
            "no read passes the member's end");
  // While the library stands, a member is its bytes of the file as they are.
  const bool whole = static_cast<int32_t>(bytes.size()) == size;
  FuzzCheck(
      library->Failed() ||
          (whole && (size == 0 || std::equal(bytes.begin(), bytes.end(), file + found->offset))),
      "a member delivers its bytes of the file unchanged");
  // A seek outside the member fails and leaves the position.
  const int32_t position = member.Tell();
  member.Seek(1, soEnd);
  FuzzCheck(member.Tell() == position, "a seek past the end leaves the position");
  FuzzCheck(member.Failed(), "a seek past the end sets the error");
  member.Close();
  FuzzCheck(member.Read(nullptr, 1, 1) == -1, "a closed member reads nothing");
}

void ReadTwoAlternately(TFileLib* library) {
  const MemberName first = NameOf(*library->Entry(0)), second = NameOf(*library->Entry(1));
  TFileInLib a(library), b(library);
  a.SetName(first.text);
  b.SetName(second.text);
  if (!a.Open(smRead) || !b.Open(smRead)) return;
  const int32_t limit = 1 << 16;
  const std::vector<uint8_t> alone_a = ReadMember(&a, 4096, limit);
  const std::vector<uint8_t> alone_b = ReadMember(&b, 4096, limit);
  a.Seek(0, soBegin);
  b.Seek(0, soBegin);
  std::vector<uint8_t> mixed_a, mixed_b;
  uint8_t piece[13];
  for (;;) {
    const int32_t got_a = static_cast<int32_t>(mixed_a.size()) < limit ? a.Read(piece, 1, 13) : 0;
    if (got_a > 0) mixed_a.insert(mixed_a.end(), piece, piece + got_a);
    const int32_t got_b = static_cast<int32_t>(mixed_b.size()) < limit ? b.Read(piece, 1, 5) : 0;
    if (got_b > 0) mixed_b.insert(mixed_b.end(), piece, piece + got_b);
    if (got_a <= 0 && got_b <= 0) break;
  }
  if (library->Failed()) return;
  mixed_a.resize(std::min(mixed_a.size(), alone_a.size()));
  mixed_b.resize(std::min(mixed_b.size(), alone_b.size()));
  FuzzCheck(mixed_a == alone_a && mixed_b == alone_b,
            "members read alternately give the bytes they give alone");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  TMemoryStream stream(data, static_cast<int32_t>(size));
  stream.Open(smRead);
  TFileLib library(&stream);
  if (library.Failed()) {
    FuzzCheck(library.Count() == 0, "an invalid library holds no directory");
    return 0;
  }
  const int32_t count = std::min(library.Count(), kMembersRead);
  for (int32_t i = 0; i < count; ++i) {
    ExerciseMember(&library, data, *library.Entry(i), kPieces[i % 3]);
  }
  if (library.Count() >= 2) ReadTwoAlternately(&library);
  TFileInLib missing(&library);
  // Longer than any name a directory entry can hold.
  missing.SetName("no\\such member\\whose name is longer than fifty-one characters");
  FuzzCheck(!missing.Open(smRead) && missing.Failed(), "a missing member does not open");
  return 0;
}
