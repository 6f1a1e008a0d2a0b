#pragma once
// Folder tokens in offer rules: "{commonpf}\Vendor\app.exe" and the like.
#include <string>
#include <utility>
#include <vector>

// Token name (without braces) to folder, in the order the table is applied.
using PathTokenTable = std::vector<std::pair<std::wstring, std::wstring>>;

// Builds both tables for this machine: all tokens, and the 64-bit-only ones.
void BuildPathTokens(PathTokenTable& tokens, PathTokenTable& tokens64);

// Replaces every "{token}" by its folder, one pass per token in table order; unknown tokens stay.
std::wstring ExpandPathTokens(std::wstring text, const PathTokenTable& tokens);
