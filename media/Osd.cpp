// The OSD's items: adding with its replacement rules, ageing and blinking, and the thread's activity.
#include "media/Osd.h"

#include <algorithm>

KQ_AV_OSD::~KQ_AV_OSD() {
    SetGraph(nullptr);
}

HRESULT KQ_AV_OSD::AddItem(const std::wstring& text, int position, int duration, COLORREF colour, int blink) {
    osd_struct item;
    item.text = text.substr(0, osd_struct::kMaxText);
    for (const wchar_t c : item.text)
        ++(static_cast<unsigned>(c) >= 256 ? item.wideCount : item.narrowCount);
    item.position = position;
    item.duration = duration;
    item.blink = blink;
    item.colour = colour;
    Hold hold(this);
    std::erase_if(
        items_, [&](const osd_struct& old) { return old.duration == duration || old.position == position; });
    items_.push_back(std::move(item));
    dirty_ = true;
    return S_OK;
}

void KQ_AV_OSD::RemoveAll() {
    Hold hold(this);
    items_.clear();
}

void KQ_AV_OSD::Tick() {
    Hold hold(this);
    for (size_t i = 0; i < items_.size();) {
        osd_struct& item = items_[i];
        item.elapsed += kTickMs;
        if (item.blink == 0) {
            if (item.elapsed == item.duration) {
                items_.erase(items_.begin() + static_cast<long>(i));
                dirty_ = true;
                i = 0; // the items before it advance once more in this tick
                continue;
            }
        } else if (item.elapsed == (item.hidden ? item.blink : item.duration)) {
            item.hidden = !item.hidden;
            item.elapsed = 0;
            dirty_ = true;
        }
        ++i;
    }
}

void KQ_AV_OSD::SetGraph(IGraphBuilder* graph) {
    if (graph)
        graph->AddRef();
    IGraphBuilder* old = nullptr;
    {
        Hold hold(this);
        old = std::exchange(graph_, graph);
    }
    if (old)
        old->Release();
}

IGraphBuilder* KQ_AV_OSD::graph() {
    Hold hold(this);
    if (graph_)
        graph_->AddRef();
    return graph_;
}

bool KQ_AV_OSD::Activate() {
    Hold hold(this);
    active_ = true;
    return !std::exchange(looping_, true);
}

bool KQ_AV_OSD::KeepGoing() {
    Hold hold(this);
    if (active_ && !items_.empty())
        return true;
    active_ = false;
    looping_ = false;
    return false;
}

bool KQ_AV_OSD::Looping() {
    Hold hold(this);
    return looping_;
}

void KQ_AV_OSD::Deactivate() {
    Hold hold(this);
    active_ = false;
}

bool KQ_AV_OSD::TakeDirty() {
    Hold hold(this);
    return std::exchange(dirty_, false);
}

void KQ_AV_OSD::MarkDirty() {
    Hold hold(this);
    dirty_ = true;
}

bool KQ_AV_OSD::Dirty() {
    Hold hold(this);
    return dirty_;
}

std::vector<osd_struct> KQ_AV_OSD::Items() {
    Hold hold(this);
    return items_;
}

std::wstring VolumeBarText(int count) {
    constexpr int kMostCells = 21;
    std::wstring text;
    for (int i = 0; i < std::min(count, kMostCells); ++i)
        text += L"I ";
    return text;
}
