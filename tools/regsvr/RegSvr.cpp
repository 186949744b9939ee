// regsvr: registers or unregisters the classes of an in-process server library by calling its
// DllRegisterServer or DllUnregisterServer. The registry file is the one platform/com/Registry.h names.
//
//   regsvr [-u] [-s] library
#include "platform/com/Com.h"
#include "platform/com/Registry.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv) {
    bool unregister = false;
    bool silent = false;
    const char* library = nullptr;
    int libraries = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0)
            unregister = true;
        else if (std::strcmp(argv[i], "-s") == 0)
            silent = true;
        else
            library = argv[i], ++libraries;
    }
    if (libraries != 1) {
        std::fprintf(stderr, "usage: regsvr [-u] [-s] library\n");
        return 2;
    }
    // A bare file name would make dlopen search the library path instead of taking the file given.
    const std::filesystem::path path = std::filesystem::absolute(library);
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "regsvr: cannot load %s: %s\n", path.c_str(), dlerror());
        return 3;
    }
    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<DllRegisterServerFn>(dlsym(handle, entryName));
    if (!entry) {
        std::fprintf(stderr, "regsvr: %s has no %s\n", path.c_str(), entryName);
        dlclose(handle);
        return 4;
    }
    const HRESULT hr = entry();
    dlclose(handle);
    if (FAILED(hr)) {
        std::fprintf(stderr, "regsvr: %s failed with 0x%08X\n", entryName, static_cast<unsigned>(hr));
        return 1;
    }
    if (!silent)
        std::printf("%s: %s succeeded (%s)\n", path.c_str(), entryName,
                    platform::com::RegistryPath().c_str());
    return 0;
}
