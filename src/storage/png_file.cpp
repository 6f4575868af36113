// PNG files through libpng's simplified interface.
#include "storage/png_file.h"

#include <png.h>

#include <cstring>

#include "storage/atomic_file.h"

namespace {

bool CheckSize(const std::string& path, int width, int height, std::string* error) {
  if (width < 1 || height < 1 || width > 65535 || height > 65535) {
    *error = path + ": cannot write a picture of " + std::to_string(width) + "x" +
             std::to_string(height) + " pixels";
    return false;
  }
  return true;
}

bool WriteImage(const std::string& path, png_image* image, const void* pixels, const void* colormap,
                std::string* error) {
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(*image, size, 0, pixels, 0, colormap)) {
    *error = path + ": cannot encode PNG: " + image->message;
    png_image_free(image);
    return false;
  }
  std::vector<uint8_t> bytes(size);
  if (!png_image_write_to_memory(image, bytes.data(), &size, 0, pixels, 0, colormap)) {
    *error = path + ": cannot encode PNG: " + image->message;
    png_image_free(image);
    return false;
  }
  png_image_free(image);
  bytes.resize(size);
  return WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}

uint8_t Widen5(unsigned v) {
  return static_cast<uint8_t>(v << 3 | v >> 2);
}
uint8_t Widen6(unsigned v) {
  return static_cast<uint8_t>(v << 2 | v >> 4);
}

}  // namespace

void Rgb565ToRgb888(const uint16_t* texels, size_t count, uint8_t* rgb) {
  for (size_t i = 0; i < count; ++i) {
    const unsigned t = texels[i];
    rgb[3 * i + 0] = Widen5(t >> 11);
    rgb[3 * i + 1] = Widen6((t >> 5) & 63);
    rgb[3 * i + 2] = Widen5(t & 31);
  }
}

bool WritePngRgb565(const std::string& path, const uint16_t* pixels_top_row_first, int width,
                    int height, std::string* error) {
  if (!CheckSize(path, width, height, error)) return false;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  Rgb565ToRgb888(pixels_top_row_first, static_cast<size_t>(width) * height, rgb.data());
  return WritePngRgb888(path, rgb.data(), width, height, error);
}

bool WritePngRgb888(const std::string& path, const uint8_t* rgb_top_row_first, int width,
                    int height, std::string* error) {
  if (!CheckSize(path, width, height, error)) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  return WriteImage(path, &image, rgb_top_row_first, nullptr, error);
}

bool WritePngIndexed(const std::string& path, const uint8_t* indices_top_row_first, int width,
                     int height, const uint8_t* palette_rgb888, int palette_entries,
                     std::string* error) {
  if (!CheckSize(path, width, height, error)) return false;
  if (palette_entries < 1 || palette_entries > 256) {
    *error = path + ": a palette needs 1 to 256 entries";
    return false;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB_COLORMAP;
  image.colormap_entries = static_cast<png_uint_32>(palette_entries);
  return WriteImage(path, &image, indices_top_row_first, palette_rgb888, error);
}

bool ReadPng(const std::string& path, PngPicture* picture, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    *error = path + ": not a readable PNG: " + image.message;
    png_image_free(&image);
    return false;
  }
  const bool paletted = (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
  std::vector<uint8_t> palette;
  if (paletted) {
    image.format = PNG_FORMAT_RGB_COLORMAP;
    palette.assign(PNG_IMAGE_COLORMAP_SIZE(image), 0);
  } else {
    image.format = PNG_FORMAT_RGB;
  }
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  png_color background = {0, 0, 0};
  if (!png_image_finish_read(&image, &background, pixels.data(), 0,
                             paletted ? palette.data() : nullptr)) {
    *error = path + ": damaged PNG: " + image.message;
    png_image_free(&image);
    return false;
  }
  picture->width = static_cast<int>(image.width);
  picture->height = static_cast<int>(image.height);
  picture->paletted = paletted;
  picture->pixels = std::move(pixels);
  if (paletted) palette.resize(static_cast<size_t>(image.colormap_entries) * 3);
  picture->palette_rgb888 = std::move(palette);
  png_image_free(&image);
  return true;
}
