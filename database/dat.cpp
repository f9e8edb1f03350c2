// The DAT file loader: the version line, then one title per line.
#include "database/dat.h"

#include <algorithm>
#include <array>
#include <new>

#include "database/have.h"
#include "database/match.h"
#include "platform/platform.h"

namespace {

constexpr char kSeparator = ';';
constexpr uint32_t kNumberLimit = 100;
constexpr uint32_t kFieldsBeforeCrcs = 6;
// As many as a CRC count can say.
constexpr size_t kMaxCrcsPerTitle = 65535;

// The lines of a DAT file. A line feed ends a line, and a carriage return
// just before it is not part of it; a last line without its line feed is a
// line like the others.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes) : rest_(bytes) {}

  // False at the end; `ended` tells whether a line feed closed the line.
  bool Next(std::string_view* line, bool* ended) {
    if (rest_.empty()) return false;
    size_t end = rest_.find('\n');
    *ended = end != std::string_view::npos;
    *line = rest_.substr(0, end);
    rest_.remove_prefix(*ended ? end + 1 : rest_.size());
    if (*ended && !line->empty() && line->back() == '\r') line->remove_suffix(1);
    return true;
  }

 private:
  std::string_view rest_;
};

// The value of each character as a hexadecimal digit, or -1.
constexpr auto kHexDigits = [] {
  std::array<int8_t, 256> digits{};
  for (int c = 0; c < 256; ++c) {
    digits[c] = c >= '0' && c <= '9'   ? static_cast<int8_t>(c - '0')
                : c >= 'a' && c <= 'f' ? static_cast<int8_t>(c - 'a' + 10)
                : c >= 'A' && c <= 'F' ? static_cast<int8_t>(c - 'A' + 10)
                                       : int8_t{-1};
  }
  return digits;
}();

int HexDigit(char c) { return kHexDigits[static_cast<uint8_t>(c)]; }

// The fields of one line, left to right. A separator that ends the line
// closes the last field rather than opening an empty one.
class FieldReader {
 public:
  explicit FieldReader(std::string_view line) : rest_(line) {
    if (!rest_.empty() && rest_.back() == kSeparator) rest_.remove_suffix(1);
  }

  bool Next(std::string_view* field) {
    if (done_) return false;
    size_t end = rest_.find(kSeparator);
    *field = rest_.substr(0, end);
    done_ = end == std::string_view::npos;
    rest_.remove_prefix(done_ ? rest_.size() : end + 1);
    return true;
  }

  // Takes the next field when it is eight hexadecimal digits, the dump's
  // own form of a CRC.
  bool NextHexWord(uint32_t* value) {
    if (done_ || rest_.size() < 8 || (rest_.size() > 8 && rest_[8] != kSeparator)) return false;
    uint32_t word = 0;
    for (size_t i = 0; i < 8; ++i) {
      int digit = HexDigit(rest_[i]);
      if (digit < 0) return false;
      word = word << 4 | static_cast<uint32_t>(digit);
    }
    *value = word;
    done_ = rest_.size() == 8;
    rest_.remove_prefix(done_ ? 8 : 9);
    return true;
  }

  // How many more fields Next gives.
  size_t Remaining() const {
    return done_ ? 0 : static_cast<size_t>(std::count(rest_.begin(), rest_.end(), kSeparator)) + 1;
  }

 private:
  std::string_view rest_;
  bool done_ = false;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsBlank(std::string_view line) { return std::all_of(line.begin(), line.end(), IsSpace); }

// Skips white space and an optional sign; true when the sign was a minus.
bool SkipSpaceAndSign(std::string_view text, size_t* at) {
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

std::string CrcsWord(size_t count) {
  return std::to_string(count) + (count == 1 ? " CRC" : " CRCs");
}

// Turns the lines after the version line into titles, each line one slot.
class TitleReader {
 public:
  TitleReader(Database& db, const char* datName, MessageSink& sink)
      : db_(db), dat_name_(datName), sink_(sink) {}

  // Slot 0 and the end marker: no title, no CRC.
  void AddEmptySlot() {
    db_.records.emplace_back();
    db_.crcStarts.push_back(static_cast<uint32_t>(db_.crcs.size()));
  }

  // A line that is empty or white space, followed by a title.
  void AddEmptyLine(uint32_t index) {
    AddEmptySlot();
    Warn(index, "empty line");
  }

  // A well-formed line is taken whole and silently; any other line is
  // reported with the first fault found, in field order, and taken as far
  // as it is sound: the fields it has, the CRCs it holds.
  void AddTitle(std::string_view line, uint32_t index) {
    DatRecord& record = db_.records.emplace_back();
    FieldReader fields(line);
    Head head = ReadHead(fields, &record);
    const size_t first = db_.crcs.size();
    CrcFields crcs = ReadCrcs(fields);
    std::sort(db_.crcs.begin() + first, db_.crcs.end());
    db_.crcStarts.push_back(static_cast<uint32_t>(db_.crcs.size()));
    std::string fault = FaultOf(head, crcs);
    if (!fault.empty()) Warn(index, fault);
    // A line without a CRC is no title's list, not even the empty one.
    if (fault.empty() || db_.crcs.size() > first) matchable_.push_back(index);
  }

  // The titles that set matching may find, in DAT order.
  const std::vector<uint32_t>& Matchable() const { return matchable_; }

 private:
  // What the fields before the CRCs said.
  struct Head {
    uint32_t fields = 0;
    bool dateIsNumber = true;
    bool countIsNumber = true;
    uint16_t count = 0;
  };

  // The four texts, the date and the CRC count, as far as the line has them.
  Head ReadHead(FieldReader& fields, DatRecord* record) {
    Head head;
    std::string* texts[] = {&record->name, &record->publisher, &record->crackNote,
                            &record->crackName};
    const uint32_t limits[] = {100, 30, 10, 20};
    std::string_view field;
    for (; head.fields < 4 && fields.Next(&field); ++head.fields) {
      uint32_t limit = limits[head.fields];
      texts[head.fields]->assign(Bounded(field, limit).substr(0, limit));
    }
    if (head.fields == 4 && fields.Next(&field)) {
      ++head.fields;
      field = Bounded(field, kNumberLimit);
      head.dateIsNumber = ParseDatDecimal(field, &record->date) || field.empty();
    }
    if (head.fields == 5 && fields.Next(&field)) {
      ++head.fields;
      head.countIsNumber = ParseDatDecimal(Bounded(field, kNumberLimit), &head.count);
    }
    return head;
  }

  // What a line's CRC fields held.
  struct CrcFields {
    size_t fields = 0;
    size_t firstBad = 0;  // the position, from 1, of the first that is no number
  };

  // What is wrong with a line, or "".
  static std::string FaultOf(const Head& head, const CrcFields& crcs) {
    if (head.fields < kFieldsBeforeCrcs) {
      return "too few fields (" + std::to_string(head.fields) + " of 6)";
    }
    if (crcs.fields > kMaxCrcsPerTitle) {
      return CrcsWord(crcs.fields) + ", more than the 65535 a title can hold";
    }
    if (!head.dateIsNumber) return "the date is not a number";
    if (!head.countIsNumber) return "the CRC count is not a number";
    if (crcs.fields != head.count) {
      return CrcsWord(crcs.fields) + " where the count says " + std::to_string(head.count);
    }
    if (crcs.firstBad != 0) return "CRC " + std::to_string(crcs.firstBad) + " is not a number";
    return "";
  }

  // Appends the CRCs that the line's other fields hold to the database's
  // list. A line of more fields than a title can hold keeps none.
  CrcFields ReadCrcs(FieldReader& fields) {
    CrcFields seen;
    const size_t first = db_.crcs.size();
    std::string_view field;
    for (;; ++seen.fields) {
      if (seen.fields == kMaxCrcsPerTitle) {
        size_t more = fields.Remaining();
        if (more > 0) db_.crcs.resize(first);
        seen.fields += more;
        return seen;
      }
      uint32_t crc;
      if (fields.NextHexWord(&crc)) {
        db_.crcs.push_back(crc);
      } else if (!fields.Next(&field)) {
        return seen;
      } else if (ParseDatHex(Bounded(field, kNumberLimit), &crc)) {
        db_.crcs.push_back(crc);
      } else if (seen.firstBad == 0) {
        seen.firstBad = seen.fields + 1;
      }
    }
  }

  // A field longer than `limit` is reported and kept to `limit` + 1
  // characters.
  std::string_view Bounded(std::string_view field, uint32_t limit) {
    if (field.size() <= limit) return field;
    std::string_view kept = field.substr(0, limit + 1);
    sink_.Print(Stream::kErr, "Err: LoadDat() record exceeds boundaries:\n%zu\t%s\n",
                field.size() - 1, std::string(kept).c_str());
    return kept;
  }

  void Warn(uint32_t index, const std::string& what) {
    sink_.Print(Stream::kErr, "Wrn: %s line %u: %s\n", dat_name_, index + 1, what.c_str());
  }

  Database& db_;
  const char* dat_name_;
  MessageSink& sink_;
  std::vector<uint32_t> matchable_;
};

// The number of line feeds in `bytes`, counted up to `most`.
size_t CountLineFeeds(std::string_view bytes, size_t most) {
  size_t count = 0;
  for (size_t at = bytes.find('\n'); at != std::string_view::npos && count < most;
       at = bytes.find('\n', at + 1)) {
    ++count;
  }
  return count;
}

// Fills the database from the DAT file's bytes. Empty lines after the last
// title are no titles; a title past kMaxTitles ends the load.
void ReadDat(std::string_view bytes, const char* datName, Database& db, MessageSink& sink) {
  LineReader lines(bytes);
  std::string_view line;
  bool ended = false;
  if (!lines.Next(&line, &ended)) return;
  db.datVersion.assign(line);
  if (!ended) return;
  db.datVersion += '\n';

  const size_t titles = CountLineFeeds(bytes, kMaxTitles);
  db.records.reserve(titles + 2);
  db.crcStarts.reserve(titles + 3);
  db.crcStarts.push_back(0);
  TitleReader reader(db, datName, sink);
  reader.AddEmptySlot();  // slot 0, never a title
  uint32_t index = 0, blanks = 0;
  while (lines.Next(&line, &ended)) {
    ++index;
    if (IsBlank(line)) {
      ++blanks;
      continue;
    }
    if (index > kMaxTitles) {
      sink.Print(Stream::kErr, "Too many ingredients: %u.\n", kMaxTitles + 1);
      break;
    }
    for (; blanks > 0; --blanks) reader.AddEmptyLine(index - blanks);
    reader.AddTitle(line, index);
  }
  reader.AddEmptySlot();  // the end marker
  db.recordCount = static_cast<uint32_t>(db.records.size() - 1);
  IndexTitles(db, reader.Matchable());
}

}  // namespace

bool ParseDatDecimal(std::string_view text, uint16_t* value) {
  size_t i = 0;
  bool negative = SkipSpaceAndSign(text, &i);
  const size_t first = i;
  uint16_t number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    number = static_cast<uint16_t>(number * 10 + (text[i] - '0'));
  }
  *value = negative ? static_cast<uint16_t>(-number) : number;
  return i > first;
}

bool ParseDatHex(std::string_view text, uint32_t* value) {
  size_t i = 0;
  bool negative = SkipSpaceAndSign(text, &i);
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    i += 2;
  }
  const size_t first = i;
  uint64_t number = 0;
  for (int digit; i < text.size() && (digit = HexDigit(text[i])) >= 0; ++i) {
    number = number << 4 | static_cast<uint64_t>(digit);
    if (number > 0xFFFFFFFFu) {
      *value = 0xFFFFFFFFu;
      return true;
    }
  }
  uint32_t result = static_cast<uint32_t>(number);
  *value = negative ? 0u - result : result;
  return i > first;
}

bool ReadDatabaseFile(const char* name, std::string* bytes, MessageSink& sink) {
  std::string error;
  switch (platform::ReadRegularFile(name, kMaxDatBytes, bytes, &error)) {
    case platform::ReadResult::kRead:
      return true;
    case platform::ReadResult::kMissing:
      return false;
    case platform::ReadResult::kNotRegular:
      sink.Print(Stream::kErr, "Err: %s is not a regular file\n", name);
      return false;
    case platform::ReadResult::kTooLarge:
      sink.Print(Stream::kErr, "Err: %s is larger than 256 MiB\n", name);
      return false;
    case platform::ReadResult::kFailed:
      sink.Print(Stream::kErr, "Err: Unable to read %s: %s\n", name, error.c_str());
      return false;
  }
  return false;
}

uint32_t LoadDat(Database& db, const DatFiles& files, MessageSink& sink) {
  db = Database{};
  {
    std::string bytes;
    if (!ReadDatabaseFile(files.dat, &bytes, sink)) return 0;
    try {
      ReadDat(bytes, files.dat, db, sink);
    } catch (const std::bad_alloc&) {
      db = Database{};
      sink.Print(Stream::kErr, "Err: Not enough memory to load %s\n", files.dat);
      return 0;
    }
  }
  ReadHave(db, files, sink);
  return db.recordCount;
}
