// Stand-in audit until the image readers and the archive reader arrive.
#include "audit/audit.h"

#include <cstdio>

uint32_t AuditFile(const AuditContext&, const std::string&, const std::string&,
                   RunFlags) {
  fputs(".", stderr);
  return 1;
}
