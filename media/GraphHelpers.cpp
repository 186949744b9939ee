#include "media/GraphHelpers.h"

#include "media/PlayerMessages.h"

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

// The graph's filters and a filter's pins; null when they cannot be enumerated.
ComPtr<IEnumFilters> filtersOf(IGraphBuilder* graph) {
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())))
        filters.Reset();
    return filters;
}

ComPtr<IEnumPins> pinsOf(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf())))
        pins.Reset();
    return pins;
}

// Visits the items in enumeration order until a visit answers true (then true); the enumerator's reference
// to an item is released after its visit.
template <class Item, class Enum, class Visit> bool anyItem(Enum* items, Visit visit) {
    Item* item = nullptr;
    while (items->Next(1, &item, nullptr) == S_OK) {
        const ComPtr<Item> held = ComPtr<Item>::Adopt(item);
        if (visit(item))
            return true;
    }
    return false;
}

// Asks each filter in turn for the interface and, with `alsoPins`, the pins of each filter that does not
// offer it; the first that has it wins, else the last query's result.
HRESULT queryGraph(IGraphBuilder* graph, REFIID iid, void** out, bool alsoPins) {
    if (!graph || !out)
        return E_POINTER;
    *out = nullptr;
    const ComPtr<IEnumFilters> filters = filtersOf(graph);
    if (!filters)
        return E_FAIL;
    HRESULT hr = E_FAIL;
    const auto offers = [&](IUnknown* object) {
        hr = object->QueryInterface(iid, out);
        return SUCCEEDED(hr);
    };
    anyItem<IBaseFilter>(filters.Get(), [&](IBaseFilter* filter) {
        if (offers(filter))
            return true;
        if (!alsoPins)
            return false;
        const ComPtr<IEnumPins> pins = pinsOf(filter);
        return pins && anyItem<IPin>(pins.Get(), offers);
    });
    return hr;
}

} // namespace

HRESULT FindPin(IBaseFilter* filter, int direction, LPCWSTR name, IPin** pin) {
    if (!filter || !pin)
        return E_FAIL;
    *pin = nullptr;
    const ComPtr<IEnumPins> pins = pinsOf(filter);
    if (!pins)
        return E_FAIL;
    const PIN_DIRECTION wanted = direction == 0 ? PINDIR_OUTPUT : PINDIR_INPUT;
    const std::string wantedName = name ? legacyName(name) : std::string();
    const bool found = anyItem<IPin>(pins.Get(), [&](IPin* candidate) {
        PIN_INFO info{};
        if (FAILED(candidate->QueryPinInfo(&info)))
            return false;
        if (info.pFilter)
            info.pFilter->Release();
        if (info.dir != wanted)
            return false;
        info.achName[MAX_PIN_NAME - 1] = L'\0';
        if (name && legacyName(info.achName).find(wantedName) == std::string::npos)
            return false;
        *pin = candidate; // borrowed: the filter keeps its pin
        return true;
    });
    return found ? S_OK : E_FAIL;
}

HRESULT FindFilterByName(IGraphBuilder* graph, LPCWSTR name, IBaseFilter** filter) {
    if (!graph || !name || !filter)
        return E_FAIL;
    *filter = nullptr;
    const ComPtr<IEnumFilters> filters = filtersOf(graph);
    if (!filters)
        return E_FAIL;
    const bool found = anyItem<IBaseFilter>(filters.Get(), [&](IBaseFilter* candidate) {
        FILTER_INFO info{};
        if (FAILED(candidate->QueryFilterInfo(&info)))
            return false;
        if (info.pGraph)
            info.pGraph->Release();
        info.achName[MAX_FILTER_NAME - 1] = L'\0';
        if (std::wcscmp(info.achName, name) != 0)
            return false;
        *filter = candidate; // borrowed: the graph keeps its filter
        return true;
    });
    return found ? S_OK : E_FAIL;
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
    // The graph's enumeration is taken afresh after each removal.
    for (;;) {
        const ComPtr<IEnumFilters> filters = filtersOf(graph);
        if (!filters)
            return E_FAIL;
        ComPtr<IBaseFilter> first;
        if (filters->Next(1, first.ReleaseAndGetAddressOf(), nullptr) != S_OK)
            return S_OK;
        if (FAILED(graph->RemoveFilter(first.Get())))
            return E_FAIL; // a filter that will not go would make this loop for ever
    }
}

HRESULT FindGraphInterface(IGraphBuilder* graph, REFIID iid, void** out) {
    return queryGraph(graph, iid, out, false);
}

HRESULT FindFileSourceInterface(IGraphBuilder* graph, IFileSourceFilter** out) {
    return queryGraph(graph, IID_IFileSourceFilter, reinterpret_cast<void**>(out), true);
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

void ReportGraphEvents(IGraphBuilder* graph, HWND window) {
    if (const auto seeking = Query<IMediaSeeking>(graph, IID_IMediaSeeking))
        seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
    if (const auto events = Query<IMediaEventEx>(graph, IID_IMediaEventEx)) {
        events->SetNotifyWindow(reinterpret_cast<OAHWND>(window), WM_AV_GRAPH_EVENT, 0);
        events->SetNotifyFlags(0);
    }
}
