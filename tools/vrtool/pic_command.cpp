// vrtool pic: describes PCX and BMP pictures as the demo's decoders see them
// and converts them to and from PNG. Inputs may be LIBRARY.dat:MEMBER.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "storage/atomic_file.h"
#include "storage/bmp_writer.h"
#include "storage/pcx_format.h"
#include "storage/pcx_writer.h"
#include "storage/picture_decoders.h"
#include "storage/png_file.h"
#include "vrtool/commands.h"
#include "vrtool/input_file.h"
#include "vrtool/picture_facts.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Fail(const std::string& message) {
  std::fprintf(stderr, "vrtool pic: %s\n", message.c_str());
  return kExitFailure;
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    const char c = text[text.size() - suffix.size() + i];
    if (std::tolower(static_cast<unsigned char>(c)) != suffix[i]) return false;
  }
  return true;
}

int Info(const std::vector<std::string>& operands) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadInputFile(operands[0], &bytes, &error)) return Fail(error);
  const PictureFacts facts = ExaminePicture(bytes);
  if (facts.format.empty()) return Fail(operands[0] + ": " + facts.summary);
  std::printf("%s: %s\n%s", operands[0].c_str(), facts.format.c_str(), facts.summary.c_str());
  std::printf("  as a texture: %s\n",
              facts.texture_problem.empty() ? "usable" : facts.texture_problem.c_str());
  if (facts.format == "PCX") {
    std::printf("  as an indexed picture: %s\n",
                facts.indexed_problem.empty() ? "usable" : facts.indexed_problem.c_str());
  }
  return kExitOk;
}

// An 8-bit picture through its palette (6-bit components widened to 8 bits),
// or through a grey ramp when the picture carries none.
int IndexedToPng(const std::vector<uint8_t>& bytes, const PictureFacts& facts,
                 const std::string& in, const std::string& out) {
  if (!facts.indexed_problem.empty()) return Fail(in + ": " + facts.indexed_problem);
  std::vector<uint8_t> pixels(static_cast<size_t>(facts.width) * facts.height);
  for (int i = 0; i < 768; ++i) PicturePalette[i] = static_cast<uint8_t>(i / 3 >> 2);
  if (!DecodePcxIndexed(bytes.data(), static_cast<int32_t>(bytes.size()), pixels.data(), 0, 0,
                        facts.width, facts.height)) {
    return Fail(in + ": the PCX decoder refused the picture");
  }
  uint8_t palette[768];
  for (int i = 0; i < 768; ++i)
    palette[i] = static_cast<uint8_t>(PicturePalette[i] << 2 | PicturePalette[i] >> 4);
  std::string error;
  if (!WritePngIndexed(out, pixels.data(), facts.width, facts.height, palette, 256, &error)) {
    return Fail(error);
  }
  return kExitOk;
}

// A texture in its 565 colours, upright (a BMP texture keeps the file's
// bottom-up row order, which the PNG turns back).
int TextureToPng(const std::vector<uint8_t>& bytes, const PictureFacts& facts,
                 const std::string& in, const std::string& out) {
  if (!facts.texture_problem.empty()) return Fail(in + ": " + facts.texture_problem);
  Texture texture;
  const auto size = static_cast<int32_t>(bytes.size());
  const bool bmp = facts.format == "BMP";
  if (!(bmp ? DecodeBmpTexture(bytes.data(), size, &texture, 0)
            : DecodePcxTexture(bytes.data(), size, &texture, 0))) {
    return Fail(in + ": the decoder refused the picture");
  }
  const Image& image = texture.image;
  std::vector<uint16_t> upright(image.pixels,
                                image.pixels + static_cast<size_t>(image.width) * image.height);
  if (bmp) {
    for (int32_t y = 0; y < image.height / 2; ++y) {
      std::swap_ranges(upright.begin() + static_cast<ptrdiff_t>(y) * image.width,
                       upright.begin() + static_cast<ptrdiff_t>(y + 1) * image.width,
                       upright.end() - static_cast<ptrdiff_t>(y + 1) * image.width);
    }
  }
  ReleaseImage(&texture.image);
  std::string error;
  if (!WritePngRgb565(out, upright.data(), facts.width, facts.height, &error)) return Fail(error);
  return kExitOk;
}

int ToPng(const std::vector<std::string>& operands, const std::string& as) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadInputFile(operands[0], &bytes, &error)) return Fail(error);
  const PictureFacts facts = ExaminePicture(bytes);
  if (facts.format.empty()) return Fail(operands[0] + ": " + facts.summary);
  const bool indexed = as.empty() ? facts.format == "PCX" : as == "indexed";
  if (indexed && facts.format != "PCX")
    return Fail(operands[0] + ": only PCX pictures are indexed");
  return indexed ? IndexedToPng(bytes, facts, operands[0], operands[1])
                 : TextureToPng(bytes, facts, operands[0], operands[1]);
}

int FromPng(const std::vector<std::string>& operands) {
  const std::string& in = operands[0];
  const std::string& out = operands[1];
  PngPicture png;
  std::string error;
  if (!ReadPng(in, &png, &error)) return Fail(error);
  std::vector<uint8_t> encoded;
  const std::string size = std::to_string(png.width) + "x" + std::to_string(png.height);
  if (png.paletted) {
    if (EndsWithNoCase(out, ".bmp")) {
      return Fail(in + ": a paletted PNG becomes an 8-bit PCX; name the output .pcx");
    }
    if (png.width > kPcxMaxScanlineBytes) {
      return Fail(in + ": " + size + " is too wide for the demo's PCX decoder (at most " +
                  std::to_string(kPcxMaxScanlineBytes) + " pixels per row)");
    }
    uint8_t palette[768] = {};
    std::copy(png.palette_rgb888.begin(),
              png.palette_rgb888.begin() + std::min<size_t>(768, png.palette_rgb888.size()),
              palette);
    encoded = EncodePcx8(png.pixels.data(), png.width, png.height, palette);
  } else {
    if (EndsWithNoCase(out, ".pcx")) {
      return Fail(in + ": a true-colour PNG becomes a 24-bit BMP; name the output .bmp");
    }
    auto texture_side = [](int side) {
      return side >= 1 && side <= 256 && (side & (side - 1)) == 0;
    };
    if (!texture_side(png.width) || !texture_side(png.height)) {
      return Fail(in + ": " + size +
                  " cannot be a BMP texture: both sides must be powers of two from 1 to 256");
    }
    encoded = EncodeBmp24(png.pixels.data(), png.width, png.height);
  }
  if (encoded.empty()) return Fail(in + ": cannot encode a picture of " + size);
  if (!WriteFileAtomically(out, encoded.data(), encoded.size(), &error)) return Fail(error);
  return kExitOk;
}

void PrintHelp(FILE* out) {
  std::fprintf(out,
               "usage:\n"
               "  vrtool pic info FILE\n"
               "  vrtool pic topng [--as=texture|--as=indexed] IN OUT.png\n"
               "  vrtool pic frompng IN.png OUT\n"
               "\n"
               "info     prints format, size, bits, palette, and whether the demo can load\n"
               "         the picture as a texture (8-bit version-5 PCX; 24-bit BMP with\n"
               "         power-of-two sides up to 256) or as an indexed picture (8-bit PCX).\n"
               "topng    converts any picture the decoders read to PNG: a PCX through its\n"
               "         palette (default) or as a texture in its 565 colours (--as=texture),\n"
               "         a BMP as a texture in its 565 colours.\n"
               "frompng  converts an 8-bit paletted PNG to a PCX, and a true-colour PNG with\n"
               "         power-of-two sides up to 256 to a 24-bit BMP.\n"
               "\n"
               "FILE and IN may be LIBRARY.dat:MEMBER. Exit status: 0 success, 1 failure,\n"
               "2 wrong usage.\n");
}

bool IsHelp(const std::string& arg) {
  return arg == "--help" || arg == "-h";
}

}  // namespace

int RunPicCommand(int argc, char** argv) {
  if (argc < 2 || IsHelp(argv[1])) {
    PrintHelp(argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  const std::string action = argv[1];
  std::vector<std::string> operands;
  std::string as;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (IsHelp(arg)) {
      PrintHelp(stdout);
      return kExitOk;
    }
    if (arg == "--as=texture" || arg == "--as=indexed") {
      as = arg.substr(5);
    } else if (arg.rfind("--", 0) == 0) {
      std::fprintf(stderr, "vrtool pic: unknown option '%s'\n", arg.c_str());
      return kExitUsage;
    } else {
      operands.push_back(arg);
    }
  }
  const size_t wanted = action == "info" ? 1 : 2;
  const bool known = action == "info" || action == "topng" || action == "frompng";
  if (!known || operands.size() != wanted || (!as.empty() && action != "topng")) {
    if (!known) std::fprintf(stderr, "vrtool pic: unknown action '%s'\n", action.c_str());
    PrintHelp(stderr);
    return kExitUsage;
  }
  if (action == "info") return Info(operands);
  if (action == "topng") return ToPng(operands, as);
  return FromPng(operands);
}
