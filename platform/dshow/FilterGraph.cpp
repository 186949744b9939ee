// The filter graph manager: membership, connection and rendering.
#include "platform/dshow/FilterGraph.h"

#include "platform/dshow/Enumerators.h"

#include <algorithm>
#include <cwchar>
#include <functional>
#include <map>

using platform::ComPtr;
using platform::Query;

namespace {

constexpr int kMaxRenderDepth = 8;

std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* filter) {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> e;
    if (FAILED(filter->EnumPins(e.ReleaseAndGetAddressOf())) || !e)
        return pins;
    IPin* pin = nullptr;
    while (e->Next(1, &pin, nullptr) == S_OK)
        pins.push_back(ComPtr<IPin>::Adopt(pin));
    return pins;
}

PIN_DIRECTION directionOf(IPin* pin) {
    PIN_DIRECTION d = PINDIR_INPUT;
    pin->QueryDirection(&d);
    return d;
}

ComPtr<IPin> peerOf(IPin* pin) {
    IPin* peer = nullptr;
    pin->ConnectedTo(&peer);
    return ComPtr<IPin>::Adopt(peer);
}

ComPtr<IBaseFilter> filterOf(IPin* pin) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info)))
        return {};
    return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

// Undoes a chain made from an output pin: the pin's connection and, below a filter that has nothing else
// connected on its inputs, that filter's own outputs.
void disconnectChain(IPin* out) {
    ComPtr<IPin> peer = peerOf(out);
    if (!peer)
        return;
    out->Disconnect();
    peer->Disconnect();
    ComPtr<IBaseFilter> below = filterOf(peer.Get());
    if (!below)
        return;
    const auto pins = pinsOf(below.Get());
    for (const auto& p : pins)
        if (directionOf(p.Get()) == PINDIR_INPUT && peerOf(p.Get()))
            return;
    for (const auto& p : pins)
        if (directionOf(p.Get()) == PINDIR_OUTPUT)
            disconnectChain(p.Get());
}

} // namespace

CUnknown* FilterGraph::CreateInstance(IUnknown*, HRESULT* hr) {
    *hr = S_OK;
    return new FilterGraph;
}

FilterGraph::FilterGraph() : CUnknown(L"FilterGraph", nullptr) {}

FilterGraph::~FilterGraph() {
    Stop();
    while (true) {
        ComPtr<IBaseFilter> last;
        {
            std::lock_guard lock(mutex_);
            if (entries_.empty())
                break;
            last = entries_.back().filter;
        }
        RemoveFilter(last.Get());
    }
}

HRESULT FilterGraph::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (iid == IID_IGraphBuilder || iid == IID_IFilterGraph)
        return GetInterface(static_cast<IGraphBuilder*>(this), out);
    if (iid == IID_IMediaControl)
        return GetInterface(static_cast<IMediaControl*>(this), out);
    if (iid == IID_IMediaSeeking)
        return GetInterface(static_cast<IMediaSeeking*>(this), out);
    if (iid == IID_IMediaEventEx || iid == IID_IMediaEvent)
        return GetInterface(static_cast<IMediaEventEx*>(this), out);
    if (iid == IID_IMediaEventSink)
        return GetInterface(static_cast<IMediaEventSink*>(this), out);
    if (iid == IID_IBasicAudio)
        return GetInterface(static_cast<IBasicAudio*>(this), out);
    return CUnknown::NonDelegatingQueryInterface(iid, out);
}

std::vector<ComPtr<IBaseFilter>> FilterGraph::filtersLocked() const {
    std::vector<ComPtr<IBaseFilter>> all;
    for (const Entry& e : entries_)
        all.push_back(e.filter);
    return all;
}

bool FilterGraph::inGraphLocked(IBaseFilter* filter) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [filter](const Entry& e) { return e.filter.Get() == filter; });
}

std::vector<ComPtr<IBaseFilter>> FilterGraph::downstreamFirstLocked() const {
    std::map<IBaseFilter*, std::vector<IBaseFilter*>> below;
    for (const Entry& e : entries_)
        for (const auto& pin : pinsOf(e.filter.Get()))
            if (directionOf(pin.Get()) == PINDIR_OUTPUT)
                if (ComPtr<IPin> peer = peerOf(pin.Get()))
                    if (ComPtr<IBaseFilter> f = filterOf(peer.Get()); f && inGraphLocked(f.Get()))
                        below[e.filter.Get()].push_back(f.Get());
    std::map<IBaseFilter*, int> depth;
    std::function<int(IBaseFilter*, int)> depthOf = [&](IBaseFilter* f, int guard) -> int {
        if (auto it = depth.find(f); it != depth.end())
            return it->second;
        int d = 0;
        if (guard < static_cast<int>(entries_.size()))
            for (IBaseFilter* next : below[f])
                d = std::max(d, 1 + depthOf(next, guard + 1));
        depth[f] = d;
        return d;
    };
    std::vector<ComPtr<IBaseFilter>> order = filtersLocked();
    std::stable_sort(order.begin(), order.end(),
                     [&](const ComPtr<IBaseFilter>& a, const ComPtr<IBaseFilter>& b) {
                         return depthOf(a.Get(), 0) < depthOf(b.Get(), 0);
                     });
    return order;
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
    if (!filter)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    if (inGraphLocked(filter))
        return E_INVALIDARG;
    std::wstring base = name && *name ? name : L"Filter";
    base = base.substr(0, MAX_FILTER_NAME - 6);
    auto taken = [this](const std::wstring& n) {
        return std::any_of(entries_.begin(), entries_.end(), [&n](const Entry& e) { return e.name == n; });
    };
    std::wstring chosen = base;
    HRESULT result = S_OK;
    if (taken(chosen) || !(name && *name)) {
        for (int n = 1; n <= 9999; ++n) {
            wchar_t suffix[8];
            std::swprintf(suffix, 8, L" %04d", n);
            if (!taken(base + suffix)) {
                chosen = base + suffix;
                break;
            }
        }
        if (taken(chosen))
            return VFW_E_CANNOT_CONNECT;
        if (name && *name)
            result = VFW_S_DUPLICATE_NAME;
    }
    const HRESULT hr = filter->JoinFilterGraph(static_cast<IGraphBuilder*>(this), chosen.c_str());
    if (FAILED(hr))
        return hr;
    if (state_ != State_Stopped && clock_)
        filter->SetSyncSource(clock_.Get());
    entries_.push_back({ComPtr<IBaseFilter>(filter), chosen});
    return result;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [filter](const Entry& e) { return e.filter.Get() == filter; });
    if (it == entries_.end())
        return VFW_E_NOT_FOUND;
    // A filter leaves a stopped graph: its pins can only be disconnected while both sides are stopped.
    if (state_ != State_Stopped)
        Stop();
    for (const auto& pin : pinsOf(filter))
        if (ComPtr<IPin> peer = peerOf(pin.Get())) {
            peer->Disconnect();
            pin->Disconnect();
        }
    filter->SetSyncSource(nullptr);
    filter->JoinFilterGraph(nullptr, nullptr);
    const ComPtr<IBaseFilter> keep = it->filter; // released after the entry is gone
    entries_.erase(it);
    std::lock_guard events(eventMutex_);
    pendingRenderers_.erase(filter);
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** filters) {
    std::lock_guard lock(mutex_);
    return platform::dshow::FilterEnum::Make(filtersLocked(), filters);
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter) {
    if (!name || !filter)
        return E_POINTER;
    *filter = nullptr;
    std::lock_guard lock(mutex_);
    for (const Entry& e : entries_)
        if (e.name == name) {
            *filter = e.filter.Get();
            (*filter)->AddRef();
            return S_OK;
        }
    return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) {
    if (!out || !in)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    ComPtr<IBaseFilter> outFilter = filterOf(out), inFilter = filterOf(in);
    if (!inGraphLocked(outFilter.Get()) || !inGraphLocked(inFilter.Get()))
        return VFW_E_NOT_IN_GRAPH;
    if (directionOf(out) != PINDIR_OUTPUT || directionOf(in) != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    return out->Connect(in, type);
}

HRESULT FilterGraph::Disconnect(IPin* pin) {
    if (!pin)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    return pin->Disconnect();
}

HRESULT FilterGraph::Connect(IPin* out, IPin* in) {
    if (!out || !in)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    return renderLocked(out, in, 0);
}

HRESULT FilterGraph::Render(IPin* out) {
    if (!out)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    return renderLocked(out, nullptr, 0);
}

// Connects `out` to `target` (or, without one, to any chain that ends in filters without outputs) through
// the filters already in the graph, trying them in the order they were added. What a failed try made is
// taken apart again.
HRESULT FilterGraph::renderLocked(IPin* out, IPin* target, int depth) {
    if (depth > kMaxRenderDepth)
        return VFW_E_CANNOT_RENDER;
    if (directionOf(out) != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    if (peerOf(out))
        return VFW_E_ALREADY_CONNECTED;
    if (target && SUCCEEDED(out->Connect(target, nullptr)))
        return S_OK;
    const ComPtr<IBaseFilter> own = filterOf(out);
    const ComPtr<IBaseFilter> targetFilter = target ? filterOf(target) : ComPtr<IBaseFilter>();
    for (const ComPtr<IBaseFilter>& f : filtersLocked()) {
        if (f.Get() == own.Get() || (target && f.Get() == targetFilter.Get()))
            continue;
        for (const ComPtr<IPin>& in : pinsOf(f.Get())) {
            if (directionOf(in.Get()) != PINDIR_INPUT || peerOf(in.Get()))
                continue;
            if (FAILED(out->Connect(in.Get(), nullptr)))
                continue;
            std::vector<ComPtr<IPin>> outputs;
            for (const ComPtr<IPin>& p : pinsOf(f.Get()))
                if (directionOf(p.Get()) == PINDIR_OUTPUT && !peerOf(p.Get()))
                    outputs.push_back(p);
            bool done;
            if (target) {
                done = std::any_of(outputs.begin(), outputs.end(), [&](const ComPtr<IPin>& o) {
                    return SUCCEEDED(renderLocked(o.Get(), target, depth + 1));
                });
            } else {
                done = true;
                for (const ComPtr<IPin>& o : outputs)
                    if (FAILED(renderLocked(o.Get(), nullptr, depth + 1))) {
                        done = false;
                        break;
                    }
            }
            if (done)
                return S_OK;
            disconnectChain(out);
        }
    }
    return target ? VFW_E_CANNOT_CONNECT : VFW_E_CANNOT_RENDER;
}
