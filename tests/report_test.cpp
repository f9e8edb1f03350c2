// What a run tells about itself, on the real binary: the plan of a dry run,
// the closing summary and the CSV report.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "testkit/disk_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/process.h"

namespace {

Bytes Seeded(uint64_t seed) { return SeededBytes(500 + 100 * static_cast<uint32_t>(seed), seed); }
const Bytes kA = Seeded(1), kB = Seeded(2), kSlash = Seeded(3), kTaken = Seeded(4),
            kDots = Seeded(5), kLinked = Seeded(6), kNoise = Seeded(7), kOther = Seeded(8),
            kFiled = Seeded(9), kSub = Seeded(10), kHello = Seeded(11);

// Every file under `folder` with its bytes, links as links, folders as such.
std::map<std::string, std::string> Tree(const std::string& folder) {
  std::map<std::string, std::string> tree;
  for (auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    std::string name = entry.path().lexically_relative(folder).string();
    if (entry.is_symlink())
      tree[name] = "-> " + std::filesystem::read_symlink(entry.path()).string();
    else if (entry.is_directory())
      tree[name] = "<folder>";
    else
      tree[name] = ReadText(entry.path());
  }
  return tree;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// The block between the walk and the closing line, or "" when there is none.
std::string SummaryOf(const std::string& err) {
  size_t start = err.find("\nFiles audited: ");
  if (start == std::string::npos) return "";
  return err.substr(start, err.rfind("\n\nDone.\n") - start);
}

// One of each: a first copy (ren/), a copy in an archive (dupes/, whose
// first name is taken), a collision with a file in ren/ (renamed in place),
// a title that makes no file name and a linked image (left alone), a
// damaged disk, a folder named like an image, an empty and an unknown file,
// and an archive inside an archive (no reader). No file's fate hangs on
// the order in which the system lists a folder.
class ReportTest : public testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "C64.dat", "TestDat 1.0\n" + Title("Game;Soft Co;1st;Grp;1987", {kA, kB}) +
                                   Title("Slash;Pub;;AC/DC;", {kSlash}) +
                                   Title("Taken;Pub;;;", {kTaken}) + Title("..;Pub;;;", {kDots}) +
                                   Title("Linked;Pub;;;", {kLinked}) +
                                   "Lost;Nobody;;;1985;001;DEADBEEF\n");
    MakeD64(dir / "one.d64", {kA, kB});
    MakeD64(dir / "broken.d64", {kA, kB});
    Bytes broken = ReadFile(dir / "broken.d64");
    // The first file starts where its directory entry says; cut its chain.
    broken[SectorIndex(broken[91392 + 256 + 3], broken[91392 + 256 + 4]) * 256] = 41;
    WriteFile(dir / "broken.d64", broken);
    MakeFolder(dir / "folder.d64");
    WriteFile(dir / "tune.prg", kSlash);
    WriteFile(dir / "taken.prg", kTaken);
    MakeFolder(dir / "ren");
    WriteFile(dir / "ren/Taken.prg", std::string("another file"));
    WriteFile(dir / "dots.prg", kDots);
    WriteFile(outside / "linked.prg", kLinked);
    std::filesystem::create_symlink(outside / "linked.prg", dir / "link.prg");
    WriteFile(dir / "empty.prg", Bytes{});
    WriteFile(dir / "noise, 1.prg", kNoise);
    MakeD64(outside / "copy.d64", {kB, kA});
    MakeZip(dir / "copy.zip", outside.path(), {"copy.d64"});
    MakeFolder(dir / "dupes");
    WriteFile(dir / "dupes/Game (Grp).zip", std::string("not an archive"));
    MakeZip(outside / "inner.zip", outside.path(), {"linked.prg"});
    MakeZip(dir / "nested.zip", outside.path(), {"inner.zip"});
  }

  // A DAT line: name, publisher, crack note, crack name and date, then the files.
  static std::string Title(const std::string& fields, const std::vector<Bytes>& files) {
    std::string line = fields + ";00" + std::to_string(files.size());
    for (const Bytes& file : files) line += ";" + Hex(Crc(file));
    return line + "\n";
  }

  TempDir dir, outside;
};

// The plan of a dry run is what the real run then does, move by move, also
// where a title's copies meet in one folder, where two titles share a name,
// where a name in dupes/ is taken by the plan's own earlier move, and with
// a file already filed, a "ren" that is a file and a folder still to be
// made. The dry run changes nothing, and its report is the real run's.
TEST_F(ReportTest, DryRunPlansExactlyTheMovesOfTheRealRun) {
  WriteFile(dir / "C64.dat", ReadText(dir / "C64.dat") + Title("Game;Else;;Grp;", {kOther}) +
                                 Title("Filed;Pub;;;", {kFiled}) + Title("Sub;Pub;;;", {kSub}) +
                                 Title("Hello;Pub;;;", {kHello}));
  for (const char* name : {"two.d64", "three.d64"}) MakeD64(dir / name, {kB, kA});
  MakeD64(dir / "other.d64", {kOther});
  WriteFile(dir / "ren/Filed.prg", kFiled);
  MakeFolder(dir / "sub");
  WriteFile(dir / "sub/ren", std::string("a file, not a folder"));
  WriteFile(dir / "sub/x.prg", kSub);
  MakeFolder(dir / "more");
  WriteFile(dir / "more/hello.prg", kHello);
  const std::map<std::string, std::string> before = Tree(dir.path());

  RunResult dry = RunDewmop({"-cc", "-r", "-s", "-n", "-o" + (outside / "plan.csv")}, dir.path());
  EXPECT_EQ(0, dry.exit_code) << dry.err;
  EXPECT_EQ(before, Tree(dir.path())) << "the dry run changed the folder";
  RunResult real = RunDewmop({"-cc", "-r", "-s", "-o" + (outside / "real.csv")}, dir.path());
  EXPECT_EQ("", real.out);

  std::map<std::string, std::string> planned = before;
  size_t moves = 0;
  for (const std::string& line : Lines(dry.out)) {
    size_t arrow = line.find(" -> ");
    if (line.rfind("would stay: ", 0) == 0) continue;
    ASSERT_NE(std::string::npos, arrow) << line;
    std::string source = line.substr(line.find(' ', 6) + 1, arrow - line.find(' ', 6) - 1);
    source = source.substr(dir.path().size() + 1);
    std::string folder = source.substr(0, source.rfind('/') + 1);
    planned[folder + line.substr(arrow + 4)] = planned.at(source);
    planned.erase(source);
    ++moves;
  }
  planned["more/ren"] = "<folder>";
  std::map<std::string, std::string> after = Tree(dir.path());
  after.erase("C64have.dat");
  after.erase("C64miss.txt");
  EXPECT_EQ(planned, after) << dry.out;
  EXPECT_EQ(9u, moves) << dry.out;
  EXPECT_EQ(ReadText(outside / "real.csv"), ReadText(outside / "plan.csv"));
  EXPECT_EQ(Lines(ReadText(outside / "plan.csv")).size(), Lines(dry.out).size() + 1);
  std::string dryErr = Replaced(Replaced(Replaced(dry.err, "would move to ren", "moved to ren"),
                                         "rename in place", "renamed in place"),
                                "leave alone", "left alone");
  EXPECT_EQ(real.err, dryErr) << "the same messages, in the same order";
}

// The same words every time; damaged counts a damaged image that no title
// knows; titles present are those in the have file or found in this run.
TEST_F(ReportTest, SummaryCountsEveryAuditedFile) {
  const std::string kOneEach = "damaged: 1, empty: 1, unreadable: 1, no reader: 1\n";
  const std::string kNoneNear = "  near a title: 0\n";
  const std::string kTitles = "Titles present: 5 of 6 (83.3%), ";
  const struct {
    std::vector<std::string> args;
    std::string summary;
  } cases[] = {
      {{"-cc", "-d"}, "\nFiles audited: 11\n  listed: 7, " + kOneEach},
      {{"-cc", "-d", "empty.prg"},
       "\nFiles audited: 1\n  listed: 0, damaged: 0, empty: 1, unreadable: 0, no reader: 0\n"},
      {{"-cc", "-i"},
       "\nFiles audited: 11\n  identified: 6, unknown: 1, " + kOneEach + kNoneNear + kTitles +
           "5 found in this run\n"},
      {{"-cc", "-r", "-n"},
       "\nFiles audited: 11\n  identified: 6, unknown: 1, " + kOneEach + kNoneNear +
           "  would move to ren: 2, to dupes: 1, rename in place: 1, leave alone: 2\n" + kTitles +
           "5 found in this run\n"},
      {{"-cc", "-r"},
       "\nFiles audited: 11\n  identified: 6, unknown: 1, " + kOneEach + kNoneNear +
           "  moved to ren: 2, to dupes: 1, renamed in place: 1, left alone: 2\n" + kTitles +
           "5 found in this run\n"},
      // Taken.prg, renamed in place, is a copy now: the have file knows it.
      {{"-cc", "-r"},
       "\nFiles audited: 8\n  identified: 3, unknown: 1, " + kOneEach + kNoneNear +
           "  moved to ren: 0, to dupes: 1, renamed in place: 0, left alone: 2\n" + kTitles +
           "3 found in this run\n"},
      {{"-cc", "-o"}, ""},  // the usage
      {{"-ca", "-i"}, ""},  // no Amiga.dat
  };
  for (const auto& c : cases) {
    RunResult run = RunDewmop(c.args, dir.path());
    std::string line;
    for (const std::string& arg : c.args) line += arg + " ";
    EXPECT_EQ(c.summary, SummaryOf(run.err)) << line << "\n" << run.err;
  }
}

// One row per audited file, in any folder order; a report that cannot be
// written fails the run.
TEST_F(ReportTest, ReportRowsSayWhatBecameOfEachFile) {
  const std::string kHeader =
      "path,type,outcome,files,title_index,title,rename,new_path,reason,near_index,near_title,"
      "near_shared,near_title_files";
  RunResult run = RunDewmop({"-cc", "-r", "-oreport.csv"}, dir.path());
  EXPECT_EQ(0, run.exit_code) << run.err;
  std::string text = ReadText(dir / "report.csv");
  std::vector<std::string> rows;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    rows.push_back(text.substr(start, end - start));
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(kHeader, rows[0]);
  std::sort(rows.begin() + 1, rows.end());
  const std::string d = dir.path() + "/";
  std::vector<std::string> expected = {
      kHeader,
      d + "broken.d64,D64,damaged,1,,,,,,,,,",
      d + "copy.zip,ZIP,identified,2,1,Game (Grp),dupes," + d + "dupes/Game (Grp).zi0,,,,,",
      d + "dots.prg,PRG,identified,1,4,..,stayed,,the title makes no file name,,,,",
      d + "empty.prg,PRG,empty,0,,,,,,,,,",
      d + "folder.d64,D64,unreadable,,,,,,,,,,",
      d + "link.prg,PRG,identified,1,5,Linked,stayed,,a symbolic link is not moved,,,,",
      d + "nested.zip,ZIP,no reader,,,,,,,,,,",
      "\"" + d + "noise, 1.prg\",PRG,unknown,1,,,,,,,,,",
      d + "one.d64,D64,identified,2,1,Game (Grp),ren," + d + "ren/Game (Grp).d64,,,,,",
      d + "taken.prg,PRG,identified,1,3,Taken,in place," + d + "Taken.prg,,,,,",
      d + "tune.prg,PRG,identified,1,2,Slash (AC/DC),ren," + d + "ren/Slash (AC_DC).prg,,,,,",
  };
  std::sort(expected.begin() + 1, expected.end());
  EXPECT_EQ(expected, rows);

  RunResult unwritable = RunDewmop({"-cc", "-d", "-o" + (dir / "none/report.csv")}, dir.path());
  EXPECT_EQ(4, unwritable.exit_code);
  EXPECT_NE(std::string::npos,
            unwritable.err.find("Err: Unable to write " + (dir / "none/report.csv") + ": "))
      << unwritable.err;
}

}  // namespace
