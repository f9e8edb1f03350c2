// CImageT64: walks the tape directory; a file reaches from its data offset to
// the data offset of the following slot, or to the end of the image.
#include "images/t64.h"

#include <climits>

#include "util/little_endian.h"

static constexpr uint32_t kCountOffset = 0x22;
static constexpr uint32_t kDirOffset = 0x40;
static constexpr uint32_t kEntrySize = 32;
static constexpr uint32_t kNameOffset = 16;

CImageT64::CImageT64(uint8_t* image, uint32_t size, MessageSink& sink) : sink_(sink) {
  image_data = image;
  image_size = size;
  image_end = image + size;
  rewind();
}

// None for an entry that does not lie wholly inside the image.
uint8_t* CImageT64::entry_at(uint32_t index) const {
  uint64_t offset = kDirOffset + static_cast<uint64_t>(index - 1) * kEntrySize;
  if (offset + kEntrySize > image_size) return nullptr;
  return image_data + offset;
}

// An entry outside the image reads as a free slot.
uint32_t CImageT64::data_offset(const uint8_t* slot) const {
  return slot == nullptr ? 0 : ReadLe32(slot + 8);
}

// Unlike later entries, the first is not tested against the image size; it
// gets only the past-the-end test and the skip of data offsets 0 and 1.
void CImageT64::rewind() {
  entry_index_ = 1;
  entry_ = entry_at(1);
  entry_count_ = image_size >= kCountOffset + 2 ? ReadLe16(image_data + kCountOffset) : 0;
  measure_file();
  if (runs_past_end()) return;
  if (lands_before_image()) advance_entry();
}

uint32_t CImageT64::measure_file() {
  uint32_t start = data_offset(entry_);
  uint32_t end = image_size;
  if (entry_index_ < entry_count_) {
    uint32_t following = data_offset(entry_at(entry_index_ + 1));
    if (following != 0) end = following;
  }
  uint32_t span = end - start;
  if (span > image_size) {  // the following data lies before this one
    next_file_size = 0;
    error_flags |= IMGERR_BAD_LINK;
  } else {
    next_file_size = span;
  }
  if (next_file_size != 0) next_file_size += 2;  // the load address
  return next_file_size;
}

// Ends the listing at a file that would run past the end of the image. The
// name runs on to the next zero byte, but never past the image.
bool CImageT64::runs_past_end() {
  if (next_file_size == 0) return false;
  uint64_t end = static_cast<uint64_t>(next_file_size) + data_offset(entry_) - 2;
  if (end <= image_size) return false;
  const uint8_t* name = entry_ + kNameOffset;
  long room = image_end - name;
  sink_.Print(Stream::kErr, "Err: file %.*s exceeds tape\n", room > INT_MAX ? INT_MAX : static_cast<int>(room),
              reinterpret_cast<const char*>(name));
  error_flags |= IMGERR_PAST_END;
  next_file_size = 0;
  return true;
}

// A data offset of 0 or 1 would put the load address in front of the image;
// such an entry is skipped like a free slot. Only when its size exceeds the
// image is it kept, for next_file's guard to refuse.
bool CImageT64::lands_before_image() const {
  return data_offset(entry_) <= 1 && next_file_size != 0 && next_file_size <= image_size;
}

void CImageT64::advance_entry() {
  while (entry_index_ < entry_count_) {
    ++entry_index_;
    entry_ = entry_at(entry_index_);
    uint32_t offset = data_offset(entry_);
    if (offset == 0 || offset > image_size) continue;
    measure_file();
    if (runs_past_end()) return;
    if (lands_before_image()) continue;
    if (next_file_size != 0) return;  // a span of 0, or a bad link, is passed over
  }
  next_file_size = 0;
}

const uint8_t* CImageT64::next_file(uint32_t* length) {
  if (next_file_size == 0) {
    *length = 0;
    return nullptr;
  }
  if (next_file_size > image_size) {
    next_file_size = 0;
    sink_.Write(Stream::kErr,
                "\nErr: Not supposed to be here CImageT64::next_file()\n"
                "\tif(next_file_size > image_size)\n");
    error_flags |= IMGERR_TOO_BIG;
    *length = 0;
    return nullptr;
  }
  *length = next_file_size;
  uint8_t* file = image_data + data_offset(entry_) - 2;
  file[0] = entry_[2];
  file[1] = entry_[3];
  advance_entry();
  return file;
}
