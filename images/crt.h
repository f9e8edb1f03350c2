// CImageCRT: a cartridge image, one stored file per CHIP packet's ROM data.
#pragma once

#include <cstdint>

#include "images/image.h"

class CImageCRT : public CImage {
 public:
  CImageCRT(uint8_t* image, uint32_t size);
  const uint8_t* next_file(uint32_t* length) override;


 protected:
  void rewind() override;

 private:
  void enter_packet(uint32_t offset);

  uint8_t* chip_ = nullptr;       // the current CHIP packet
  uint8_t* chip_data_ = nullptr;  // its ROM data, 16 bytes on
  uint32_t header_size_ = 64;     // offset of the first packet
};
