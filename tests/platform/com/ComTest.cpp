#include "platform/com/Com.h"
#include "platform/com/Registry.h"
#include "platform/win32/Text.h"

#include "TestServer.h"
#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using platform::ComPtr;

TEST(GuidTest, TextFormsRoundTripAndMalformedOnesAreRefused) {
    constexpr GUID known = platform::MakeGuid("84D0C4F3-51A0-46FB-9B57-211ADC37E0ED");
    EXPECT_EQ(platform::GuidText(known), L"{84D0C4F3-51A0-46FB-9B57-211ADC37E0ED}");
    struct Case {
        const wchar_t* text;
        bool valid;
    };
    const Case cases[] = {
        {L"{84D0C4F3-51A0-46FB-9B57-211ADC37E0ED}", true},
        {L"84d0c4f3-51a0-46fb-9b57-211adc37e0ed", true},
        {L"{84D0C4F3-51A0-46FB-9B57-211ADC37E0E}", false},
        {L"{84D0C4F3-51A0-46FB-9B57-211ADC37E0EG}", false},
        {L"{84D0C4F3-51A0-46FB9-B57-211ADC37E0ED}", false},
        {L"84D0C4F3-51A0-46FB-9B57-211ADC37E0ED}", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        GUID parsed{};
        EXPECT_EQ(CLSIDFromString(c.text, &parsed) == S_OK, c.valid) << platform::ToUtf8(c.text);
        if (c.valid) {
            EXPECT_EQ(parsed, known);
        }
    }
    wchar_t small[38];
    EXPECT_EQ(StringFromGUID2(known, small, 38), 0);
    wchar_t exact[39];
    EXPECT_EQ(StringFromGUID2(known, exact, 39), 39);
}

// An outer object that aggregates a counter: it hands out the inner's interface as its own.
class Outer : public CUnknown {
public:
    Outer() : CUnknown(L"Outer", nullptr) {}
    HRESULT init() {
        return CoCreateInstance(CLSID_TestCounter, GetOwner(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                                inner_.ReleaseAndGetVoidAddressOf());
    }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override {
        if (iid == IID_ITestCounter)
            return inner_->QueryInterface(iid, out);
        return CUnknown::NonDelegatingQueryInterface(iid, out);
    }
    ULONG refs() const { return m_cRef; }

private:
    ComPtr<IUnknown> inner_;
};

class ComTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::RegisterBuiltinClass(CLSID_TestCounter, &platform::CreateCUnknown<TestCounter>);
        setenv("VELOQ_COM_REGISTRY", (folder_ / "classes.ini").c_str(), 1);
    }
    void TearDown() override {
        platform::RegisterBuiltinClass(CLSID_TestCounter, nullptr);
        unsetenv("VELOQ_COM_REGISTRY");
    }
    TempFolder folder_;
};

TEST_F(ComTest, AggregatedObjectAnswersForItsOuter) {
    auto* outer = new Outer;
    outer->NonDelegatingAddRef();
    ASSERT_EQ(outer->init(), S_OK);
    ComPtr<ITestCounter> counter = platform::Query<ITestCounter>(outer->GetOwner(), IID_ITestCounter);
    ASSERT_TRUE(counter);
    EXPECT_EQ(counter->Increment(), 1);
    EXPECT_EQ(outer->refs(), 2u); // the inner interface's reference is the outer object's

    // Identity: IUnknown asked through the inner interface is the outer object's.
    ComPtr<IUnknown> viaInner = platform::Query<IUnknown>(counter.Get(), IID_IUnknown);
    ComPtr<IUnknown> viaOuter = platform::Query<IUnknown>(outer->GetOwner(), IID_IUnknown);
    EXPECT_EQ(viaInner.Get(), viaOuter.Get());
    viaInner.Reset();
    viaOuter.Reset();
    counter.Reset();
    EXPECT_EQ(outer->refs(), 1u);
    outer->NonDelegatingRelease();
}

TEST_F(ComTest, CreationFailuresHaveTheirCodes) {
    constexpr CLSID unknownClass = platform::MakeGuid("00000000-1111-2222-3333-444444444444");
    constexpr CLSID missingLibrary = platform::MakeGuid("00000000-1111-2222-3333-555555555555");
    ASSERT_TRUE(platform::com::WriteClassValue(missingLibrary, L"InprocServer32",
                                               platform::FromUtf8((folder_ / "absent.so").string())));
    Outer outer;
    struct Case {
        const char* name;
        CLSID clsid;
        IUnknown* outer;
        DWORD context;
        IID iid;
        HRESULT expected;
    };
    const Case cases[] = {
        {"unknown class", unknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG},
        {"library missing", missingLibrary, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, CO_E_DLLNOTFOUND},
        {"aggregated, not IUnknown", CLSID_TestCounter, outer.GetOwner(), CLSCTX_INPROC_SERVER,
         IID_ITestCounter, CLASS_E_NOAGGREGATION},
        {"out of process", CLSID_TestCounter, nullptr, 0x4, IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
        {"interface not offered", CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory,
         E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(c.clsid, c.outer, c.context, c.iid, &out), c.expected) << c.name;
        EXPECT_EQ(out, nullptr) << c.name;
    }
    EXPECT_EQ(CUnknown::ObjectCount(), 1); // only `outer`: failed creations leak nothing
}

int runTool(const std::string& arguments) {
    const std::string command = std::string(VELOQ_TOOLS_DIR) + "/regsvr -s " + arguments;
    return std::system(command.c_str());
}

TEST_F(ComTest, ServerRegisteredByTheToolIsLoadedByClass) {
    platform::RegisterBuiltinClass(CLSID_TestCounter, nullptr); // the library, not the built-in, must serve
    void* out = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter, &out),
              REGDB_E_CLASSNOTREG);

    ASSERT_EQ(runTool(TEST_SERVER_LIBRARY), 0);
    ComPtr<ITestCounter> counter;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter,
                               counter.ReleaseAndGetVoidAddressOf()),
              S_OK);
    EXPECT_EQ(counter->Increment(), 1);
    EXPECT_EQ(counter->Increment(), 2);
    EXPECT_EQ(platform::com::ReadClassValue(CLSID_TestCounter, L"ThreadingModel"), L"Both");

    ASSERT_EQ(runTool(std::string("-u ") + TEST_SERVER_LIBRARY), 0);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter, &out),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(counter->Increment(), 3); // an object already made outlives its registration
    EXPECT_NE(runTool(std::string(VELOQ_TOOLS_DIR) + "/absent.so 2>/dev/null"), 0);
}

TEST(TaskMemoryTest, AllocReallocFree) {
    auto* bytes = static_cast<unsigned char*>(CoTaskMemAlloc(16));
    ASSERT_NE(bytes, nullptr);
    bytes[15] = 7;
    bytes = static_cast<unsigned char*>(CoTaskMemRealloc(bytes, 4096));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[15], 7);
    CoTaskMemFree(bytes);
    CoTaskMemFree(nullptr);
}

} // namespace
