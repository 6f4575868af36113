// Loading the pictures of the 2D effects: reserving their buffers, the logo
// with its palette, then the scroller's background, light and text. Each
// picture is an 8-bit PCX member of the content library placed at (0, 0) of
// a buffer of its own size.
#include <cstdlib>
#include <cstring>

#include "device/demo_state.h"
#include "shell/content_loader.h"
#include "storage/picture_decoders.h"

namespace {

// The buffers live for the whole process, like the rest of the content; a
// second load (tests) reuses the ones already reserved.
uint8_t* Reserve(uint8_t* existing, size_t bytes) {
  return existing ? existing : static_cast<uint8_t*>(std::malloc(bytes));
}

struct EffectPicture {
  uint8_t** buffer;
  const char* member;
  int32_t width;
  int32_t height;
  const char* failure;
};

}  // namespace

int LoadEffectPictures() {
  ScrollerText = Reserve(ScrollerText, kScrollerTextBytes);
  ScrollerBackground = Reserve(ScrollerBackground, kScreen320Bytes);
  BumpGradient = Reserve(BumpGradient, kScreen320Bytes);
  BumpLight = Reserve(BumpLight, kBumpLightBytes);
  BumpWork = Reserve(BumpWork, kScreen320Bytes);
  if (!ScrollerText || !ScrollerBackground || !BumpGradient || !BumpLight || !BumpWork) {
    return FailLoading("Error on reserving memory!");
  }

  // Without its buffer the logo cannot load: the same message as the
  // other reservations, rather than a decoder writing through null.
  LogoPicture = Reserve(LogoPicture, kLogoBytes);
  if (!LogoPicture) return FailLoading("Error on reserving memory!");
  std::memset(LogoPicture, 0, kLogoBytes);
  if (!LoadPcxIndexed("textures\\veyri.pcx", LogoPicture, 0, 0, 640, 480)) {
    return FailLoading("Error on loading logo!");
  }
  // The next picture replaces PicturePalette: keep the logo's now.
  std::memcpy(LogoPalette, PicturePalette, sizeof LogoPalette);

  std::memset(ScrollerText, 0, kScrollerTextBytes);
  std::memset(ScrollerBackground, 0, kScreen320Bytes);
  std::memset(BumpGradient, 0, kScreen320Bytes);
  const EffectPicture pictures[] = {
      {&ScrollerBackground, "textures\\bump\\scroller\\background.pcx", 320, 200,
       "Error on loading scroller background!"},
      {&BumpLight, "textures\\bump\\256.pcx", 256, 256, "Error on loading bump!"},
      {&ScrollerText, "textures\\bump\\scroller\\text1024.pcx", 320, 1024,
       "Error on loading scroller!"},
  };
  for (const EffectPicture& picture : pictures) {
    if (!LoadPcxIndexed(picture.member, *picture.buffer, 0, 0, picture.width, picture.height)) {
      return FailLoading(picture.failure);
    }
  }
  return 1;
}
