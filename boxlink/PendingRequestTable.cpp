#include "boxlink/PendingRequestTable.h"

#include <algorithm>

std::list<PendingRequest>::iterator PendingRequestTable::find(DWORD sequence) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [sequence](const PendingRequest& r) { return r.sequence == sequence; });
}

void PendingRequestTable::Add(const BoxControlFrame& frame, HWND window, BYTE maxSends) {
    std::lock_guard lock(mutex_);
    entries_.push_front(PendingRequest{1, frame.sequence(), window, frame, maxSends});
}

bool PendingRequestTable::Remove(DWORD sequence) {
    return Claim(sequence).has_value();
}

std::optional<PendingRequest> PendingRequestTable::Claim(DWORD sequence) {
    std::lock_guard lock(mutex_);
    auto it = find(sequence);
    if (it == entries_.end())
        return std::nullopt;
    PendingRequest claimed = *it;
    entries_.erase(it);
    return claimed;
}

PendingRequestTable::Expiry
PendingRequestTable::Expire(DWORD sequence, const std::function<void(const BoxControlFrame&)>& resend,
                            PendingRequest* expired) {
    std::lock_guard lock(mutex_);
    auto it = find(sequence);
    if (it == entries_.end())
        return Expiry::Missing;
    if (it->sends < it->maxSends) {
        ++it->sends;
        resend(it->frame);
        return Expiry::Resent;
    }
    *expired = *it;
    entries_.erase(it);
    return Expiry::Expired;
}

bool PendingRequestTable::Touch(DWORD sequence, const std::function<void(PendingRequest&)>& touch) {
    std::lock_guard lock(mutex_);
    auto it = find(sequence);
    if (it == entries_.end())
        return false;
    touch(*it);
    return true;
}

bool PendingRequestTable::Any(const std::function<bool(const PendingRequest&)>& predicate) const {
    std::lock_guard lock(mutex_);
    return std::any_of(entries_.begin(), entries_.end(), predicate);
}

std::vector<PendingRequest> PendingRequestTable::Clear() {
    std::lock_guard lock(mutex_);
    std::vector<PendingRequest> all(entries_.begin(), entries_.end());
    entries_.clear();
    return all;
}

DWORD PendingRequestTable::Count() const {
    std::lock_guard lock(mutex_);
    return static_cast<DWORD>(entries_.size());
}
