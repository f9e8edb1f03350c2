// CSV fields as RFC 4180 writes them.
#include "audit/csv_report.h"

#include <gtest/gtest.h>

#include <utility>

// Quoted only when a comma, a quote, a CR or an LF is in it; quotes doubled.
TEST(CsvField, QuotedOnlyWhenItMustBe) {
  const std::pair<std::string, std::string> cases[] = {
      {"/c64/it's here; see.d64", "/c64/it's here; see.d64"}, {"a, b", "\"a, b\""},
      {"The \"Best\"", "\"The \"\"Best\"\"\""}, {"a\nb", "\"a\nb\""}, {"cr\r", "\"cr\r\""},
  };
  for (const auto& [text, field] : cases) EXPECT_EQ(field, CsvField(text)) << text;
}
