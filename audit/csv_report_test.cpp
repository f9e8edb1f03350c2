// CSV fields as RFC 4180 writes them.
#include "audit/csv_report.h"

#include <gtest/gtest.h>

namespace {

TEST(CsvField, QuotedOnlyWhenItMustBe) {
  const struct {
    std::string text, field;
  } cases[] = {
      {"", ""},
      {"Game (Grp)", "Game (Grp)"},
      {"/c64/it's here; see.d64", "/c64/it's here; see.d64"},
      {"Summer Games, Vol. 2", "\"Summer Games, Vol. 2\""},
      {"The \"Best\" Disk", "\"The \"\"Best\"\" Disk\""},
      {"\"", "\"\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.field, CsvField(c.text)) << c.text;
}

}  // namespace
