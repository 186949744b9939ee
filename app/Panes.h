// The side panes docked at the left of the main window: the TV pane (channel keys for the tuner) and the
// remote pane (the learned keys of the IR remote, for the other sources). Both are skinned, captionless and
// shaped by their background picture.
#pragma once

#include "app/SkinControls.h"
#include "platform/mfc/Dialog.h"
#include "platform/mfc/Region.h"

#include <array>
#include <string>

class KQ_UI_VeloqApp;

// Keys 0-9 type a channel number (shown in the display) and Enter tunes it; the last key goes back to the
// channel before; the arrows step through the channel table; the star marks the channel as a favourite.
// A tune sends the set-channel request with the pane as reply window; the reply shows the channel, puts
// its name on the on-screen display and remembers it as the login's last channel.
class KQ_UI_TVPaneDlg : public CDialog {
public:
    KQ_UI_TVPaneDlg();
    ~KQ_UI_TVPaneDlg() override;

    BOOL OnInitDialog() override;
    void ApplySkinLayout();

    bool SelectChannelIndex(int index); // sends the request; false when there is no such channel
    bool SelectChannelNumber(int number);
    void StepChannel(int step);
    void ShowChannelIndex(int index); // the display only, no request
    const std::wstring& Typed() const { return typed_; }
    std::wstring DisplayText() const { return display_.Text(); }

protected:
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    KQ_UI_VeloqApp& app() const;
    void onKey(int index);
    LRESULT onChannelSet();

    std::array<KQ_UI_ImageButton, 15> keys_;
    KQ_UI_SwitchButton favourite_;
    KQ_UI_TextStatic display_;
    CRgn region_;
    std::wstring typed_;
    int pending_ = -1;
    int previous_ = -1;
};

// In use mode each learned key of the current IR profile sends its code through the box; the others are
// greyed. In learning mode (started by the Remoter page) every key asks the box to learn that key for the
// profile, and a key the box learned is marked learned in the key map; back in use mode the key map is
// stored as the current profile of the login's history.
class KQ_UI_RemotePaneDlg : public CDialog {
public:
    KQ_UI_RemotePaneDlg();
    ~KQ_UI_RemotePaneDlg() override;

    BOOL OnInitDialog() override;
    void ApplySkinLayout();
    BOOL PreTranslateMessage(MSG* msg) override;

    void BeginLearning(const std::wstring& profile);
    // Use mode again; the key map is saved as the history's profile (its result; 0 without a login folder).
    int EndLearning();
    bool IsLearning() const { return learning_; }
    const std::wstring& LearningProfile() const { return profile_; }

protected:
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    KQ_UI_VeloqApp& app() const;
    void onKey(int id);
    LRESULT onLearnResult(WPARAM learned);

    std::array<KQ_UI_ImageButton, 36> keys_;
    CRgn region_;
    bool learning_ = false;
    std::wstring profile_;
    int learningKey_ = 0; // the key the box is learning, 0 when none
};

// A pane's skin background, drawn at the top-left; and the pane's shape from it.
void DrawPaneBackground(CDC& dc, CWnd& pane, const CBitmap& background);
void ShapePane(CWnd& pane, CRgn& region, const CBitmap& background, const SkinItemLayout& layout);
