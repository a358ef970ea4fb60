// gzip: structure files are read as what they contain whether or not they
// were compressed (".mol.gz", ".sdf.gz").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <zlib.h>

namespace vuduzez {

// Whether bytes begin like a gzip stream (its two magic bytes).
bool LooksGzipped(std::string_view bytes);

// The content of a gzip stream (several members in a row read as one),
// refused with RuntimeError naming what when it is damaged, cut short or
// larger than maxBytes once expanded.
std::string Gunzip(std::string_view bytes, size_t maxBytes, const std::string& what);

// Expands a gzip stream piece by piece, for readers that hold one record at a
// time: Feed gives it compressed bytes, Take the bytes they expand to.
class GzipStream {
 public:
  GzipStream();
  ~GzipStream();
  GzipStream(const GzipStream&) = delete;
  GzipStream& operator=(const GzipStream&) = delete;

  // Expands from in (advancing it past what was used) into out, up to
  // out.size() bytes; returns how many were written. Throws RuntimeError
  // naming what when the stream is damaged.
  size_t Expand(std::string_view& in, char* out, size_t capacity, const std::string& what);
  // Whether the last member ended exactly at the bytes given so far.
  bool AtMemberEnd() const { return ended_; }

 private:
  z_stream z_{};
  bool ended_ = false;
};

}  // namespace vuduzez
