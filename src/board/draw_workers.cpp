// The board's worker threads. The submitting thread records each triangle
// and clear of a frame with the state and buffers it is drawn with, and
// files it under every stripe of screen rows it touches. At the swap the
// frame is handed over, and each stripe is drawn whole, its commands in
// call order, by whichever thread takes it next: a worker, or the
// submitting thread once it has nothing else to do. No two threads write
// the same pixel, and which thread draws a stripe changes nothing.
//
// Frames alternate between two slots: while frame k is drawn from one, the
// submitting thread evaluates and records frame k + 1 into the other. The
// swap of frame k + 1 hands it over, then helps draw what is left of frame
// k, shows it (when the sink takes frames late) and gives its slot to frame
// k + 2, so the caller is at most one frame ahead. A stripe of frame k + 1
// is taken only once the same stripe of frame k is drawn, since the two
// frames share the depth buffer. Waiting for everything happens only where
// the submitting thread needs the pixels: BoardFinish, which the
// frame-buffer locks, texture downloads and a swap to a sink that needs
// each frame at once call.
//
// With N threads the pool starts N - 1 workers: the submitting thread is
// the N-th, so the threads never outnumber the cores asked for. With one
// thread, a screen larger than the board's modes is drawn the same way by
// the submitting thread alone, for the cache (see ChooseMode).
#include "board/draw_workers.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "board/board_threads.h"
#include "board/frame_sink.h"
#include "board/texture_memory.h"

namespace {

constexpr size_t kChunkCommands = 256;
// A frame this long is drawn before more is taken, bounding its memory
// when a program draws without ever swapping.
constexpr size_t kMaxPendingCommands = 16384;
constexpr std::size_t kWorkerStackBytes = 256 * 1024;
// Stripes per frame: four per thread, so that the last ones taken are small
// against the frame and the threads end it together; none under 16 rows,
// where a triangle would more often be set up once per stripe it crosses.
constexpr int32_t kStripesPerThread = 4;
constexpr int32_t kMinStripes = 8;
constexpr int32_t kMaxStripes = 64;
constexpr int32_t kMinStripeRows = 16;
// The largest screen drawn at once on one thread (see ChooseMode).
constexpr int64_t kLargestScreenDrawnAtOnce = 800 * 600;

// The state and buffers triangles are drawn with, by value: the submitting
// thread changes its own freely while the workers draw.
struct DrawContext {
  BoardRenderState state;
  uint16_t* colour = nullptr;
  uint16_t* depth = nullptr;
  BoardClipWindow clip;
};

struct DrawCommand {
  enum class Kind : uint8_t { kTriangle, kClear };
  Kind kind;
  uint16_t clear_colour;
  uint16_t clear_depth;
  const DrawContext* context;
  TriangleInput triangle;  // kTriangle
};

// The commands filed under one stripe, in call order. Filing is done for
// every triangle, so the common case is a store and a count, and growing
// (rare once a few frames have set the size) is kept out of its way.
class StripeCommands {
 public:
  void Add(const DrawCommand* command) {
    if (count_ == capacity_) [[unlikely]]
      Grow();
    commands_[count_++] = command;
  }
  void Clear() { count_ = 0; }
  const DrawCommand* const* begin() const { return commands_.get(); }
  const DrawCommand* const* end() const { return commands_.get() + count_; }

 private:
  [[gnu::noinline]] void Grow() {
    const size_t capacity = std::max<size_t>(2 * capacity_, 256);
    auto grown = std::make_unique<const DrawCommand*[]>(capacity);
    std::copy(begin(), end(), grown.get());
    commands_ = std::move(grown);
    capacity_ = capacity;
  }

  std::unique_ptr<const DrawCommand*[]> commands_;
  size_t count_ = 0;
  size_t capacity_ = 0;
};

// Made without clearing its commands: each is written before it is read.
struct CommandChunk {
  DrawCommand commands[kChunkCommands];
  CommandChunk* next = nullptr;
};

// The commands, contexts and stripes of every other frame. The submitting
// thread refills a slot only once its frame is drawn.
struct FrameSlot {
  std::vector<std::unique_ptr<CommandChunk>> chunks;  // the submitting thread's
  CommandChunk* head = nullptr;
  std::deque<DrawContext> contexts;  // elements stay in place as it grows
  StripeCommands stripes[kMaxStripes];
  // Guarded by the mutex once the frame is handed over.
  int32_t next_stripe = 0;  // the next one to take
  int32_t stripes_drawn = 0;
  bool drawn[kMaxStripes] = {};
};

// A frame handed over at a swap, shown once it is drawn.
struct LateFrame {
  FrameSink* sink = nullptr;  // null: none waiting
  const uint16_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride_pixels = 0;
  int interval = 0;
};

class DrawWorkers;

struct Worker {
  DrawWorkers* owner = nullptr;
  platform::Thread thread;
  DrawerChoice drawer;
};

// Whether two states draw alike, compared byte for byte (padding included:
// a difference there only records one context more) and only as far as it
// decides. It runs for every triangle recorded: sixteen bytes at a time,
// inline, it costs a third of a call to memcmp, and comparing member by
// member more than the rest of a small triangle's recording.
bool SameDecidingBytes(const BoardRenderState& a, const BoardRenderState& b) {
  using Block = uint64_t __attribute__((vector_size(16)));
  constexpr size_t kBlocks = kStateBytesThatDecide / sizeof(Block);
  constexpr size_t kTail = kStateBytesThatDecide % sizeof(Block);
  const auto* bytes_a = reinterpret_cast<const unsigned char*>(&a);
  const auto* bytes_b = reinterpret_cast<const unsigned char*>(&b);
  Block differ{};
#pragma GCC unroll 8
  for (size_t i = 0; i < kBlocks; ++i) {
    Block block_a, block_b;
    std::memcpy(&block_a, bytes_a + i * sizeof(Block), sizeof(Block));
    std::memcpy(&block_b, bytes_b + i * sizeof(Block), sizeof(Block));
    differ |= block_a ^ block_b;
  }
  if ((differ[0] | differ[1]) != 0) return false;
  return kTail == 0 || std::memcmp(bytes_a + kBlocks * sizeof(Block),
                                   bytes_b + kBlocks * sizeof(Block), kTail) == 0;
}

// Makes what the workers draw into and read before the workers, so that at
// exit it is destroyed after them even if they were still drawing.
bool MakeDrawingMemory() {
  Board();
  RenderState();
  ExpandedTexelsAt(0);
  return true;
}

class DrawWorkers {
 public:
  ~DrawWorkers() { Join(); }

  int Start(int threads, BoardThreadStarter starter) {
    Stop();
    threads = std::clamp(threads, 1, kBoardMaxThreads);
    for (int i = 0; i + 1 < threads; ++i) {
      Worker* worker = workers_.emplace_back(std::make_unique<Worker>()).get();
      worker->owner = this;
      const bool started = starter ? starter(&worker->thread, &Entry, worker)
                                   : worker->thread.Start(&Entry, worker, kWorkerStackBytes);
      if (!started) {
        workers_.pop_back();
        break;
      }
    }
    {
      const std::lock_guard lock(mutex_);
      count_ = static_cast<int32_t>(workers_.size()) + 1;
    }
    Board().threads = count_;
    ChooseMode();
    return count_;
  }

  // Screens up to the original board's largest mode (800x600) are drawn at
  // once on one thread, as the board drew them. A larger screen's colour
  // and depth no longer fit in a core's cache while a frame's layers are
  // drawn over them, so it is drawn by stripes on one thread too: half as
  // fast again at 1920x1440, where at 640x480 recording would only cost.
  // Only while nothing is pending.
  void ChooseMode() {
    BoardState& board = Board();
    const bool stripes =
        board.threads > 1 || int64_t{board.width} * board.height > kLargestScreenDrawnAtOnce;
    if (stripes && !board.drawn_by_stripes) {
      for (FrameSlot& slot : slots_) {
        if (slot.chunks.empty()) {
          slot.head =
              slot.chunks.emplace_back(std::make_unique_for_overwrite<CommandChunk>()).get();
        }
      }
      const std::lock_guard lock(mutex_);
      layout_height_ = -1;  // laid out for the screen at the first command
      ResetStream();
    }
    board.drawn_by_stripes = stripes;
  }

  // Draws what is pending, then ends the workers.
  void Stop() {
    Finish();
    Join();
  }

  // The place of the next triangle, filled in by the caller and kept with
  // CommitTriangle; not filling it in leaves the stream as it was. This and
  // CommitTriangle run for every triangle a frame submits, so what they do
  // every time is written out inline, and the rest (a new layout, a full
  // frame, a new chunk, a new context) is kept out of the way.
  TriangleInput* ReserveTriangle(const DrawTarget& target) {
    DrawCommand& command = NextCommand(target);
    command.kind = DrawCommand::Kind::kTriangle;
    reserved_ = &command;
    return &command.triangle;
  }
  void CommitTriangle() {
    ++write_offset_;
    ++frame_commands_;
    File(reserved_, reserved_->triangle.first_row, reserved_->triangle.last_row);
  }

  void RecordClear(const DrawTarget& target, uint16_t colour, uint16_t depth) {
    DrawCommand& command = NextCommand(target);
    command.kind = DrawCommand::Kind::kClear;
    command.clear_colour = colour;
    command.clear_depth = depth;
    ++write_offset_;
    ++frame_commands_;
    File(&command, target.clip.min_y, target.clip.max_y - 1);
  }

  // Ends the frame being recorded and hands it over without waiting for
  // its pixels: the frame before it is drawn first (its slot takes the next
  // frame) and shown, and this one is shown the same way one swap later.
  void Swap(const LateFrame& frame) {
    const size_t ending = write_frame_;
    HandOver();
    if (ending > 0) DrawUntilDrawn(ending - 1);
    ShowLateFrame();
    late_ = frame;
    write_frame_ = ending + 1;
    StartSlot(write_frame_);
  }

  // Hands over everything and waits until it is drawn, helping; a frame
  // handed over at a swap is shown, and the stream starts over.
  void Finish() {
    if (!Board().drawn_by_stripes) return;
    HandOver();
    DrawUntilDrawn(write_frame_);
    {
      const std::lock_guard lock(mutex_);
      ResetStream();
    }
    ShowLateFrame();
  }

 private:
  static void Entry(void* argument) {
    auto* worker = static_cast<Worker*>(argument);
    worker->owner->Run(worker);
  }

  FrameSlot& SlotOf(size_t frame) { return slots_[frame % 2]; }

  // Takes the next stripe that may be drawn: of the oldest frame not yet
  // taken whole, and only where the frame before has drawn that stripe.
  // Called with the mutex held.
  bool TakeStripe(size_t* frame, int32_t* stripe) {
    for (size_t f = drawn_frames_; f < handed_frames_; ++f) {
      FrameSlot& slot = SlotOf(f);
      if (slot.next_stripe == stripe_count_) continue;
      const int32_t s = slot.next_stripe;
      if (f > drawn_frames_ && !SlotOf(f - 1).drawn[s]) return false;
      ++slot.next_stripe;
      *frame = f;
      *stripe = s;
      return true;
    }
    return false;
  }

  // Called with the mutex held. Frames end in order: a frame's stripe is
  // taken only after the frame before drew it.
  void StripeDrawn(size_t frame, int32_t stripe) {
    FrameSlot& slot = SlotOf(frame);
    slot.drawn[stripe] = true;
    ++slot.stripes_drawn;
    CountDrawnFrames();
    changed_.notify_all();
  }
  void CountDrawnFrames() {
    while (drawn_frames_ < handed_frames_ && SlotOf(drawn_frames_).stripes_drawn == stripe_count_) {
      ++drawn_frames_;
    }
  }

  void DrawStripe(size_t frame, int32_t stripe, DrawerChoice* drawer) {
    const FrameSlot& slot = SlotOf(frame);
    const int32_t first_row = stripe_first_row_[stripe];
    const int32_t last_row = stripe_first_row_[stripe + 1] - 1;
    const DrawContext* context = nullptr;
    DrawTarget target;
    for (const DrawCommand* command : slot.stripes[stripe]) {
      if (command->context != context) {
        context = command->context;
        target = {&context->state, context->colour, context->depth, context->clip};
      }
      if (command->kind == DrawCommand::Kind::kTriangle) {
        DrawTriangleRows(command->triangle, target, first_row, last_row, drawer);
      } else {
        ClearRows(target, command->clear_colour, command->clear_depth, first_row, last_row);
      }
    }
  }

  void Run(Worker* worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
      size_t frame = 0;
      int32_t stripe = 0;
      changed_.wait(lock, [&] { return stop_ || TakeStripe(&frame, &stripe); });
      if (stop_) return;
      DrawTaken(lock, frame, stripe, &worker->drawer);
    }
  }

  // The submitting thread draws stripes until frame is drawn whole. While
  // another thread draws the frame's last stripes it takes those of the
  // frame after rather than wait beside them; it goes back to recording a
  // stripe's time after the frame is drawn at most.
  void DrawUntilDrawn(size_t frame) {
    std::unique_lock lock(mutex_);
    while (drawn_frames_ <= frame) {
      size_t taken = 0;
      int32_t stripe = 0;
      if (!TakeStripe(&taken, &stripe)) {
        changed_.wait(lock);
        continue;
      }
      DrawTaken(lock, taken, stripe, &drawer_);
    }
  }

  // Draws a stripe taken with the mutex held, without holding it meanwhile.
  void DrawTaken(std::unique_lock<std::mutex>& lock, size_t frame, int32_t stripe,
                 DrawerChoice* drawer) {
    lock.unlock();
    DrawStripe(frame, stripe, drawer);
    lock.lock();
    StripeDrawn(frame, stripe);
  }

  // The frame being recorded may be drawn from now on; a frame without a
  // command has nothing to draw in any stripe.
  void HandOver() {
    const std::lock_guard lock(mutex_);
    FrameSlot& slot = SlotOf(write_frame_);
    if (frame_commands_ == 0) {
      slot.next_stripe = slot.stripes_drawn = stripe_count_;
      std::fill(slot.drawn, slot.drawn + kMaxStripes, true);
    }
    handed_frames_ = write_frame_ + 1;
    CountDrawnFrames();
    changed_.notify_all();
  }

  // Empties the slot of frame for its recording; the frame before it in
  // the slot is drawn.
  void StartSlot(size_t frame) {
    {
      const std::lock_guard lock(mutex_);
      EmptySlot(SlotOf(frame));
    }
    StartRecording(SlotOf(frame));
  }

  // The stream back at its start, both slots empty; only while no stripe
  // is being drawn, with the mutex held.
  void ResetStream() {
    handed_frames_ = drawn_frames_ = 0;
    write_frame_ = 0;
    for (FrameSlot& slot : slots_) EmptySlot(slot);
    StartRecording(slots_[0]);
  }

  // With the mutex held, the slot's frame drawn.
  static void EmptySlot(FrameSlot& slot) {
    slot.contexts.clear();
    for (StripeCommands& commands : slot.stripes) commands.Clear();
    slot.next_stripe = slot.stripes_drawn = 0;
    std::fill(slot.drawn, slot.drawn + kMaxStripes, false);
  }

  void StartRecording(FrameSlot& slot) {
    write_chunk_ = slot.head;
    write_offset_ = 0;
    frame_commands_ = 0;
    last_context_ = nullptr;  // each frame states its own, in its own slot
  }

  // Splits the screen's rows into stripes; only while nothing is recorded
  // or drawn.
  void LayOutStripes(int32_t height) {
    const std::lock_guard lock(mutex_);
    layout_height_ = height;
    stripe_count_ = std::clamp(kStripesPerThread * count_, kMinStripes, kMaxStripes);
    stripe_count_ = std::max(1, std::min(stripe_count_, height / kMinStripeRows));
    stripe_of_row_.resize(static_cast<size_t>(std::max(height, 0)));
    for (int32_t s = 0; s <= stripe_count_; ++s) {
      stripe_first_row_[s] = static_cast<int32_t>(static_cast<int64_t>(height) * s / stripe_count_);
    }
    for (int32_t s = 0; s < stripe_count_; ++s) {
      for (int32_t row = stripe_first_row_[s]; row < stripe_first_row_[s + 1]; ++row) {
        stripe_of_row_[static_cast<size_t>(row)] = static_cast<uint8_t>(s);
      }
    }
  }

  // Files the command under the stripes of its rows first..last.
  [[gnu::always_inline]] void File(const DrawCommand* command, int32_t first, int32_t last) {
    first = std::max(first, 0);
    last = std::min(last, layout_height_ - 1);
    if (first > last) return;
    StripeCommands* stripes = SlotOf(write_frame_).stripes;
    const int32_t end = stripe_of_row_[static_cast<size_t>(last)];
    for (int32_t s = stripe_of_row_[static_cast<size_t>(first)]; s <= end; ++s) {
      stripes[s].Add(command);
    }
  }

  // Shows the frame handed over at the last swap; it is drawn by now.
  void ShowLateFrame() {
    const LateFrame frame = late_;
    late_ = LateFrame{};
    if (frame.sink) {
      frame.sink->Present(frame.pixels, frame.width, frame.height, frame.stride_pixels,
                          frame.interval);
    }
  }

  // Ends the workers without drawing what is pending; a frame not yet
  // shown is dropped (its sink may be gone at exit). Calls draw at once
  // from now on, until the mode is chosen again.
  void Join() {
    late_ = LateFrame{};
    Board().drawn_by_stripes = false;
    if (workers_.empty()) return;
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (const auto& worker : workers_) worker->thread.Join();
    workers_.clear();
    Board().threads = 1;
    const std::lock_guard lock(mutex_);
    stop_ = false;
    ResetStream();
    count_ = 1;
  }

  // The next command's place, with the context of target, not yet kept
  // (write_offset_ moves on when it is).
  [[gnu::always_inline]] DrawCommand& NextCommand(const DrawTarget& target) {
    if (layout_height_ != Board().height || frame_commands_ >= kMaxPendingCommands) [[unlikely]] {
      MakeRoom();
    }
    if (!SameContext(target)) [[unlikely]]
      AddContext(target);
    if (write_offset_ == kChunkCommands) [[unlikely]]
      NextChunk();
    DrawCommand& command = write_chunk_->commands[write_offset_];
    command.context = last_context_;
    return command;
  }

  [[gnu::always_inline]] bool SameContext(const DrawTarget& target) const {
    return last_context_ && last_context_->colour == target.colour &&
           last_context_->depth == target.depth && last_context_->clip == target.clip &&
           SameDecidingBytes(last_context_->state, *target.state);
  }

  [[gnu::noinline]] void AddContext(const DrawTarget& target) {
    DrawContext& context = SlotOf(write_frame_).contexts.emplace_back();
    std::memcpy(&context.state, target.state, sizeof(BoardRenderState));
    context.colour = target.colour;
    context.depth = target.depth;
    context.clip = target.clip;
    last_context_ = &context;
  }

  [[gnu::noinline]] void NextChunk() {
    if (!write_chunk_->next) {
      write_chunk_->next = SlotOf(write_frame_)
                               .chunks.emplace_back(std::make_unique_for_overwrite<CommandChunk>())
                               .get();
    }
    write_chunk_ = write_chunk_->next;
    write_offset_ = 0;
  }

  // Room for a command: a frame at its limit is drawn first, and a screen
  // of another height is laid out again once everything before is drawn.
  [[gnu::noinline]] void MakeRoom() {
    if (layout_height_ != Board().height) {
      Finish();
      LayOutStripes(Board().height);
    }
    if (frame_commands_ + 1 > kMaxPendingCommands) Finish();
  }

  [[maybe_unused]] bool memory_made_ = MakeDrawingMemory();  // first of all members
  std::mutex mutex_;
  std::condition_variable changed_;  // a frame handed over, a stripe drawn, the end
  // Guarded by the mutex.
  size_t handed_frames_ = 0;  // frames handed over since the stream started
  size_t drawn_frames_ = 0;   // of those, drawn whole
  bool stop_ = false;
  // Set while nothing is recorded or drawn; read by every drawing thread.
  int32_t count_ = 1;  // drawing threads, the submitting one included
  int32_t layout_height_ = -1;
  int32_t stripe_count_ = 0;
  int32_t stripe_first_row_[kMaxStripes + 1] = {};
  std::vector<uint8_t> stripe_of_row_;
  // The submitting thread's own.
  size_t write_frame_ = 0;  // the frame being recorded, since the stream started
  size_t frame_commands_ = 0;
  FrameSlot slots_[2];
  CommandChunk* write_chunk_ = nullptr;
  size_t write_offset_ = 0;
  DrawCommand* reserved_ = nullptr;
  const DrawContext* last_context_ = nullptr;
  DrawerChoice drawer_;  // for the stripes it draws itself
  LateFrame late_;
  std::vector<std::unique_ptr<Worker>> workers_;
};

// Inline into every call that records: after the first call it is a test
// of whether the pool is made, where a call costs as much again.
[[gnu::always_inline]] inline DrawWorkers& Workers() {
  static DrawWorkers workers;
  return workers;
}

}  // namespace

TriangleInput* ReserveTriangleForWorkers(const DrawTarget& target) {
  return Workers().ReserveTriangle(target);
}

void CommitTriangleForWorkers() {
  Workers().CommitTriangle();
}

void RecordClearForWorkers(const DrawTarget& target, uint16_t colour, uint16_t depth) {
  Workers().RecordClear(target, colour, depth);
}

int BoardSetThreads(int threads, BoardThreadStarter starter) {
  return Workers().Start(threads, starter);
}

int BoardThreads() {
  return Board().threads;
}

void BoardFinish() {
  Workers().Finish();
}

void ChooseHowScreenIsDrawn() {
  Workers().Finish();
  Workers().ChooseMode();
}

void SwapForWorkers(FrameSink* sink, const uint16_t* pixels, int width, int height,
                    int stride_pixels, int interval) {
  Workers().Swap(LateFrame{sink, pixels, width, height, stride_pixels, interval});
}
