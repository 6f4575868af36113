// A recording hook on the board: when a recorder is installed, every Glide
// call is reported with its name and its arguments in order, so tests can
// check the calls a frame makes. Without a recorder the cost is one test of
// a pointer per call.
#pragma once

#include <atomic>
#include <initializer_list>
#include <string>
#include <vector>

struct BoardCall {
  std::string name;
  std::vector<double> arguments;
};

class BoardCallRecorder {
 public:
  virtual ~BoardCallRecorder() = default;
  virtual void Record(const BoardCall& call) = 0;
};

// The recorder in use, null when none is: read with every call, so the
// test is inline.
inline std::atomic<BoardCallRecorder*> InstalledBoardCallRecorder{nullptr};

// Null stops recording.
void BoardSetCallRecorder(BoardCallRecorder* recorder);
inline BoardCallRecorder* BoardCallRecorderInstalled() {
  return InstalledBoardCallRecorder.load(std::memory_order_relaxed);
}

// Reports a call when a recorder is installed. The arguments are converted
// and copied only then: the calls made per polygon stay cheap.
void BoardRecordCall(BoardCallRecorder* recorder, const char* name,
                     std::initializer_list<double> arguments);
template <typename... Arguments>
inline void BoardRecord(const char* name, Arguments... arguments) {
  if (BoardCallRecorder* recorder = BoardCallRecorderInstalled()) [[unlikely]] {
    BoardRecordCall(recorder, name, {static_cast<double>(arguments)...});
  }
}

// A recorder that keeps every call, for tests.
class BoardCallLog : public BoardCallRecorder {
 public:
  void Record(const BoardCall& call) override { calls.push_back(call); }
  // The calls as lines "name(a,b,c)" with integers printed without fractions.
  std::vector<std::string> Lines() const;
  std::vector<BoardCall> calls;
};
