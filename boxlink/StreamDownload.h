// A file the box sends on the audio/video connection (after a start-file-transfer request): a begin record
// with the file's name, data records, an end record. The data pass through the file ring and reach the disk
// in writes of 1 MiB; the end record closes the file and tells the window of the last file request.
//
// The name comes from the box and is untrusted: at most 32 bytes up to the first NUL, in the legacy code
// page; an empty name, "." or "..", or one with '/', '\', ':' or a control character is refused, and so the
// file is only ever created inside the download folder. A download whose file could not be created or
// written ends with WM_BOX_FILE_RECEIVED wParam 1, else 0.
//
// Threads: used by the stream parser thread only; Received may be read from any thread.
#pragma once

#include "boxlink/RingBuffer.h"
#include "platform/win32/Types.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

class KQ_TCP_BoxClient;

// The file name of a begin record's name field (size bytes, at most 32 used), or nothing when refused.
std::optional<std::wstring> DownloadFileName(const BYTE* field, DWORD size);

class StreamDownload {
public:
    static constexpr DWORD kFileRingSize = 0x108000;
    static constexpr DWORD kBlock = 0x100000; // bytes per write to the disk

    explicit StreamDownload(KQ_TCP_BoxClient& client);
    ~StreamDownload();
    StreamDownload(const StreamDownload&) = delete;
    StreamDownload& operator=(const StreamDownload&) = delete;

    // The bodies of the three record types (n bytes after the record header).
    void Begin(const BYTE* body, DWORD n);
    void Data(const BYTE* body, DWORD n);
    void End();
    // The receiver stops: a file still open is closed, without a message.
    void Abandon();

    // Bytes of the download in progress, or of the last one once it ended.
    DWORD Received() const { return published_; }

private:
    void append(DWORD bytes);
    void close();

    KQ_TCP_BoxClient& client_;
    KQ_TCP_RingBuffer ring_{kFileRingSize};
    std::unique_ptr<BYTE[]> block_;
    std::FILE* file_ = nullptr;
    bool failed_ = true; // until a begin record opens a file
    DWORD received_ = 0;
    std::atomic<DWORD> published_{0};
};
