#pragma once
// Applying a language to the run: the locale table, the texts of every page, and the
// configuration's record of the choice.
#include <string>
#include <vector>

class IPage;
class LanguageManager;

// Loads the table of the listed language `displayName` with the configuration's product title,
// shows the message of anything that failed, re-texts `pages` in order and records the language
// and its locale code in the configuration. False, with no page re-texted and nothing recorded,
// when the language is not listed or its document cannot be read.
bool ApplyLanguageToPages(LanguageManager& manager, const std::wstring& displayName, const std::vector<IPage*>& pages);
