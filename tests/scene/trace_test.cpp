// The reader's verbose trace: off by default, and the exact lines when on.
#include <gtest/gtest.h>

#include <string>

#include "scene_test_support.h"

namespace {

std::vector<uint8_t> TracedFile() {
  Bytes b;
  b.Begin(0x4D4D).Begin(0x0002).U32(3).End().Begin(0x3D3D).Begin(0x3D3E).U32(3).End();
  b.Begin(0xAFFF).Begin(0xA000).Text("MAT").End().Empty(0xA0FF).End();
  b.Begin(0x4000).Text("TRI").Begin(0x4100).Begin(0x4110).U16(3);
  b.V3(0, 0, 0).V3(1, 0, 0).V3(0, 1, 0).End();
  b.Begin(0x4120).U16(1).U16(0).U16(1).U16(2).U16(0);
  b.Begin(0x4130).Text("MAT").U16(1).U16(0).End().End();
  b.End().End();
  b.Begin(0x4000).Text("LAMP").Begin(0x4600).V3(0, 0, 0).Begin(0x0011).U8(255).U8(0).U8(0);
  b.End().Empty(0x4610).End().End();
  b.End();
  b.Begin(0xB000).Begin(0xB00A).U16(5).Text("").U32(30).End();
  b.Begin(0xB002).Begin(0xB010).Text("TRI").U32(0).U16(0xFFFF).End();
  b.Begin(0xB020).U16(0).U32(0).U32(0).U32(1).U32(0).U16(0x21).F32(0.5f).F32(9).V3(1, 2, 3);
  b.End().Begin(0xB029).U16(0).U32(0).U32(0).U32(1).U32(7).U16(0).End().End();
  b.Begin(0xB002).Begin(0xB010).Text("TRI").U32(0).U16(1).End().End();
  b.End().Empty(0x1234).End();
  return b.data();
}

std::string Trace(bool verbose) {
  const std::vector<uint8_t> bytes = TracedFile();
  SceneReaderVerbose = verbose;
  testing::internal::CaptureStdout();
  ScenePtr scene = LoadBytes(bytes);
  std::string output = testing::internal::GetCapturedStdout();
  SceneReaderVerbose = false;
  EXPECT_NE(scene, nullptr);
  return output;
}

TEST(VerboseTrace, PrintsEveryChunkInTheReadersWords) {
  const std::string expected =
      "File format version is 3\n"
      "3D Editor\n"
      "  Mesh version 3\n"
      "  Material: \"MAT\"\n"
      "    Unknown chunk ID 0xA0FF in Material chunk found!\n"
      "  Object: TRI\n"
      "    Mesh\n"
      "    3 vertices\n"
      "    1 faces\n"
      "      material \"MAT\" (#0) used by 1 face(s)\n"
      "  Object: LAMP\n"
      "    Light\n"
      "    lightsource color: r1.000000 g0.000000 b0.000000\n"
      "    Light is spotlight\n"
      "Keyframer\n"
      "  Header\n"
      "    revision: 5\n"
      "    filename: \"\"\n"
      "    30 frame(s)\n"
      "  Object information\n"
      "    Node Header\n"
      "      Name: \"TRI\"\n"
      "      Hirachy: -1\n"
      "    Position Track Tag\n"
      "      Flags: 0\n"
      "      Keys: 1\n"
      "      Frame 0:\n"
      "        Tension: 0.500000\n"
      "        Unknown (bit 5): 9.000000\n"
      "        Position: x=1.000000 y=2.000000 z=3.000000\n"
      "    Hide Track Tag\n"
      "      Flags: 0\n"
      "      Keys: 1\n"
      "      Frame 7: change visibility\n"
      "  Object information\n"
      "    Node Header\n"
      "      Name: \"TRI\"\n"
      "      Hirachy: 1\n"
      "Objects: \n"
      "  TRI (-1)\n"
      "    TRI (0)\n"
      "%i objects\n"
      "Unknown chunk ID 0x1234 in mainchunk found!\n";
  std::string with_count = expected;
  with_count.replace(with_count.find("%i"), 2, "1");
  EXPECT_EQ(Trace(true), with_count);
  EXPECT_EQ(Trace(false), "");
}

}  // namespace
