#include "media/GraphHelpers.h"

#include "platform/com/Com.h"
#include "platform/dshow/Vmr.h"
#include "platform/win32/Text.h"

#include <cstring>
#include <cwchar>
#include <string>

using platform::ComPtr;
using platform::Query;

namespace {

constexpr size_t kNameBytes = 128;

// A pin or filter name in the legacy code page, cut to what a 128-byte buffer holds.
std::string legacyName(const wchar_t* name) {
    std::string bytes = platform::ToLegacy(name);
    if (bytes.size() > kNameBytes - 1)
        bytes.resize(kNameBytes - 1);
    return bytes;
}

} // namespace

HRESULT FindPin(IBaseFilter* filter, int direction, LPCWSTR name, IPin** pin) {
    if (!filter || !pin)
        return E_FAIL;
    *pin = nullptr;
    ComPtr<IEnumPins> pins;
    HRESULT hr = filter->EnumPins(pins.ReleaseAndGetAddressOf());
    if (FAILED(hr) || !pins)
        return E_FAIL;
    const PIN_DIRECTION wanted = direction == 0 ? PINDIR_OUTPUT : PINDIR_INPUT;
    const std::string wantedName = name ? legacyName(name) : std::string();
    IPin* candidate = nullptr;
    while ((hr = pins->Next(1, &candidate, nullptr)) == S_OK) {
        ComPtr<IPin> held = ComPtr<IPin>::Adopt(candidate);
        PIN_INFO info{};
        if (FAILED(candidate->QueryPinInfo(&info)))
            continue;
        if (info.pFilter)
            info.pFilter->Release();
        if (info.dir != wanted)
            continue;
        info.achName[MAX_PIN_NAME - 1] = L'\0';
        if (name && legacyName(info.achName).find(wantedName) == std::string::npos)
            continue;
        *pin = candidate; // borrowed: the filter keeps its pin
        return S_OK;
    }
    return E_FAIL;
}

HRESULT FindFilterByName(IGraphBuilder* graph, LPCWSTR name, IBaseFilter** filter) {
    if (!graph || !name || !filter)
        return E_FAIL;
    *filter = nullptr;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())) || !filters)
        return E_FAIL;
    IBaseFilter* candidate = nullptr;
    while (filters->Next(1, &candidate, nullptr) == S_OK) {
        ComPtr<IBaseFilter> held = ComPtr<IBaseFilter>::Adopt(candidate);
        FILTER_INFO info{};
        if (FAILED(candidate->QueryFilterInfo(&info)))
            continue;
        if (info.pGraph)
            info.pGraph->Release();
        info.achName[MAX_FILTER_NAME - 1] = L'\0';
        if (std::wcscmp(info.achName, name) == 0) {
            *filter = candidate; // borrowed: the graph keeps its filter
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT FindFilterPin(IGraphBuilder* graph, LPCWSTR filterName, LPCWSTR pinName, int direction, IPin** pin) {
    if (!graph)
        return E_FAIL;
    IBaseFilter* filter = nullptr;
    if (FAILED(FindFilterByName(graph, filterName, &filter)))
        return E_FAIL;
    return FAILED(FindPin(filter, direction, pinName, pin)) ? E_FAIL : S_OK;
}

HRESULT ConnectPinsDirect(IGraphBuilder* graph, IPin* out, IPin* in) {
    if (!graph || !out || !in)
        return E_FAIL;
    const HRESULT hr = graph->ConnectDirect(out, in, nullptr);
    return FAILED(hr) ? E_FAIL : hr;
}

HRESULT AddFilterByClsid(IGraphBuilder* graph, REFCLSID clsid, LPCWSTR name) {
    if (!graph)
        return E_FAIL;
    ComPtr<IBaseFilter> filter;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                filter.ReleaseAndGetVoidAddressOf())) ||
        !filter)
        return E_FAIL;
    const HRESULT hr = graph->AddFilter(filter.Get(), name);
    return FAILED(hr) ? E_FAIL : hr;
}

HRESULT RemoveAllFilters(IGraphBuilder* graph) {
    if (!graph)
        return E_FAIL;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())) || !filters)
        return E_FAIL;
    IBaseFilter* first = nullptr;
    while (filters->Next(1, &first, nullptr) == S_OK) {
        ComPtr<IBaseFilter> held = ComPtr<IBaseFilter>::Adopt(first);
        if (FAILED(graph->RemoveFilter(first)))
            return E_FAIL; // a filter that will not go would make this loop for ever
        held.Reset();
        if (FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())) || !filters)
            return E_FAIL;
    }
    return S_OK;
}

HRESULT FindGraphInterface(IGraphBuilder* graph, REFIID iid, void** out) {
    if (!graph || !out)
        return E_POINTER;
    *out = nullptr;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())) || !filters)
        return E_FAIL;
    HRESULT hr = E_FAIL;
    IBaseFilter* filter = nullptr;
    while (filters->Next(1, &filter, nullptr) == S_OK) {
        ComPtr<IBaseFilter> held = ComPtr<IBaseFilter>::Adopt(filter);
        hr = filter->QueryInterface(iid, out);
        if (SUCCEEDED(hr))
            return hr;
    }
    return hr;
}

HRESULT FindFileSourceInterface(IGraphBuilder* graph, IFileSourceFilter** out) {
    if (!graph || !out)
        return E_POINTER;
    *out = nullptr;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())) || !filters)
        return E_FAIL;
    HRESULT hr = E_FAIL;
    IBaseFilter* filter = nullptr;
    while (filters->Next(1, &filter, nullptr) == S_OK) {
        ComPtr<IBaseFilter> held = ComPtr<IBaseFilter>::Adopt(filter);
        hr = filter->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(out));
        if (SUCCEEDED(hr))
            return hr;
        ComPtr<IEnumPins> pins;
        if (FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf())) || !pins)
            continue;
        IPin* pin = nullptr;
        while (pins->Next(1, &pin, nullptr) == S_OK) {
            ComPtr<IPin> pinHeld = ComPtr<IPin>::Adopt(pin);
            hr = pin->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(out));
            if (SUCCEEDED(hr))
                return hr;
        }
    }
    return hr;
}

HRESULT ConfigureVmrWindowless(IGraphBuilder* graph, HWND window) {
    ComPtr<IVMRFilterConfig9> config9;
    if (SUCCEEDED(FindGraphInterface(graph, IID_IVMRFilterConfig9, config9.ReleaseAndGetVoidAddressOf()))) {
        config9->SetRenderingMode(VMR9Mode_Windowless);
        ComPtr<IVMRWindowlessControl9> control;
        if (FAILED(
                FindGraphInterface(graph, IID_IVMRWindowlessControl9, control.ReleaseAndGetVoidAddressOf())))
            return E_FAIL;
        control->SetVideoClippingWindow(window);
        control->SetAspectRatioMode(VMR9ARMode_None);
        return S_OK;
    }
    ComPtr<IVMRFilterConfig> config;
    if (SUCCEEDED(FindGraphInterface(graph, IID_IVMRFilterConfig, config.ReleaseAndGetVoidAddressOf()))) {
        config->SetRenderingMode(VMRMode_Windowless);
        config->SetNumberOfStreams(4);
        ComPtr<IVMRWindowlessControl> control;
        if (FAILED(
                FindGraphInterface(graph, IID_IVMRWindowlessControl, control.ReleaseAndGetVoidAddressOf())))
            return E_FAIL;
        control->SetVideoClippingWindow(window);
        control->SetAspectRatioMode(VMR_ARMODE_NONE);
        return S_OK;
    }
    return E_FAIL;
}
