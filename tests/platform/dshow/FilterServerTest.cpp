#include "TestFilterServer.h"
#include "tests/support/TestFilters.h"

#include "platform/com/Com.h"
#include "platform/com/Registry.h"
#include "platform/dshow/Uuids.h"
#include "tests/support/FilterGraphSetup.h"

#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <string>

namespace {

using namespace testfilters;
using platform::ComPtr;

int regsvr(const std::string& arguments) {
    return std::system((std::string(VELOQ_TOOLS_DIR) + "/regsvr -s " + arguments).c_str());
}

TEST(FilterServerTest, RegisteredLibraryServesItsFilterIntoAGraph) {
    TempFolder folder;
    setenv("VELOQ_COM_REGISTRY", (folder / "classes.ini").c_str(), 1);
    ASSERT_EQ(regsvr(TEST_FILTER_LIBRARY), 0);
    EXPECT_EQ(platform::com::ReadClassValue(CLSID_TestServedTransform, L"ThreadingModel"), L"Both");
    EXPECT_EQ(platform::com::ReadClassValue(CLSID_TestServedTransform, L"FilterName"), L"Served Transform");
    EXPECT_EQ(platform::com::ReadClassValue(CLSID_TestServedTransform, L"Merit"), L"0x00200000");

    void* library = nullptr;
    {
        ComPtr<IGraphBuilder> graph = MakeFilterGraph();
        ASSERT_TRUE(graph);
        ComPtr<IBaseFilter> served;
        ASSERT_EQ(CoCreateInstance(CLSID_TestServedTransform, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   served.ReleaseAndGetVoidAddressOf()),
                  S_OK);
        auto source = ComPtr<IBaseFilter>::Adopt(
            TestSource::make({{videoType(FourCCGuid(MakeFourCC('A', 'A', 'A', 'A')))}}));
        auto renderer = ComPtr<IBaseFilter>::Adopt(TestRenderer::make({"BBBB"}));
        ASSERT_EQ(graph->AddFilter(source.Get(), L"source"), S_OK);
        ASSERT_EQ(graph->AddFilter(renderer.Get(), L"renderer"), S_OK);
        ASSERT_EQ(graph->AddFilter(served.Get(), L"Served Transform"), S_OK);
        served.Reset(); // the graph holds the filter alone
        ASSERT_EQ(graph->Render(static_cast<TestSource*>(source.Get())->pin(0)), S_OK);
        auto control = platform::Query<IMediaControl>(graph.Get(), IID_IMediaControl);
        ASSERT_EQ(control->Run(), S_OK);
        EXPECT_EQ(static_cast<TestSource*>(source.Get())->pin(0)->deliver(5, 6), S_OK);
        EXPECT_TRUE(static_cast<TestRenderer*>(renderer.Get())->waitForReceived(1));
        control->Stop();
        library = dlopen(TEST_FILTER_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(library, nullptr);
        auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(dlsym(library, "DllCanUnloadNow"));
        ASSERT_NE(canUnload, nullptr);
        EXPECT_EQ(canUnload(), S_FALSE); // the graph still holds the filter
    }
    auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(dlsym(library, "DllCanUnloadNow"));
    EXPECT_EQ(canUnload(), S_OK); // torn down with the graph
    dlclose(library);

    ASSERT_EQ(regsvr(std::string("-u ") + TEST_FILTER_LIBRARY), 0);
    void* out = nullptr;
    EXPECT_EQ(
        CoCreateInstance(CLSID_TestServedTransform, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &out),
        REGDB_E_CLASSNOTREG);
    unsetenv("VELOQ_COM_REGISTRY");
}

} // namespace
