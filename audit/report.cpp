// Dump lines and info blocks.
#include "audit/report.h"

#include <cstdio>

void WriteDumpLine(const std::string& name, const CrcSet& crcs) {
  printf("%s;;;;", name.c_str());
  printf(";%03u", static_cast<unsigned>(crcs.size()));
  for (uint32_t crc : crcs) printf(";%08X", crc);
  putchar('\n');
}

void WriteInfoBlock(const std::string& fullPath, const DatRecord& record) {
  printf("\n____________\n%s\nGame: %-50s Crack: %s-%s\nPublisher: %-20s Date: ",
         fullPath.c_str(), record.name.c_str(), record.crackNote.c_str(),
         record.crackName.c_str(), record.publisher.c_str());
  if (record.date != 0) printf("%-5u", static_cast<unsigned>(record.date));
}
