// Why a file the user chose to play did not play, as the language key of the reason the message gives:
// what is wrong with the file itself when it shows (missing, unreadable, not an MP4 file, a broken or
// incomplete box structure), else what the player reported for a file that looks sound.
#pragma once

#include "platform/win32/Types.h"

#include <string>

// path in the code's form; played is the player's failure result.
std::wstring FileFailureKey(const std::wstring& path, HRESULT played);
// The message: the player's general failure text, the file's name and the reason, each on its own line.
std::wstring FileFailureMessage(const std::wstring& path, HRESULT played);
