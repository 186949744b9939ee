// The requests that wait for the box's reply, keyed by sequence number. Each entry is guarded by a window
// timer whose identifier is its sequence (set by the control channel); the reply and the timer's last
// expiry each claim the entry, and only the one that removes it acts, so a request is answered or failed,
// never both.
//
// Threads: senders add, the dispatcher claims, the UI thread's timer procedure expires. Every operation
// holds the table's lock, including the callbacks it runs; they must not use the table.
#pragma once

#include "boxlink/BoxControlFrame.h"

#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <vector>

struct PendingRequest {
    BYTE sends = 1; // the sends so far
    DWORD sequence = 0;
    HWND window = nullptr;
    BoxControlFrame frame; // as sent
    BYTE maxSends = 0;     // 0, 1 or 2: 2 allows one re-send
};

class PendingRequestTable {
public:
    enum class Expiry {
        Missing, // no entry: the reply took it
        Resent,  // sent again; the entry stays
        Expired, // removed: the caller posts the failure
    };

    // New entries go to the front.
    void Add(const BoxControlFrame& frame, HWND window, BYTE maxSends);
    bool Remove(DWORD sequence);
    // Removes the entry and hands it to the caller.
    std::optional<PendingRequest> Claim(DWORD sequence);
    // One timer expiry: while sends so far < maximum sends, counts a send and calls resend (under the lock,
    // so no re-send follows a claim); otherwise removes the entry into *expired.
    Expiry Expire(DWORD sequence, const std::function<void(const BoxControlFrame&)>& resend,
                  PendingRequest* expired);
    // Whether some entry satisfies the predicate (called under the lock).
    bool Any(const std::function<bool(const PendingRequest&)>& predicate) const;
    // Calls touch with the entry under the lock; false when there is none.
    bool Touch(DWORD sequence, const std::function<void(PendingRequest&)>& touch);
    // Removes every entry and hands them to the caller.
    std::vector<PendingRequest> Clear();
    DWORD Count() const;

private:
    std::list<PendingRequest>::iterator find(DWORD sequence);

    mutable std::mutex mutex_;
    std::list<PendingRequest> entries_;
};
