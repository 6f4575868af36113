// PCX decoders: the shared run-length scanline decoder, LoadPcxTexture and
// LoadPcxIndexed.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "storage/content_library.h"
#include "storage/file_library.h"
#include "storage/mip_levels.h"
#include "storage/pcx_format.h"
#include "storage/picture_decoders.h"
#include "storage/stream.h"

uint8_t PicturePalette[768];

namespace {

constexpr int32_t kTextureBufferBytes = 2048;
constexpr int32_t kIndexedBufferBytes = 2024;

// Sizes the line buffer can hold. Pictures outside them are refused rather
// than decoded past the buffer.
bool FitsLineBuffer(const PcxHeader& h) {
  return h.width >= 1 && h.height >= 1 && h.width <= h.scanline_bytes &&
         h.scanline_bytes <= kPcxMaxScanlineBytes;
}

// Decodes run-length scanlines one after another. A run may extend past the
// end of a scanline: its remaining bytes start the next one.
class ScanlineDecoder {
 public:
  ScanlineDecoder(TBufferedStream* stream, int32_t scanline_bytes)
      : stream_(stream), scanline_bytes_(scanline_bytes) {}

  // The next scanline, or null when the stream failed.
  const uint8_t* Next() {
    if (fill_ >= scanline_bytes_) {
      // Carry over what a run wrote past the previous scanline.
      fill_ -= scanline_bytes_;
      std::memmove(line_, line_ + scanline_bytes_, static_cast<size_t>(fill_));
    }
    while (fill_ < scanline_bytes_) {
      // Tokens that lie wholly in the read-ahead buffer are decoded in place;
      // fill_ < scanline_bytes_ <= 962 leaves room for a 63-byte run.
      int32_t available;
      const uint8_t* bytes = stream_->BufferedBytes(&available);
      int32_t used = 0;
      while (fill_ < scanline_bytes_ && used + 1 < available) {
        const uint8_t c = bytes[used];
        if (c >= 0xC0) {
          const int32_t count = c & 63;
          std::memset(line_ + fill_, bytes[used + 1], static_cast<size_t>(count));
          fill_ += count;
          used += 2;
        } else {
          line_[fill_++] = c;
          ++used;
        }
      }
      stream_->ConsumeBuffered(used);
      if (fill_ < scanline_bytes_ && stream_->AtEnd() && !stream_->Failed()) {
        // Past the member's end every byte reads as 0, a plain pixel: the
        // rest of the picture is zeros, written at once. Byte by byte, a
        // short member claiming a tall picture costs seconds.
        std::memset(line_ + fill_, 0, static_cast<size_t>(scanline_bytes_ - fill_));
        fill_ = scanline_bytes_;
        break;
      }
      // A token across the buffer's end, or an empty buffer: byte by byte.
      if (fill_ < scanline_bytes_ && !DecodeTokenSlowly()) return nullptr;
    }
    return line_;
  }

 private:
  // Past the end of the member the byte is 0 and decoding goes on; only a
  // failed stream (the library in error) stops it.
  bool NextByte(uint8_t* value) {
    *value = stream_->ReadByte();
    return !stream_->Failed();
  }

  bool DecodeTokenSlowly() {
    uint8_t c;
    if (!NextByte(&c)) return false;
    if (c < 0xC0) {
      line_[fill_++] = c;
      return true;
    }
    uint8_t value;
    if (!NextByte(&value)) return false;
    const int32_t count = c & 63;
    std::memset(line_ + fill_, value, static_cast<size_t>(count));
    fill_ += count;
    return true;
  }

  TBufferedStream* stream_;
  int32_t scanline_bytes_;
  int32_t fill_ = 0;
  uint8_t line_[kPcxLineBufferBytes];
};

// Opens source behind a read-ahead buffer and reads the header.
std::unique_ptr<TBufferedStream> OpenPicture(TStream* source, const char* name,
                                             int32_t buffer_bytes, PcxHeader* header) {
  auto stream = std::make_unique<TBufferedStream>(source, buffer_bytes);
  stream->SetName(name);
  if (!stream->Open(smRead) || stream->Failed()) return nullptr;
  uint8_t raw[kPcxHeaderBytes];
  if (stream->Read(raw, kPcxHeaderBytes, 1) == 0) return nullptr;
  *header = ParsePcxHeader(raw);
  return stream;
}

// Reads the 256-colour palette at the member's end, reduced to 6 bits, and
// returns to the pixel data.
bool ReadPalette(TBufferedStream* stream, uint8_t palette[kPcxPaletteBytes]) {
  stream->Seek(-kPcxPaletteBytes, soEnd);
  if (stream->Failed()) return false;
  if (stream->Read(palette, kPcxPaletteBytes, 1) != 1) return false;
  for (int32_t i = 0; i < kPcxPaletteBytes; ++i) palette[i] = static_cast<uint8_t>(palette[i] >> 2);
  stream->Seek(kPcxHeaderBytes, soBegin);
  return !stream->Failed();
}

}  // namespace

int32_t LoadPcxTextureFrom(TStream* source, const char* name, Texture* texture, int32_t mipmapped) {
  PcxHeader h;
  std::unique_ptr<TBufferedStream> stream = OpenPicture(source, name, kTextureBufferBytes, &h);
  if (!stream || !texture) return 0;
  if (!IsPcx8(h) || h.version != 5 || !FitsLineBuffer(h)) return 0;
  uint8_t palette[kPcxPaletteBytes];
  if (!ReadPalette(stream.get(), palette)) return 0;
  // Each palette index becomes one texel: looked up per pixel, built once.
  uint16_t texel_of[256];
  for (int32_t i = 0; i < 256; ++i) {
    const uint8_t* rgb = palette + 3 * i;
    texel_of[i] = static_cast<uint16_t>((rgb[0] >> 1) << 11 | rgb[1] << 5 | rgb[2] >> 1);
  }
  const size_t texels = mipmapped ? TexelsWithLevels(h.width, h.height)
                                  : static_cast<size_t>(h.width) * static_cast<size_t>(h.height);
  std::unique_ptr<uint16_t[]> pixels(new (std::nothrow) uint16_t[texels]);
  if (!pixels) return 0;
  ScanlineDecoder decoder(stream.get(), h.scanline_bytes);
  uint16_t* row = pixels.get();
  for (int32_t y = 0; y < h.height; ++y, row += h.width) {
    const uint8_t* line = decoder.Next();
    if (!line) return 0;
    for (int32_t x = 0; x < h.width; ++x) row[x] = texel_of[line[x]];
  }
  if (mipmapped) BuildReducedLevels(pixels.get(), h.width, h.height);
  texture->image.pixels = pixels.release();
  texture->image.width = h.width;
  texture->image.height = h.height;
  texture->image.mipmapped = mipmapped ? 1 : 0;
  return 1;
}

int32_t LoadPcxIndexedFrom(TStream* source, const char* name, uint8_t* dest, int32_t x, int32_t y,
                           int32_t pitch, int32_t dest_height) {
  if (!dest || x < 0 || x >= pitch || y < 0 || y >= dest_height) {
    delete source;
    return 0;
  }
  PcxHeader h;
  std::unique_ptr<TBufferedStream> stream = OpenPicture(source, name, kIndexedBufferBytes, &h);
  if (!stream) return 0;
  if (!IsPcx8(h) || !FitsLineBuffer(h)) return 0;
  // Only a version-5 picture carries a palette; others keep the last one.
  if (h.version == 5 && !ReadPalette(stream.get(), PicturePalette)) return 0;
  const int32_t columns = std::min(pitch - x, h.width);
  const int32_t rows = std::min(dest_height - y, h.height);
  uint8_t* target = dest + static_cast<size_t>(y) * static_cast<size_t>(pitch) + x;
  ScanlineDecoder decoder(stream.get(), h.scanline_bytes);
  for (int32_t row = 0; row < rows; ++row, target += pitch) {
    const uint8_t* line = decoder.Next();
    if (!line) return 0;
    std::memcpy(target, line, static_cast<size_t>(columns));
  }
  return 1;
}

int32_t LoadPcxTexture(const char* name, Texture* texture, int32_t mipmapped) {
  return LoadPcxTextureFrom(new TFileInLib(ContentLibrary), name, texture, mipmapped);
}

int32_t LoadPcxIndexed(const char* name, uint8_t* dest, int32_t x, int32_t y, int32_t pitch,
                       int32_t dest_height) {
  return LoadPcxIndexedFrom(new TFileInLib(ContentLibrary), name, dest, x, y, pitch, dest_height);
}

int32_t DecodePcxTexture(const uint8_t* bytes, int32_t size, Texture* texture, int32_t mipmapped) {
  return LoadPcxTextureFrom(new TMemoryStream(bytes, size), "", texture, mipmapped);
}

int32_t DecodePcxIndexed(const uint8_t* bytes, int32_t size, uint8_t* dest, int32_t x, int32_t y,
                         int32_t pitch, int32_t dest_height) {
  return LoadPcxIndexedFrom(new TMemoryStream(bytes, size), "", dest, x, y, pitch, dest_height);
}
