// Turning a structure handed over by another program into the MOL text that
// the MOL reader reads (ReadMolText): the "MDLCT" clipboard block of a
// structure editor, or plain MOL text. The text stays in memory: no file with
// a fixed name is written where other users could meddle with it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/message_sink.h"
#include "platform/messages.h"

namespace vuduzez {

// Which first header line the captured text gets: registration keeps the
// molecule name, search writes it empty.
enum class NameLine { kBlank, kKeep };

// The MOL file bytes of an "MDLCT" block. The block is a sequence of lines,
// each one length byte followed by that many characters. Header lines 2 and 3
// are dropped (written empty), line 1 is kept or blanked, the lines after the
// header are copied up to the "M  END" line, and "M  END" ends the file; every
// line ends in CR LF. A block cut short ends where its data ends.
std::string ConvertMdlctBlock(std::string_view block, NameLine nameLine);

// MOL text as given (file or clipboard) with its first line blanked for
// NameLine::kBlank; every other byte stays as it was.
std::string CaptureMolText(std::string_view text, NameLine nameLine);

// Whether a text is a MOL V2000 file: its fourth line is a counts line marked
// "V2000", as the reader demands.
bool LooksLikeMolV2000(std::string_view text);
// Whether a text is a MOL file the reader reads: V2000 or V3000, after a
// UTF-8 byte order mark if there is one.
bool LooksLikeMolText(std::string_view text);

// The MOL text of an "MDLCT" block. An empty block shows
// "クリップボードにデータがありません" and gives nullopt.
std::optional<std::string> CaptureStructure(std::string_view block, NameLine nameLine,
                                            MessageSink& sink);

}  // namespace vuduzez
