// The player facade's on-screen display: adding items, the volume bar and info texts, and the OSD thread
// that ages and draws them.
#include "media/Player.h"

#include "media/AvGraph.h"
#include "media/GraphHelpers.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Sync.h"

namespace {

constexpr int kInfoMs = 3100;
constexpr int kReplacedInfoMs = 3200;
constexpr int kVolumeBarMs = 3000;
constexpr int kUntilReplaced = 1; // no multiple of the 100 ms tick: never expires

} // namespace

HRESULT KQ_AV_Player::ShowOsd(const std::wstring& text, int position, int duration, COLORREF colour,
                              int blink) {
    std::lock_guard lock(lock_);
    if (!osd_)
        osd_ = std::make_unique<KQ_AV_OSD>();
    if (graph_)
        osd_->SetGraph(graph_->GetGraph());
    osd_->AddItem(text, position, duration, colour, blink);
    if (osd_->Activate()) {
        joinOsdThread(); // the last thread has left its loop; it only switches the overlay off
        osdEnd_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        osdThread_ =
            osdEnd_ ? CreateThread(nullptr, 0, &KQ_AV_Player::OsdThreadProc, this, 0, nullptr) : nullptr;
        if (!osdThread_) { // nothing to show the items: as if a thread had left its loop at once
            if (osdEnd_)
                CloseHandle(osdEnd_);
            osdEnd_ = nullptr;
            osd_->Deactivate();
            osd_->KeepGoing();
        }
    }
    return S_OK;
}

HRESULT KQ_AV_Player::ShowVolumeBar(int count) {
    return ShowOsd(VolumeBarText(count), OSD_LOWER_LEFT, kVolumeBarMs, kGreen, 0);
}

HRESULT KQ_AV_Player::ShowInfoText(const std::wstring& text, int sticky) {
    if (mode_ != PLAYER_MODE_LIVE)
        return E_FAIL;
    return ShowOsd(text, OSD_TOP_RIGHT, sticky ? kUntilReplaced : kInfoMs, kGreen, 0);
}

HRESULT KQ_AV_Player::ReplaceInfoText(const std::wstring& text) {
    std::lock_guard lock(lock_);
    if (mode_ != PLAYER_MODE_LIVE)
        return E_FAIL;
    if (osd_)
        osd_->RemoveAll();
    return ShowOsd(text, OSD_TOP_LEFT, kReplacedInfoMs, kGreen, 0);
}

DWORD KQ_AV_Player::OsdThreadProc(LPVOID self) {
    static_cast<KQ_AV_Player*>(self)->OsdLoop();
    return 0;
}

void KQ_AV_Player::OsdLoop() {
    SetThreadDescription(GetCurrentThread(), L"osd");
    KQ_AV_OSD& osd = *osd_;
    while (osd.KeepGoing()) {
        const int state = state_;
        // While paused the picture is redrawn on every tick.
        if (osd.TakeDirty() || state == PLAYER_STATE_PAUSED) {
            const bool overVideo = state >= PLAYER_STATE_PLAYING && state <= PLAYER_STATE_RECORDING;
            const HRESULT hr = overVideo ? osd.DrawVmr(videoWindow_) : osd.DrawWindow(videoWindow_);
            if (hr == S_FALSE)
                osd.MarkDirty(); // nothing to draw on yet
        }
        Sleep(KQ_AV_OSD::kTickMs);
        osd.Tick();
    }
    osd.DisableMixer();
    SetEvent(osdEnd_);
}

void KQ_AV_Player::joinOsdThread() {
    if (!osdThread_)
        return;
    WaitForSingleObject(osdEnd_, INFINITE);
    CloseHandle(osdThread_); // joins the thread
    CloseHandle(osdEnd_);
    osdThread_ = nullptr;
    osdEnd_ = nullptr;
}

void KQ_AV_Player::endOsdThread() {
    if (!osd_)
        return;
    osd_->HideOverlay();
    osd_->Deactivate();
    osd_->RemoveAll();
    joinOsdThread();
}
