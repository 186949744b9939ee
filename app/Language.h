// The texts of the windows by key, in the current language, from ".\Setup\Language.ini": section
// "LanguageID" holds "Count" and the display names "Language_001", "Language_002", ...; every other section
// is a text key with one entry per language display name. "||" in a text stands for a line break.
// UI thread only; the file is read again on every lookup.
#pragma once

#include <string>
#include <vector>

class CMenu;

extern int g_languageIndex;         // 0-based index of the current language
extern std::wstring g_languageName; // display name of the current language, set by every lookup

// The text of key in the current language (at most 254 characters), or empty when the file, the language
// or the key is missing. Blanks around the key are not part of it.
std::wstring LoadLanguageString(const std::wstring& key);

// The display names of the file's languages, in their order (language index 0 first).
std::vector<std::wstring> LanguageNames();

// Where a lookup also stores the current language's name (the configuration's language text); may be null.
void SetLanguageNameSink(std::wstring* sink);

// The menus of the main window relabelled from the language file: the popup menu's sub-menu 0, the skin
// menu and the file menu. The Language sub-menu (position 7 of the popup) is built from the file's
// languages the first time only (command 32888 + number, check on g_languageIndex).
void RelabelMenus(CMenu& popup, CMenu& skin, CMenu& file);
// Builds the Language sub-menu; false when it was built before.
bool BuildLanguageMenu(CMenu& languageMenu);

constexpr unsigned kLanguageMenuPlaceholder = 32887;
constexpr unsigned kLanguageMenuFirst = 32889; // language 1
constexpr unsigned kLanguageMenuLast = 32920;  // language 32: later ones are listed but do not react
