// The dump line: one well-formed DAT record whatever the file is named.
#include "audit/report.h"

#include <gtest/gtest.h>

// A ';' and every control character in the name is written '_'; bytes above
// 0x7F stay.
TEST(WriteDumpLine, NameIsWrittenAsOneField) {
  MessageLog log;
  const std::string name("Caf\xC3\xA9 & 'Co' (1);\x01\n\r\x1B[2J\t\x1F\x7F\0.d64", 32);
  WriteDumpLine(log, name, {0x0000ABCDu, 0xFFFFFFFFu});
  EXPECT_EQ("Caf\xC3\xA9 & 'Co' (1)_____[2J____.d64;;;;;002;0000ABCD;FFFFFFFF\n",
            log.Text(Stream::kOut));
}
