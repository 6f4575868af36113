#include "run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string ProgramFolder() {
  if (const char* bin = std::getenv("VEYRITH_BIN")) return bin;
  return std::string(VEYRITH_BINARY_DIR) + "/bin";
}

std::string ContentFolder() {
  return std::string(VEYRITH_BINARY_DIR) + "/content";
}

ProgramRun Veyrith(std::vector<std::string> arguments, std::string working_folder) {
  arguments.insert(arguments.begin(), ProgramFolder() + "/veyrith");
  return Command(std::move(arguments), std::move(working_folder));
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

RunningProgram StartProgram(const ProgramRun& run) {
  RunningProgram program;
  std::string folder = (std::filesystem::temp_directory_path() / "veyrith-run-XXXXXX").string();
  if (!mkdtemp(folder.data())) return program;  // not started: the run fails
  program.out_path = folder + "/stdout";
  program.err_path = folder + "/stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(program.out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(program.err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!run.working_folder.empty() && chdir(run.working_folder.c_str()) != 0) _exit(126);
    for (const std::string& name : run.unset_environment) unsetenv(name.c_str());
    for (const auto& [name, value] : run.set_environment) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& a : run.arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  program.pid = pid;
  return program;
}

ProgramResult WaitProgram(RunningProgram& program, double time_limit_seconds) {
  ProgramResult result;
  if (program.pid <= 0) return result;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<long>(time_limit_seconds * 1000));
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(program.pid, &status, WNOHANG);
    if (done == program.pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(program.pid, SIGKILL);
      waitpid(program.pid, &status, 0);
      result.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  program.pid = -1;
  if (!result.timed_out && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  result.out = ReadWhole(program.out_path);
  result.err = ReadWhole(program.err_path);
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(program.out_path).parent_path(), ignored);
  return result;
}

ProgramRun Command(std::vector<std::string> arguments, std::string working_folder) {
  ProgramRun run;
  run.arguments = std::move(arguments);
  run.working_folder = std::move(working_folder);
  return run;
}

ProgramResult RunProgram(const ProgramRun& run) {
  RunningProgram program = StartProgram(run);
  return WaitProgram(program, run.time_limit_seconds);
}
