// The board's worker threads. The submitting thread appends commands (a
// change of state or buffers, a triangle, a clear) to a stream and hands
// them over a few dozen at a time; every worker reads the whole stream in
// order and draws the rows of its own share, so no two workers write the
// same pixel and none has to wait for another. Waiting happens only where
// the submitting thread needs the pixels: BoardFinish, which the swap, the
// frame-buffer locks and texture downloads call.
#include "board/draw_workers.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "board/board_threads.h"
#include "board/texture_memory.h"

namespace {

constexpr size_t kChunkCommands = 256;
// Commands handed to the workers at a time: one lock and wake-up each.
constexpr size_t kPublishEvery = 64;
// A stream this long is drawn before more is taken, bounding its memory
// when a program draws without ever swapping.
constexpr size_t kMaxPendingCommands = 16384;
constexpr std::size_t kWorkerStackBytes = 256 * 1024;

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
  size_t done = 0;  // commands drawn; guarded by the mutex
  DrawerChoice drawer;
  DrawTarget target;
};

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
    if (chunks_.empty()) chunks_.push_back(std::make_unique_for_overwrite<CommandChunk>());
    write_chunk_ = chunks_.front().get();
    write_offset_ = 0;
    for (int i = 0; i < threads; ++i) {
      Worker* worker = workers_.emplace_back(std::make_unique<Worker>()).get();
      worker->owner = this;
      worker->index = i;
      worker->chunk = chunks_.front().get();
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

  // Hands over everything and waits until it is drawn; the stream then
  // starts over.
  void Finish() {
    if (workers_.empty()) return;
    std::unique_lock lock(mutex_);
    published_ = written_;
    work_ready_.notify_all();
    work_done_.wait(lock, [&] {
      return std::all_of(workers_.begin(), workers_.end(),
                         [&](const auto& worker) { return worker->done == published_; });
    });
    published_ = written_ = handed_over_ = 0;
    for (const auto& worker : workers_) {
      worker->chunk = chunks_.front().get();
      worker->offset = worker->read = worker->done = 0;
    }
    write_chunk_ = chunks_.front().get();
    write_offset_ = 0;
    contexts_.clear();
    last_context_ = nullptr;
  }

 private:
  static void Entry(void* argument) {
    auto* worker = static_cast<Worker*>(argument);
    worker->owner->Run(worker);
  }

  void Run(Worker* worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
      worker->done = worker->read;
      work_done_.notify_all();
      work_ready_.wait(lock, [&] { return stop_ || published_ > worker->read; });
      if (stop_) return;
      const size_t available = published_;
      const RowShare share{worker->index, count_};
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

  // Ends the workers without drawing what is pending.
  void Join() {
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
    published_ = written_ = handed_over_ = 0;
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
    DrawContext& context = contexts_.emplace_back();
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
            chunks_.emplace_back(std::make_unique_for_overwrite<CommandChunk>()).get();
      }
      write_chunk_ = write_chunk_->next;
      write_offset_ = 0;
    }
    return write_chunk_->commands[write_offset_++];
  }

  // Room for a context and a command: a stream at its limit is drawn first.
  void MakeRoom() {
    if (written_ + 2 > kMaxPendingCommands) Finish();
  }

  void Appended() {
    ++written_;
    if (written_ - handed_over_ >= kPublishEvery) {
      {
        const std::lock_guard lock(mutex_);
        published_ = written_;
      }
      handed_over_ = written_;
      work_ready_.notify_all();
    }
  }

  [[maybe_unused]] bool memory_made_ = MakeDrawingMemory();  // first of all members
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable work_done_;
  // Guarded by the mutex.
  size_t published_ = 0;
  int32_t count_ = 0;
  bool stop_ = false;
  // The submitting thread's own.
  size_t written_ = 0;
  size_t handed_over_ = 0;
  std::vector<std::unique_ptr<CommandChunk>> chunks_;
  CommandChunk* write_chunk_ = nullptr;
  size_t write_offset_ = 0;
  std::deque<DrawContext> contexts_;  // elements stay in place as it grows
  const DrawContext* last_context_ = nullptr;
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
