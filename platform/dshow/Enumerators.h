// Inside the DirectShow layer: enumerators over a snapshot of interface pointers (pins, filters) and over
// a pin's media types.
#pragma once

#include "platform/dshow/BasePin.h"

#include <vector>

namespace platform::dshow {

// An enumerator of interface pointers taken when it was made; Next hands each out with a reference.
template <class Interface, class Enum, const IID& EnumIid>
class SnapshotEnum final : public platform::SingleInterface<Enum, EnumIid> {
public:
    explicit SnapshotEnum(std::vector<ComPtr<Interface>> items) : items_(std::move(items)) {}

    HRESULT Next(ULONG count, Interface** out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < items_.size()) {
            out[n] = items_[position_++].Get();
            out[n]->AddRef();
            ++n;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        position_ = std::min(items_.size(), position_ + count);
        return position_ < items_.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }

    // Makes one and hands it out with its first reference.
    static HRESULT Make(std::vector<ComPtr<Interface>> items, Enum** out) {
        if (!out)
            return E_POINTER;
        auto* e = new SnapshotEnum(std::move(items));
        e->AddRef();
        *out = e;
        return S_OK;
    }

private:
    ~SnapshotEnum() override = default;
    std::vector<ComPtr<Interface>> items_;
    size_t position_ = 0;
};

using PinEnum = SnapshotEnum<IPin, IEnumPins, IID_IEnumPins>;
using FilterEnum = SnapshotEnum<IBaseFilter, IEnumFilters, IID_IEnumFilters>;

// A pin's types, read through GetMediaType as they are asked for.
class MediaTypeEnum final : public platform::SingleInterface<IEnumMediaTypes, IID_IEnumMediaTypes> {
public:
    explicit MediaTypeEnum(CBasePin* pin);
    HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;

private:
    ~MediaTypeEnum() override;
    CBasePin* pin_; // with a reference (its filter's)
    int position_ = 0;
};

} // namespace platform::dshow
