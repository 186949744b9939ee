// The free helpers on a graph: pins and filters by name, adding filters by class, connecting, emptying the
// graph, finding an interface anywhere in it and the windowless set-up of the video renderer.
#include "media/Graph.h"

#include "media/GraphInterfaces.h"
#include "platform/com/Com.h"
#include "platform/dshow/Vmr.h"
#include "platform/win32/Text.h"

#include <cwchar>
#include <string>

using platform::ComPtr;

namespace {

constexpr int kNameBytes = 128;

// Names compare as the ANSI code page renders them, at most 128 bytes each.
std::string ansiName(const wchar_t* name) {
    std::string text = platform::ToLegacy(name);
    if (text.size() > kNameBytes)
        text.resize(kNameBytes);
    return text;
}

} // namespace

HRESULT FindPin(IBaseFilter* filter, int direction, const wchar_t* name, IPin** pin) {
    if (!filter || !pin)
        return E_FAIL;
    *pin = nullptr;
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf())) || !pins)
        return E_FAIL;
    const PIN_DIRECTION wanted = direction == 0 ? PINDIR_OUTPUT : PINDIR_INPUT;
    const std::string wantedName = name ? ansiName(name) : std::string();
    for (;;) {
        ComPtr<IPin> next;
        ULONG fetched = 0;
        if (pins->Next(1, next.ReleaseAndGetAddressOf(), &fetched) != S_OK || fetched != 1)
            return E_FAIL;
        PIN_DIRECTION pinDirection = PINDIR_INPUT;
        if (FAILED(next->QueryDirection(&pinDirection)) || pinDirection != wanted)
            continue;
        if (name) {
            PIN_INFO info{};
            if (FAILED(next->QueryPinInfo(&info)))
                continue;
            if (info.pFilter)
                info.pFilter->Release();
            if (ansiName(info.achName).find(wantedName) == std::string::npos)
                continue;
        }
        *pin = next.Get(); // borrowed: the filter keeps the pin
        return S_OK;
    }
}

HRESULT FindFilterByName(IGraphBuilder* graph, const wchar_t* name, IBaseFilter** filter) {
    if (!graph || !name || !filter)
        return E_FAIL;
    *filter = nullptr;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())) || !filters)
        return E_FAIL;
    for (;;) {
        ComPtr<IBaseFilter> next;
        ULONG fetched = 0;
        if (filters->Next(1, next.ReleaseAndGetAddressOf(), &fetched) != S_OK || fetched != 1)
            return E_FAIL;
        FILTER_INFO info{};
        if (FAILED(next->QueryFilterInfo(&info)))
            continue;
        if (info.pGraph)
            info.pGraph->Release();
        if (std::wcscmp(info.achName, name) == 0) {
            *filter = next.Get(); // borrowed: the graph keeps the filter
            return S_OK;
        }
    }
}

HRESULT FindFilterPin(IGraphBuilder* graph, const wchar_t* filterName, const wchar_t* pinName, int direction,
                      IPin** pin) {
    IBaseFilter* filter = nullptr;
    if (!graph || FAILED(FindFilterByName(graph, filterName, &filter)))
        return E_FAIL;
    return FindPin(filter, direction, pinName, pin);
}

HRESULT ConnectPinsDirect(IGraphBuilder* graph, IPin* out, IPin* in) {
    if (!graph || !out || !in)
        return E_FAIL;
    const HRESULT hr = graph->ConnectDirect(out, in, nullptr);
    return FAILED(hr) ? E_FAIL : hr;
}

HRESULT AddFilterByClsid(IGraphBuilder* graph, REFCLSID clsid, const wchar_t* name) {
    if (!graph)
        return E_FAIL;
    ComPtr<IBaseFilter> filter;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                filter.ReleaseAndGetVoidAddressOf())) ||
        !filter)
        return E_FAIL;
    return FAILED(graph->AddFilter(filter.Get(), name)) ? E_FAIL : S_OK;
}

HRESULT RemoveAllFilters(IGraphBuilder* graph) {
    if (!graph)
        return E_FAIL;
    for (;;) {
        ComPtr<IEnumFilters> filters;
        if (FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())) || !filters)
            return E_FAIL;
        ComPtr<IBaseFilter> first;
        ULONG fetched = 0;
        if (filters->Next(1, first.ReleaseAndGetAddressOf(), &fetched) != S_OK || fetched != 1)
            return S_OK;
        if (FAILED(graph->RemoveFilter(first.Get())))
            return E_FAIL; // would come back first for ever
    }
}

HRESULT FindGraphInterface(IGraphBuilder* graph, REFIID iid, void** out) {
    if (!graph || !out)
        return E_POINTER;
    *out = nullptr;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())) || !filters)
        return E_FAIL;
    HRESULT last = E_FAIL;
    for (;;) {
        ComPtr<IBaseFilter> next;
        ULONG fetched = 0;
        if (filters->Next(1, next.ReleaseAndGetAddressOf(), &fetched) != S_OK || fetched != 1)
            return last;
        last = next->QueryInterface(iid, out);
        if (SUCCEEDED(last))
            return last;
    }
}

HRESULT FindFileSourceInterface(IGraphBuilder* graph, IFileSourceFilter** out) {
    if (!graph || !out)
        return E_POINTER;
    *out = nullptr;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())) || !filters)
        return E_FAIL;
    for (;;) {
        ComPtr<IBaseFilter> next;
        ULONG fetched = 0;
        if (filters->Next(1, next.ReleaseAndGetAddressOf(), &fetched) != S_OK || fetched != 1)
            return E_FAIL;
        if (SUCCEEDED(next->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(out))))
            return S_OK;
        ComPtr<IEnumPins> pins;
        if (FAILED(next->EnumPins(pins.ReleaseAndGetAddressOf())) || !pins)
            continue;
        for (;;) {
            ComPtr<IPin> pin;
            if (pins->Next(1, pin.ReleaseAndGetAddressOf(), &fetched) != S_OK || fetched != 1)
                break;
            if (SUCCEEDED(pin->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(out))))
                return S_OK;
        }
    }
}

HRESULT ConfigureVmrWindowless(IGraphBuilder* graph, HWND window) {
    constexpr DWORD kVmr7Streams = 4;
    if (const auto config = FindGraphFace<IVMRFilterConfig9>(graph, IID_IVMRFilterConfig9)) {
        config->SetRenderingMode(VMR9Mode_Windowless);
        const auto control = FindGraphFace<IVMRWindowlessControl9>(graph, IID_IVMRWindowlessControl9);
        if (!control)
            return E_FAIL;
        control->SetVideoClippingWindow(window);
        control->SetAspectRatioMode(VMR9ARMode_None);
        return S_OK;
    }
    if (const auto config = FindGraphFace<IVMRFilterConfig>(graph, IID_IVMRFilterConfig)) {
        config->SetRenderingMode(VMRMode_Windowless);
        config->SetNumberOfStreams(kVmr7Streams);
        const auto control = FindGraphFace<IVMRWindowlessControl>(graph, IID_IVMRWindowlessControl);
        if (!control)
            return E_FAIL;
        control->SetVideoClippingWindow(window);
        control->SetAspectRatioMode(VMR_ARMODE_NONE);
        return S_OK;
    }
    return E_FAIL;
}
