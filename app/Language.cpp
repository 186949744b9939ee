#include "app/Language.h"
#include "app/LanguageHooks.h"

#include "platform/mfc/Menu.h"
#include "platform/win32/Profile.h"

#include <cstdio>
#include <vector>

int g_languageIndex = 0;
std::wstring g_languageName;

namespace {

constexpr const wchar_t* kLanguageFile = L".\\Setup\\Language.ini";
std::wstring* g_nameSink = nullptr;
bool g_languageMenuBuilt = false;

std::wstring readText(const std::wstring& section, const std::wstring& key, DWORD bufferSize) {
    std::vector<wchar_t> buffer(bufferSize, L'\0');
    const DWORD n =
        GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer.data(), bufferSize, kLanguageFile);
    return std::wstring(buffer.data(), n);
}

std::wstring languageKey(int number) {
    wchar_t key[32];
    std::swprintf(key, 32, L"Language_%.3d", number);
    return key;
}

struct Label {
    unsigned id;
    const wchar_t* key;
};

constexpr Label kPopupItems[] = {
    {32772, L"KQ_S_MENU_STOP"},      {32776, L"KQ_S_MENU_PLAY"},      {32778, L"KQ_S_MENU_RECORD"},
    {32780, L"KQ_S_MENU_SNAP"},      {32782, L"KQ_S_MENU_SCHEDULE"},  {32785, L"KQ_S_MENU_SRC_TV"},
    {32786, L"KQ_S_MENU_SRC_CV"},    {32787, L"KQ_S_MENU_SRC_SV"},    {32797, L"KQ_S_MENU_ASPECT_FREE"},
    {32798, L"KQ_S_MENU_ASPECT_43"}, {32799, L"KQ_S_MENU_ASPECT_WS"}, {32866, L"KQ_S_MENU_TOPMOST"},
    {32805, L"KQ_S_MENU_MUTE"},      {32807, L"KQ_S_MENU_SETTING"},   {32809, L"KQ_S_MENU_OSD"},
    {32863, L"KQ_S_MENU_UPDATE"},    {32881, L"KQ_S_MENU_TRANFILE"},
};
constexpr Label kPopupPositions[] = {
    {5, L"KQ_S_MENU_SRC"}, {6, L"KQ_S_MENU_CHANNELS"}, {7, L"KQ_S_MENU_LANG"}, {8, L"KQ_S_MENU_ASPECT"}};
constexpr Label kSkinItems[] = {
    {32868, L"KQ_S_COLOR_GRAY"},   {32869, L"KQ_S_COLOR_GREEN"},        {32870, L"KQ_S_COLOR_ORANGE"},
    {32871, L"KQ_S_COLOR_PINK"},   {32872, L"KQ_S_COLOR_PURPLISHPINK"}, {32873, L"KQ_S_COLOR_CYAN"},
    {32874, L"KQ_S_COLOR_PURPLE"}, {32875, L"KQ_S_COLOR_BABYBLUE"},
};
constexpr Label kFileItems[] = {{32883, L"KQ_S_MENU_OPENBOXFILE"}, {32884, L"KQ_S_MENU_OPENLOCALFILE"}};

void relabel(CMenu& menu, const Label* begin, const Label* end) {
    for (const Label* l = begin; l != end; ++l)
        menu.ModifyMenu(l->id, MF_BYCOMMAND, l->id, LoadLanguageString(l->key));
}

} // namespace

std::wstring LoadLanguageString(const std::wstring& key) {
    g_languageName = readText(L"LanguageID", languageKey(g_languageIndex + 1), 128);
    if (g_nameSink)
        *g_nameSink = g_languageName;
    // Some callers' keys end in a blank ("KQ_S_TASK_NOTE "); a section is named without it.
    const std::size_t first = key.find_first_not_of(L" \t");
    const std::wstring section = first == std::wstring::npos
                                     ? std::wstring()
                                     : key.substr(first, key.find_last_not_of(L" \t") - first + 1);
    std::wstring text = readText(section, g_languageName, 255);
    for (std::size_t at = text.find(L"||"); at != std::wstring::npos; at = text.find(L"||", at + 2))
        text.replace(at, 2, L"\r\n");
    return text;
}

void SetLanguageNameSink(std::wstring* sink) {
    g_nameSink = sink;
}

std::vector<std::wstring> LanguageNames() {
    const int count = static_cast<int>(GetPrivateProfileIntW(L"LanguageID", L"Count", 0, kLanguageFile));
    std::vector<std::wstring> names;
    for (int i = 1; i <= count && i < 0x7FFF; ++i)
        names.push_back(readText(L"LanguageID", languageKey(i), 255));
    return names;
}

bool BuildLanguageMenu(CMenu& languageMenu) {
    if (g_languageMenuBuilt)
        return false;
    g_languageMenuBuilt = true;
    languageMenu.DeleteMenu(0, MF_BYPOSITION);
    const std::vector<std::wstring> names = LanguageNames();
    for (std::size_t i = 0; i < names.size(); ++i)
        languageMenu.AppendMenu(MF_STRING, kLanguageMenuFirst + static_cast<unsigned>(i), names[i]);
    languageMenu.CheckMenuItem(static_cast<UINT>(g_languageIndex), MF_BYPOSITION | MF_CHECKED);
    return true;
}

void ResetLanguageMenuForTests() {
    g_languageMenuBuilt = false;
}

void RelabelMenus(CMenu& popup, CMenu& skin, CMenu& file) {
    if (CMenu* main = popup.GetSubMenu(0)) {
        relabel(*main, std::begin(kPopupItems), std::end(kPopupItems));
        for (const Label& l : kPopupPositions)
            main->ModifyMenu(l.id, MF_BYPOSITION, 0, LoadLanguageString(l.key));
        if (CMenu* languages = main->GetSubMenu(7))
            BuildLanguageMenu(*languages);
    }
    if (CMenu* colours = skin.GetSubMenu(0))
        relabel(*colours, std::begin(kSkinItems), std::end(kSkinItems));
    if (CMenu* files = file.GetSubMenu(0))
        relabel(*files, std::begin(kFileItems), std::end(kFileItems));
}
