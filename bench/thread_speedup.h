// A console reporter that sets the benchmarks run with one drawing thread
// beside the same ones with two: frames per second of each and the
// speed-up. Benchmarks take the thread count as their last argument and use
// the real time; of repeated runs the fastest counts (other work on the
// machine only ever slows a run down).
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
      const std::string suffix = "/real_time";
      if (name.size() < suffix.size() ||
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        continue;
      }
      name.resize(name.size() - suffix.size());
      const size_t slash = name.rfind('/');
      if (slash == std::string::npos) continue;
      const std::string threads = name.substr(slash + 1);
      if (threads != "1" && threads != "2") continue;
      const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      double& best = fastest_[name.substr(0, slash)][threads == "1" ? 0 : 1];
      best = best > 0 ? std::min(best, seconds) : seconds;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (fastest_.empty()) return;
    std::printf("\n%-56s %10s %10s %9s\n", "frames per second (fastest run)", "1 thread",
                "2 threads", "speed-up");
    for (const auto& [name, seconds] : fastest_) {
      if (seconds[0] <= 0 || seconds[1] <= 0) continue;
      std::printf("%-56s %10.1f %10.1f %8.2fx\n", name.c_str(), 1 / seconds[0], 1 / seconds[1],
                  seconds[0] / seconds[1]);
    }
  }

 private:
  std::map<std::string, double[2]> fastest_;
};
