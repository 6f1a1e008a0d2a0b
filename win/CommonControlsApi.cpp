#include "win/CommonControlsApi.h"

namespace win {

CommonControlsApi::CommonControlsApi() { WIN_COMMON_CONTROLS_FUNCTIONS(WIN_SYSTEM_FUNCTION_FIND) }

const CommonControlsApi& CommonControls() {
  static const CommonControlsApi api;
  return api;
}

}  // namespace win
