// The remembered logins (".\Setup\userec.urc"). The configuration holds one; its first text is the login ID
// of the current login, which names the per-login data folder.
#pragma once

#include <cstdint>
#include <list>
#include <string>

class KQ_UI_UserRecord {
public:
    std::wstring text1; // the current login ID
    std::wstring text2;
    std::wstring text3;
    std::int32_t value = 0;
    std::wstring text4;
    std::list<std::wstring> loginIds; // in the order they were first used
};
