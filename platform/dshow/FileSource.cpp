#include "platform/dshow/FileSource.h"

#include "platform/com/Com.h"
#include "platform/dshow/Uuids.h"
#include "platform/win32/Paths.h"

#include <cerrno>
#include <cwchar>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::dshow {
namespace {

HRESULT fromErrno(int error) {
    const DWORD code = error == ENOENT || error == ENOTDIR ? ERROR_FILE_NOT_FOUND
                       : error == EACCES || error == EPERM ? ERROR_ACCESS_DENIED
                                                           : ERROR_INVALID_PARAMETER;
    return static_cast<HRESULT>(0x80070000u | code);
}

} // namespace

FileSourcePin::FileSourcePin(FileSource* filter, CCritSec* lock)
    : CBasePin(L"FileSourcePin", filter, lock, nullptr, L"Output", PINDIR_OUTPUT), source_(filter) {}

HRESULT FileSourcePin::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (iid == IID_IAsyncReader)
        return GetInterface(static_cast<IAsyncReader*>(this), out);
    return CBasePin::NonDelegatingQueryInterface(iid, out);
}

HRESULT FileSourcePin::CheckMediaType(const CMediaType* type) {
    std::lock_guard lock(source_->fileMutex_);
    if (source_->fd_ < 0)
        return VFW_E_NOT_CONNECTED;
    return *type->Type() == MEDIATYPE_Stream ? S_OK : S_FALSE;
}

HRESULT FileSourcePin::GetMediaType(int position, CMediaType* type) {
    if (position < 0)
        return E_INVALIDARG;
    std::lock_guard lock(source_->fileMutex_);
    if (position > 0 || source_->fd_ < 0)
        return VFW_S_NO_MORE_ITEMS;
    *type = source_->type_;
    return S_OK;
}

HRESULT FileSourcePin::SyncRead(LONGLONG position, LONG length, BYTE* buffer) {
    if (!buffer)
        return E_POINTER;
    if (position < 0 || length < 0)
        return E_INVALIDARG;
    int fd;
    {
        std::lock_guard lock(source_->fileMutex_);
        fd = source_->fd_;
    }
    if (fd < 0)
        return E_UNEXPECTED;
    LONG done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, buffer + done, static_cast<size_t>(length - done), position + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fromErrno(errno);
        if (got == 0)
            break;
        done += static_cast<LONG>(got);
    }
    return done == length ? S_OK : S_FALSE;
}

HRESULT FileSourcePin::Length(LONGLONG* total, LONGLONG* available) {
    if (!total || !available)
        return E_POINTER;
    std::lock_guard lock(source_->fileMutex_);
    if (source_->fd_ < 0)
        return E_UNEXPECTED;
    *total = *available = source_->size_;
    return S_OK;
}

CUnknown* FileSource::CreateInstance(IUnknown*, HRESULT* hr) {
    *hr = S_OK;
    return new FileSource;
}

FileSource::FileSource()
    : CBaseFilter(L"FileSource", nullptr, &lock_, CLSID_AsyncReader), pin_(this, &lock_) {}

FileSource::~FileSource() {
    if (fd_ >= 0)
        ::close(fd_);
}

HRESULT FileSource::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (iid == IID_IFileSourceFilter)
        return GetInterface(static_cast<IFileSourceFilter*>(this), out);
    return CBaseFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT FileSource::Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) {
    if (!fileName)
        return E_POINTER;
    CAutoLock filter(&lock_);
    if (pin_.IsConnected())
        return VFW_E_ALREADY_CONNECTED;
    const int fd = ::open(platform::NativePath(fileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fromErrno(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fromErrno(EACCES);
    }
    std::lock_guard lock(fileMutex_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
    size_ = st.st_size;
    name_ = fileName;
    type_ = type ? CMediaType(*type) : CMediaType(&MEDIATYPE_Stream);
    type_.SetType(&MEDIATYPE_Stream);
    return S_OK;
}

HRESULT FileSource::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
    if (!fileName)
        return E_POINTER;
    std::lock_guard lock(fileMutex_);
    *fileName = nullptr;
    if (fd_ < 0)
        return E_FAIL;
    *fileName = static_cast<LPOLESTR>(CoTaskMemAlloc((name_.size() + 1) * sizeof(wchar_t)));
    if (!*fileName)
        return E_OUTOFMEMORY;
    std::wmemcpy(*fileName, name_.c_str(), name_.size() + 1);
    return type ? CopyMediaType(type, &type_) : S_OK;
}

} // namespace platform::dshow
