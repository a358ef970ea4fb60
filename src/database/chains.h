// Chain abbreviation rewrite: runs of two to six "C@" become "X2".."X6", runs of
// two to six "C-" become "Y2".."Y6", in the key line of every record of the
// database file. Name, weight and formula lines stay as they are: a name line
// names its MOL file, and rewriting it ("C-C-C-C-amine.mol" to "Y4amine.mol")
// would lose the file. Query keys are never abbreviated, so searches no
// longer match rewritten runs.
#pragma once

#include <string>

#include "platform/files.h"
#include "platform/message_sink.h"
#include "platform/messages.h"

namespace vuduzez {

// One line with the ten replacements applied in order, leftmost first.
std::string AbbreviateChains(std::string line);

// Rewrites the database file under its exclusive lock through
// RewriteDatabaseFile, reading it as every reader does (RecordStream: blank
// lines between records kept as empty lines, a byte-order mark kept, every
// line written with CR LF), then shows kRewriteFinished. Returns the number of
// key lines that changed. Throws RuntimeError on a file error, with the database
// unchanged.
int RewriteChains(const std::string& dbPath, MessageSink& sink, const ReplaceFault& fault = {});

}  // namespace vuduzez
