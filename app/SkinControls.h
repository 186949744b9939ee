// The skinned and owner-drawn controls of the windows. Image buttons cut their four frames (normal, hover,
// hit, disabled) out of their window's four state pictures at their own place, so that each frame is the
// part of the full-window picture under the button; a switch has a second face from its "_ext" picture (a
// strip of the four frames side by side); the source button has one such strip per source (TV, CV, SV).
// A control without pictures draws a plain 3-D frame. Clicks arrive at the parent as BN_CLICKED.
#pragma once

#include "app/SkinLoader.h"
#include "app/UiMessages.h"
#include "platform/mfc/Controls.h"
#include "platform/mfc/Dc.h"

#include <array>
#include <string>

// The four looks of a button, by state.
struct ButtonFrames {
    std::array<CBitmap, 4> frame; // normal, hover, hit, disabled
    bool empty() const { return frame[0].IsNull(); }
    // Cuts the frames at rect out of the window's state pictures (normal, hover, hit, disable).
    void cut(const std::array<CBitmap, 5>& window, const CRect& rect);
    // Takes the frames from a strip of four frames of size cx x cy, in row `row`.
    void strip(const CBitmap& picture, int cx, int cy, int row = 0);
    void draw(CDC& dc, const RECT& rect, UINT itemState, const std::wstring& text) const;
};

class KQ_UI_ImageButton : public CButton {
public:
    // Cuts the frames of this button at its layout, placed in a window of the skin's size.
    void SetSkin(const std::array<CBitmap, 5>& window, const SkinItemLayout& layout, int skinCx, int skinCy);
    // Moves the button to its layout in the parent's client area.
    void Place();
    const SkinItemLayout& layout() const { return layout_; }
    const ButtonFrames& frames() const { return frames_; }

protected:
    void DrawItem(LPDRAWITEMSTRUCT item) override;
    ButtonFrames frames_;
    SkinItemLayout layout_;
};

// Two faces: the first (off) from the window's pictures, the second (on) from the "_ext" strip.
class KQ_UI_SwitchButton : public KQ_UI_ImageButton {
public:
    void SetSecondFace(const CBitmap& strip);
    void SetOn(bool on);
    bool IsOn() const { return on_; }

protected:
    void DrawItem(LPDRAWITEMSTRUCT item) override;

private:
    ButtonFrames second_;
    bool on_ = false;
};

// Shows which source is on: -1 none (the window's pictures), 0 TV, 1 CV, 2 SV (rows of the source strip).
class KQ_UI_SourceButton : public KQ_UI_ImageButton {
public:
    void SetSourceFaces(const CBitmap& grid);
    void SetIndicator(int index);
    int Indicator() const { return indicator_; }

protected:
    void DrawItem(LPDRAWITEMSTRUCT item) override;

private:
    std::array<ButtonFrames, 3> faces_;
    int indicator_ = -1;
};

// An owner-drawn check box: a click toggles it; BM_GETCHECK/BM_SETCHECK read and set it.
class KQ_UI_CheckBox : public CButton {
public:
    KQ_UI_CheckBox();

protected:
    void DrawItem(LPDRAWITEMSTRUCT item) override;

private:
    int checked_ = BST_UNCHECKED;
};

// A skinned slider: a track and a thumb that moves along it. Dragging or clicking the track sets the
// position and, when the button is released, posts WM_UI_SLIDER_CHANGED to the parent.
class KQ_UI_New_Slider : public CWnd {
public:
    // The groove from the window's normal picture at the track, the thumb's active look from the hover
    // picture and its disabled look from the disable picture, at the thumb's layout.
    void SetSkin(const std::array<CBitmap, 5>& window, const std::array<SkinItemLayout, 2>& layout,
                 int skinCx, int skinCy);
    void Place();
    void SetRange(int minimum, int maximum);
    void SetPos(int position);
    int GetPos() const { return pos_; }
    void SetActive(bool active); // false: the thumb in its disabled look, input ignored
    bool IsActive() const { return active_; }

protected:
    void OnPaint() override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;

private:
    int thumbLeft() const;
    void follow(int x);

    CBitmap groove_;
    CBitmap thumbActive_;
    CBitmap thumbDisabled_;
    std::array<SkinItemLayout, 2> layout_{};
    int min_ = 0;
    int max_ = 1000;
    int pos_ = 0;
    bool active_ = true;
    bool dragging_ = false;
};

// A text on the skin: no background, the given colour; "marked hidden" draws nothing.
class KQ_UI_TextStatic : public CStatic {
public:
    // Stores the text and redraws the control's place in the parent.
    void SetText(const std::wstring& text);
    const std::wstring& Text() const { return text_; }
    void SetTextColor(COLORREF colour);
    void MarkShown(bool shown);
    bool IsMarkedShown() const { return shown_; }
    void SetAlignment(UINT format) { format_ = format; }

protected:
    void DrawItem(LPDRAWITEMSTRUCT item) override;

private:
    std::wstring text_;
    COLORREF colour_ = RGB(255, 255, 255);
    UINT format_ = DT_LEFT;
    bool shown_ = true;
};

// The play or record time, counted in seconds by its own 1000 ms timer while running.
class KQ_UI_CTimeStatic : public KQ_UI_TextStatic {
public:
    void StartClock(); // the window must exist
    void StopClock();
    void Reset();   // 00:00:00, not running
    void Advance(); // one second more
    int Seconds() const { return seconds_; }
    static std::wstring Format(int seconds);

protected:
    void OnTimer(UINT_PTR id) override;

private:
    int seconds_ = 0;
    bool running_ = false;
};

// A label on a skinned pane: transparent background, black text.
class CStaticEz : public CStatic {
protected:
    void DrawItem(LPDRAWITEMSTRUCT item) override;
};

// The login pane's three login-type radios. A click selects the instance and sets the global login type.
enum LoginMode { LOGIN_MODE_ID = 0, LOGIN_MODE_IP = 1, LOGIN_MODE_DDNS = 2 };
extern int g_loginMode;

class KQ_UI_COwnerRadio : public CButton {
public:
    KQ_UI_COwnerRadio(const std::wstring& caption, int loginType, bool selected);
    bool IsSelected() const { return selected_ && g_loginMode == loginType_; }
    int LoginType() const { return loginType_; }
    void Select();

protected:
    void DrawItem(LPDRAWITEMSTRUCT item) override;
    void OnLButtonDown(UINT flags, POINT point) override;

private:
    std::wstring caption_;
    int loginType_;
    bool selected_;
};

// The three global radios, built before the windows exist.
KQ_UI_COwnerRadio& LoginRadio(int loginType);
