// The board's worker threads. The submitting thread appends commands (a
// change of state or buffers, a triangle, a clear) to a stream and hands
// them over a few dozen at a time; every worker reads the whole stream in
// order and draws the rows of its own share, so no two workers write the
// same pixel and none has to wait for another.
//
// The stream is cut into frames at the swaps, and frames alternate between
// two slots of command chunks: while the workers draw frame k from one, the
// submitting thread evaluates and records frame k + 1 into the other. The
// swap of frame k + 1 waits until frame k is drawn, shows it (when the sink
// takes frames late) and gives its slot to frame k + 2, so the caller is at
// most one frame ahead. Waiting for everything happens only where the
// submitting thread needs the pixels: BoardFinish, which the frame-buffer
// locks, texture downloads and a swap to a sink that needs each frame at
// once call.
#include "board/draw_workers.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "board/board_threads.h"
#include "board/frame_sink.h"
#include "board/texture_memory.h"

namespace {

constexpr size_t kChunkCommands = 256;
// Commands handed to the workers at a time: one lock each. A worker that
// has drawn all it was handed sleeps until this many more are waiting (or
// the frame ends): waking it costs more than drawing a few dozen small
// triangles, and a few hundred keep the number of wake-ups per frame small.
constexpr size_t kPublishEvery = 64;
constexpr size_t kWakeEvery = 1024;
// A frame this long is drawn before more is taken, bounding its memory
// when a program draws without ever swapping.
constexpr size_t kMaxPendingCommands = 16384;
constexpr std::size_t kWorkerStackBytes = 256 * 1024;
constexpr size_t kNoFrame = std::numeric_limits<size_t>::max();

// The state and buffers triangles are drawn with, by value: the submitting
// thread changes its own freely while the workers draw.
struct DrawContext {
  BoardRenderState state;
  uint16_t* colour = nullptr;
  uint16_t* depth = nullptr;
  BoardClipWindow clip;
};

struct DrawCommand {
  enum class Kind : uint8_t { kContext, kTriangle, kClear };
  Kind kind;
  uint16_t clear_colour;
  uint16_t clear_depth;
  const DrawContext* context;  // kContext
  TriangleInput triangle;      // kTriangle
};

// Made without clearing its commands: each is written before it is read.
struct CommandChunk {
  DrawCommand commands[kChunkCommands];
  CommandChunk* next = nullptr;  // set before a command in it is handed over
};

// The commands and contexts of every other frame. The submitting thread
// refills a slot only once every worker has left the frame it held.
struct FrameSlot {
  std::vector<std::unique_ptr<CommandChunk>> chunks;  // the submitting thread's
  CommandChunk* head = nullptr;                       // fixed once the workers start
  std::deque<DrawContext> contexts;                   // elements stay in place as it grows
};

// Where a frame ends in the stream, once its swap has come.
struct FrameEnd {
  size_t frame = kNoFrame;
  size_t end = 0;
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
  int32_t index = 0;
  platform::Thread thread;
  // The worker's place in the stream: its own while it draws; reset by the
  // submitting thread only while every worker waits.
  CommandChunk* chunk = nullptr;
  size_t offset = 0;
  size_t read = 0;
  size_t done = 0;   // commands drawn; guarded by the mutex
  size_t frame = 0;  // the frame it reads; guarded by the mutex
  DrawerChoice drawer;
  DrawTarget target;
  int32_t bands_for = 0;  // the count of shares first_band was made for
  uint8_t first_band[kMaxBands];
};

static_assert(kMaxBands + kBoardMaxThreads <= 256, "a band number fits in a byte");

// The worker's share of the rows among count, with its band table.
RowShare ShareOf(Worker* worker, int32_t count) {
  if (worker->bands_for != count) {
    for (int32_t band = 0; band < kMaxBands; ++band) {
      worker->first_band[band] =
          static_cast<uint8_t>(band + (worker->index - band % count + count) % count);
    }
    worker->bands_for = count;
  }
  return RowShare{worker->index, count, worker->first_band};
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
    if (threads < 2) return 1;
    for (FrameSlot& slot : slots_) {
      if (slot.chunks.empty()) {
        slot.head = slot.chunks.emplace_back(std::make_unique_for_overwrite<CommandChunk>()).get();
      }
    }
    ResetStream();
    for (int i = 0; i < threads; ++i) {
      Worker* worker = workers_.emplace_back(std::make_unique<Worker>()).get();
      worker->owner = this;
      worker->index = i;
      worker->chunk = slots_[0].head;
      const bool started = starter ? starter(&worker->thread, &Entry, worker)
                                   : worker->thread.Start(&Entry, worker, kWorkerStackBytes);
      if (!started) {
        workers_.pop_back();
        break;
      }
    }
    if (workers_.size() < 2) {
      Join();
      return 1;
    }
    {
      const std::lock_guard lock(mutex_);
      count_ = static_cast<int32_t>(workers_.size());
    }
    Board().threads = count_;
    return count_;
  }

  // Draws what is pending, then ends the workers.
  void Stop() {
    Finish();
    Join();
  }

  // The place of the next triangle, filled in by the caller and kept with
  // CommitTriangle; not filling it in leaves the stream as it was.
  TriangleInput* ReserveTriangle(const DrawTarget& target) {
    MakeRoom();
    UseContext(target);
    DrawCommand& command = NextCommand();
    command.kind = DrawCommand::Kind::kTriangle;
    --write_offset_;  // taken for good by CommitTriangle
    return &command.triangle;
  }
  void CommitTriangle() {
    ++write_offset_;
    Appended();
  }

  void RecordClear(const DrawTarget& target, uint16_t colour, uint16_t depth) {
    MakeRoom();
    UseContext(target);
    DrawCommand& command = NextCommand();
    command.kind = DrawCommand::Kind::kClear;
    command.clear_colour = colour;
    command.clear_depth = depth;
    Appended();
  }

  // Ends the frame being recorded and hands it over without waiting for
  // its pixels: the frame before it is drawn first (its slot takes the next
  // frame) and shown, and this one is shown the same way one swap later.
  void Swap(const LateFrame& frame) {
    const size_t ending = write_frame_;
    {
      std::unique_lock lock(mutex_);
      frame_ends_[ending % 2] = {ending, written_};
      published_ = written_;
      wake_at_ = kNoFrame;
      work_ready_.notify_all();
      if (ending > 0) {
        work_done_.wait(lock, [&] {
          return std::all_of(workers_.begin(), workers_.end(),
                             [&](const auto& worker) { return worker->frame >= ending; });
        });
      }
    }
    handed_over_ = written_;
    ShowLateFrame();
    late_ = frame;
    write_frame_ = ending + 1;
    FrameSlot& slot = slots_[write_frame_ % 2];
    slot.contexts.clear();
    write_chunk_ = slot.head;
    write_offset_ = 0;
    frame_begin_ = written_;
    last_context_ = nullptr;  // each frame states its own, in its own slot
  }

  // Hands over everything and waits until it is drawn; a frame handed over
  // at a swap is shown, and the stream starts over.
  void Finish() {
    if (workers_.empty()) return;
    {
      std::unique_lock lock(mutex_);
      published_ = written_;
      wake_at_ = kNoFrame;
      work_ready_.notify_all();
      work_done_.wait(lock, [&] {
        return std::all_of(workers_.begin(), workers_.end(),
                           [&](const auto& worker) { return worker->done == published_; });
      });
      ResetStream();
    }
    ShowLateFrame();
  }

 private:
  static void Entry(void* argument) {
    auto* worker = static_cast<Worker*>(argument);
    worker->owner->Run(worker);
  }

  // Whether the worker has drawn the whole of its frame and the frame's
  // swap has come. Called with the mutex held.
  bool FrameDrawn(const Worker& worker) const {
    const FrameEnd& end = frame_ends_[worker.frame % 2];
    return end.frame == worker.frame && end.end == worker.read;
  }

  void Run(Worker* worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
      while (FrameDrawn(*worker)) {
        ++worker->frame;
        worker->chunk = slots_[worker->frame % 2].head;
        worker->offset = 0;
      }
      worker->done = worker->read;
      work_done_.notify_all();
      const auto ready = [&] { return stop_ || published_ > worker->read || FrameDrawn(*worker); };
      if (!ready()) {
        wake_at_ = std::min(wake_at_, worker->read + kWakeEvery);
        work_ready_.wait(lock, ready);
      }
      if (stop_) return;
      if (FrameDrawn(*worker)) continue;
      const FrameEnd& end = frame_ends_[worker->frame % 2];
      const size_t available =
          end.frame == worker->frame ? std::min(published_, end.end) : published_;
      const RowShare share = ShareOf(worker, count_);
      lock.unlock();
      while (worker->read < available) Execute(worker, share);
      lock.lock();
    }
  }

  static void Execute(Worker* worker, RowShare share) {
    if (worker->offset == kChunkCommands) {
      worker->chunk = worker->chunk->next;
      worker->offset = 0;
    }
    const DrawCommand& command = worker->chunk->commands[worker->offset++];
    ++worker->read;
    switch (command.kind) {
      case DrawCommand::Kind::kContext: {
        const DrawContext& context = *command.context;
        worker->target = {&context.state, context.colour, context.depth, context.clip};
        break;
      }
      case DrawCommand::Kind::kTriangle:
        DrawTriangleShare(command.triangle, worker->target, share, &worker->drawer);
        break;
      case DrawCommand::Kind::kClear:
        ClearShare(worker->target, command.clear_colour, command.clear_depth, share);
        break;
    }
  }

  // The stream back at its start, both slots empty; only while every
  // worker waits (or none runs), with the mutex held or no worker started.
  void ResetStream() {
    published_ = written_ = handed_over_ = frame_begin_ = 0;
    wake_at_ = kNoFrame;
    write_frame_ = 0;
    frame_ends_[0] = frame_ends_[1] = FrameEnd{};
    for (const auto& worker : workers_) {
      worker->chunk = slots_[0].head;
      worker->offset = worker->read = worker->done = worker->frame = 0;
    }
    write_chunk_ = slots_[0].head;
    write_offset_ = 0;
    for (FrameSlot& slot : slots_) slot.contexts.clear();
    last_context_ = nullptr;
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
  // shown is dropped (its sink may be gone at exit).
  void Join() {
    late_ = LateFrame{};
    if (workers_.empty()) return;
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    work_ready_.notify_all();
    for (const auto& worker : workers_) worker->thread.Join();
    workers_.clear();
    Board().threads = 1;
    const std::lock_guard lock(mutex_);
    stop_ = false;
    ResetStream();
    count_ = 0;
  }

  // The state is copied and compared byte for byte, padding included (a
  // difference there would only record one context more), and only as far
  // as it decides: comparing member by member, or all of it, costs more
  // than the rest of a small triangle's submission.
  void UseContext(const DrawTarget& target) {
    if (last_context_ && last_context_->colour == target.colour &&
        last_context_->depth == target.depth && last_context_->clip == target.clip &&
        std::memcmp(&last_context_->state, target.state, kStateBytesThatDecide) == 0) {
      return;
    }
    DrawContext& context = slots_[write_frame_ % 2].contexts.emplace_back();
    std::memcpy(&context.state, target.state, sizeof(BoardRenderState));
    context.colour = target.colour;
    context.depth = target.depth;
    context.clip = target.clip;
    last_context_ = &context;
    DrawCommand& command = NextCommand();
    command.kind = DrawCommand::Kind::kContext;
    command.context = last_context_;
    Appended();
  }

  DrawCommand& NextCommand() {
    if (write_offset_ == kChunkCommands) {
      if (!write_chunk_->next) {
        write_chunk_->next =
            slots_[write_frame_ % 2]
                .chunks.emplace_back(std::make_unique_for_overwrite<CommandChunk>())
                .get();
      }
      write_chunk_ = write_chunk_->next;
      write_offset_ = 0;
    }
    return write_chunk_->commands[write_offset_++];
  }

  // Room for a context and a command: a frame at its limit is drawn first.
  void MakeRoom() {
    if (written_ - frame_begin_ + 2 > kMaxPendingCommands) Finish();
  }

  void Appended() {
    ++written_;
    if (written_ - handed_over_ < kPublishEvery) return;
    bool wake;
    {
      const std::lock_guard lock(mutex_);
      published_ = written_;
      wake = written_ >= wake_at_;
      if (wake) wake_at_ = kNoFrame;
    }
    handed_over_ = written_;
    if (wake) work_ready_.notify_all();
  }

  [[maybe_unused]] bool memory_made_ = MakeDrawingMemory();  // first of all members
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable work_done_;
  // Guarded by the mutex.
  size_t published_ = 0;
  size_t wake_at_ = kNoFrame;  // the publication that wakes an idle worker
  FrameEnd frame_ends_[2];     // of the frames in the slots, by frame number % 2
  int32_t count_ = 0;
  bool stop_ = false;
  // The submitting thread's own.
  size_t written_ = 0;
  size_t handed_over_ = 0;
  size_t frame_begin_ = 0;  // where the frame being recorded starts
  size_t write_frame_ = 0;  // its number since the stream started over
  FrameSlot slots_[2];
  CommandChunk* write_chunk_ = nullptr;
  size_t write_offset_ = 0;
  const DrawContext* last_context_ = nullptr;
  LateFrame late_;
  std::vector<std::unique_ptr<Worker>> workers_;
};

DrawWorkers& Workers() {
  static DrawWorkers workers;
  return workers;
}

}  // namespace

DrawTarget CurrentDrawTarget() {
  BoardState& board = Board();
  return {&RenderState(), board.colour[board.back].data(),
          board.depth.empty() ? nullptr : board.depth.data(), board.clip};
}

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

void SwapForWorkers(FrameSink* sink, const uint16_t* pixels, int width, int height,
                    int stride_pixels, int interval) {
  Workers().Swap(LateFrame{sink, pixels, width, height, stride_pixels, interval});
}
