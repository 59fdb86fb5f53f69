// Reading a fuzzer's bytes as a stream of small decisions, and a check that
// names what went wrong before it aborts, so a crash report says which
// property broke and on what.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace zantor::fuzz {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }
  size_t left() const { return size_ - pos_; }

  // Past the end every read gives 0, so short inputs still decode.
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  bool Bit() { return (Byte() & 1) != 0; }
  int Below(int n) { return static_cast<int>(Byte() % static_cast<unsigned>(n)); }
  int32_t Int32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return static_cast<int32_t>(v);
  }

  // Up to `max` raw bytes, the count taken from the stream first.
  std::string Bytes(size_t max) {
    const size_t n = std::min<size_t>(Byte() % (max + 1), left());
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  std::string Rest() {
    std::string s(reinterpret_cast<const char*>(data_ + pos_), left());
    pos_ = size_;
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Bytes shown with C escapes, so that a report stays on one line.
inline std::string Printable(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out;
}

[[noreturn]] inline void Fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "\nfuzz check failed: %s\n  %s\n", what, Printable(detail).c_str());
  std::abort();
}

inline void Require(bool ok, const char* what, std::string_view detail = {}) {
  if (!ok) Fail(what, detail);
}

}  // namespace zantor::fuzz
