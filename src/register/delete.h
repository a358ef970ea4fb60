// Deleting a compound and bringing a deleted one back: the registration
// window's "削　除" and "復元", `vuduzez-cli delete` and `restore`. A
// deleted compound's MOL file goes into the trash folder inside the MOL
// folder (database/mol_files.h), where batch registration does not look, so
// that a later batch run of the MOL folder does not bring it back and its
// name is free for another structure; restoring moves it back and registers
// it again.
#pragma once

#include <string>

#include "model/molecule.h"
#include "platform/message_sink.h"

namespace vuduzez {

// Deletes every record whose name line is nameLine (CP932), under the
// database's exclusive lock, then moves the compound's MOL file (HitMolPath
// of its CompoundName in molFolder) into the trash folder, unless a record
// still there names the same file; shows "<name line>を削除しました" (and
// where the MOL file went). When there was no such record, shows the error
// NotInDatabaseMessage instead and moves nothing. An empty molFolder moves
// nothing. Returns the number of records removed. Throws RuntimeError on a
// file error (busy, read-only ...); the database file is then unchanged (a
// MOL file that cannot be moved stays where it is, said by the error).
int DeleteCompound(const std::string& dbPath, const std::string& molFolder,
                   const std::string& nameLine, MessageSink& sink);

enum class RestoreStatus {
  kRestored,
  kRegistered,    // the name is registered: nothing moved
  kNotInTrash,    // no MOL file of that compound in the trash
  kMolFileClash,  // the MOL folder holds another file of that name: nothing moved
  kRefused,       // moved back, but the reader or key generation refuses it: not registered
};

// Restores a deleted compound under nameLine (CP932): its MOL file moves back
// from the trash into molFolder (never over another file), is prepared as
// batch registration prepares a file (mol is used as the current molecule)
// and its record appended with every cache brought along. Shows what became
// of it ("<name line>を復元しました", or why not). Throws RuntimeError on a
// file error.
RestoreStatus RestoreCompound(const std::string& dbPath, const std::string& molFolder,
                              const std::string& nameLine, Molecule& mol, MessageSink& sink);

}  // namespace vuduzez
