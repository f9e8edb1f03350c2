// The audit of one file: read it (or each image in a ZIP archive), list the
// files in its images, take their CRCs, and report by the run's options.
#pragma once

#include <cstdint>
#include <string>

#include "database/dat.h"
#include "images/image.h"
#include "run/options.h"

// What an audit reads besides the file: the run's profile and database.
struct AuditContext {
  const SystemProfile& profile;
  Database& database;
};

// The largest image read into memory, far above any C64 or Amiga image; a
// declared size above it is taken as damage, not allocated.
constexpr uint32_t kMaxImageSize = 256u << 20;

// Audits `directory` + `name` (`directory` ends in the separator or is empty).
// 1 when the file was audited to its end, 32 when no reader could be made for
// it or one of its images. Never 0.
uint32_t AuditFile(const AuditContext& context, const std::string& name,
                   const std::string& directory, RunFlags flags);

// The length of the shorter string when one is a case-insensitive prefix of
// the other, else 0 (0 also when either is empty).
uint32_t CompareExtension(const char* subject, const char* pattern);

// The index of the first table entry that `extension` matches, or 0.
ImageType FindImageType(const SystemProfile& profile,
                        const std::string& extension);
