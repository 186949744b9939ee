// libTessane.so as the program meets it: it exports the server's entry points and the deinterlacer's four
// functions and nothing else, needs none of the libraries behind the system filters and holds none of
// them, registers "KQ Video Decode" in the COM registry (a temporary one here) as an installer would, serves
// the filter by class identifier, and is removed from the registry again by regsvr -u; the layout of the
// runnable folder registers it.
#include "platform/com/Com.h"
#include "platform/com/Registry.h"
#include "platform/dshow/Interfaces.h"

#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

namespace {

const CLSID kTessane = platform::MakeGuid("7CD26C67-3858-46B4-9A46-2426537AB81B");
const IID kITessane = platform::MakeGuid("89AE857A-9769-46AE-87AB-8D4553AE50E7");

std::string output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return text;
    std::array<char, 4096> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe))
        text += buffer.data();
    return pclose(pipe) == 0 ? text : "(failed) " + text;
}

int regsvr(const std::string& arguments) {
    return std::system((std::string(VELOQ_TOOLS_DIR) + "/regsvr -s " + arguments).c_str());
}

TEST(TessaneLibraryTest, ExportsOnlyItsEntryPointsAndNeedsNoSystemFilter) {
    std::set<std::string> exported;
    std::istringstream symbols(output(std::string("nm -D --defined-only '") + TESSANE_LIBRARY + "'"));
    for (std::string line; std::getline(symbols, line);)
        exported.insert(line.substr(line.find_last_of(' ') + 1));
    EXPECT_EQ(exported,
              (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllMain", "DllRegisterServer",
                                     "DllUnregisterServer", "VD_Deinterlace", "VD_GetVersion",
                                     "VD_InitDeinterlace", "VD_ReleaseDeinterlace"}));

    const std::string needed = output(std::string("ldd '") + TESSANE_LIBRARY + "'");
    ASSERT_NE(needed.find("libc.so"), std::string::npos) << needed;
    for (const char* library : {"libSDL2", "libavformat", "libavcodec", "libavutil", "libfaad", "libQt",
                                "libfreetype", "libfontconfig", "libjpeg"})
        EXPECT_EQ(needed.find(library), std::string::npos) << library;

    // The symbol table (not stripped) holds no system filter, no registration of one, no call into their
    // libraries.
    const std::string all = output(std::string("nm -C '") + TESSANE_LIBRARY + "'");
    ASSERT_NE(all.find("TessaneFilter::Transform"), std::string::npos);
    for (const char* name : {"FilterGraph::", "SystemClock::", "platform::dshow::VideoRenderer",
                             "platform::dshow::AudioRenderer", "platform::dshow::FileSource",
                             "platform::dshow::Mp4Demux", "platform::dshow::AacDecoder", "CLSID_FilterGraph",
                             "CLSID_DSoundRender", " SDL_", " av_", " avformat_", " NeAACDec"})
        EXPECT_EQ(all.find(name), std::string::npos) << name;
}

TEST(TessaneLibraryTest, RegistersServesAndUnregisters) {
    TempFolder folder;
    setenv("VELOQ_COM_REGISTRY", (folder / "classes.ini").c_str(), 1);
    void* out = nullptr;
    EXPECT_EQ(CoCreateInstance(kTessane, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &out),
              REGDB_E_CLASSNOTREG);

    ASSERT_EQ(regsvr(TESSANE_LIBRARY), 0);
    EXPECT_EQ(platform::com::InprocServerPath(kTessane), std::filesystem::canonical(TESSANE_LIBRARY));
    EXPECT_EQ(platform::com::ReadClassValue(kTessane, L"ThreadingModel"), L"Both");
    EXPECT_EQ(platform::com::ReadClassValue(kTessane, L"Name"), L"KQ Video Decode");
    EXPECT_EQ(platform::com::ReadClassValue(kTessane, L"FilterName"), L"KQ Video Decode");
    EXPECT_EQ(platform::com::ReadClassValue(kTessane, L"Merit"), L"0x00200000");

    {
        platform::ComPtr<IBaseFilter> filter;
        ASSERT_EQ(CoCreateInstance(kTessane, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   filter.ReleaseAndGetVoidAddressOf()),
                  S_OK);
        platform::ComPtr<IUnknown> tessane;
        EXPECT_EQ(filter->QueryInterface(kITessane, tessane.ReleaseAndGetVoidAddressOf()), S_OK);
        platform::ComPtr<IPin> input;
        EXPECT_EQ(filter->FindPin(L"Input", input.ReleaseAndGetAddressOf()), S_OK);
        void* library = dlopen(TESSANE_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(library, nullptr);
        const auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(dlsym(library, "DllCanUnloadNow"));
        ASSERT_NE(canUnload, nullptr);
        EXPECT_EQ(canUnload(), S_FALSE) << "a filter lives";
        input.Reset();
        tessane.Reset();
        filter.Reset();
        EXPECT_EQ(canUnload(), S_OK);
        dlclose(library);
    }

    ASSERT_EQ(regsvr(std::string("-u ") + TESSANE_LIBRARY), 0);
    EXPECT_EQ(platform::com::ReadClassValue(kTessane, L"InprocServer32"), std::nullopt);
    EXPECT_EQ(platform::com::ReadClassValue(kTessane, L"Merit"), std::nullopt);
    unsetenv("VELOQ_COM_REGISTRY");
}

// Laying out the runnable folder (make run, make demo) registers the folder's library as an installer
// would: the program then creates "KQ Video Decode" with no further step.
TEST(TessaneLibraryTest, TheRunnableFoldersLibraryIsRegisteredWhenTheFolderIsLaidOut) {
    TempFolder folder;
    setenv("VELOQ_COM_REGISTRY", (folder / "classes.ini").c_str(), 1);
    const std::filesystem::path library = TESSANE_LIBRARY;
    ASSERT_EQ(std::system((std::string(VELOQ_SOURCE_DIR) + "/scripts/register-filters.sh '" +
                           VELOQ_TOOLS_DIR + "' '" + library.parent_path().string() + "'")
                              .c_str()),
              0);
    EXPECT_EQ(platform::com::InprocServerPath(kTessane), std::filesystem::canonical(library));
    platform::ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CoCreateInstance(kTessane, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               filter.ReleaseAndGetVoidAddressOf()),
              S_OK);
    unsetenv("VELOQ_COM_REGISTRY");
}

} // namespace
