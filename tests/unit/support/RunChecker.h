#pragma once
// What the wizard gives an eligibility pass of the run: this program's version and folder tokens.
#include <string>

#include "backend/ConfigurationManager.h"
#include "backend/PathTokens.h"

inline std::wstring RunProgramVersion() { return ConfigurationManager::GetInstance()->m_programVersion; }
inline PathTokenTable RunPathTokens() { return ConfigurationManager::GetInstance()->GetPathTokens(); }
