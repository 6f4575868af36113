#include "board/call_record.h"

#include <atomic>
#include <cmath>
#include <cstdio>

void BoardSetCallRecorder(BoardCallRecorder* recorder) {
  InstalledBoardCallRecorder.store(recorder);
}

void BoardRecordCall(BoardCallRecorder* recorder, const char* name,
                     std::initializer_list<double> arguments) {
  recorder->Record(BoardCall{name, std::vector<double>(arguments)});
}

std::vector<std::string> BoardCallLog::Lines() const {
  std::vector<std::string> lines;
  lines.reserve(calls.size());
  for (const BoardCall& call : calls) {
    std::string line = call.name + "(";
    for (size_t i = 0; i < call.arguments.size(); ++i) {
      char text[64];
      const double value = call.arguments[i];
      if (value == std::floor(value) && std::fabs(value) < 1e15) {
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
      } else {
        std::snprintf(text, sizeof text, "%g", value);
      }
      if (i) line += ",";
      line += text;
    }
    lines.push_back(line + ")");
  }
  return lines;
}
