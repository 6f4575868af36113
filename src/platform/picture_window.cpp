// SDL2 window, renderer and streaming texture for the board's frames.
// The demo thread copies a finished frame into a staging buffer; the main
// thread uploads it (flipping rows: the board's origin is the lower left)
// and presents it with vsync. A frame shown at the retrace waits only until
// the one before it is on the screen, so the demo draws the next frame while
// the main thread presents this one, one frame ahead at most.
#include "platform/picture_window.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/display.h"
#include "platform/messages.h"
#include "platform/window_art.h"

namespace platform {
namespace {

struct PictureWindow {
  PictureWindowOptions options;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  SDL_Cursor* cursor = nullptr;
  int width = 0;
  int height = 0;
  int refresh_hz = 60;
  // When the next frame is due on the screen: one refresh after the one
  // before it was due, so the time spent copying and presenting does not
  // lengthen the period.
  std::chrono::steady_clock::time_point next_due{};

  // Shared with submitting threads.
  std::mutex mutex;
  std::condition_variable presented;
  std::vector<uint16_t> staging;    // top row first, tightly packed
  std::vector<uint16_t> uploading;  // the main thread's, while it uploads
  bool pending = false;
  bool pending_at_retrace = false;  // the staged frame waits for its refresh
  bool presenting = false;          // true while the window is open and served
  uint64_t submitted = 0;
  uint64_t shown = 0;
};

PictureWindow& Picture() {
  static PictureWindow picture;
  return picture;
}

int ChooseScale(int width, int height) {
  SDL_Rect bounds;
  if (SDL_GetDisplayUsableBounds(0, &bounds) != 0) return 1;
  int scale = 1;
  while ((scale + 1) * width <= bounds.w * 9 / 10 && (scale + 1) * height <= bounds.h * 9 / 10 &&
         scale < 2) {
    ++scale;
  }
  return scale;
}

// The initial size of a window for pictures of this size: as the options
// ask, brought inside the display's usable area when it is larger.
void InitialWindowSize(const PictureWindowOptions& options, int picture_width, int picture_height,
                       int* width, int* height) {
  if (options.width > 0) {
    *width = options.width;
    *height = options.height;
  } else {
    const int scale =
        options.scale > 0 ? options.scale : ChooseScale(picture_width, picture_height);
    *width = picture_width * scale;
    *height = picture_height * scale;
  }
  SDL_Rect bounds;
  if (SDL_GetDisplayUsableBounds(0, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) return;
  if (*width > bounds.w || *height > bounds.h) {
    const double shrink =
        std::min(static_cast<double>(bounds.w) / *width, static_cast<double>(bounds.h) / *height);
    *width = static_cast<int>(*width * shrink);
    *height = static_cast<int>(*height * shrink);
  }
}

// True for an OpenGL renderer that Mesa draws on the processor (a machine
// without a graphics processor, a virtual display): it spends several times
// the processor time of SDL's own software renderer on every frame, since it
// shades the whole picture as a textured quad where the other copies it.
bool DrawnBySoftwareGl(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) {
    return false;
  }
  using GetString = const unsigned char* (*)(unsigned int name);
  void* address = SDL_GL_GetProcAddress("glGetString");
  if (!address) return false;
  GetString get_string;
  std::memcpy(&get_string, &address, sizeof get_string);
  constexpr unsigned int kGlRenderer = 0x1F01;
  const auto* name = reinterpret_cast<const char*>(get_string(kGlRenderer));
  return name && (std::strstr(name, "llvmpipe") || std::strstr(name, "softpipe") ||
                  std::strstr(name, "Software Rasterizer"));
}

SDL_Surface* SurfaceOf(ArgbImage& image) {
  return SDL_CreateRGBSurfaceWithFormatFrom(image.pixels.data(), image.width, image.height, 32,
                                            image.width * 4, SDL_PIXELFORMAT_ARGB8888);
}

// The demo's icon on the window and its own cursor over the picture. In full
// screen the cursor is hidden: nothing should sit on the picture there.
void DressWindow(PictureWindow& p) {
  ArgbImage icon = DrawDemoIcon(64);
  if (SDL_Surface* surface = SurfaceOf(icon)) {
    SDL_SetWindowIcon(p.window, surface);  // SDL keeps its own copy
    SDL_FreeSurface(surface);
  }
  ArgbImage arrow = DrawDemoCursor();
  if (SDL_Surface* surface = SurfaceOf(arrow)) {
    p.cursor = SDL_CreateColorCursor(surface, arrow.hot_x, arrow.hot_y);
    SDL_FreeSurface(surface);
  }
  if (p.cursor) SDL_SetCursor(p.cursor);
  SDL_ShowCursor(p.options.fullscreen ? SDL_DISABLE : SDL_ENABLE);
}

void PresentPending(PictureWindow& p) {
  uint64_t sequence;
  bool at_retrace;
  {
    // The two blocks trade places, so no frame allocates once both are made.
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.pending) return;
    p.uploading.swap(p.staging);
    p.pending = false;
    at_retrace = p.pending_at_retrace;
    sequence = p.submitted;
  }
  SDL_UpdateTexture(p.texture, nullptr, p.uploading.data(), p.width * 2);
  // Pace to the display's refresh when the driver does not wait for the
  // retrace itself (virtual displays, some compositors): presents start one
  // refresh apart, a millisecond before they are due to leave a driver that
  // does wait the retrace. A frame later than a whole refresh starts the
  // count again, so a slow stretch is not followed by a burst. A frame
  // swapped without waiting for the retrace (a blank between two parts) is
  // shown at once and leaves the next frame its refresh.
  if (at_retrace) {
    const auto interval = std::chrono::microseconds(1000000 / std::max(p.refresh_hz, 1));
    const auto margin = std::chrono::microseconds(1000);
    const auto now = std::chrono::steady_clock::now();
    if (now < p.next_due - margin) std::this_thread::sleep_until(p.next_due - margin);
    p.next_due = now > p.next_due + interval ? now + interval : p.next_due + interval;
  }
  SDL_SetRenderDrawColor(p.renderer, 0, 0, 0, 255);
  SDL_RenderClear(p.renderer);
  SDL_RenderCopy(p.renderer, p.texture, nullptr, nullptr);
  SDL_RenderPresent(p.renderer);
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    p.shown = sequence;
  }
  p.presented.notify_all();
}

void TranslateEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_KEYDOWN:
        if (!event.key.repeat)
          PostMessage(kWmKeyDown, static_cast<uintptr_t>(event.key.keysym.sym), 0);
        break;
      case SDL_QUIT:
        PostMessage(kWmClose, 0, 0);
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) PostMessage(kWmClose, 0, 0);
        break;
      default:
        break;
    }
  }
}

}  // namespace

void SetPictureWindowOptions(const PictureWindowOptions& options) {
  Picture().options = options;
}

bool OpenPictureWindow(int width, int height) {
  PictureWindow& p = Picture();
  if (p.window) ClosePictureWindow();
  if (!DisplayAvailable()) return false;
  int window_width, window_height;
  InitialWindowSize(p.options, width, height, &window_width, &window_height);
  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  if (p.options.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  p.window = SDL_CreateWindow("Veyrith", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                              window_width, window_height, flags);
  if (!p.window) return false;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  p.renderer =
      SDL_CreateRenderer(p.window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (p.renderer && DrawnBySoftwareGl(p.renderer)) {
    SDL_DestroyRenderer(p.renderer);
    p.renderer = nullptr;
    // The window's own surface, not one that OpenGL draws.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  }
  if (!p.renderer) p.renderer = SDL_CreateRenderer(p.window, -1, SDL_RENDERER_SOFTWARE);
  if (!p.renderer) {
    ClosePictureWindow();
    return false;
  }
  SDL_RenderSetLogicalSize(p.renderer, width, height);
  p.texture = SDL_CreateTexture(p.renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                width, height);
  if (!p.texture) {
    ClosePictureWindow();
    return false;
  }
  SDL_DisplayMode mode;
  p.refresh_hz = 60;
  if (SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(p.window), &mode) == 0 &&
      mode.refresh_rate > 0) {
    p.refresh_hz = mode.refresh_rate;
  }
  DressWindow(p);
  SDL_SetRenderDrawColor(p.renderer, 0, 0, 0, 255);
  SDL_RenderClear(p.renderer);
  SDL_RenderPresent(p.renderer);
  std::lock_guard<std::mutex> lock(p.mutex);
  p.width = width;
  p.height = height;
  p.pending = false;
  p.presenting = true;
  p.submitted = p.shown = 0;
  return true;
}

void ClosePictureWindow() {
  PictureWindow& p = Picture();
  StopPresenting();
  if (p.texture) SDL_DestroyTexture(p.texture);
  if (p.renderer) SDL_DestroyRenderer(p.renderer);
  if (p.window) SDL_DestroyWindow(p.window);
  if (p.cursor) {
    SDL_SetCursor(SDL_GetDefaultCursor());
    SDL_FreeCursor(p.cursor);
  }
  p.cursor = nullptr;
  p.texture = nullptr;
  p.renderer = nullptr;
  p.window = nullptr;
}

bool PictureWindowOpen() {
  return Picture().window != nullptr;
}

int PictureWindowRefreshHz() {
  return Picture().refresh_hz;
}

bool PictureWindowSizeFor(int picture_width, int picture_height, int* width, int* height) {
  if (!DisplayAvailable()) return false;
  // SDL's stand-ins for a display have a made-up size.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
    return false;
  }
  const PictureWindowOptions& options = Picture().options;
  if (options.fullscreen) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
    *width = mode.w;
    *height = mode.h;
    return true;
  }
  InitialWindowSize(options, picture_width, picture_height, width, height);
  return true;
}

PictureWindowLook PictureWindowLookNow() {
  PictureWindow& p = Picture();
  PictureWindowLook look;
  if (!p.window) return look;
  look.own_cursor = p.cursor != nullptr && SDL_GetCursor() == p.cursor;
  look.cursor_shown = SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
  look.fullscreen = (SDL_GetWindowFlags(p.window) & SDL_WINDOW_FULLSCREEN) != 0;
  return look;
}

void SubmitPicture(const uint16_t* pixels, int width, int height, int stride_pixels, bool wait) {
  PictureWindow& p = Picture();
  std::unique_lock<std::mutex> lock(p.mutex);
  if (wait) {
    const uint64_t previous = p.submitted;
    p.presented.wait(lock, [&] { return !p.presenting || p.shown >= previous; });
  }
  if (!p.presenting || width != p.width || height != p.height) return;
  p.staging.resize(static_cast<size_t>(width) * height);
  for (int row = 0; row < height; ++row) {
    const uint16_t* source = pixels + static_cast<size_t>(height - 1 - row) * stride_pixels;
    std::memcpy(&p.staging[static_cast<size_t>(row) * width], source, width * sizeof(uint16_t));
  }
  p.pending = true;
  p.pending_at_retrace = wait;
  ++p.submitted;
  lock.unlock();
  WakeMessageLoop();
}

void StopPresenting() {
  PictureWindow& p = Picture();
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    p.presenting = false;
    p.pending = false;
  }
  p.presented.notify_all();
}

void ServePictureWindow() {
  PictureWindow& p = Picture();
  if (!p.window) return;
  PresentPending(p);
  TranslateEvents();
}

}  // namespace platform
