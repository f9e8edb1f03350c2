// The Amiga disk image reader: the whole disk is its one stored file.
#pragma once

#include <cstdint>
#include <memory>

#include "images/raw.h"

// Reads a plain disk image (ADF) or a gzip-compressed one (ADZ), told apart
// by content; the inflated copy belongs to the reader. Lists like a PRG.
class CImageADF : public CImageRaw {
 public:
  CImageADF(uint8_t* image, uint32_t size);

  std::unique_ptr<uint8_t[]> inflated;  // the inflated image, if compressed
};
