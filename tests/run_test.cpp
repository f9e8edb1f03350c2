// Whole runs of the binary over one collection: what goes to which stream,
// the exit statuses, the moves of a rename run and the plan of its dry run,
// the summary, the report, the have file and the miss list, and the same
// bytes from one worker and from four.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "testkit/disk_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/dat_files.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/zip_writer.h"

namespace {

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
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// One file of each fate in a rename run: a first copy (sub/ren/), later
// copies (dupes/, one in an archive, one whose first name there is taken), a
// collision with a file in ren/ (renamed in place), a title that makes no
// file name and a linked image (left alone), a disk near a title, a damaged
// disk, a folder named like an image, an empty file, an unknown one and an
// archive in an archive. No file's fate hangs on the order in which the
// system lists a folder.
struct Collection {
  Collection() {
    const Bytes a = SeededBytes(500, 1), b = SeededBytes(600, 2), tune = SeededBytes(700, 3),
                taken = SeededBytes(800, 4), dots = SeededBytes(900, 5), n1 = SeededBytes(1000, 6),
                n2 = SeededBytes(1100, 7), linked = SeededBytes(1200, 8);
    WriteFile(dir / "C64.dat", "TestDat 1.0\nGame;Soft Co;1st;Grp;1987;002;" + Hex(Crc(a)) + ";" +
                                   Hex(Crc(b)) + "\nSlash;Pub;;AC/DC;;001;" + Hex(Crc(tune)) +
                                   "\n" + DatLine("Taken", {Crc(taken)}) + DatLine("..", {Crc(dots)}) +
                                   DatLine("Linked", {Crc(linked)}) +
                                   DatLine("Near", {Crc(n1), Crc(n2), 1}) + DatLine("Lost", {2}));
    MakeFolder(dir / "sub");
    MakeD64(dir / "sub/first.d64", {a, b});
    MakeD64(dir / "one.d64", {a, b});
    MakeFolder(dir / "dupes");
    WriteFile(dir / "dupes/Game (Grp).d64", std::string("precious"));
    MakeD64(outside / "copy.d64", {b, a});
    MakeZip(dir / "copy.zip", outside.path(), {"copy.d64"});
    WriteFile(dir / "tune.prg", tune);
    WriteFile(dir / "taken.prg", taken);
    MakeFolder(dir / "ren");
    WriteFile(dir / "ren/Taken.prg", std::string("another file"));
    WriteFile(dir / "dots.prg", dots);
    WriteFile(outside / "linked.prg", linked);
    std::filesystem::create_symlink(outside / "linked.prg", dir / "link.prg");
    std::filesystem::create_directory_symlink(outside.path(), dir / "linked");
    MakeD64(dir / "near.d64", {n1, n2});
    MakeD64(dir / "broken.d64", {a, b});
    Bytes broken = ReadFile(dir / "broken.d64");
    // The first file starts where its directory entry says; cut its chain.
    broken[SectorIndex(broken[91392 + 256 + 3], broken[91392 + 256 + 4]) * 256] = 41;
    WriteFile(dir / "broken.d64", broken);
    MakeFolder(dir / "folder.d64");
    WriteFile(dir / "empty.prg", Bytes{});
    WriteFile(dir / "noise, 1.prg", SeededBytes(1300, 9));
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
  const std::string plan_csv = reports / "plan.csv", real_csv = reports / "real.csv";
  RunResult dry = RunDewmop({"-cc", "-r", "-s", "-n", "-o" + plan_csv}, c.dir.path());
  EXPECT_EQ(before, TreeOf(c.dir.path()));
  RunResult real = RunDewmop({"-cc", "-r", "-s", "-o" + real_csv}, c.dir.path());
  EXPECT_EQ(0, real.exit_code);
  EXPECT_EQ("", real.out);
  EXPECT_EQ(real.err, Replaced(Replaced(Replaced(dry.err, "would move to", "moved to"),
                                        "rename in place", "renamed in place"),
                               "leave alone", "left alone"));
  EXPECT_EQ(ReadText(real_csv), ReadText(plan_csv));

  Tree planned = before;
  for (const std::string& line : Lines(dry.out)) {
    if (line.starts_with("would stay: ")) continue;
    const size_t from = line.find(' ', 6) + 1, arrow = line.find(" -> ");
    ASSERT_NE(std::string::npos, arrow) << line;
    const std::string source = line.substr(from, arrow - from).substr(c.dir.path().size() + 1);
    const std::string target = source.substr(0, source.rfind('/') + 1) + line.substr(arrow + 4);
    planned[target] = planned.at(source);
    planned.erase(source);
  }
  planned["sub/ren"] = "<other>";
  Tree after = TreeOf(c.dir.path());
  EXPECT_EQ(std::string("TestDat 1.0\n\1\0\2\0\3\0\4\0\5\0", 22), after["C64have.dat"]);
  EXPECT_EQ("Near\nLost\n", after["C64miss.txt"]);
  after.erase("C64have.dat");
  after.erase("C64miss.txt");
  EXPECT_EQ(planned, after) << dry.out;
  EXPECT_EQ(outside, TreeOf(c.outside.path())) << "nothing outside is touched";

  const std::string kHeader =
      "path,type,outcome,files,title_index,title,rename,new_path,reason,near_index,near_title,"
      "near_shared,near_title_files";
  std::string d = c.dir.path() + "/", csv = Replaced(ReadText(real_csv), d, "");
  std::vector<std::string> rows;
  for (size_t start = 0, end; (end = csv.find("\r\n", start)) != std::string::npos; start = end + 2)
    rows.push_back(csv.substr(start, end - start));
  std::sort(rows.begin() + 1, rows.end());
  EXPECT_EQ((std::vector<std::string>{
                kHeader,
                "\"noise, 1.prg\",PRG,unknown,1,,,,,,,,,",
                "broken.d64,D64,damaged,1,,,,,,,,,",
                "copy.zip,ZIP,identified,2,1,Game (Grp),dupes,dupes/Game (Grp).zip,,,,,",
                "dots.prg,PRG,identified,1,4,..,stayed,,the title makes no file name,,,,",
                "dupes/Game (Grp).d64,D64,damaged,1,,,,,,,,,",
                "empty.prg,PRG,empty,0,,,,,,,,,",
                "folder.d64,D64,unreadable,,,,,,,,,,",
                "link.prg,PRG,identified,1,5,Linked,stayed,,a symbolic link is not moved,,,,",
                "near.d64,D64,unknown,2,,,,,,6,Near,2,3",
                "nested.zip,ZIP,no reader,,,,,,,,,,",
                "one.d64,D64,identified,2,1,Game (Grp),dupes,dupes/Game (Grp).d60,,,,,",
                "ren/Taken.prg,PRG,unknown,1,,,,,,,,,",
                "sub/first.d64,D64,identified,2,1,Game (Grp),ren,sub/ren/Game (Grp).d64,,,,,",
                "taken.prg,PRG,identified,1,3,Taken,in place,Taken.prg,,,,,",
                "tune.prg,PRG,identified,1,2,Slash (AC/DC),ren,ren/Slash (AC_DC).prg,,,,,",
            }),
            rows);
  EXPECT_EQ("\n\nFiles audited: 15\n"
            "  identified: 7, unknown: 3, damaged: 2, empty: 1, unreadable: 1, no reader: 1\n"
            "  near a title: 1\n"
            "  moved to ren: 2, to dupes: 2, renamed in place: 1, left alone: 2\n"
            "Titles present: 5 of 7 (71.4%), 5 found in this run\n\n\nDone.\n",
            real.err.substr(real.err.find("\n\nFiles audited")));

  WriteFile(c.dir / "C64.dat", Replaced(ReadText(c.dir / "C64.dat"), "1.0", "2.0"));
  RunDewmop({"-cc", "-r", "-s"}, c.dir.path());
  after = TreeOf(c.dir.path());
  EXPECT_EQ(std::string("TestDat 2.0\n\1\0\2\0\3\0\4\0\5\0", 22), after["C64have.dat"]);
  after.erase("C64have.dat");
  after.erase("C64miss.txt");
  after.erase("C64.dat");
  planned.erase("C64.dat");
  EXPECT_EQ(planned, after) << "a second run moves nothing";
}

// Data goes to standard output, everything else to standard error, and
// the exit status says how the run ended: 2 for a command line that cannot
// start one, 1 without a DAT file, 3 while another run holds the folder (a
// dry run takes no lock), 4 when standard output or the report cannot be
// written.
TEST(Run, StreamsAndExitStatuses) {
  Collection c;
  const std::string d = c.dir.path() + "/", none = c.dir / "none/r.csv";
  const int lock = open((c.dir / "C64have.dat.lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_EQ(0, flock(lock, LOCK_EX | LOCK_NB));
  const std::string kHeld = "Err: Another run holds this folder (C64have.dat.lock)\n\n\nDone.\n";
  const struct {
    std::vector<std::string> args;
    bool full;  // standard output is /dev/full
    int exit_code;
    std::string out, err;  // the start of standard output, the end of standard error
  } cases[] = {
      {{"-cc", "-q"}, false, 2, "", "'dewmop -cc -r'\n\n\nDone.\n"},
      {{"-ca", "-i"}, false, 1, "", "Error getting ingredients.\n\n\nDone.\n"},
      {{"-cc", "-r"}, false, 3, "", kHeld},
      {{"-cc", "-i"}, false, 3, "", kHeld},
      {{"-cc", "-i", "-n", "-s"}, false, 0,
       "\n____________\n" + d + "sub/first.d64\nGame: Game ", "found in this run\n\n\nDone.\n"},
      {{"-cc", "-d", "-o" + none}, false, 4, "C64 ", "Err: Unable to write " + none +
           ": No such file or directory\n\nFiles audited: 12\n  listed: 8, damaged: 1, "
           "empty: 1, unreadable: 1, no reader: 1\n\n\nDone.\n"},
      {{"-cc", "-d", "-j3"}, true, 4, "", "\nErr: Unable to write standard output: No space left on "
           "device\n\nFiles audited: 0\n  listed: 0, damaged: 0, empty: 0, unreadable: 0, no "
           "reader: 0\n\n\nDone.\n"},
  };
  for (const auto& k : cases) {
    const Tree before = TreeOf(c.dir.path());
    RunResult run;
    if (k.full) {
      TempDir capture;
      const int full = open("/dev/full", O_WRONLY), err = open((capture / "err").c_str(), O_WRONLY | O_CREAT, 0644);
      run.exit_code = WaitForExit(StartDewmop(k.args, c.dir.path(), full, full, err));
      run.err = ReadText(capture / "err");
    } else {
      run = RunDewmop(k.args, c.dir.path());
    }
    EXPECT_EQ(k.exit_code, run.exit_code) << k.args[1];
    EXPECT_TRUE(k.out.empty() ? run.out.empty() : run.out.starts_with(k.out)) << run.out;
    EXPECT_TRUE(run.err.ends_with(k.err)) << run.err;
    EXPECT_EQ(std::string::npos, run.out.find("Dir: ")) << "messages are no data";
    EXPECT_EQ(std::string::npos, run.err.find(";;;;;")) << "data is no message";
    EXPECT_EQ(before, TreeOf(c.dir.path()));
  }
  close(lock);
}

// Some files of a folder are read ahead on other workers while others are
// reported: every run writes and moves what it does on one worker. Added
// to the collection: many programs, deflate data that breaks off (decoded
// again by zlib), and Amiga disks, plain, gzipped and gzipped but cut short.
TEST(Run, SeveralWorkersWriteAndMoveWhatOneDoes) {
  Collection c;
  std::string dat = ReadText(c.dir / "C64.dat");
  for (int i = 0; i < 40; ++i) {
    const Bytes program = SeededBytes(200 + 37 * i, 100 + i);
    WriteFile(c.dir / ("p" + std::to_string(i) + ".prg"), program);
    if (i % 3 == 0) dat += DatLine("Program " + std::to_string(i), {Crc(program)});
  }
  WriteFile(c.dir / "C64.dat", dat);
  ZipFixtureEntry cut = DeflatedEntry("cut.prg", SeededBytes(60000, 10));
  cut.compressed_size -= 1;
  WriteFile(c.dir / "damaged.zip", BuildZip({cut, DeflatedEntry("good.prg", SeededBytes(300, 11))}));
  WriteFile(c.dir / "disk.adf", SeededBytes(901120, 12));
  ASSERT_EQ(0, Shell("cd '" + c.dir.path() + "' && gzip -c disk.adf > disk.adz && "
                     "head -c 300000 disk.adz > cut.adz && mkfifo fifo.d64"));
  TempDir copies;
  std::vector<std::string> runs[2];
  for (int j : {0, 1}) {
    const std::string folder = copies / std::to_string(j), workers = j == 0 ? "-j1" : "-j4";
    ASSERT_EQ(0, Shell("cp -a '" + c.dir.path() + "' '" + folder + "'"));
    for (auto args : std::vector<std::vector<std::string>>{
             {"-cc", "-d", "-s"}, {"-ca", "-d"}, {"-cc", "-i", "-s"}, {"-cc", "-r"}, {"-cc", "-r", "-s"}}) {
      args.push_back(workers);
      RunResult run = RunDewmop(args, folder);
      // A dump's version line is made up afresh by every run.
      if (args[1] == "-d") run.out.erase(0, run.out.find('\n') + 1);
      std::string text = std::to_string(run.exit_code) + run.out + run.err;
      for (const auto& [name, bytes] : TreeOf(folder)) text += name + "\n" + bytes;
      runs[j].push_back(Replaced(text, folder, "ROOT"));
    }
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_NE(std::string::npos, runs[0][0].find("Error in zipfile ROOT/damaged.zip")) << runs[0][0];
  EXPECT_NE(std::string::npos, runs[0][1].find("\ndisk.adz;;;;;001;")) << runs[0][1];
  EXPECT_NE(std::string::npos, runs[0][4].find("Program 39.prg\n")) << runs[0][4];
}

}  // namespace
