// CImageRaw: a PRG or TAP image, which is itself the one stored file.
#pragma once

#include <cstdint>

#include "images/image.h"

class CImageRaw : public CImage {
 public:
  CImageRaw(uint8_t* image, uint32_t size);
  const uint8_t* next_file(uint32_t* length) override;

 protected:
  void rewind() override;
};
