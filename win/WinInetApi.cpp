#include "win/WinInetApi.h"

namespace win {

WinInetApi::WinInetApi() { WIN_WININET_FUNCTIONS(WIN_SYSTEM_FUNCTION_FIND) }

const WinInetApi& WinInet() {
  static const WinInetApi api;
  return api;
}

}  // namespace win
