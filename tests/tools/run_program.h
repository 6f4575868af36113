// Runs one of the project's programs for an end-to-end test: arguments,
// working folder and environment changes in; exit code, standard output
// and standard error out; killed after a time limit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/test_files.h"

struct ProgramResult {
  int exit_code = -1;  // -1: killed by a signal or not started
  bool timed_out = false;
  std::string out;
  std::string err;
};

struct ProgramRun {
  std::vector<std::string> arguments;  // arguments[0] is the program path
  std::string working_folder;          // empty: the test's own
  std::vector<std::string> unset_environment;
  std::vector<std::pair<std::string, std::string>> set_environment;
  double time_limit_seconds = 60.0;
};

// A run of arguments[0] with those arguments, in the given folder.
ProgramRun Command(std::vector<std::string> arguments, std::string working_folder = "");

// Runs the program to its end (or its time limit).
ProgramResult RunProgram(const ProgramRun& run);

// The same, but started in the background: Wait collects the result.
struct RunningProgram {
  int pid = -1;
  std::string out_path;
  std::string err_path;
};
RunningProgram StartProgram(const ProgramRun& run);
ProgramResult WaitProgram(RunningProgram& program, double time_limit_seconds);

// The folder of the built programs (build/bin).
std::string ProgramFolder();

// The default content made at build time (build/content).
std::string ContentFolder();

// veyrith with these arguments, run in the given folder.
ProgramRun Veyrith(std::vector<std::string> arguments,
                   std::string working_folder = ContentFolder());

bool Contains(const std::string& text, const std::string& part);

// A whole file's bytes, and a file written from bytes.
using storage_test::ReadBytes;
using storage_test::WriteBytes;
