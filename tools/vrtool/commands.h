// The subcommands of vrtool. Each takes argv with argv[0] = its own name,
// prints --help, and returns the process exit code (0 success, 1 failure,
// 2 wrong usage).
#pragma once

int RunLibCommand(int argc, char** argv);
int RunPicCommand(int argc, char** argv);
int RunSceneCommand(int argc, char** argv);
int RunModCommand(int argc, char** argv);
int RunContentCommand(int argc, char** argv);
