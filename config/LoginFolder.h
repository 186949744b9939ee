// The per-login data folder: one folder per login ID under the user-data root (the program's folder followed
// by "UserData\"), holding the login's "history.ini", its default channel table "default.tlb" and its IR
// profile archive. Paths are in the code's form, with backslashes.
//
// A login ID that would leave the root (one holding '\' or '/', or the whole name "." or "..") has no
// folder: GetLoginFolder and GetLoginHistoryPath give the empty text and EnsureLoginFolder returns 0.
#pragma once

#include <string>

// The root, set once during static initialisation from the module file name.
extern std::wstring g_userDataRoot;
void InitUserDataRoot();

// root + login ID + "\" when the login ID is not empty and that folder exists; else empty.
std::wstring GetLoginFolder(const std::wstring& loginId, const std::wstring& root);
// The login's IR profile file: its folder + login ID + ".rpl" when the folder exists; else empty.
std::wstring GetProfileArchivePath(const std::wstring& loginId, const std::wstring& root);
// root + login ID + "\history.ini", whether it exists or not.
std::wstring GetLoginHistoryPath(const std::wstring& loginId, const std::wstring& root);
// 1 when the folder exists already (nothing is created) or was created with its two empty files; 0 when
// the folder or a file could not be created (the root itself is never created).
int EnsureLoginFolder(const std::wstring& loginId, const std::wstring& root);
// Opens "default.tlb" and then "history.ini" in the login folder with open-always semantics (an existing
// file is left untouched); 1 when both opened.
int CreateLoginFiles(const std::wstring& loginId, const std::wstring& root);
