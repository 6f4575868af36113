// The hand-over between the demo thread, which draws the capture's frames,
// and the frame writer, which stores or encodes them on a thread of its own:
// drawing the next frames overlaps writing the earlier ones. The queue owns a
// fixed number of picture buffers; when every one waits to be written the
// demo thread waits too, so memory stays bounded however slow the writer is.
// Also the place where a failure on any thread of the capture is recorded,
// so the demo thread stops at its next frame.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/thread.h"

class CaptureFrameWriter;

class CaptureFrameQueue {
 public:
  // writer has begun; pictures are frame_bytes each. A nonzero
  // *interrupted ends NextBuffer's wait too, so a Ctrl-C is heard while the
  // writer is stuck.
  CaptureFrameQueue(CaptureFrameWriter* writer, size_t frame_bytes, int buffers = 4,
                    const std::atomic<int>* interrupted = nullptr);
  ~CaptureFrameQueue();  // cancels when neither drained nor cancelled
  CaptureFrameQueue(const CaptureFrameQueue&) = delete;
  CaptureFrameQueue& operator=(const CaptureFrameQueue&) = delete;

  // Starts the writing thread. False with the reason.
  bool Start(std::string* error);
  // The buffer for the next picture, waiting while every buffer is queued;
  // nullptr once the capture has failed (error() says why) or on an
  // interrupt.
  uint8_t* NextBuffer();
  // Queues the picture written into the buffer NextBuffer gave.
  void Push();
  // Marks the capture failed (from any thread); the first reason is kept.
  void Fail(const std::string& reason);
  // Waits until every queued picture is written and ends the thread. False
  // with the reason when the capture failed.
  bool Drain(std::string* error);
  // Ends the thread without writing what is still queued; a write that
  // waits on the writer is cut short.
  void Cancel();

  std::string error() const;
  long frames_written() const;

 private:
  static void WriterThread(void* self);
  void WriteQueued();

  CaptureFrameWriter* writer_;
  const std::atomic<int>* interrupted_;
  std::vector<std::vector<uint8_t>> buffers_;
  platform::Thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  size_t first_ = 0;   // the oldest queued buffer
  size_t queued_ = 0;  // buffers filled and not yet written
  long frames_written_ = 0;
  bool closing_ = false;    // no more pictures will come
  bool cancelled_ = false;  // drop what is queued
  bool failed_ = false;
  std::string error_;
};

// One more piece of a capture's work on a thread of its own (the sound track
// while the pictures are drawn).
class CaptureTask {
 public:
  using Work = std::function<bool(std::string* error)>;
  CaptureTask() = default;
  ~CaptureTask() { thread_.Join(); }
  CaptureTask(const CaptureTask&) = delete;
  CaptureTask& operator=(const CaptureTask&) = delete;

  // Runs work on a new thread; false when no thread could start.
  bool Start(Work work);
  // Waits for the work to end: its result, and its reason when false.
  bool Wait(std::string* error);

 private:
  static void Run(void* self);

  Work work_;
  platform::Thread thread_;
  bool succeeded_ = false;
  std::string error_;
};
