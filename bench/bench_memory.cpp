// Peak memory of the demo: the whole schedule played headless by the built
// veyrith program (a child process, so nothing of this benchmark counts),
// measured as the child's peak resident set. The demo must stay under
// 64 MiB while it plays; the program exits 1 when a run goes over.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr double kTargetMiB = 64.0;
bool over_target = false;

// The built programs sit next to this one (build/bin), the default content
// in build/content.
fs::path ProgramFolder() {
  return fs::read_symlink("/proc/self/exe").parent_path();
}

struct ChildRun {
  int exit_code = -1;
  double peak_mib = 0.0;
};

ChildRun RunHeadless(const fs::path& program, const fs::path& content, const char* fps) {
  ChildRun run;
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 1);
    dup2(quiet, 2);
    if (chdir(content.c_str()) != 0) _exit(126);
    execl(program.c_str(), "veyrith", "--headless", "--fps", fps, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
  return run;
}

void BM_PeakMemoryOfTheWholeScheduleHeadless(benchmark::State& state) {
  const fs::path program = ProgramFolder() / "veyrith";
  const fs::path content = ProgramFolder().parent_path() / "content";
  if (!fs::exists(program) || !fs::exists(content / "demo.dat")) {
    state.SkipWithError(("needs " + program.string() + " and the default content").c_str());
    return;
  }
  const std::string fps = std::to_string(state.range(0));
  ChildRun run;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    run = RunHeadless(program, content, fps.c_str());
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
  }
  state.counters["peak_MiB"] = run.peak_mib;
  state.counters["target_MiB"] = kTargetMiB;
  if (run.exit_code != 0) {
    over_target = true;
    state.SkipWithError(
        ("veyrith --headless exited with " + std::to_string(run.exit_code)).c_str());
  } else if (run.peak_mib >= kTargetMiB) {
    over_target = true;
    state.SkipWithError("the peak resident memory is over the 64 MiB target");
  }
}
// 10 frames per second: a frame allocates nothing, so the peak is the same
// as at a real run's 60, reached six times sooner.
BENCHMARK(BM_PeakMemoryOfTheWholeScheduleHeadless)
    ->Arg(10)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (over_target) std::fprintf(stderr, "bench_memory: the demo is over its memory target\n");
  return over_target ? 1 : 0;
}
