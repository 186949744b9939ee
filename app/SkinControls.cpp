#include "app/SkinControls.h"

#include <algorithm>
#include <cstdio>

int g_loginMode = LOGIN_MODE_ID;

namespace {

// A piece of a picture as a bitmap of its own (null when the piece lies outside).
CBitmap cutPicture(const CBitmap& source, const CRect& rect) {
    CBitmap piece;
    const CSize size = source.GetSize();
    if (source.IsNull() || rect.IsRectEmpty() || rect.left < 0 || rect.top < 0 || rect.right > size.cx ||
        rect.bottom > size.cy)
        return piece;
    CBitmap from = source;
    piece.CreateBitmap(rect.Width(), rect.Height());
    CDC src, dst;
    src.CreateCompatibleDC(nullptr);
    dst.CreateCompatibleDC(nullptr);
    src.SelectObject(&from);
    dst.SelectObject(&piece);
    dst.BitBlt(0, 0, rect.Width(), rect.Height(), &src, rect.left, rect.top);
    dst.SelectObject(static_cast<CBitmap*>(nullptr));
    return piece;
}

void drawPicture(CDC& dc, const CBitmap& picture, int x, int y) {
    CBitmap copy = picture;
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    memory.SelectObject(&copy);
    const CSize size = picture.GetSize();
    dc.BitBlt(x, y, size.cx, size.cy, &memory, 0, 0);
}

int frameOf(UINT state) {
    if (state & ODS_DISABLED)
        return 3;
    if (state & ODS_SELECTED)
        return 2;
    if (state & ODS_HOTLIGHT)
        return 1;
    return 0;
}

CRect skinRect(const SkinItemLayout& layout, CWnd* window) {
    CWnd* parent = window->GetParent();
    RECT client{0, 0, 0, 0};
    if (parent)
        parent->GetClientRect(&client);
    return PlaceLayout(layout, client.right, client.bottom);
}

} // namespace

void ButtonFrames::cut(const std::array<CBitmap, 5>& window, const CRect& rect) {
    for (int i = 0; i < 4; ++i)
        frame[static_cast<std::size_t>(i)] =
            cutPicture(window[static_cast<std::size_t>(kPicNormal + i)], rect);
    // A state picture that is missing borrows the normal look.
    for (CBitmap& f : frame)
        if (f.IsNull())
            f = frame[0];
}

void ButtonFrames::strip(const CBitmap& picture, int cx, int cy, int row) {
    for (int i = 0; i < 4; ++i)
        frame[static_cast<std::size_t>(i)] =
            cutPicture(picture, CRect(i * cx, row * cy, (i + 1) * cx, (row + 1) * cy));
    for (CBitmap& f : frame)
        if (f.IsNull())
            f = frame[0];
}

void ButtonFrames::draw(CDC& dc, const RECT& rect, UINT itemState, const std::wstring& text) const {
    const CBitmap& picture = frame[static_cast<std::size_t>(frameOf(itemState))];
    if (!picture.IsNull()) {
        drawPicture(dc, picture, rect.left, rect.top);
        return;
    }
    const bool down = itemState & ODS_SELECTED;
    dc.FillSolidRect(rect, RGB(212, 208, 200));
    dc.Draw3dRect(rect, down ? RGB(128, 128, 128) : RGB(255, 255, 255),
                  down ? RGB(255, 255, 255) : RGB(64, 64, 64));
    RECT inner = rect;
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor((itemState & ODS_DISABLED) ? RGB(128, 128, 128) : RGB(0, 0, 0));
    dc.DrawText(text, &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void KQ_UI_ImageButton::SetSkin(const std::array<CBitmap, 5>& window, const SkinItemLayout& layout,
                                int skinCx, int skinCy) {
    layout_ = layout;
    frames_.cut(window, PlaceLayout(layout, skinCx, skinCy));
    Invalidate(FALSE);
}

void KQ_UI_ImageButton::Place() {
    const CRect r = skinRect(layout_, this);
    MoveWindow(r.left, r.top, r.Width(), r.Height(), TRUE);
}

void KQ_UI_ImageButton::DrawItem(LPDRAWITEMSTRUCT item) {
    frames_.draw(*item->pDC, item->rcItem, item->itemState, GetWindowText());
}

void KQ_UI_SwitchButton::SetSecondFace(const CBitmap& strip) {
    second_.strip(strip, layout_.cx, layout_.cy);
    Invalidate(FALSE);
}

void KQ_UI_SwitchButton::SetOn(bool on) {
    if (on_ != on) {
        on_ = on;
        Invalidate(FALSE);
    }
}

void KQ_UI_SwitchButton::DrawItem(LPDRAWITEMSTRUCT item) {
    (on_ && !second_.empty() ? second_ : frames_)
        .draw(*item->pDC, item->rcItem, item->itemState, GetWindowText());
}

void KQ_UI_SourceButton::SetSourceFaces(const CBitmap& grid) {
    for (int row = 0; row < 3; ++row)
        faces_[static_cast<std::size_t>(row)].strip(grid, layout_.cx, layout_.cy, row);
    Invalidate(FALSE);
}

void KQ_UI_SourceButton::SetIndicator(int index) {
    indicator_ = index >= 0 && index < 3 ? index : -1;
    Invalidate(FALSE);
}

void KQ_UI_SourceButton::DrawItem(LPDRAWITEMSTRUCT item) {
    const bool own = indicator_ >= 0 && !faces_[static_cast<std::size_t>(indicator_)].empty();
    static const wchar_t* const kNames[3] = {L"TV", L"CV", L"SV"};
    (own ? faces_[static_cast<std::size_t>(indicator_)] : frames_)
        .draw(*item->pDC, item->rcItem, item->itemState,
              indicator_ >= 0 ? kNames[indicator_] : GetWindowText());
}

KQ_UI_CheckBox::KQ_UI_CheckBox() {
    MapMessage(BM_GETCHECK, [this](WPARAM, LPARAM) { return LRESULT{checked_}; });
    MapMessage(BM_SETCHECK, [this](WPARAM w, LPARAM) {
        checked_ = w == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
        Invalidate(FALSE);
        return LRESULT{0};
    });
    MapMessage(WM_LBUTTONUP, [this](WPARAM w, LPARAM l) {
        const bool click = IsPushed();
        if (click) {
            checked_ = checked_ == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            Invalidate(FALSE);
        }
        return DefWindowProc(WM_LBUTTONUP, w, l);
    });
}

void KQ_UI_CheckBox::DrawItem(LPDRAWITEMSTRUCT item) {
    RECT box = item->rcItem;
    const int side = std::min<int>(13, std::min(box.right - box.left, box.bottom - box.top));
    box.right = box.left + side;
    box.top += ((item->rcItem.bottom - item->rcItem.top) - side) / 2;
    box.bottom = box.top + side;
    item->pDC->DrawFrameControl(&box, DFC_BUTTON,
                                DFCS_BUTTONCHECK | (checked_ ? DFCS_CHECKED : 0) |
                                    ((item->itemState & ODS_DISABLED) ? DFCS_INACTIVE : 0));
}

void KQ_UI_New_Slider::SetSkin(const std::array<CBitmap, 5>& window,
                               const std::array<SkinItemLayout, 2>& layout, int skinCx, int skinCy) {
    layout_ = layout;
    groove_ = cutPicture(window[kPicNormal], PlaceLayout(layout[0], skinCx, skinCy));
    const CRect thumb = PlaceLayout(layout[1], skinCx, skinCy);
    thumbActive_ = cutPicture(window[kPicHover], thumb);
    thumbDisabled_ = cutPicture(window[kPicDisable], thumb);
    Invalidate();
}

// The slider's window spans the track and the thumb's height; the track is centred in it.
void KQ_UI_New_Slider::Place() {
    const CRect track = skinRect(layout_[0], this);
    const CRect thumb = skinRect(layout_[1], this);
    const int top = std::min(track.top, thumb.top);
    const int bottom = std::max(track.bottom, thumb.bottom);
    MoveWindow(track.left, top, std::max(track.Width(), thumb.Width()), bottom - top, TRUE);
}

void KQ_UI_New_Slider::SetRange(int minimum, int maximum) {
    min_ = minimum;
    max_ = std::max(minimum, maximum);
    SetPos(pos_);
}

void KQ_UI_New_Slider::SetPos(int position) {
    pos_ = std::clamp(position, min_, max_);
    Invalidate();
}

void KQ_UI_New_Slider::SetActive(bool active) {
    active_ = active;
    if (!active)
        dragging_ = false;
    Invalidate();
}

int KQ_UI_New_Slider::thumbLeft() const {
    RECT client;
    GetClientRect(&client);
    const int travel = std::max(0, static_cast<int>(client.right) - layout_[1].cx);
    return max_ > min_ ? static_cast<int>(static_cast<long long>(pos_ - min_) * travel / (max_ - min_)) : 0;
}

void KQ_UI_New_Slider::OnPaint() {
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    const int grooveTop = (client.bottom - layout_[0].cy) / 2;
    if (!groove_.IsNull()) {
        drawPicture(dc, groove_, 0, grooveTop);
    } else {
        dc.FillSolidRect(0, grooveTop, client.right, layout_[0].cy, RGB(60, 60, 60));
        dc.Draw3dRect(RECT{0, grooveTop, client.right, grooveTop + layout_[0].cy}, RGB(30, 30, 30),
                      RGB(160, 160, 160));
    }
    const int x = thumbLeft();
    const int thumbTop = (client.bottom - layout_[1].cy) / 2;
    const CBitmap& thumb = active_ ? thumbActive_ : thumbDisabled_;
    if (!thumb.IsNull()) {
        drawPicture(dc, thumb, x, thumbTop);
    } else {
        const RECT r{x, thumbTop, x + layout_[1].cx, thumbTop + layout_[1].cy};
        dc.FillSolidRect(r, active_ ? RGB(220, 220, 220) : RGB(140, 140, 140));
        dc.Draw3dRect(r, RGB(255, 255, 255), RGB(64, 64, 64));
    }
}

void KQ_UI_New_Slider::follow(int x) {
    RECT client;
    GetClientRect(&client);
    const int travel = std::max(1, static_cast<int>(client.right) - layout_[1].cx);
    const int offset = std::clamp(x - layout_[1].cx / 2, 0, travel);
    SetPos(min_ + static_cast<int>(static_cast<long long>(offset) * (max_ - min_) / travel));
}

void KQ_UI_New_Slider::OnLButtonDown(UINT, POINT point) {
    if (!active_ || !IsWindowEnabled())
        return;
    dragging_ = true;
    follow(point.x);
}

void KQ_UI_New_Slider::OnMouseMove(UINT, POINT point) {
    if (dragging_)
        follow(point.x);
}

void KQ_UI_New_Slider::OnLButtonUp(UINT, POINT point) {
    if (!dragging_)
        return;
    dragging_ = false;
    follow(point.x);
    if (CWnd* parent = GetParent())
        parent->PostMessage(WM_UI_SLIDER_CHANGED, static_cast<WPARAM>(GetDlgCtrlID()), 0);
}

void KQ_UI_TextStatic::SetText(const std::wstring& text) {
    text_ = text;
    RedrawWindow();
}

void KQ_UI_TextStatic::SetTextColor(COLORREF colour) {
    colour_ = colour;
    Invalidate();
}

void KQ_UI_TextStatic::MarkShown(bool shown) {
    shown_ = shown;
    Invalidate();
}

void KQ_UI_TextStatic::DrawItem(LPDRAWITEMSTRUCT item) {
    if (!shown_)
        return;
    RECT r = item->rcItem;
    item->pDC->SetBkMode(TRANSPARENT);
    item->pDC->SetTextColor(colour_);
    item->pDC->DrawText(text_, &r, format_ | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

std::wstring KQ_UI_CTimeStatic::Format(int seconds) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%02d:%02d:%02d", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    return text;
}

void KQ_UI_CTimeStatic::StartClock() {
    if (!running_ && SetTimer(1, 1000, nullptr))
        running_ = true;
}

void KQ_UI_CTimeStatic::StopClock() {
    if (running_)
        KillTimer(1);
    running_ = false;
}

void KQ_UI_CTimeStatic::Reset() {
    StopClock();
    seconds_ = 0;
    SetText(Format(0));
}

void KQ_UI_CTimeStatic::Advance() {
    ++seconds_;
    SetText(Format(seconds_));
}

void KQ_UI_CTimeStatic::OnTimer(UINT_PTR id) {
    if (id == 1)
        Advance();
}

void CStaticEz::DrawItem(LPDRAWITEMSTRUCT item) {
    RECT r = item->rcItem;
    item->pDC->SetBkMode(TRANSPARENT);
    item->pDC->SetTextColor(RGB(0, 0, 0));
    item->pDC->DrawText(GetWindowText(), &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

KQ_UI_COwnerRadio::KQ_UI_COwnerRadio(const std::wstring& caption, int loginType, bool selected)
    : caption_(caption), loginType_(loginType), selected_(selected) {}

void KQ_UI_COwnerRadio::Select() {
    g_loginMode = loginType_;
    selected_ = true;
    if (CWnd* parent = GetParent())
        parent->Invalidate(FALSE);
    Invalidate(FALSE);
}

void KQ_UI_COwnerRadio::OnLButtonDown(UINT flags, POINT point) {
    if (IsWindowEnabled())
        Select();
    CButton::OnLButtonDown(flags, point);
}

void KQ_UI_COwnerRadio::DrawItem(LPDRAWITEMSTRUCT item) {
    const RECT& r = item->rcItem;
    RECT text{r.left + 17, r.top, std::max(r.left + 45, r.right), r.top + 15}; // wide enough for "DDNS"
    item->pDC->SetBkMode(TRANSPARENT);
    item->pDC->SetTextColor(RGB(0, 0, 0));
    item->pDC->DrawText(caption_, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    RECT box{r.left, r.top + 1, r.left + 12, r.top + 13};
    const bool checked = (item->itemState & ODS_SELECTED) || IsSelected();
    item->pDC->DrawFrameControl(&box, DFC_BUTTON,
                                DFCS_BUTTONRADIO | DFCS_TRANSPARENT | (checked ? DFCS_CHECKED : 0));
}

KQ_UI_COwnerRadio& LoginRadio(int loginType) {
    static KQ_UI_COwnerRadio radios[3] = {
        {L"ID", LOGIN_MODE_ID, true}, {L"IP", LOGIN_MODE_IP, false}, {L"DDNS", LOGIN_MODE_DDNS, false}};
    return radios[std::clamp(loginType, 0, 2)];
}
