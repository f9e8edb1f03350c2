// CImageP00: a PC64 file, one stored file behind a 26-byte header.
#pragma once

#include <cstdint>

#include "images/image.h"

class CImageP00 : public CImage {
 public:
  // Length of the "C64File" header in front of the stored file.
  static constexpr uint32_t kHeaderSize = 26;

  CImageP00(uint8_t* image, uint32_t size);
  const uint8_t* next_file(uint32_t* length) override;

 protected:
  void rewind() override;
};
