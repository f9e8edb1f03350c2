// The dump line: one well-formed DAT record whatever the file is named.
#include "audit/report.h"

#include <gtest/gtest.h>

namespace {

TEST(WriteDumpLine, NameIsWrittenAsOneField) {
  const struct {
    std::string name;
    std::string field;
  } cases[] = {
      {"game.d64", "game.d64"},
      {"Caf\xC3\xA9 & 'Co' (1).d64", "Caf\xC3\xA9 & 'Co' (1).d64"},
      {"a;b.d64", "a_b.d64"},
      {"two\nlines\r.d64", "two_lines_.d64"},
      {std::string("\x01\x1B[2J\t\x1F\x7F", 8) + ".prg", "__[2J___.prg"},
  };
  for (const auto& c : cases) {
    MessageLog log;
    WriteDumpLine(log, c.name, {0x0000ABCDu, 0xFFFFFFFFu});
    EXPECT_EQ(c.field + ";;;;;002;0000ABCD;FFFFFFFF\n", log.Text(Stream::kOut)) << c.field;
  }
}

}  // namespace
