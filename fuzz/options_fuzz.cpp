// The command-line parser over arbitrary arguments: the input split at its
// zero bytes is argv.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "run/options.h"

namespace {

constexpr RunFlags kKnownFlags =
    RF_DUMP | RF_RENAME | RF_SUBDIRS | RF_WALK | RF_SINGLE_FILE | RF_INFO | RF_DRY_RUN;

std::vector<std::string> SplitAtZeros(const uint8_t* data, size_t size) {
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      pieces.emplace_back();
    } else {
      pieces.back().push_back(static_cast<char>(data[i]));
    }
  }
  return pieces;
}

// The pattern table of the selected profile ends and starts over.
void CheckPatterns(RunState& run) {
  std::string pattern;
  int steps = 0;
  while (int index = NextPattern(run, &pattern)) {
    FUZZ_CHECK(index == ++steps && pattern.size() >= 2 && pattern[0] == '*');
  }
  FUZZ_CHECK(steps >= 1 && pattern.empty());
  FUZZ_CHECK(NextPattern(run, &pattern) == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args = SplitAtZeros(data, size);
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  RunState run;
  NullSink quiet;
  RunFlags flags = ParseOptions(static_cast<int>(args.size()), argv.data(), run, quiet);
  if (flags == 0) return 0;
  FUZZ_CHECK((flags & RF_WALK) && (flags & ~kKnownFlags) == 0);
  FUZZ_CHECK(run.profile != nullptr);
  FUZZ_CHECK(run.workers <= kMaxWorkers);
  const std::string& file_name = run.fileName;
  if (flags & RF_SINGLE_FILE) {
    bool given = false;
    for (size_t i = 1; i < args.size(); ++i) given |= args[i] == file_name;
    FUZZ_CHECK(given);
  }
  // A report is named by the rest of an -o word.
  if (!run.reportPath.empty()) {
    bool named = false;
    for (size_t i = 1; i < args.size(); ++i) {
      named |= args[i].size() > 2 && args[i][0] == '-' && (args[i][1] | 0x20) == 'o' &&
               args[i].compare(2, std::string::npos, run.reportPath) == 0;
    }
    FUZZ_CHECK(named);
  }
  CheckPatterns(run);
  return 0;
}
