// Inside of this layer only: the toolkit widgets that show windows, and the bridge of their input to the
// window's messages.
#pragma once

#include "platform/mfc/detail/WindowPart.h"

#include <QFrame>
#include <QLineEdit>
#include <QWidget>

#include <array>

namespace platform::mfc {

// A window the object paints itself: dialogs, owner-drawn controls and custom classes. Mouse input becomes
// WM_NCHITTEST (top-level windows), WM_LBUTTONDOWN/UP/DBLCLK, WM_RBUTTONDOWN/UP, WM_CONTEXTMENU,
// WM_MOUSEMOVE and WM_MOUSELEAVE; paint becomes WM_PAINT; resize WM_SIZE; the close box WM_CLOSE.
class HostFace : public QWidget {
public:
    HostFace(HWND hwnd, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    platform::gdi::Dib startingPicture(WindowPart& part) const;
    WindowPart* part() const;
    HWND hwnd_;
};

// The four fields of an IP-address control. As the system's control does, '.' in a field that holds a
// number moves on to the next field, and a field moves on by itself once typing fills it (three digits, or
// a value that another digit would take past 255); the field moved to has its text selected.
class IpAddressFace : public QFrame {
public:
    explicit IpAddressFace(QWidget* parent);
    // The number of fields that are not blank; the address packs the fields first-highest.
    int address(DWORD& value) const;
    void setAddress(DWORD value);
    void clear();
    std::array<QLineEdit*, 4> fields{};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moveOnFrom(std::size_t index);
};

// The face of a picture window paints with this (platform/mfc/PictureWindow.cpp).
void PaintPictures(PictureState& state, QWidget& face, HWND hwnd);

// Win32 virtual key of a toolkit key (0 when it has none).
UINT VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);
void InstallKeyboardBridge();

} // namespace platform::mfc
