// The system's texts are bytes in the ANSI code page of the original, CP932
// (Shift-JIS). Conversion to and from UTF-8 happens only at the edges: file
// names from the file system, texts shown in windows or printed by the CLI.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vuduzez {

// CP932 bytes to UTF-8. Bytes that are not valid CP932 become U+FFFD, so the
// result is always printable.
std::string AnsiToUtf8(const std::string& ansi);

// UTF-8 to CP932; nullopt when a character has no CP932 form.
std::optional<std::string> Utf8ToAnsi(const std::string& utf8);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view s);

}  // namespace vuduzez
