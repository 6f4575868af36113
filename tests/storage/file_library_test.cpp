// Tests of the file library: malformed headers and directories, lookup rules,
// member stream bounds, the shared cached position and the sticky error.
// The fuzz replay of the library reader also reads members alternately and
// holds closed and missing members to reading nothing.
#include "storage/file_library.h"

#include <gtest/gtest.h>

#include <memory>

#include "storage/test_files.h"

using storage_test::Iota;
using storage_test::LibraryHead;
using storage_test::MakeLibrary;
using storage_test::PutLe32;

namespace {

// A library held in memory, read through the same class as a disk file.
struct MemoryLibrary {
  explicit MemoryLibrary(std::vector<uint8_t> library_bytes)
      : bytes(std::move(library_bytes)),
        stream(bytes.data(), static_cast<int32_t>(bytes.size())),
        library((stream.Open(smRead), &stream)) {}
  std::vector<uint8_t> bytes;
  TMemoryStream stream;
  TFileLib library;
};

// The member of that name, opened (ask Failed() whether it is ready).
std::unique_ptr<TFileInLib> Member(TFileLib* library, const char* name) {
  auto member = std::make_unique<TFileInLib>(library);
  member->SetName(name);
  member->Open(smRead);
  return member;
}

std::vector<uint8_t> ReadMember(TFileLib* library, const char* name) {
  const std::unique_ptr<TFileInLib> member = Member(library, name);
  if (member->Failed()) return {};
  std::vector<uint8_t> out(static_cast<size_t>(member->Size()));
  if (!out.empty() && member->Read(out.data(), member->Size(), 1) != 1) return {};
  return out;
}

TEST(FileLibraryTest, MalformedLibrariesAreInvalid) {
  const std::vector<uint8_t> good = MakeLibrary({{"a.bin", Iota(5)}});
  ASSERT_FALSE(MemoryLibrary(good).library.Failed());
  const auto with_count = [&good](int32_t count, size_t size) {
    std::vector<uint8_t> bytes = good;
    PutLe32(bytes, 8, count);
    bytes.resize(size);
    return bytes;
  };
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"no entries", with_count(0, good.size())},
      {"negative count", with_count(-1, good.size())},
      {"directory beyond 32 bits", with_count(0x7FFFFFFF, good.size())},
      {"directory cut short", with_count(2, 12 + 64 + 20)},
      {"header cut short", with_count(1, 11)},
      {"entry cut short", with_count(1, 12 + 63)},
  };
  for (const auto& c : cases) {
    MemoryLibrary memory(c.bytes);
    EXPECT_TRUE(memory.library.Failed()) << c.name;
    EXPECT_EQ(memory.library.Find("a.bin"), nullptr) << c.name;
    EXPECT_TRUE(ReadMember(&memory.library, "a.bin").empty()) << c.name;
  }
  for (size_t i = 0; i < 8; ++i) {
    std::vector<uint8_t> bytes = good;
    bytes[i] ^= 0x20;
    EXPECT_TRUE(MemoryLibrary(bytes).library.Failed()) << "magic byte " << i;
  }
  EXPECT_TRUE(TFileLib(nullptr).Failed());
}

TEST(FileLibraryTest, FindFoldsOnlyCapitalLettersAndFirstEntryWins) {
  MemoryLibrary memory(MakeLibrary({{"textures\\plasm.pcx", {1}},
                                    {"TEXTURES\\Plasm.PCX", {2}},
                                    {"caf\xC9.bin", {3}},
                                    {std::string(51, 'n'), {4}}}));
  TFileLib& library = memory.library;
  ASSERT_FALSE(library.Failed());
  const struct {
    std::string name;
    int entry;  // -1: not found
  } cases[] = {{"TEXTURES\\PLASM.PCX", 0},   {"textures\\plasm.pcx", 0},
               {"textures/plasm.pcx", -1},   {"textures\\plasm.pc", -1},
               {"textures\\plasm.pcxx", -1}, {"caf\xC9.bin", 2},
               {"caf\xE9.bin", -1},  // accented letters are not folded
               {std::string(51, 'N'), 3},    {"", -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(library.Find(c.name.c_str()), c.entry < 0 ? nullptr : library.Entry(c.entry))
        << c.name;
  }
}

TEST(FileLibraryTest, MemberSeekAndReadStayInsideTheMember) {
  MemoryLibrary memory(MakeLibrary({{"ten", Iota(10)}, {"other", Iota(4, 100)}}));
  TFileInLib member(&memory.library);
  member.SetName("ten");
  ASSERT_TRUE(member.Open(smWrite)) << "the mode is ignored";
  EXPECT_EQ(member.Size(), 10);
  member.Seek(10, soBegin);
  EXPECT_TRUE(member.AtEnd());
  // A refused seek keeps the position, and the member fails from then on.
  const struct {
    int32_t offset, origin, position;
    bool failed;
  } seeks[] = {{4, soBegin, 4, false},
               {11, soBegin, 4, true},
               {-1, soEnd, 9, true},
               {-10, soCurrent, 9, true},
               {-9, soCurrent, 0, true}};
  for (const auto& seek : seeks) {
    member.Seek(seek.offset, seek.origin);
    EXPECT_EQ(member.Tell(), seek.position) << seek.offset << " from " << seek.origin;
    EXPECT_EQ(member.Failed(), seek.failed) << seek.offset << " from " << seek.origin;
  }
  uint8_t buffer[12] = {};
  member.Seek(6, soBegin);
  EXPECT_EQ(member.Read(buffer, 4, 3), 1) << "4 bytes remain";
  EXPECT_EQ(buffer[3], 9);
  EXPECT_EQ(member.Read(buffer, 1, 1), 0);
  EXPECT_EQ(member.ReadByte(), 0);
  EXPECT_FALSE(memory.library.Failed()) << "reading past a member's end is no error";
}

// The members share the library's stream, and the library seeks it only
// when a read does not start where the last one ended: a member read again
// from where its last read began, or after another member's read, or from
// where it was moved, gets its own bytes.
TEST(FileLibraryTest, MembersReadAgainOrAlternatelyGetTheirOwnBytes) {
  MemoryLibrary memory(MakeLibrary({{"one", Iota(100)}, {"two", Iota(100, 9)}}));
  const std::unique_ptr<TFileInLib> two = Member(&memory.library, "two");
  const auto next_ten = [&two] {  // the first of the next ten bytes of "two"
    uint8_t chunk[10];
    return two->Read(chunk, 10, 1) == 1 ? chunk[0] : -1;
  };
  next_ten();
  two->Seek(0, soBegin);
  EXPECT_EQ(next_ten(), 9);
  EXPECT_EQ(ReadMember(&memory.library, "one"), Iota(100));
  EXPECT_EQ(next_ten(), 19);
  two->Seek(50, soBegin);
  EXPECT_EQ(next_ten(), 59);
  EXPECT_FALSE(memory.library.Failed());
}

// Damaged entries: negative fields open nothing; a member that runs past the
// file's end comes back short and fails the whole library from then on.
TEST(FileLibraryTest, DamagedEntriesDeliverNothingAndAShortMemberFailsTheLibrary) {
  constexpr int32_t kData = 12 + 4 * 64;  // the data bytes follow the directory
  std::vector<uint8_t> bytes = LibraryHead(
      {{"good", kData, 4}, {"neg_offset", -20, 4}, {"neg_length", kData, -1}, {"long", kData, 50}});
  bytes.insert(bytes.end(), {1, 2, 3, 4});
  MemoryLibrary memory(bytes);
  ASSERT_FALSE(memory.library.Failed());
  uint8_t buffer[50];
  for (const char* name : {"neg_offset", "neg_length"}) {
    const std::unique_ptr<TFileInLib> member = Member(&memory.library, name);
    EXPECT_TRUE(member->Failed()) << name;
    EXPECT_EQ(member->Read(buffer, 1, 4), 0) << name;
  }
  ASSERT_EQ(ReadMember(&memory.library, "good"), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(Member(&memory.library, "long")->Read(buffer, 1, 50), 4) << "comes back short";
  EXPECT_TRUE(memory.library.Failed());
  EXPECT_TRUE(Member(&memory.library, "good")->Failed()) << "the library's error is sticky";
}

}  // namespace
