// The --threads option: the numbers it takes and the ones it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/options.h"

namespace {

bool Parse(std::vector<std::string> words, ShellOptions* options, std::string* error) {
  words.insert(words.begin(), "veyrith");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  return ParseShellOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(ThreadsOption, TakesAWholeNumberOfThreadsAndRefusesTheRest) {
  const struct {
    std::vector<std::string> words;
    int threads;  // -1: refused
  } cases[] = {
      {{}, 0},  // not given: every core, found at run time
      {{"--threads", "1"}, 1},
      {{"--threads", "64", "--capture", "out.mp4"}, 64},
      {{"--threads", "0"}, -1},
      {{"--threads", "65"}, -1},
      {{"--threads", "2.5"}, -1},
      {{"--threads", "two"}, -1},
      {{"--threads"}, -1},
  };
  for (const auto& [words, threads] : cases) {
    ShellOptions options;
    std::string error;
    const bool parsed = Parse(words, &options, &error);
    if (threads < 0) {
      EXPECT_FALSE(parsed) << words.back();
      EXPECT_NE(error.find("--threads needs a whole number from 1 to 64"), std::string::npos)
          << error;
    } else {
      ASSERT_TRUE(parsed) << error;
      EXPECT_EQ(options.threads, threads);
    }
  }
}

}  // namespace
