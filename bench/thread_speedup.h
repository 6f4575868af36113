// A console reporter that sets the benchmarks run with one drawing thread
// beside the same ones with two: frames per second of each, the speed-up,
// and the processor time the two threads spend per frame over the one
// thread's (the cost of sharing the work; on an otherwise idle machine the
// speed-up approaches 2 over it). Benchmarks take the thread count as their
// last argument and use the real time and the process's processor time; of
// repeated runs the fastest counts (other work on the machine only ever
// slows a run down).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class ThreadSpeedupReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
      std::string name = run.benchmark_name();
      for (const std::string suffix : {"/real_time", "/process_time"}) {
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
          name.resize(name.size() - suffix.size());
        }
      }
      const size_t slash = name.rfind('/');
      if (slash == std::string::npos) continue;
      const std::string threads = name.substr(slash + 1);
      if (threads != "1" && threads != "2") continue;
      const auto iterations = static_cast<double>(run.iterations);
      Times& best = fastest_[name.substr(0, slash)][threads == "1" ? 0 : 1];
      const double seconds = run.real_accumulated_time / iterations;
      best.seconds = best.seconds > 0 ? std::min(best.seconds, seconds) : seconds;
      const double processor = run.cpu_accumulated_time / iterations;
      best.processor = best.processor > 0 ? std::min(best.processor, processor) : processor;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (fastest_.empty()) return;
    std::printf("\n%-52s %9s %9s %9s %9s\n", "frames per second (fastest run)", "1 thread",
                "2 threads", "speed-up", "work 2/1");
    for (const auto& [name, times] : fastest_) {
      if (times[0].seconds <= 0 || times[1].seconds <= 0 || times[0].processor <= 0) continue;
      std::printf("%-52s %9.1f %9.1f %8.2fx %9.2f\n", name.c_str(), 1 / times[0].seconds,
                  1 / times[1].seconds, times[0].seconds / times[1].seconds,
                  times[1].processor / times[0].processor);
    }
  }

 private:
  struct Times {
    double seconds = 0;    // on the wall, per frame
    double processor = 0;  // of the whole process, per frame
  };
  std::map<std::string, Times[2]> fastest_;
};
