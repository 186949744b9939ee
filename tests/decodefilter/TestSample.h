// A media sample of the tests' own over a byte vector: its times answer what the test sets (also a start
// without a stop, which our allocator's samples never answer), and guard bytes behind its buffer show any
// write past its size.
#pragma once

#include "platform/dshow/Interfaces.h"

#include <vector>

constexpr HRESULT VFW_S_NO_STOP_TIME = 0x00040270;

class TestSample final : public IMediaSample {
public:
    static constexpr BYTE kGuard = 0xA5;
    static constexpr size_t kGuardBytes = 64;

    explicit TestSample(size_t size) : bytes_(size + kGuardBytes, kGuard), size_(static_cast<LONG>(size)) {}
    explicit TestSample(const std::vector<BYTE>& data) : TestSample(data.size()) {
        std::copy(data.begin(), data.end(), bytes_.begin());
        actual_ = size_;
    }
    ~TestSample() { DeleteMediaType(type_); }

    HRESULT QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }

    HRESULT GetPointer(BYTE** buffer) override {
        *buffer = bytes_.data();
        return S_OK;
    }
    LONG GetSize() override { return size_; }
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override {
        *start = start_;
        *end = end_;
        return timeResult;
    }
    HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override {
        timeResult = start ? S_OK : VFW_E_SAMPLE_TIME_NOT_SET;
        start_ = start ? *start : 0;
        end_ = end ? *end : 0;
        return S_OK;
    }
    HRESULT IsSyncPoint() override { return sync ? S_OK : S_FALSE; }
    HRESULT SetSyncPoint(BOOL value) override {
        sync = value;
        return S_OK;
    }
    HRESULT IsPreroll() override { return preroll ? S_OK : S_FALSE; }
    HRESULT SetPreroll(BOOL value) override {
        preroll = value;
        return S_OK;
    }
    LONG GetActualDataLength() override { return actual_; }
    HRESULT SetActualDataLength(LONG length) override {
        if (length < 0 || length > size_)
            return VFW_E_BUFFER_OVERFLOW;
        actual_ = length;
        return S_OK;
    }
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override {
        *type = type_ ? CreateMediaType(type_) : nullptr;
        return type_ ? S_OK : S_FALSE;
    }
    HRESULT SetMediaType(AM_MEDIA_TYPE* type) override {
        DeleteMediaType(type_);
        type_ = type ? CreateMediaType(type) : nullptr;
        return S_OK;
    }
    HRESULT IsDiscontinuity() override { return discontinuity ? S_OK : S_FALSE; }
    HRESULT SetDiscontinuity(BOOL value) override {
        discontinuity = value;
        return S_OK;
    }
    HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) override {
        *start = mediaStart_;
        *end = mediaEnd_;
        return mediaTimeResult;
    }
    HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) override {
        mediaTimeResult = start ? S_OK : VFW_E_MEDIA_TIME_NOT_SET;
        mediaStart_ = start ? *start : 0;
        mediaEnd_ = end ? *end : 0;
        return S_OK;
    }

    // The bytes the receiver wrote (its actual data length).
    std::vector<BYTE> data() const { return {bytes_.begin(), bytes_.begin() + actual_}; }
    bool guardIntact() const {
        for (size_t i = static_cast<size_t>(size_); i < bytes_.size(); ++i)
            if (bytes_[i] != kGuard)
                return false;
        return true;
    }
    void setTimes(HRESULT result, REFERENCE_TIME start, REFERENCE_TIME end) {
        timeResult = result;
        start_ = start;
        end_ = end;
    }

    HRESULT timeResult = VFW_E_SAMPLE_TIME_NOT_SET;
    HRESULT mediaTimeResult = VFW_E_MEDIA_TIME_NOT_SET;
    bool sync = false, preroll = false, discontinuity = false;

private:
    std::vector<BYTE> bytes_;
    LONG size_;
    LONG actual_ = 0;
    REFERENCE_TIME start_ = 0, end_ = 0;
    LONGLONG mediaStart_ = 0, mediaEnd_ = 0;
    AM_MEDIA_TYPE* type_ = nullptr;
};
