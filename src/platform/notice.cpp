#include "platform/notice.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace vuduzez {

namespace {

thread_local MessageSink* scopeSink = nullptr;

// Whether text is said for the first time in this process.
bool FirstTime(const std::string& text) {
  static std::mutex mutex;
  static std::set<std::string> said;
  std::lock_guard<std::mutex> lock(mutex);
  return said.insert(text).second;
}

}  // namespace

void NoticeOnStderr(const std::string& text) {
  std::fprintf(stderr, "vuduzez: %s\n", text.c_str());
  std::fflush(stderr);
}

void Notice(const std::string& text) {
  if (!FirstTime(text)) return;
  if (scopeSink != nullptr) {
    scopeSink->Notice(text);
  } else {
    NoticeOnStderr(text);
  }
}

void MessageSink::Notice(const std::string& text) { NoticeOnStderr(text); }

NoticeScope::NoticeScope(MessageSink& sink) : previous_(scopeSink) { scopeSink = &sink; }

NoticeScope::~NoticeScope() { scopeSink = previous_; }

}  // namespace vuduzez
