// Inside the DirectShow layer: File Source (Async). IFileSourceFilter::Load opens a file read-only; the
// one output pin "Output" offers a byte-stream type and answers IAsyncReader (random reads from any
// thread), which the filter downstream (the MP4 demultiplexer) pulls from.
#pragma once

#include "platform/dshow/BasePin.h"

#include <mutex>
#include <string>

namespace platform::dshow {

class FileSource;

class FileSourcePin final : public CBasePin, public IAsyncReader {
public:
    FileSourcePin(FileSource* filter, CCritSec* lock);
    HRESULT QueryInterface(REFIID iid, void** out) override { return NonDelegatingQueryInterface(iid, out); }
    ULONG AddRef() override { return m_pFilter->AddRef(); }
    ULONG Release() override { return m_pFilter->Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT BeginFlush() override { return E_UNEXPECTED; }
    HRESULT EndFlush() override { return E_UNEXPECTED; }

    HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override;
    HRESULT Length(LONGLONG* total, LONGLONG* available) override;

private:
    FileSource* source_;
};

class FileSource final : public CBaseFilter, public IFileSourceFilter {
public:
    DECLARE_IUNKNOWN
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);
    ~FileSource() override;
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }

    // A file already loaded is replaced; HRESULT_FROM_WIN32 of the error when the file cannot be opened.
    HRESULT Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;

private:
    friend class FileSourcePin;
    FileSource();

    CCritSec lock_;
    FileSourcePin pin_;
    std::mutex fileMutex_;
    int fd_ = -1;
    long long size_ = 0;
    std::wstring name_;
    CMediaType type_;
};

} // namespace platform::dshow
