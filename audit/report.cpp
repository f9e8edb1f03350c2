// Dump lines, info blocks and plan lines.
#include "audit/report.h"

#include <algorithm>
#include <cstdio>

namespace {

// A ';' in the name would start a new field and a line end a new record;
// they and every other control character are written as '_', so that the
// line stays one record of the DAT file.
std::string DumpName(const std::string& name) {
  std::string field = name;
  for (char& c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ';' || byte < 0x20 || byte == 0x7F) c = '_';
  }
  return field;
}

}  // namespace

void WriteDumpLine(MessageSink& out, const std::string& name,
                   const std::vector<uint32_t>& crcs) {
  std::string line = DumpName(name) + ";;;;";
  char field[16];
  snprintf(field, sizeof field, ";%03u", static_cast<unsigned>(crcs.size()));
  line += field;
  for (uint32_t crc : crcs) {
    snprintf(field, sizeof field, ";%08X", crc);
    line += field;
  }
  line += '\n';
  out.Write(Stream::kOut, line);
}

void WriteInfoBlock(MessageSink& out, const std::string& fullPath,
                    const DatRecord& record) {
  out.Print(Stream::kOut,
            "\n____________\n%s\nGame: %-50s Crack: %s-%s\nPublisher: %-20s Date: ",
            fullPath.c_str(), record.name.c_str(), record.crackNote.c_str(),
            record.crackName.c_str(), record.publisher.c_str());
  if (record.date != 0) out.Print(Stream::kOut, "%-5u", static_cast<unsigned>(record.date));
}

void WriteNearBlock(MessageSink& out, const std::string& fullPath,
                    const std::string& canonicalName, const NearMatch& near) {
  out.Print(Stream::kOut, "\n____________\n%s\nNear: %s (%u of %u files", fullPath.c_str(),
            canonicalName.c_str(), near.shared, near.titleFiles);
  if (near.extra != 0) out.Print(Stream::kOut, "; %u extra", near.extra);
  out.Write(Stream::kOut, ")");
}

void WritePlanLine(MessageSink& out, const std::string& path, const FileOutcome& outcome) {
  const Identification& identification = outcome.identification;
  const std::string target = identification.target.substr(
      std::min(identification.target.size(), FolderOf(path).size()));
  switch (identification.placement) {
    case Placement::kRen:
    case Placement::kDupes:
      out.Print(Stream::kOut, "would move %s -> %s\n", path.c_str(), target.c_str());
      return;
    case Placement::kInPlace:
      out.Print(Stream::kOut, "would rename %s -> %s\n", path.c_str(), target.c_str());
      return;
    case Placement::kStayed:
      out.Print(Stream::kOut, "would stay: %s (%s)\n", path.c_str(),
                identification.reason.c_str());
      return;
    case Placement::kNone:
      out.Print(Stream::kOut, "would stay: %s (%s)\n", path.c_str(), VerdictName(outcome.verdict));
      return;
  }
}
