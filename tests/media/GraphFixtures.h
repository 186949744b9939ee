// What the graph holder's tests put in a graph: a filter that only seeks (recording what it is asked,
// failing on demand), and a UYVY picture source for the video renderer.
#pragma once

#include "tests/support/TestFilters.h"

#include "platform/com/Com.h"
#include "platform/dshow/Enumerators.h"
#include "platform/dshow/Uuids.h"

namespace mediatest {

class SeekRecorder final : public CBaseFilter, public IMediaSeeking {
public:
    DECLARE_IUNKNOWN
    static SeekRecorder* make() {
        auto* f = new SeekRecorder;
        f->AddRef();
        return f;
    }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IMediaSeeking)
            return GetInterface(static_cast<IMediaSeeking*>(this), out);
        return CBaseFilter::NonDelegatingQueryInterface(iid, out);
    }
    int GetPinCount() override { return 0; }
    CBasePin* GetPin(int) override { return nullptr; }

    HRESULT GetCapabilities(DWORD* c) override {
        *c = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration;
        return S_OK;
    }
    HRESULT IsFormatSupported(const GUID*) override { return S_OK; }
    HRESULT GetTimeFormat(GUID* f) override {
        *f = TIME_FORMAT_MEDIA_TIME;
        return S_OK;
    }
    HRESULT SetTimeFormat(const GUID*) override { return S_OK; }
    HRESULT GetDuration(LONGLONG* d) override {
        *d = duration;
        return failDuration ? E_FAIL : S_OK;
    }
    HRESULT GetStopPosition(LONGLONG* s) override { return GetDuration(s); }
    HRESULT GetCurrentPosition(LONGLONG* c) override {
        *c = position;
        return S_OK;
    }
    HRESULT SetPositions(LONGLONG* current, DWORD flags, LONGLONG*, DWORD) override {
        if (current)
            position = *current;
        positionFlags = flags;
        ++seeks;
        return S_OK;
    }
    HRESULT GetPositions(LONGLONG* c, LONGLONG* s) override {
        *c = position;
        *s = duration;
        return S_OK;
    }
    HRESULT SetRate(double) override { return S_OK; }
    HRESULT GetRate(double* r) override {
        *r = 1;
        return S_OK;
    }

    LONGLONG duration = 123456789;
    bool failDuration = false;
    LONGLONG position = -1;
    DWORD positionFlags = 0;
    int seeks = 0;

private:
    SeekRecorder() : CBaseFilter(L"SeekRecorder", nullptr, &lock_, GUID_NULL) {}
    CCritSec lock_;
};

inline CMediaType uyvyType(int width, int height) {
    CMediaType t = testfilters::videoType(MEDIASUBTYPE_UYVY);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(t.Format());
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    vih->bmiHeader.biBitCount = 16;
    return t;
}

// A UYVY picture of `width` x `height` at 2 x width per row: luma rising left to right, a chroma pattern.
inline std::vector<BYTE> uyvyPattern(int width, int height) {
    std::vector<BYTE> bytes(static_cast<size_t>(width) * 2 * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; x += 2) {
            BYTE* p = &bytes[static_cast<size_t>((y * width + x) * 2)];
            p[0] = static_cast<BYTE>(64 + (y * 128) / height);
            p[1] = static_cast<BYTE>(16 + (x * 219) / width);
            p[2] = static_cast<BYTE>(192 - (x * 128) / width);
            p[3] = static_cast<BYTE>(16 + ((x + 1) * 219) / width);
        }
    return bytes;
}

} // namespace mediatest
