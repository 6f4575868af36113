// The capture's picture queue and its writing thread (see capture_queue.h).
#include "shell/capture_queue.h"

#include <chrono>

#include "shell/capture_frames.h"

namespace {

// The capture's threads copy into pipes, compress PNG files and mix sound:
// the stack of an ordinary thread is plenty.
constexpr size_t kWriterStackBytes = size_t{8} << 20;

}  // namespace

CaptureFrameQueue::CaptureFrameQueue(CaptureFrameWriter* writer, size_t frame_bytes, int buffers,
                                     const std::atomic<int>* interrupted)
    : writer_(writer),
      interrupted_(interrupted),
      buffers_(static_cast<size_t>(buffers < 1 ? 1 : buffers), std::vector<uint8_t>(frame_bytes)) {}

CaptureFrameQueue::~CaptureFrameQueue() {
  if (thread_.Joinable()) Cancel();
}

bool CaptureFrameQueue::Start(std::string* error) {
  if (!thread_.Start(&CaptureFrameQueue::WriterThread, this, kWriterStackBytes)) {
    *error = "cannot start the thread that writes the frames";
    return false;
  }
  return true;
}

void CaptureFrameQueue::WriterThread(void* self) {
  static_cast<CaptureFrameQueue*>(self)->WriteQueued();
}

void CaptureFrameQueue::WriteQueued() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return queued_ > 0 || closing_ || cancelled_ || failed_; });
    if (cancelled_ || failed_ || queued_ == 0) return;
    // The buffer stays counted as queued while it is written, so the demo
    // thread cannot fill it meanwhile.
    const uint8_t* picture = buffers_[first_].data();
    lock.unlock();
    std::string reason;
    const bool wrote = writer_->WriteFrame(picture, &reason);
    lock.lock();
    if (!wrote) {
      if (!failed_) error_ = reason.empty() ? "a frame could not be written" : reason;
      failed_ = true;
      changed_.notify_all();
      return;
    }
    first_ = (first_ + 1) % buffers_.size();
    --queued_;
    ++frames_written_;
    changed_.notify_all();
  }
}

uint8_t* CaptureFrameQueue::NextBuffer() {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto ready = [this] { return queued_ < buffers_.size() || failed_ || cancelled_; };
  // A signal handler cannot notify the condition; the wait looks at the
  // interrupt flag a few times a second instead.
  while (!changed_.wait_for(lock, std::chrono::milliseconds(100), ready)) {
    if (interrupted_ && interrupted_->load() != 0) return nullptr;
  }
  if (failed_ || cancelled_) return nullptr;
  return buffers_[(first_ + queued_) % buffers_.size()].data();
}

void CaptureFrameQueue::Push() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++queued_;
  changed_.notify_all();
}

void CaptureFrameQueue::Fail(const std::string& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!failed_) error_ = reason;
  failed_ = true;
  changed_.notify_all();
}

bool CaptureFrameQueue::Drain(std::string* error) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    closing_ = true;
    changed_.notify_all();
  }
  thread_.Join();
  std::lock_guard<std::mutex> lock(mutex_);
  if (failed_ || cancelled_) {
    *error = failed_ ? error_ : "the capture was cancelled";
    return false;
  }
  return true;
}

void CaptureFrameQueue::Cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    changed_.notify_all();
  }
  // The thread may be inside a write that waits for the writer (a full
  // pipe to an encoder that stopped reading); this ends that wait.
  writer_->Cancel();
  thread_.Join();
}

std::string CaptureFrameQueue::error() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

long CaptureFrameQueue::frames_written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_written_;
}

bool CaptureTask::Start(Work work) {
  work_ = std::move(work);
  return thread_.Start(&CaptureTask::Run, this, kWriterStackBytes);
}

void CaptureTask::Run(void* self) {
  auto* task = static_cast<CaptureTask*>(self);
  task->succeeded_ = task->work_(&task->error_);
}

bool CaptureTask::Wait(std::string* error) {
  thread_.Join();
  if (!succeeded_) *error = error_;
  return succeeded_;
}
