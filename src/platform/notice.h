// One-line notices about how the system keeps its files: a cache it would not
// trust, an append a killed run left half-written and that was taken back.
// Neither a question nor an error: the action goes on. Each distinct text is
// said once per process, on stderr, or to the sink of a NoticeScope.
#pragma once

#include <string>

#include "platform/message_sink.h"

namespace vuduzez {

void Notice(const std::string& text);

// While one lives, the notices of this thread go to sink.Notice.
class NoticeScope {
 public:
  explicit NoticeScope(MessageSink& sink);
  ~NoticeScope();
  NoticeScope(const NoticeScope&) = delete;
  NoticeScope& operator=(const NoticeScope&) = delete;

 private:
  MessageSink* previous_;
};

// The line Notice writes to stderr without a scope (and MessageSink::Notice
// by default).
void NoticeOnStderr(const std::string& text);

}  // namespace vuduzez
