#include "platform/compress.h"

#include <algorithm>

#include "platform/errors.h"
#include "platform/messages.h"

namespace vuduzez {

bool LooksGzipped(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
         static_cast<unsigned char>(bytes[1]) == 0x8b;
}

GzipStream::GzipStream() {
  // 16 + MAX_WBITS: a gzip header and trailer around the deflate data.
  if (inflateInit2(&z_, 16 + MAX_WBITS) != Z_OK) throw RuntimeError(kGzipDamaged);
}

GzipStream::~GzipStream() { inflateEnd(&z_); }

size_t GzipStream::Expand(std::string_view& in, char* out, size_t capacity,
                          const std::string& what) {
  size_t written = 0;
  while (written < capacity) {
    if (ended_) {
      if (in.empty()) break;
      inflateReset(&z_);  // another member follows the one that ended
      ended_ = false;
    }
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z_.avail_in = static_cast<uInt>(std::min<size_t>(in.size(), size_t{1} << 30));
    z_.next_out = reinterpret_cast<Bytef*>(out + written);
    z_.avail_out = static_cast<uInt>(std::min<size_t>(capacity - written, size_t{1} << 30));
    const uInt before = z_.avail_in;
    const uInt room = z_.avail_out;
    const int rc = inflate(&z_, Z_NO_FLUSH);
    const size_t used = before - z_.avail_in;
    const size_t made = room - z_.avail_out;
    in.remove_prefix(used);
    written += made;
    if (rc == Z_STREAM_END) {
      ended_ = true;
    } else if (rc == Z_BUF_ERROR || (rc == Z_OK && used == 0 && made == 0)) {
      break;  // more input is needed
    } else if (rc != Z_OK) {
      throw RuntimeError(std::string(kGzipDamaged) + ": " + what);
    }
  }
  return written;
}

std::string Gunzip(std::string_view bytes, size_t maxBytes, const std::string& what) {
  GzipStream stream;
  std::string out;
  std::string_view in = bytes;
  char buf[1 << 15];
  for (;;) {
    const size_t n = stream.Expand(in, buf, sizeof buf, what);
    if (n == 0) break;
    if (out.size() + n > maxBytes) throw RuntimeError(std::string(kGzipTooLarge) + ": " + what);
    out.append(buf, n);
  }
  if (!stream.AtMemberEnd() || !in.empty()) {
    throw RuntimeError(std::string(kGzipDamaged) + ": " + what);
  }
  return out;
}

}  // namespace vuduzez
