// Whole runs of the binary as a user makes them: which stream gets what,
// the exit statuses, the moves of a rename run and the plan of its dry run,
// the summary, the report, the have file and the miss list, the same bytes
// from one worker and from four, a key press or Ctrl-C at the console, and
// folders that may not be written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/dat_files.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/zip_writer.h"

namespace {

constexpr size_t npos = std::string::npos;
using Tree = std::map<std::string, std::string>;

// Every entry under `folder`: a file with its bytes, a link with its target.
Tree TreeOf(const std::string& folder) {
  Tree tree;
  for (auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().lexically_relative(folder).string();
    tree[name] = entry.is_symlink()        ? "-> " + std::filesystem::read_symlink(entry.path()).string()
                 : entry.is_regular_file() ? ReadText(entry.path())
                                           : "<other>";
  }
  return tree;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != npos; at += to.size()) text.replace(at, from.size(), to);
  return text;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// One file of each fate in a rename run: a first copy (sub/ren/), later
// copies (dupes/, one in an archive, two whose first name there is taken by
// a damaged disk), a collision with a file in ren/ (renamed in place), a
// title that makes no file name and a linked image (left alone), a disk near
// a title, a folder named like an image, an empty file, an unknown one and an
// archive in an archive. No file's fate hangs on the order in which the
// system lists a folder.
struct Collection {
  Collection() {
    const Bytes a = SeededBytes(500, 1), b = SeededBytes(600, 2), tune = SeededBytes(700, 3),
                taken = SeededBytes(800, 4), dots = SeededBytes(900, 5), n1 = SeededBytes(1000, 6),
                n2 = SeededBytes(1100, 7), linked = SeededBytes(1200, 8);
    WriteFile(dir / "C64.dat", "TestDat 1.0\nGame;Soft Co;1st;Grp;1987;002;" + Hex(Crc(a)) + ";" + Hex(Crc(b)) +
                                   "\nSlash;Pub;;AC/DC;;001;" + Hex(Crc(tune)) + "\n" + DatLine("Taken", {Crc(taken)}) +
                                   DatLine("..", {Crc(dots)}) + DatLine("Near", {Crc(n1), Crc(n2), 1}) +
                                   DatLine("Lost", {2}) + DatLine("Linked", {Crc(linked)}));
    for (const char* folder : {"sub", "dupes", "ren", "folder.d64"}) MakeFolder(dir / folder);
    MakeFolder(outside / "games");  // a folder entry in copy.zip, which holds no image
    MakeD64(dir / "sub/first.d64", {a, b});
    for (const char* copy : {"one.d64", "two.d64"}) MakeD64(dir / copy, {a, b});
    WriteFile(dir / "dupes/Game (Grp).d64", std::string("precious"));
    MakeD64(outside / "copy.d64", {b, a});
    MakeZip(dir / "copy.zip", outside.path(), {"games", "copy.d64"});
    WriteFile(dir / "tune.prg", tune);
    WriteFile(dir / "taken.prg", taken);
    WriteFile(dir / "ren/Taken.prg", std::string("another file"));
    WriteFile(dir / "dots.prg", dots);
    WriteFile(outside / "linked.prg", linked);
    std::filesystem::create_symlink(outside / "linked.prg", dir / "link.prg");
    std::filesystem::create_directory_symlink(outside.path(), dir / "linked");
    MakeD64(dir / "near.d64", {n1, n2});
    WriteFile(dir / "empty.prg", Bytes{});
    WriteFile(dir / "noise, \"1\".prg", SeededBytes(1300, 9));
    MakeZip(outside / "inner.zip", outside.path(), {"linked.prg"});
    MakeZip(dir / "nested.zip", outside.path(), {"inner.zip"});
  }
  TempDir dir, outside;
};

// The dry run changes nothing and plans exactly the moves of the real run,
// which says the same in the same order and writes the same report; a
// second run, even one that forgot the titles, moves nothing.
TEST(Run, RenameDoesWhatItsDryRunPlanned) {
  Collection c;
  const Tree before = TreeOf(c.dir.path()), outside = TreeOf(c.outside.path());
  TempDir reports;
  const std::string plan = reports / "plan.csv", real = reports / "real.csv", d = c.dir.path() + "/";
  const RunResult dry = RunDewmop({"-cc", "-r", "-s", "-n", "-o" + plan}, c.dir.path());
  EXPECT_EQ(before, TreeOf(c.dir.path()));
  const RunResult run = RunDewmop({"-cc", "-r", "-s", "-o" + real}, c.dir.path());
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(run.err, Replaced(Replaced(Replaced(dry.err, "would move to", "moved to"), "rename in place",
                                       "renamed in place"), "leave alone", "left alone"));
  EXPECT_EQ(ReadText(real), ReadText(plan));
  Tree planned = before;
  for (const std::string& line : Lines(dry.out)) {
    const size_t from = line.find(' ', 6) + 1 + d.size(), arrow = line.find(" -> ");
    if (line.starts_with("would stay: ")) continue;
    const std::string source = line.substr(from, arrow - from);
    planned[source.substr(0, source.rfind('/') + 1) + line.substr(arrow + 4)] = planned.at(source);
    planned.erase(source);
  }
  planned["sub/ren"] = "<other>";
  Tree after = TreeOf(c.dir.path());
  EXPECT_EQ(std::string("TestDat 1.0\n\1\0\2\0\3\0\4\0\7\0", 22), after["C64have.dat"]);
  EXPECT_EQ("Near\nLost\n", after["C64miss.txt"]);
  for (const char* name : {"C64have.dat", "C64miss.txt"}) after.erase(name);
  EXPECT_EQ(planned, after) << dry.out;
  EXPECT_EQ(outside, TreeOf(c.outside.path())) << "nothing outside is touched";
  // Which of two copies gets which number in dupes/ is the walk's choice.
  std::vector<std::string> rows = Lines(Replaced(Replaced(Replaced(ReadText(real), d, ""), "\r\n", "\n"), "d61", "d60"));
  ASSERT_FALSE(rows.empty());
  std::sort(rows.begin() + 1, rows.end());
  EXPECT_EQ((std::vector<std::string>{
                "path,type,outcome,files,title_index,title,rename,new_path,reason,near_index,near_title,"
                "near_shared,near_title_files",
                "\"noise, \"\"1\"\".prg\",PRG,unknown,1,,,,,,,,,",
                "copy.zip,ZIP,identified,2,1,Game (Grp),dupes,dupes/Game (Grp).zip,,,,,",
                "dots.prg,PRG,identified,1,4,..,stayed,,the title makes no file name,,,,",
                "dupes/Game (Grp).d64,D64,damaged,1,,,,,,,,,",
                "empty.prg,PRG,empty,0,,,,,,,,,",
                "folder.d64,D64,unreadable,,,,,,,,,,",
                "link.prg,PRG,identified,1,7,Linked,stayed,,a symbolic link is not moved,,,,",
                "near.d64,D64,unknown,2,,,,,,5,Near,2,3",
                "nested.zip,ZIP,no reader,,,,,,,,,,",
                "one.d64,D64,identified,2,1,Game (Grp),dupes,dupes/Game (Grp).d60,,,,,",
                "ren/Taken.prg,PRG,unknown,1,,,,,,,,,",
                "sub/first.d64,D64,identified,2,1,Game (Grp),ren,sub/ren/Game (Grp).d64,,,,,",
                "taken.prg,PRG,identified,1,3,Taken,in place,Taken.prg,,,,,",
                "tune.prg,PRG,identified,1,2,Slash (AC/DC),ren,ren/Slash (AC_DC).prg,,,,,",
                "two.d64,D64,identified,2,1,Game (Grp),dupes,dupes/Game (Grp).d60,,,,,",
            }),
            rows);
  EXPECT_EQ("\n\nFiles audited: 15\n  identified: 8, unknown: 3, damaged: 1, empty: 1, unreadable: 1, no reader: 1\n"
            "  near a title: 1\n  moved to ren: 2, to dupes: 3, renamed in place: 1, left alone: 2\n"
            "Titles present: 5 of 7 (71.4%), 5 found in this run\n\n\nDone.\n",
            run.err.substr(run.err.find("\n\nFiles audited")));
  WriteFile(c.dir / "C64.dat", Replaced(ReadText(c.dir / "C64.dat"), "1.0", "2.0"));
  RunDewmop({"-cc", "-r", "-s"}, c.dir.path());
  after = TreeOf(c.dir.path());
  EXPECT_EQ(std::string("TestDat 2.0\n\1\0\2\0\3\0\4\0\7\0", 22), after["C64have.dat"]);
  for (const char* name : {"C64have.dat", "C64miss.txt", "C64.dat"}) after.erase(name), planned.erase(name);
  EXPECT_EQ(planned, after) << "a second run moves nothing";
}

// Files are read ahead on other workers while others are reported: four
// workers write and move what one does, in every mode, also with many
// programs, links to programs that a rename moves (what a link reads
// depends on whether its program went before it), a FIFO, and deflate data
// that breaks off (decoded again by zlib).
TEST(Run, SeveralWorkersWriteAndMoveWhatOneDoes) {
  Collection c;
  std::string dat = ReadText(c.dir / "C64.dat");
  for (int i = 0; i < 40; ++i) {
    WriteFile(c.dir / ("p" + std::to_string(i) + ".prg"), SeededBytes(200 + 37 * i, 100 + i));
    if (i % 3 == 0) dat += DatLine("Program " + std::to_string(i), {Crc(SeededBytes(200 + 37 * i, 100 + i))});
    std::filesystem::create_symlink("p" + std::to_string(i % 10 * 3) + ".prg", c.dir / ("q" + std::to_string(i) + ".prg"));
  }
  WriteFile(c.dir / "C64.dat", dat);
  ZipFixtureEntry cut = DeflatedEntry("cut.prg", SeededBytes(60000, 10));
  cut.compressed_size -= 1;
  WriteFile(c.dir / "damaged.zip", BuildZip({cut, DeflatedEntry("good.prg", SeededBytes(300, 11))}));
  ASSERT_EQ(0, mkfifo((c.dir / "fifo.d64").c_str(), 0644));
  TempDir copies;
  std::vector<std::string> runs[2];
  for (int j : {0, 1}) {
    const std::string folder = copies / std::to_string(j);
    ASSERT_EQ(0, Shell("cp -a '" + c.dir.path() + "' '" + folder + "'"));
    for (const char* mode : {"-d", "-i", "-r"}) {
      RunResult run = RunDewmop({"-cc", mode, "-s", j == 0 ? "-j1" : "-j4"}, folder);
      run.out.erase(0, mode[1] == 'd' ? run.out.find('\n') + 1 : 0);  // a dump's version line is made up
      std::string text = std::to_string(run.exit_code) + run.out + run.err;
      for (const auto& [name, bytes] : TreeOf(folder)) text += name + "\n" + bytes;
      runs[j].push_back(Replaced(text, folder, "ROOT"));
    }
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_NE(npos, runs[0][0].find("Error in zipfile ROOT/damaged.zip")) << runs[0][0];
  EXPECT_NE(npos, runs[0][2].find("Program 39.prg\n")) << runs[0][2];
}

// Data goes to standard output, everything else to standard error, and the
// exit status says how the run ended: 2 for a command line that cannot start
// one, 1 without a DAT file, 3 while another run holds the folder (a dry run
// takes no lock), 4 when standard output or the report cannot be written.
TEST(Run, StreamsAndExitStatuses) {
  Collection c;
  const std::string d = c.dir.path() + "/", none = c.dir / "none/r.csv";
  const int lock = open((c.dir / "C64have.dat.lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_EQ(0, flock(lock, LOCK_SH | LOCK_NB));  // held at all keeps a run out
  const std::string kHeld = "Err: Another run holds this folder (C64have.dat.lock)\n\n\nDone.\n";
  const struct {
    std::vector<std::string> args;
    int exit_code;
    std::string out, err;  // a part of standard output ("": it is empty), the end of standard error
    const char* output = nullptr;  // where standard output goes, when not captured
  } cases[] = {
      {{"-cc", "-q"}, 2, "", "'dewmop -cc -r'\n\n\nDone.\n"},
      {{"-ca", "-i"}, 1, "", "Error getting ingredients.\n\n\nDone.\n"},
      {{"-cc", "-r"}, 3, "", kHeld},
      {{"-cc", "-i"}, 3, "", kHeld},
      {{"-cc", "-i", "-n"}, 0, "\n____________\n" + d + "near.d64\nNear: Near (2 of 3 files)\n", "run\n\n\nDone.\n"},
      {{"-cc", "-d", "-o" + none}, 4, "C64 ", "Err: Unable to write " + none + ": No such file or directory\n\n"
           "Files audited: 12\n  listed: 9, damaged: 0, empty: 1, unreadable: 1, no reader: 1\n\n\nDone.\n"},
      {{"-cc", "-d", "-j3"}, 4, "", "\nErr: Unable to write standard output: No space left on device\n\n"
           "Files audited: 0\n  listed: 0, damaged: 0, empty: 0, unreadable: 0, no reader: 0\n\n\nDone.\n", "/dev/full"},
  };
  for (const auto& k : cases) {
    const Tree before = TreeOf(c.dir.path());
    const RunResult run = RunDewmop(k.args, c.dir.path(), false, k.output);
    EXPECT_TRUE(k.out.empty() ? run.out.empty() : run.out.find(k.out) != npos) << run.out;
    EXPECT_EQ(k.exit_code, run.exit_code) << k.args[1];
    EXPECT_TRUE(run.err.ends_with(k.err)) << run.err;
    EXPECT_EQ(npos, run.out.find("Dir: ")) << "messages are no data";
    EXPECT_EQ(npos, run.err.find(";;;;;")) << "data is no message";
    EXPECT_EQ(before, TreeOf(c.dir.path()));
  }
  close(lock);
}

void Sleep(int microseconds) { std::this_thread::sleep_for(std::chrono::microseconds(microseconds)); }

// A run at a console: its standard input is a pseudo-terminal.
struct Console {
  int pid, errors, master, slave;
};

// Runs dewmop at a console, its standard error into a pipe of one page that
// is read only after `act`: the run stalls once it has said 4 KiB. Tells
// whether the terminal's modes came back as they were.
RunResult RunAtConsole(const std::vector<std::string>& args, const std::string& directory,
                       const std::function<void(const Console&)>& act, bool* restored) {
  Console console;
  struct termios before, after;
  int pipe_fds[2], null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  openpty(&console.master, &console.slave, nullptr, nullptr, nullptr);
  tcgetattr(console.slave, &before);
  pipe2(pipe_fds, O_CLOEXEC);
  fcntl(pipe_fds[1], F_SETPIPE_SZ, 4096);
  console.pid = StartDewmop(args, directory, console.slave, null, pipe_fds[1]);
  console.errors = pipe_fds[0];
  for (int fd : {null, pipe_fds[1]}) close(fd);
  act(console);
  RunResult result;
  char chunk[4096];
  for (ssize_t n; (n = read(console.errors, chunk, sizeof chunk)) > 0;) result.err.append(chunk, n);
  result.exit_code = WaitForExit(console.pid);
  *restored = tcgetattr(console.slave, &after) == 0 && after.c_lflag == before.c_lflag;
  for (int fd : {console.master, console.slave, console.errors}) close(fd);
  return result;
}

// A message is written whole or not at all: a pipe nearly full stalls the
// run at its next message or so.
bool Stalled(const Console& console) {
  for (int i = 0, queued = 0; i < 1000; ++i, Sleep(10000))
    if (ioctl(console.errors, FIONREAD, &queued) == 0 && queued > 4096 - 512) return true;
  return false;
}

// A rename run over empty programs, which the audit reports one by one, and
// as many that the DAT file names, stopped once it stalls: the files
// reported are the first of the walk, the named ones among them are moved
// and in the have file, and nothing of a later file is printed or moved. A
// second Ctrl-C ends the run at once, leaving the old have file or the new
// one (ThreadSanitizer holds a signal back while the run is blocked, so two
// in quick succession arrive as one there).
TEST(Run, StopBetweenTwoFiles) {
#if defined(__SANITIZE_THREAD__)
  constexpr int kTwice = 1, kKilled = 0;
#else
  constexpr int kTwice = 2, kKilled = 130;
#endif
  const struct {
    char key;  // or 0
    int interrupts, exit_code;
  } cases[] = {{'q', 0, 0}, {0, 1, 0}, {0, kTwice, kKilled}};
  for (const char* workers : {"-j1", "-j4"}) {
    for (const auto& k : cases) {
      TempDir dir;
      std::string dat = "C64 1.00\n";
      for (int i = 0; i < 200; ++i) {
        WriteFile(dir / ("p" + std::to_string(i) + ".prg"), Bytes{});
        WriteFile(dir / ("t" + std::to_string(i) + ".prg"), SeededBytes(40, i + 1));
        dat += DatLine("Title " + std::to_string(i), {Crc(SeededBytes(40, i + 1))});
      }
      WriteFile(dir / "C64.dat", dat);
      WriteFile(dir / "C64have.dat", std::string("C64 1.00\n"));
      std::vector<std::string> order;  // the walk's
      for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().extension() == ".prg") order.push_back(entry.path().filename());
      bool restored = false;
      const RunResult run = RunAtConsole({"-cc", "-r", workers}, dir.path(), [&](const Console& console) {
        ASSERT_TRUE(Stalled(console));
        // The terminal hands a key on asynchronously; waiting until it is
        // there keeps a busy machine from delivering it after the next file.
        struct pollfd key = {console.slave, POLLIN, 0};
        if (k.key != 0 && write(console.master, &k.key, 1) == 1) poll(&key, 1, 5000);
        for (int i = 0; i < k.interrupts; ++i, Sleep(50000)) kill(console.pid, SIGINT);
      }, &restored);
      EXPECT_EQ(k.exit_code, run.exit_code) << workers << " " << k.interrupts;
      EXPECT_TRUE(restored);
      EXPECT_EQ(k.exit_code == 0, run.err.ends_with("\n\nDone.\n")) << run.err;
      const std::string walk = "Dir: " + dir.path() + "/\n", have = ReadText(dir / "C64have.dat");
      const size_t stop = run.err.find("\nUser cancelled\n"), end = run.err.find("\nUnloading Data\n");
      // Each file reported gave one progress mark, an empty one its message.
      const std::string marks = Replaced(run.err.substr(0, stop), "\nEmpty: " + dir.path() + "/p", "");
      const size_t reported = Count(marks.substr(marks.rfind(walk)), ".") - Count(marks, ".prg");
      if (k.exit_code == 0) {
        ASSERT_NE(npos, stop);
        EXPECT_EQ("", Replaced(run.err.substr(stop + 16, end - stop - 16), walk, "")) << "later walks";
      }
      size_t moved = 0;
      for (size_t i = 0; i < order.size(); ++i) {
        const bool gone = !FileExists(dir / order[i]);
        EXPECT_TRUE(k.exit_code != 0 || (order[i][0] == 't' && i < reported) == gone) << workers << order[i];
        moved += gone;
      }
      EXPECT_TRUE(have.size() == 9 + 2 * moved || (k.exit_code != 0 && have == "C64 1.00\n")) << have.size();
    }
  }
}

// Control characters in a name reach a terminal as '?', a file every byte;
// a long message as a whole.
TEST(Run, ControlCharactersReachATerminalEscaped) {
  TempDir dir;
  const std::string name = std::string(240, 'x') + "\x1B[2J\x7F.prg";
  WriteFile(dir / name, Bytes{});
  int master, slave;
  openpty(&master, &slave, nullptr, nullptr, nullptr);
  const int pid = StartDewmop({"-cc"}, dir.path(), slave, slave, slave);
  close(slave);
  std::string shown;
  char chunk[4096];
  for (ssize_t n; (n = read(master, chunk, sizeof chunk)) > 0;) shown.append(chunk, n);
  WaitForExit(pid);
  close(master);
  EXPECT_NE(npos, shown.find("\nEmpty: " + dir.path() + "/" + name.substr(0, 240) + "?[2J?.prg\r\n")) << shown;
  EXPECT_NE(npos, RunDewmop({"-cc"}, dir.path()).err.find("\nEmpty: " + (dir / name) + "\n"));
}

// A folder that refuses new entries: each move fails with its reason and
// every file stays as it was. Where only the database's folder refuses, the
// move goes on and the have file keeps its old bytes, with no scratch file
// left behind. The run is made by a user whom permission bits bind.
TEST(Run, FoldersThatMayNotBeWritten) {
  const struct {
    std::string games;  // the program's folder, the one open to all
    std::vector<std::string> args, messages;
  } cases[] = {
      {"", {"-cc", "-r"}, {"Err: Unable to move ROOT/game.prg to ROOT/ren/Game.prg: Permission denied\n",
                           "Err: Unable to move ROOT/game.prg to ROOT/Game.prg: Permission denied\n"}},
      {"games/", {"-cc", "-r", "-s"}, {"\nErr: Unable to write C64have.dat: Permission denied\n"}},
  };
  for (const auto& k : cases) {
    TempDir dir;
    MakeFolder(dir / k.games);
    WriteFile(dir / (k.games + "game.prg"), SeededBytes(900, 1));
    WriteFile(dir / "C64.dat", "C64 1.00\n" + DatLine("Game", {Crc(SeededBytes(900, 1))}));
    WriteFile(dir / "C64have.dat", std::string("C64 1.00\n\3\0", 11));
    chmod((dir / k.games).c_str(), 0777);
    chmod(dir.path().c_str(), 0555);
    Tree expected = TreeOf(dir.path());
    const RunResult run = RunDewmop(k.args, dir.path(), true);
    EXPECT_EQ(0, run.exit_code);
    EXPECT_TRUE(run.err.ends_with("\n\nDone.\n"));
    for (const std::string& message : k.messages)
      EXPECT_NE(npos, Replaced(run.err, dir.path(), "ROOT").find(message)) << run.err;
    if (!k.games.empty()) {
      expected["games/ren/Game.prg"] = expected.extract("games/game.prg").mapped();
      expected["games/ren"] = "<other>";
    }
    EXPECT_EQ(expected, TreeOf(dir.path()));
  }
}

}  // namespace
