// The registered structures for the commands that compare with them, made
// with their progress on stderr (cli/progress_sink.h).
#pragma once

#include "cli/progress_sink.h"
#include "cli/workspace.h"
#include "platform/errors.h"
#include "search/sound_search.h"

namespace vuduzez::cli {

// The sound index of the workspace's database for its MOL folder, made or
// brought up to date with its progress on stderr, for the commands that
// compare structures with the registered ones; false (and the state left
// unready) when there is no MOL folder or the database cannot be read (the
// command then says so itself).
inline bool PrepareRegistered(SoundState& state, const Workspace& ws) {
  if (ws.settings.basedir1.empty()) return false;
  ProgressSink progress("sound index: MOL files read");
  try {
    return PrepareSoundIndex(state, ws.settings.mdatafilename, ws.settings.basedir1, progress);
  } catch (const RuntimeError&) {
    return false;
  }
}

}  // namespace vuduzez::cli
