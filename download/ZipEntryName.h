#pragma once
// Pure rules for the names of ZIP archive entries: how their bytes become text, and where under the
// unpacking folder an entry may go. No file access, so every rule can be tested on its own.
#include <optional>
#include <string>
#include <string_view>

// The general-purpose flag bit that says an entry's name (and comment) is UTF-8.
inline constexpr unsigned long kZipUtf8NameFlag = 1ul << 11;

// The text of an entry name as stored: UTF-8 when `utf8` (the entry has kZipUtf8NameFlag), code
// page 437 otherwise (the original IBM PC set, which ZIP tools use when they do not say UTF-8).
// Returns nothing for UTF-8 that is not well-formed (overlong forms, surrogates, truncated
// sequences, values past U+10FFFF), so such a name is refused rather than guessed at.
std::optional<std::wstring> DecodeZipEntryName(std::string_view raw, bool utf8);

// Where an entry goes, relative to the unpacking folder.
struct ZipEntryTarget {
  std::wstring relativePath;  // components joined by '\'; empty only for a folder entry naming the folder itself
  bool isDirectory = false;   // the name ended in a separator
};

// The target of a decoded entry name, or nothing when the entry is refused. "/" and "\" both
// separate. Refused: an empty name, a name that starts with a separator (absolute or UNC), a ":"
// anywhere (drive letters, alternate data streams), a ".." component, and any component that
// IsSafeFileName refuses (device names such as "nul.txt" or "COM1", reserved characters, control
// characters, a trailing dot or blank, more than 255 characters). "." components and doubled
// separators are dropped; a file entry must keep at least one component.
std::optional<ZipEntryTarget> ZipEntryTargetFor(std::wstring_view name);
