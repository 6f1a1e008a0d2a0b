#include "backend/PathTokens.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "backend/TokenExpansion.h"
#include "machine/KnownFolder.h"
#include "machine/Wow64.h"

namespace {

// Each token is inserted once; a later insertion does not replace it.
void Insert(PathTokenTable& table, const std::wstring& token, const std::wstring& folder) {
  const bool present =
      std::any_of(table.begin(), table.end(), [&](const auto& entry) { return entry.first == token; });
  if (!present) table.emplace_back(token, folder);
}

}  // namespace

void BuildPathTokens(PathTokenTable& tokens, PathTokenTable& tokens64) {
  // The value of "commonpf" is itself a token, expanded later in the same walk.
  Insert(tokens, L"commonpf", IsWow64() ? L"{commonpf64}" : L"{commonpf32}");
  Insert(tokens, L"localappdata", GetKnownFolder(FOLDERID_LocalAppData));
  Insert(tokens, L"commonappdata", GetKnownFolder(FOLDERID_RoamingAppData));
  Insert(tokens, L"programdata", GetKnownFolder(FOLDERID_ProgramData));
  Insert(tokens, L"commonpf32", GetKnownFolder(FOLDERID_ProgramFilesX86));
  if (IsWow64()) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"ProgramW6432", buffer, MAX_PATH);
    if (length >= 1 && length <= MAX_PATH - 1) {
      Insert(tokens, L"commonpf64", buffer);
      Insert(tokens64, L"commonpf64", buffer);
    }
  }
}

std::wstring ExpandPathTokens(std::wstring text, const PathTokenTable& tokens) {
  return ExpandTokens(std::move(text), tokens);
}
