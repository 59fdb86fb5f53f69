#include "platform/text/gbk.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace zantor::platform {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    // glibc always carries GBK; its absence means a broken installation.
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert GBK");
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of `in`; on an unconvertible or malformed sequence asks
  // `skip` how many input bytes to pass over and writes one '?' instead.
  template <typename Skip>
  std::string Run(std::string_view in, size_t capacity, Skip skip) {
    std::string out(capacity, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t used = 0;
    while (srcLeft > 0) {
      char* dst = out.data() + used;
      size_t dstLeft = out.size() - used;
      const size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      used = out.size() - dstLeft;
      if (rc != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2 + 16);
        continue;
      }
      // EILSEQ, or EINVAL for a sequence cut off at the end of the text.
      const size_t n = std::min(skip(std::string_view(src, srcLeft)), srcLeft);
      src += n;
      srcLeft -= n;
      if (used == out.size()) out.resize(out.size() * 2 + 16);
      out[used++] = '?';
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
  }

 private:
  iconv_t cd_;
};

// Length of the UTF-8 sequence at the front of `s` when it is well formed,
// else 1, so that a stray byte costs one '?' and a whole character also one.
size_t Utf8SequenceLength(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  size_t n = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
  } else {
    return 1;
  }
  if (s.size() < n) return 1;
  for (size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

}  // namespace

std::string ToGbk(std::string_view utf8) {
  // Every GBK character is at most as long as its UTF-8 form.
  Converter c("GBK", "UTF-8");
  return c.Run(utf8, utf8.size(), Utf8SequenceLength);
}

std::string FromGbk(std::string_view gbk) {
  // Two GBK bytes become at most three UTF-8 bytes.
  Converter c("UTF-8", "GBK");
  return c.Run(gbk, gbk.size() + gbk.size() / 2 + 4, [](std::string_view) { return size_t{1}; });
}

}  // namespace zantor::platform
