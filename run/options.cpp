// Parsing the command line and selecting a system profile.
#include "run/options.h"

#include <cstdio>

static const char* const kC64Extensions[] = {
    "????", ".D64", ".T64", ".PRG", ".P00", ".CRT", ".G64", ".TAP", ".ZIP", ""};
static const char* const kAmigaExtensions[] = {"????", ".ADF", ".ADZ", ".ZIP",
                                               ""};

const SystemProfile kC64Profile = {"C64.dat", "C64have.dat", "C64miss.txt",
                                   kC64Extensions, CreateImageC64};
const SystemProfile kAmigaProfile = {"Amiga.dat", "Amighave.dat",
                                     "Amigmiss.txt", kAmigaExtensions,
                                     CreateImageAmiga};

// The current profile and the pattern cursor are the run's own.
static const SystemProfile* g_profile = nullptr;
static int g_pattern_cursor = 0;

const SystemProfile* CurrentProfile() { return g_profile; }

int SelectProfile(const char* text) {
  g_pattern_cursor = 0;
  switch (text[0]) {
    case 'a':
      g_profile = &kAmigaProfile;
      return 1;
    case 'c':
      g_profile = &kC64Profile;
      return 1;
    default:
      return 0;
  }
}

static char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

RunFlags ParseOptions(int argc, const char* const* argv, std::string* fileName) {
  if (argc < 2) {
    PrintUsage();
    return 0;
  }
  RunFlags flags = 0;
  int selected = 0;
  for (int i = argc - 1; i >= 1; --i) {
    const char* arg = argv[i];
    if (arg[0] == '*') continue;  // a wildcard is accepted and selects nothing
    if (arg[0] != '-') {
      *fileName = arg;
      flags |= RF_SINGLE_FILE;
      continue;
    }
    char option = arg[1] == '\0' ? '\0' : LowerAscii(arg[1]);
    if (option == 'c') {
      selected = SelectProfile(arg + 2);
    } else if (option == 'd') {
      flags |= RF_DUMP;
    } else if (option == 'i') {
      flags |= RF_INFO;
    } else if (option == 'r') {
      flags |= RF_RENAME;
    } else if (option == 's') {
      flags |= RF_SUBDIRS;
    } else {
      flags = 0;
      break;
    }
  }
  if (!selected) {
    PrintUsage();
    return 0;
  }
  return flags | RF_WALK;
}

void PrintUsage() {
  static const char* const kUsage[] = {
      "\nDewmop - is your collection fresh?.\nv1.3g (Release)",
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
  for (const char* text : kUsage) fputs(text, stderr);
}

int NextPattern(std::string* out) {
  if (g_profile == nullptr) return 0;
  ++g_pattern_cursor;
  const char* extension = g_profile->extensions[g_pattern_cursor];
  if (extension[0] == '\0') {
    g_pattern_cursor = 0;
    out->clear();
    return 0;
  }
  *out = std::string("*") + extension;
  return g_pattern_cursor;
}
