// The remembered logins (".\Setup\userec.urc"), held in the configuration. Its first text is the login ID
// of the current login (the box ID, or the address or host name typed), which names the per-login data
// folder; the login dialog keeps the user name, password, IP address and host name of the last login in
// text2, text3, value and text4 when the user asks to be remembered.
//
// The file holds a password: it is written readable by its owner only.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

class KQ_UI_UserRecord {
public:
    // Appends id unless an equal string (case-sensitive) is there already.
    void AddLoginId(const std::wstring& id);
    // 1 when written whole; 0 when the file cannot be opened or written (no ".\Setup" folder, say).
    int Save() const;
    // 1 when read whole; 0 when the file is missing or cut short (what was read before stays).
    int Load();
    // The same from the file's bytes.
    int Read(std::vector<std::uint8_t> bytes);

    std::wstring text1;               // the current login ID
    std::wstring text2;               // user name
    std::wstring text3;               // password
    std::int32_t value = 0;           // IP address as the address control gives it
    std::wstring text4;               // host name
    std::list<std::wstring> loginIds; // in the order they were first used
};
