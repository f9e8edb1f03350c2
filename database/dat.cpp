// The DAT file loader: the version line, then records read field by field.
#include "database/dat.h"

#include <algorithm>
#include <memory>
#include <new>

#include "database/have.h"
#include "platform/platform.h"
#include "util/file.h"

namespace {

constexpr uint32_t kVersionLimit = 19;
constexpr uint32_t kNumberLimit = 100;
constexpr char kSeparator = ';';

// The characters of a DAT file as a text-mode read sees them: a carriage
// return in front of a line feed is dropped. Once the records begin, a file
// whose last line lacks its line feed reads as if it had one, so that its
// last title counts like every other.
class DatInput {
 public:
  DatInput(FILE* file, MessageSink& sink) : file_(file), sink_(sink) {}

  void CompleteLastLine() { complete_last_line_ = true; }
  // True once a read has run into the end of the file.
  bool EndReached() const { return end_reached_; }

  int Get() {
    int c = getc(file_);
    if (c == '\r') {
      int next = getc(file_);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        ungetc(next, file_);
      }
    }
    if (c == EOF) {
      if (complete_last_line_ && last_ != '\n') {
        c = '\n';
      } else {
        end_reached_ = true;
      }
    }
    last_ = c;
    return c;
  }

  // The first line up to and including its line feed, at most `limit`
  // characters.
  void ReadLine(std::string* line, uint32_t limit) {
    line->clear();
    while (line->size() < limit) {
      int c = Get();
      if (c == EOF) return;
      line->push_back(static_cast<char>(c));
      if (c == '\n') return;
    }
  }

  void ReadField(char separator, std::string* field, uint32_t limit) {
    field->clear();
    for (;;) {
      int c = Get();
      if (c == separator || c == '\n' || c == EOF) return;
      field->push_back(static_cast<char>(c));
      if (field->size() == static_cast<size_t>(limit) + 1) {
        SkipOverlongField(separator, *field);
        return;
      }
    }
  }

 private:
  void SkipOverlongField(char separator, const std::string& field) {
    uint32_t length = static_cast<uint32_t>(field.size());
    for (int c = Get(); c != separator && c != '\n' && c != EOF; c = Get()) {
      ++length;
    }
    sink_.Print(Stream::kOut, "Err: LoadDat() record exceeds boundaries:\n%u\t%s\n",
                length - 1, field.c_str());
  }

  FILE* file_;
  MessageSink& sink_;
  int last_ = '\n';
  bool complete_last_line_ = false;
  bool end_reached_ = false;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Skips white space and an optional sign; true when the sign was a minus.
bool SkipSpaceAndSign(const std::string& text, size_t* at) {
  size_t i = *at;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  *at = i;
  return negative;
}

void ReadText(DatInput& input, std::string* text, uint32_t limit) {
  input.ReadField(kSeparator, text, limit);
  if (text->size() > limit) text->resize(limit);
}

bool AllocateCrcs(DatRecord* record) {
  try {
    record->crcs.assign(record->crcCount, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Fills one slot; false when its CRC list cannot be allocated.
bool ReadRecord(DatInput& input, DatRecord* record, std::string* number,
                MessageSink& sink) {
  record->have = 0;
  ReadText(input, &record->name, 100);
  ReadText(input, &record->publisher, 30);
  ReadText(input, &record->crackNote, 10);
  ReadText(input, &record->crackName, 20);
  input.ReadField(kSeparator, number, kNumberLimit);
  record->date = ParseDatDecimal(*number);
  input.ReadField(kSeparator, number, kNumberLimit);
  record->crcCount = ParseDatDecimal(*number);
  if (!AllocateCrcs(record)) {
    sink.Print(Stream::kErr, "Memory allocation of %u ints failed in LoadDat()\n",
               static_cast<unsigned>(record->crcCount));
    return false;
  }
  for (uint32_t& crc : record->crcs) {
    input.ReadField(kSeparator, number, kNumberLimit);
    crc = ParseDatHex(*number);
  }
  std::sort(record->crcs.begin(), record->crcs.end());
  return true;
}

// Fills slots from 1 on and returns the slot after the last one stored.
uint32_t ReadRecords(DatInput& input, std::vector<DatRecord>& records,
                     MessageSink& sink) {
  uint32_t next = 1;
  if (input.EndReached()) return next;
  input.CompleteLastLine();
  std::string number;
  for (;;) {
    if (!ReadRecord(input, &records[next], &number, sink)) return next;
    ++next;
    if (input.EndReached()) return next;
    if (next == kDatSlots) {
      sink.Print(Stream::kOut, "Too many ingredients: %u.\n", next);
      return next;
    }
  }
}

}  // namespace

uint16_t ParseDatDecimal(const std::string& text) {
  size_t i = 0;
  bool negative = SkipSpaceAndSign(text, &i);
  uint16_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = static_cast<uint16_t>(value * 10 + (text[i] - '0'));
  }
  return negative ? static_cast<uint16_t>(-value) : value;
}

uint32_t ParseDatHex(const std::string& text) {
  size_t i = 0;
  bool negative = SkipSpaceAndSign(text, &i);
  if (i + 1 < text.size() && text[i] == '0' &&
      (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    i += 2;
  }
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  }
  uint32_t result = static_cast<uint32_t>(value);
  return negative ? 0u - result : result;
}

void ReadField(FILE* file, char separator, std::string* field, uint32_t limit,
               MessageSink& sink) {
  DatInput input(file, sink);
  input.ReadField(separator, field, limit);
}

uint32_t LoadDat(Database& db, const DatFiles& files, MessageSink& sink) {
  FileOwner file(platform::OpenFile(files.dat, "rb"));
  if (!file) return 0;
  DatInput input(file.get(), sink);
  input.ReadLine(&db.datVersion, kVersionLimit);
  db.records.assign(kDatSlots, DatRecord{});
  db.recordCount = ReadRecords(input, db.records, sink) - 1;
  file.reset();
  ReadHave(db, files, sink);
  return db.recordCount;
}
