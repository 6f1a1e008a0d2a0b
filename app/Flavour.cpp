// The wizard-type string of this build; each executable compiles this file with its own value.
#include "backend/ConfigurationManager.h"

#ifndef WELVANE_WIZARD_TYPE
#error "WELVANE_WIZARD_TYPE must name the wizard type of this build"
#endif

const char* const kBuildWizardType = WELVANE_WIZARD_TYPE;
