// Parsing the command line and selecting a system profile.
#include "run/options.h"

#include "util/ascii.h"

const char kVersion[] = DEWMOP_VERSION " (Release)";

int SelectProfile(RunState& run, const char* text) {
  run.patternCursor = 0;
  switch (text[0]) {
    case 'a':
      run.profile = &kAmigaProfile;
      return 1;
    case 'c':
      run.profile = &kC64Profile;
      return 1;
    default:
      return 0;
  }
}

// -j<n>: the digits after the letter are the worker count, 1 to kMaxWorkers;
// none or 0 asks for one per processor. False for anything else.
static bool ParseWorkers(const char* digits, unsigned* workers) {
  unsigned count = 0;
  for (const char* p = digits; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    count = count * 10 + static_cast<unsigned>(*p - '0');
    if (count > kMaxWorkers) return false;
  }
  *workers = count;
  return true;
}

RunFlags ParseOptions(int argc, const char* const* argv, RunState& run, MessageSink& sink) {
  if (argc < 2) {
    PrintUsage(sink);
    return 0;
  }
  RunFlags flags = 0;
  int selected = 0;
  for (int i = argc - 1; i >= 1; --i) {
    const char* arg = argv[i];
    if (arg[0] == '*') continue;  // a wildcard is accepted and selects nothing
    if (arg[0] != '-') {
      run.fileName = arg;
      flags |= RF_SINGLE_FILE;
      continue;
    }
    char option = arg[1] == '\0' ? '\0' : LowerAscii(arg[1]);
    if (option == 'c') {
      selected = SelectProfile(run, arg + 2);
    } else if (option == 'd') {
      flags |= RF_DUMP;
    } else if (option == 'i') {
      flags |= RF_INFO;
    } else if (option == 'r') {
      flags |= RF_RENAME;
    } else if (option == 's') {
      flags |= RF_SUBDIRS;
    } else if (option == 'n') {
      flags |= RF_DRY_RUN;
    } else if (option == 'o') {
      // The report's name is the rest of the word, as the system letter is
      // for -c: a separate word would be the single file.
      if (arg[2] == '\0') {  // a report without a name cannot start the run
        PrintUsage(sink);
        return 0;
      }
      run.reportPath = arg + 2;
    } else if (option != 'j' || !ParseWorkers(arg + 2, &run.workers)) {
      // An unknown option, or a worker count that is none.
      flags = 0;
      run.reportPath.clear();
      break;
    }
  }
  if (!selected) {
    PrintUsage(sink);
    return 0;
  }
  return flags | RF_WALK;
}

void PrintUsage(MessageSink& sink) {
  sink.Print(Stream::kErr, "\nDewmop - is your collection fresh?.\n%s", kVersion);
  static const char* const kUsage[] = {
      "\n---------------------------------------------------------------\n",
      "Usage   : DEWMOP [options] [file]\n\n",
      "Dump    : DEWMOP or DEWMOP -d : all C64 in current dir only\n",
      "Redirect: DEWMOP -d > c64.txt\t<-Make a data file\n          DEWMOP | more\n\n",
      "Options : -d   Dump CRC info\n",
      "          -r   Rename\n",
      "          -s   Subdirs (one level only, sorry)\n",
      "          -c   Specify system: (REQUIRED)\n",
      "               -cc == C64\n",
      "\nTo rename C64, type 'dewmop -cc -r'\n",
  };
  for (const char* text : kUsage) sink.Write(Stream::kErr, text);
}

int NextPattern(RunState& run, std::string* out) {
  if (run.profile == nullptr) return 0;
  ++run.patternCursor;
  const char* extension = run.profile->extensions[run.patternCursor];
  if (extension[0] == '\0') {
    run.patternCursor = 0;
    out->clear();
    return 0;
  }
  *out = std::string("*") + extension;
  return run.patternCursor;
}
