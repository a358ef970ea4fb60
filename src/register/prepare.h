// Preparing a structure: read a MOL file, complete it with implicit hydrogens,
// formula and weight, and make its structure key. Every front end prepares a
// structure this way: the search and registration windows, batch
// registration, the CLI, benchmarks and fuzz targets.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "model/molecule.h"
#include "platform/message_sink.h"

namespace vuduzez {

enum class PrepareStatus {
  kNone,       // nothing prepared yet
  kReady,      // read, completed and keyed
  kRefused,    // the reader refused the file (nothing else was done)
  kKeyFailed,  // read and completed, but no key could be made
};

// What preparing gave. The texts are the molecule's (CP932) as far as the
// steps got: the name after the read, formula and weight after completion,
// the key only when ready.
struct PreparedStructure {
  PrepareStatus status = PrepareStatus::kNone;
  std::string reason;  // why it is not ready, as shown (UTF-8)
  int line = 0;        // kRefused: the line of the MOL file the reader stopped at
  std::string name;    // molname: the first header line before its first "."
  std::string formula;
  std::string weight;
  std::string key;
  // The MOL text read (as the reader got it: the clipboard's converted block
  // or the file's bytes, expanded when gzip-compressed and written as V2000
  // when it was V3000); the store writes it as the compound's MOL file.
  std::string molText;
  // Why registration must refuse the structure although it could be read and
  // keyed: it holds what only a search query can (a query atom, an atom list,
  // a query bond). UTF-8; empty for a plain structure.
  std::string queryFeature;
  // Explicit hydrogens left out of the key: the key failed with them at the
  // path limit and was made again without them (0 when it was not).
  int hydrogensLeftOut = 0;

  bool ready() const { return status == PrepareStatus::kReady; }
  explicit operator bool() const { return ready(); }
  // The program's keyfail flag after this preparation ("T" when the key failed).
  const char* keyfail() const { return status == PrepareStatus::kKeyFailed ? "T" : "F"; }
};

// Called once the structure is read and completed, before its key is made: a
// window shows name, formula and weight there, so that they stand while a key
// message is up.
using CompletedHook = std::function<void()>;

// Prepares the structure of a MOL file in mol (the program's current molecule,
// whose tables the drawing and the search use afterwards). The reader's and
// key generation's messages go to sink as they arise. A file that cannot be
// read or a field that is not a number raises RuntimeError (with its line).
PreparedStructure PrepareMolFile(Molecule& mol, const std::string& path, MessageSink& sink,
                                 const CompletedHook& completed = {});

// The same on the bytes of a MOL file already in memory.
PreparedStructure PrepareMolText(Molecule& mol, std::string_view text, MessageSink& sink,
                                 const CompletedHook& completed = {});

// The same on a SMILES (see ReadSmiles): a bad SMILES is refused with the
// position of its fault, shown through sink.
PreparedStructure PrepareSmiles(Molecule& mol, std::string_view smiles, MessageSink& sink,
                                const CompletedHook& completed = {});

}  // namespace vuduzez
