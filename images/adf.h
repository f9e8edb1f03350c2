// The Amiga disk image reader: the whole disk is its one stored file.
#pragma once

#include <cstdint>
#include <memory>

#include "images/image.h"

// Reads a plain disk image (ADF) or a gzip-compressed one (ADZ), told apart
// by content; the inflated copy belongs to the reader.
class CImageADF : public CImage {
 public:
  CImageADF(uint8_t* image, uint32_t size);
  const uint8_t* next_file(uint32_t* length) override;

  std::unique_ptr<uint8_t[]> inflated;  // the inflated image, if compressed

 protected:
  void rewind() override;
};
