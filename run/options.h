// The command line: the run's flag word, the file to audit and the profile.
#pragma once

#include <string>

#include "run/run.h"
#include "util/messages.h"

// "v1.3g (Release)", from the project's version.
extern const char kVersion[];

// The most workers -j asks for.
constexpr unsigned kMaxWorkers = 256;

// Makes the profile that the first character of `text` names ('c' or 'a')
// the run's and returns 1, or returns 0. Either way the pattern cursor
// restarts.
int SelectProfile(RunState& run, const char* text);

// Parses the arguments right to left into the flag word; fills the run's
// file name in single-file mode, its report path (-oFILE) and its profile.
// 0 (the usage printed to `sink`) when the run cannot start, also for an -o
// without a name.
RunFlags ParseOptions(int argc, const char* const* argv, RunState& run, MessageSink& sink);

void PrintUsage(MessageSink& sink);

// The next pattern of the run's profile ("*.D64") and its table index, or
// "" and 0 when the table is exhausted (the cursor then starts over).
int NextPattern(RunState& run, std::string* out);
