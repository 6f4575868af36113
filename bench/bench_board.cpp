// Fill-rate and triangle-rate benchmarks of the software 3D board at
// 640x480 and 1920x1440, and the same textured workload through Mesa's
// llvmpipe (OSMesa) at the same sizes for comparison when it is available.
// llvmpipe takes its thread count from LP_NUM_THREADS once per process (1
// when unset); its runs carry that count as their last argument and are
// compared with the board's runs on as many threads:
//   LP_NUM_THREADS=2 bench_board --benchmark_filter='FillTextured|Llvmpipe'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "board/board_state.h"
#include "board/board_threads.h"
#include "board/frame_sink.h"
#include "board/glide.h"
#include "thread_speedup.h"

#ifdef VEYRITH_HAVE_OSMESA
#include <GL/gl.h>
#include <GL/osmesa.h>
#endif

namespace {

constexpr int kTextureSide = 256;

// Screen heights of the runs, 4:3: the board's own 640x480 and 1920x1440.
constexpr int kOwnHeight = 480;
constexpr int kLargeHeight = 1440;
int WidthFor(int height) {
  return height * 4 / 3;
}

struct Corner {
  float x, y;     // pixels, origin lower left
  float w;        // distance; 1/w is what the board iterates
  float r, g, b;  // 0..255
  float s, t;     // 0..256 across the texture
};

struct Workload {
  std::vector<Corner> corners;  // three per triangle
  double pixels = 0;            // pixels covered per frame, all layers
  int triangles() const { return static_cast<int>(corners.size() / 3); }
};

// Layers of quads over the whole screen, the farthest first so that every
// pixel passes the depth test (the slowest case). Each layer leans in depth
// across the screen so that texturing is perspective-corrected for real.
// The texture keeps its size on the screen's 640x480 scale, so a larger
// screen magnifies it as the demo's scenes would.
Workload ScreenMesh(int cells_x, int cells_y, int layers, int screen_height = kOwnHeight) {
  Workload work;
  const int screen_width = WidthFor(screen_height);
  const float texels_per_pixel = 0.8f * kOwnHeight / screen_height;
  const float cell_w = static_cast<float>(screen_width) / cells_x;
  const float cell_h = static_cast<float>(screen_height) / cells_y;
  for (int layer = 0; layer < layers; ++layer) {
    const float base_w = 10.0f - 3.0f * layer;
    const auto corner = [&](int i, int j) {
      const float x = i * cell_w, y = j * cell_h;
      Corner c;
      c.x = x;
      c.y = y;
      c.w = base_w * (1.0f + 0.5f * x / screen_width);
      c.r = 60.0f + 190.0f * x / screen_width;
      c.g = 60.0f + 190.0f * y / screen_height;
      c.b = static_cast<float>((i * 37 + j * 91 + layer * 50) % 200 + 40);
      c.s = x * texels_per_pixel;
      c.t = y * texels_per_pixel;
      return c;
    };
    for (int j = 0; j < cells_y; ++j) {
      for (int i = 0; i < cells_x; ++i) {
        const Corner a = corner(i, j), b = corner(i + 1, j), c = corner(i + 1, j + 1),
                     d = corner(i, j + 1);
        work.corners.insert(work.corners.end(), {a, b, c, a, c, d});
      }
    }
  }
  work.pixels = static_cast<double>(screen_width) * screen_height * layers;
  return work;
}

std::vector<uint16_t> TestTexture() {
  std::vector<uint16_t> texels(kTextureSide * kTextureSide);
  for (int y = 0; y < kTextureSide; ++y) {
    for (int x = 0; x < kTextureSide; ++x) {
      const int checker = ((x >> 4) ^ (y >> 4)) & 1;
      texels[y * kTextureSide + x] = static_cast<uint16_t>(
          checker ? (((x >> 3) << 11) | ((y >> 2) << 5) | 0x1F) : ((y >> 3) << 11) | (x >> 3));
    }
  }
  return texels;
}

enum class Look { kFlat, kGouraud, kTexturedBilinearDepthDither };

struct BoardSession {
  CountingFrameSink sink;
  std::vector<uint16_t> texels = TestTexture();
  GrTexInfo info;

  explicit BoardSession(Look look, int height = kOwnHeight) {
    sink.SetLateFrames(true);
    BoardSetFrameSink(&sink);
    BoardSetScreenSize(WidthFor(height), height);
    grGlideInit();
    grSstSelect(0);
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                 GR_ORIGIN_LOWER_LEFT, 2, 1);
    info.smallLod = info.largeLod = GR_LOD_256;
    info.aspectRatio = GR_ASPECT_1x1;
    info.format = GR_TEXFMT_RGB_565;
    info.data = texels.data();
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grCullMode(GR_CULL_DISABLE);
    grDitherMode(look == Look::kTexturedBilinearDepthDither ? GR_DITHER_4x4 : GR_DITHER_DISABLE);
    grDepthBufferMode(look == Look::kTexturedBilinearDepthDither ? GR_DEPTHBUFFER_WBUFFER
                                                                 : GR_DEPTHBUFFER_DISABLE);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    if (look == Look::kFlat) {
      grConstantColorValue(0x00806040);
      grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                     GR_COMBINE_OTHER_CONSTANT, FXFALSE);
    } else if (look == Look::kGouraud) {
      grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                     GR_COMBINE_OTHER_CONSTANT, FXFALSE);
    } else {
      grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
      grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
      grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
      grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                     GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    }
  }
  ~BoardSession() {
    grGlideShutdown();
    BoardSetScreenSize(0, 0);
    BoardSetFrameSink(nullptr);
  }
};

std::vector<GrVertex> ToBoardVertices(const Workload& work) {
  std::vector<GrVertex> vertices(work.corners.size());
  for (size_t i = 0; i < work.corners.size(); ++i) {
    const Corner& c = work.corners[i];
    GrVertex& v = vertices[i];
    v.x = c.x;
    v.y = c.y;
    v.r = c.r;
    v.g = c.g;
    v.b = c.b;
    v.a = 255.0f;
    v.oow = 1.0f / c.w;
    v.tmuvtx[0].oow = v.oow;
    v.tmuvtx[0].sow = c.s * v.oow;
    v.tmuvtx[0].tow = c.t * v.oow;
  }
  return vertices;
}

void SetCounters(benchmark::State& state, const Workload& work) {
  const auto frames = static_cast<double>(state.iterations());
  state.counters["Mpixels_per_s"] =
      benchmark::Counter(work.pixels * frames / 1e6, benchmark::Counter::kIsRate);
  state.counters["triangles_per_s"] =
      benchmark::Counter(work.triangles() * frames, benchmark::Counter::kIsRate);
  state.counters["pixels_per_frame"] = work.pixels;
}

// The board draws with the threads of the last argument (index
// threads_argument). A frame counts at its swap; the sink takes frames
// late, so workers draw one frame while the next is submitted, and the
// last frame is waited for.
void RunBoard(benchmark::State& state, Look look, const Workload& work, int threads_argument = 1,
              int height = kOwnHeight) {
  const auto threads = static_cast<int>(state.range(threads_argument));
  if (BoardSetThreads(threads) != threads) {
    state.SkipWithError("the drawing threads could not start");
    return;
  }
  BoardSession session(look, height);
  const std::vector<GrVertex> vertices = ToBoardVertices(work);
  const ThreadTimes times;
  for (auto _ : state) {
    grBufferClear(0, 0, 0xFFFF);
    for (size_t i = 0; i < vertices.size(); i += 3) {
      guDrawTriangleWithClip(&vertices[i], &vertices[i + 1], &vertices[i + 2]);
    }
    grBufferSwap(0);
    benchmark::ClobberMemory();
  }
  BoardFinish();
  times.SetCounters(state);
  SetCounters(state, work);
  BoardSetThreads(1);
}

// About 2,000 triangles per screen layer, as in the comparison workload.
Workload DemoMesh(int layers, int height = kOwnHeight) {
  return ScreenMesh(40, 25, layers, height);
}

void BM_FillFlat(benchmark::State& state) {
  RunBoard(state, Look::kFlat, DemoMesh(static_cast<int>(state.range(0))));
}
void BM_FillGouraud(benchmark::State& state) {
  RunBoard(state, Look::kGouraud, DemoMesh(static_cast<int>(state.range(0))));
}
// Arguments: layers, screen height (4:3), threads.
void BM_FillTexturedBilinearDepthDither(benchmark::State& state) {
  const auto height = static_cast<int>(state.range(1));
  RunBoard(state, Look::kTexturedBilinearDepthDither,
           DemoMesh(static_cast<int>(state.range(0)), height), 2, height);
}
// Triangles of range(0) pixels each (quads of twice that), textured, Gouraud,
// depth-tested and dithered.
void BM_SmallTrianglesTexturedBilinearDepthDither(benchmark::State& state) {
  const double side = std::sqrt(2.0 * static_cast<double>(state.range(0)));
  const int cells_x = static_cast<int>(WidthFor(kOwnHeight) / side);
  const int cells_y = static_cast<int>(kOwnHeight / side);
  RunBoard(state, Look::kTexturedBilinearDepthDither, ScreenMesh(cells_x, cells_y, 1));
}

// Two triangles per screen layer, three layers: the pixel pipeline alone,
// with next to no setup per triangle or per row.
void BM_FillTexturedBilinearDepthDitherLargeTriangles(benchmark::State& state) {
  RunBoard(state, Look::kTexturedBilinearDepthDither, ScreenMesh(1, 1, 3), 0);
}

// Each workload on one thread and on two (the last argument), timed by the
// clock on the wall since the drawing happens on other threads.
BENCHMARK(BM_FillFlat)->ArgsProduct({{1, 3}, {1, 2}})->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillGouraud)
    ->ArgsProduct({{1, 3}, {1, 2}})
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillTexturedBilinearDepthDither)
    ->ArgsProduct({{1, 3}, {kOwnHeight, kLargeHeight}, {1, 2}})
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillTexturedBilinearDepthDitherLargeTriangles)
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallTrianglesTexturedBilinearDepthDither)
    ->ArgsProduct({{10, 25, 50}, {1, 2}})
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

#ifdef VEYRITH_HAVE_OSMESA
// llvmpipe's thread count, read from LP_NUM_THREADS (set to 1 when unset)
// before the first context reads it.
int LlvmpipeThreads() {
  static const int threads = [] {
    const char* value = std::getenv("LP_NUM_THREADS");
    if (value == nullptr || std::atoi(value) < 1) {
      setenv("LP_NUM_THREADS", "1", 1);
      return 1;
    }
    return std::atoi(value);
  }();
  return threads;
}

// The same textured, Gouraud, depth-tested workload through llvmpipe (no
// dither: llvmpipe has none to match, and it draws into 8-bit channels).
void RunLlvmpipe(benchmark::State& state, const Workload& work, int height = kOwnHeight) {
  const int screen_width = WidthFor(height), screen_height = height;
  LlvmpipeThreads();
  OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
  if (!context) {
    state.SkipWithError("OSMesa context not available");
    return;
  }
  std::vector<uint8_t> frame(static_cast<size_t>(screen_width) * screen_height * 4);
  if (!OSMesaMakeCurrent(context, frame.data(), GL_UNSIGNED_BYTE, screen_width, screen_height)) {
    OSMesaDestroyContext(context);
    state.SkipWithError("OSMesaMakeCurrent failed");
    return;
  }
  const std::vector<uint16_t> texels = TestTexture();
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kTextureSide, kTextureSide, 0, GL_RGB,
               GL_UNSIGNED_SHORT_5_6_5, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glShadeModel(GL_SMOOTH);
  glDisable(GL_DITHER);
  glViewport(0, 0, screen_width, screen_height);
  // Clip-space positions with w, so Mesa divides and corrects perspective.
  std::vector<float> positions, colours, coords;
  for (const Corner& c : work.corners) {
    const float ndc_x = c.x / screen_width * 2.0f - 1.0f;
    const float ndc_y = c.y / screen_height * 2.0f - 1.0f;
    const float ndc_z = (c.w - 1.0f) / 20.0f * 2.0f - 1.0f;
    positions.insert(positions.end(), {ndc_x * c.w, ndc_y * c.w, ndc_z * c.w, c.w});
    colours.insert(colours.end(), {c.r / 255.0f, c.g / 255.0f, c.b / 255.0f});
    coords.insert(coords.end(), {c.s / kTextureSide, c.t / kTextureSide});
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(4, GL_FLOAT, 0, positions.data());
  glColorPointer(3, GL_FLOAT, 0, colours.data());
  glTexCoordPointer(2, GL_FLOAT, 0, coords.data());
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(work.corners.size()));
    glFinish();
  }
  SetCounters(state, work);
  glDeleteTextures(1, &texture);
  OSMesaDestroyContext(context);
}

// Arguments: layers, screen height (4:3), LP_NUM_THREADS.
void BM_LlvmpipeTexturedBilinearDepth(benchmark::State& state) {
  const auto height = static_cast<int>(state.range(1));
  RunLlvmpipe(state, DemoMesh(static_cast<int>(state.range(0)), height), height);
}
void BM_LlvmpipeSmallTriangles(benchmark::State& state) {
  RunLlvmpipe(state, ScreenMesh(64, 48, 1));
}
BENCHMARK(BM_LlvmpipeTexturedBilinearDepth)
    ->Apply([](benchmark::internal::Benchmark* b) {
      b->ArgsProduct({{1, 3}, {kOwnHeight, kLargeHeight}, {LlvmpipeThreads()}});
    })
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LlvmpipeSmallTriangles)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
#endif

// Prints the board's fill rate against llvmpipe's for the demo case (3
// layers) at each screen size, on the same number of threads: by the time on
// the wall, and by the processor time of the whole process (what the work
// costs, which other work on a shared machine does not change).
class RatioReporter : public ThreadSpeedupReporter {
 public:
  struct Rates {
    double wall = 0;       // fastest Mpixels per second on the wall
    double processor = 0;  // fastest Mpixels per second of processor time
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    ThreadSpeedupReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto found = run.counters.find("Mpixels_per_s");
      const auto pixels = run.counters.find("pixels_per_frame");
      if (found == run.counters.end() || pixels == run.counters.end() || run.error_occurred ||
          run.iterations == 0 || run.cpu_accumulated_time <= 0) {
        continue;
      }
      const double processor_rate = pixels->second.value * static_cast<double>(run.iterations) /
                                    run.cpu_accumulated_time / 1e6;
      // Names carry a suffix such as "/real_time/process_time"; the key is
      // "3/height/threads".
      const std::string name = run.benchmark_name();
      for (auto [prefix, rates] : {std::pair{"BM_FillTexturedBilinearDepthDither/3/", &board_},
                                   std::pair{"BM_LlvmpipeTexturedBilinearDepth/3/", &llvmpipe_}}) {
        const std::string start(prefix);
        if (name.rfind(start, 0) != 0) continue;
        const std::string rest = name.substr(start.size());
        const size_t second_slash = rest.find('/', rest.find('/') + 1);
        Rates& best = (*rates)[rest.substr(0, second_slash)];
        best.wall = std::max(best.wall, found->second.value);
        best.processor = std::max(best.processor, processor_rate);
      }
    }
  }
  void Finalize() override {
    ThreadSpeedupReporter::Finalize();
    for (const auto& [key, llvmpipe] : llvmpipe_) {
      const auto board = board_.find(key);
      if (board == board_.end() || llvmpipe.wall <= 0 || llvmpipe.processor <= 0) continue;
      const int height = std::atoi(key.c_str());
      const int threads = std::atoi(key.c_str() + key.find('/') + 1);
      std::printf(
          "board / llvmpipe fill rate, textured bilinear depth, 3x overdraw, %dx%d, %d "
          "thread%s: wall %.1f / %.1f Mpixels/s = %.2f; processor %.1f / %.1f Mpixels per "
          "second = %.2f\n",
          WidthFor(height), height, threads, threads == 1 ? "" : "s", board->second.wall,
          llvmpipe.wall, board->second.wall / llvmpipe.wall, board->second.processor,
          llvmpipe.processor, board->second.processor / llvmpipe.processor);
    }
  }

 private:
  std::map<std::string, Rates> board_;  // by "height/threads"
  std::map<std::string, Rates> llvmpipe_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
