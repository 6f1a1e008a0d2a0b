#pragma once
// How a download into a folder ended.
#include <string>

struct DownloadResult {
  bool ok = false;
  // The error text; on success it may still hold the text of a failed first transport.
  std::wstring text;
  std::wstring path;  // the saved file's full path when ok
};
