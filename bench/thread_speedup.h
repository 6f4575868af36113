// A console reporter that sets the benchmarks run with one drawing thread
// beside the same ones with two: frames per second of each, the speed-up,
// and the processor time the two threads spend per frame over the one
// thread's (the cost of sharing the work; on an otherwise idle machine the
// speed-up approaches 2 over it). Benchmarks take the thread count as their
// last argument and use the real time and the process's processor time; of
// repeated runs the fastest counts (other work on the machine only ever
// slows a run down).
//
// On a machine busy with other work the clock on the wall says little, so
// benchmarks that measure ThreadTimes also get a bound worked out from
// processor time alone: on two idle cores, a frame cannot take less than
// the submitting thread's time, the busiest worker's, or half of all of
// it; "2-core bound" is one thread's time over the largest of those.
#pragma once

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// Processor time of every thread of the process, from the scheduler's
// nanosecond counts in /proc: the submitting thread's, the busiest other
// thread's and all of it, per iteration, as counters of the benchmark.
class ThreadTimes {
 public:
  ThreadTimes() : before_(Sample()) {}

  void SetCounters(benchmark::State& state) const {
    const std::map<long, double> after = Sample();
    const long self = static_cast<long>(syscall(SYS_gettid));
    double caller = 0, busiest = 0, total = 0;
    for (const auto& [thread, seconds] : after) {
      const auto found = before_.find(thread);
      const double spent = seconds - (found == before_.end() ? 0.0 : found->second);
      total += spent;
      if (thread == self) {
        caller = spent;
      } else {
        busiest = std::max(busiest, spent);
      }
    }
    const auto per_frame = [&](double seconds) {
      return benchmark::Counter(seconds * 1e3 / static_cast<double>(state.iterations()));
    };
    state.counters["caller_ms"] = per_frame(caller);
    state.counters["worker_ms"] = per_frame(busiest);
    state.counters["all_ms"] = per_frame(total);
  }

 private:
  // Seconds run so far by each thread (threads that ended are not seen).
  static std::map<long, double> Sample() {
    std::map<long, double> seconds;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return seconds;
    while (const dirent* entry = readdir(tasks)) {
      if (entry->d_name[0] == '.') continue;
      const std::string path = std::string("/proc/self/task/") + entry->d_name + "/schedstat";
      if (FILE* file = std::fopen(path.c_str(), "r")) {
        unsigned long long nanoseconds = 0;
        if (std::fscanf(file, "%llu", &nanoseconds) == 1) {
          seconds[std::atol(entry->d_name)] = static_cast<double>(nanoseconds) * 1e-9;
        }
        std::fclose(file);
      }
    }
    closedir(tasks);
    return seconds;
  }

  std::map<long, double> before_;
};

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
      const auto caller = run.counters.find("caller_ms");
      const auto worker = run.counters.find("worker_ms");
      const auto all = run.counters.find("all_ms");
      if (caller != run.counters.end() && worker != run.counters.end() &&
          all != run.counters.end()) {
        const double bound = std::max({caller->second.value, worker->second.value,
                                       all->second.value / (threads == "1" ? 1 : 2)});
        best.bound = best.bound > 0 ? std::min(best.bound, bound) : bound;
        if (threads == "2") {
          const double spent = caller->second.value;
          best.caller = best.caller > 0 ? std::min(best.caller, spent) : spent;
        }
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (fastest_.empty()) return;
    std::printf("\n%-52s %9s %9s %9s %9s %12s %13s\n", "frames per second (fastest run)",
                "1 thread", "2 threads", "speed-up", "work 2/1", "2-core bound", "caller share");
    for (const auto& [name, times] : fastest_) {
      if (times[0].seconds <= 0 || times[1].seconds <= 0 || times[0].processor <= 0) continue;
      std::printf("%-52s %9.1f %9.1f %8.2fx %9.2f", name.c_str(), 1 / times[0].seconds,
                  1 / times[1].seconds, times[0].seconds / times[1].seconds,
                  times[1].processor / times[0].processor);
      if (times[0].bound > 0 && times[1].bound > 0) {
        // The caller's share: its time per frame with two threads over one
        // thread's whole frame (its evaluation and recording, and the
        // stripes it draws itself).
        std::printf(" %11.2fx %12.2f", times[0].bound / times[1].bound,
                    times[1].caller / times[0].bound);
      }
      std::printf("\n");
    }
  }

 private:
  struct Times {
    double seconds = 0;    // on the wall, per frame
    double processor = 0;  // of the whole process, per frame
    double bound = 0;      // the least a frame can take on two idle cores (ms)
    double caller = 0;     // the submitting thread's processor time (ms)
  };
  std::map<std::string, Times[2]> fastest_;
};
