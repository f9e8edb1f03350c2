// Bytes, and the fields writers put into them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// `value` in `width` bytes, low byte first.
inline void PutLe(Bytes& out, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// `value` in `width` bytes, high byte first.
inline void PutBe(Bytes& out, uint32_t value, int width) {
  for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// `text` cut or padded with `pad` to `width` bytes.
inline void PutText(Bytes& out, const std::string& text, size_t width, char pad = ' ') {
  for (size_t i = 0; i < width; ++i) out.push_back(i < text.size() ? text[i] : pad);
}
