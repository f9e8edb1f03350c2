// CImageCRT: walks the CHIP packets that follow the 64-byte cartridge header.
#include "images/crt.h"

#include <cstring>

static constexpr uint32_t kPacketHeaderSize = 16;

// Byte 14 is read as a signed number, so a high byte of 0x80 or more wraps to
// a size larger than any image; the upper nibble of byte 15 is dropped.
static uint32_t RomSize(const uint8_t* packet) {
  int32_t size = static_cast<int8_t>(packet[14]) * 256 + (packet[15] & 0x0F);
  return static_cast<uint32_t>(size);
}

CImageCRT::CImageCRT(uint8_t* image, uint32_t size) {
  image_data = image;
  image_size = size;
  image_end = image + size;
  rewind();
}

// The first packet's signature is not looked at.
void CImageCRT::rewind() {
  if (image_size < header_size_) {
    chip_ = chip_data_ = image_end;
    next_file_size = 0;
    return;
  }
  enter_packet(header_size_);
}

// Makes the packet at `offset` (at most image_size) current. A packet whose
// header or ROM data does not lie wholly inside the image gets size 0, so the
// listing ends before it.
void CImageCRT::enter_packet(uint32_t offset) {
  chip_ = image_data + offset;
  chip_data_ = chip_;
  next_file_size = 0;
  uint32_t room = image_size - offset;
  if (room < kPacketHeaderSize) return;
  chip_data_ = chip_ + kPacketHeaderSize;
  uint32_t size = RomSize(chip_);
  if (size <= room - kPacketHeaderSize) next_file_size = size;
}

// A packet is yielded only once the bytes behind it are seen to be the end of
// the image or another "CHIP" packet; anything else ends the listing and
// costs the packet already in hand.
const uint8_t* CImageCRT::next_file(uint32_t* length) {
  if (next_file_size == 0) {
    *length = 0;
    return nullptr;
  }
  *length = next_file_size;
  const uint8_t* file = chip_data_;
  uint32_t next = static_cast<uint32_t>(chip_data_ - image_data) + next_file_size;
  if (next >= image_size) {
    chip_ = image_end;
    next_file_size = 0;
    return file;
  }
  enter_packet(next);
  if (image_end - chip_ >= 4 && std::memcmp(chip_, "CHIP", 4) == 0) return file;
  return nullptr;
}
