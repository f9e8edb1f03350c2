// CImageT64: a tape container; each file is yielded with its load address in
// front, written into the two image bytes before the file's data.
#pragma once

#include <cstdint>

#include "images/image.h"
#include "util/messages.h"

class CImageT64 : public CImage {
 public:
  // Damage messages go to `sink`.
  CImageT64(uint8_t* image, uint32_t size, MessageSink& sink);
  const uint8_t* next_file(uint32_t* length) override;

 protected:
  void rewind() override;

 private:
  uint8_t* entry_at(uint32_t index) const;
  uint32_t data_offset(const uint8_t* slot) const;
  uint32_t measure_file();
  bool runs_past_end();
  bool lands_before_image() const;
  void advance_entry();

  MessageSink& sink_;
  uint32_t entry_count_ = 0;  // directory slots to walk, from the header
  uint8_t* entry_ = nullptr;  // the current 32-byte entry, or none past the image
  uint32_t entry_index_ = 0;  // 1-based
};
