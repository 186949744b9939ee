// The registry file of in-process servers: one INI section per class identifier ("{...}") with the
// library's path ("InprocServer32"), its threading model and, for filters, their name and merit. A server's
// DllRegisterServer writes its classes here; CoCreateInstance reads it. The file is the one named by the
// environment variable VELOQ_COM_REGISTRY (tests point it at a temporary file), else
// $XDG_CONFIG_HOME/veloq/classes.ini (or ~/.config/veloq/classes.ini).
#pragma once

#include "platform/com/Guid.h"

#include <filesystem>
#include <optional>
#include <string>

namespace platform::com {

std::filesystem::path RegistryPath();

// Creates the folder and the file when missing. False when the file cannot be written.
bool WriteClassValue(REFCLSID clsid, const std::wstring& key, const std::wstring& value);
std::optional<std::wstring> ReadClassValue(REFCLSID clsid, const std::wstring& key);
// Removes the class's whole section; true also when it was not there.
bool RemoveClass(REFCLSID clsid);

// The path of the library that serves the class, when registered.
std::optional<std::filesystem::path> InprocServerPath(REFCLSID clsid);

// The file of the loaded library that holds `address` (a function of the server calling it), for
// DllRegisterServer to register itself.
std::optional<std::filesystem::path> LibraryPathOf(const void* address);

} // namespace platform::com
