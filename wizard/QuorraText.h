// The wizard's texts by key (IDS_... for titles and messages, IDC_... for the labels of controls) from
// ".\Quorra.ini": section "LanguageID" holds "Count" and the display names "Language_001",
// "Language_002", ...; every other section is a key with one entry per language display name; "||" in a
// text is a line break. The language is the one ".\configure.ini" names in [Wizard] "Language" (in any
// case), or the first of Quorra.ini when it names none or one that Quorra.ini does not have. The same file
// lists the dynamic-DNS providers. UI thread only; the files are read again on every call.
#pragma once

#include <string>
#include <vector>

// The text of key in the current language; empty when the file, the language or the key is missing.
std::wstring LoadQuorraString(const std::wstring& key);
// The display name of the current language.
std::wstring QuorraLanguage();

// The dynamic-DNS providers of ".\configure.ini" [ISP] ("Count", "ISP_001", ...), in their order: the box
// knows each by its place in this list (the first is 1).
std::vector<std::wstring> LoadIspList();
