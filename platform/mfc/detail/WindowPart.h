// Inside of this layer only: the window behind a CWnd, its toolkit face and the bridge of toolkit input to
// Win32 messages. Not for the code above platform/mfc.
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/mfc/Dc.h"
#include "platform/mfc/Wnd.h"
#include "platform/win32/Text.h"

#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace platform::mfc {

struct PictureState; // of a picture window (platform/mfc/PictureWindow.h)

enum class FaceKind {
    Plain,       // a window the object paints itself (dialogs, custom classes)
    PushButton,  // toolkit push button
    CheckBox,    // toolkit check box (BS_AUTOCHECKBOX, BS_CHECKBOX)
    RadioButton, // toolkit radio button
    OwnerButton, // BS_OWNERDRAW: DrawItem paints it; clicks become BN_CLICKED
    Static,      // text label
    OwnerStatic, // SS_OWNERDRAW: DrawItem paints it
    EtchedLine,  // SS_ETCHEDHORZ
    Edit,
    Combo,
    IpAddress,
    Tab, // the common controls of CommonControls.h (platform/mfc/detail/CommonFaces.h)
    DateTime,
    ListView,
    Spin,
    Slider,
};

FaceKind KindOf(const std::wstring& className, DWORD style);

struct WindowPart {
    HWND hwnd = nullptr;
    QPointer<QWidget> face;
    FaceKind kind = FaceKind::Plain;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring text;      // the text of a self-painted window
    CWnd* parent = nullptr; // parent of a child, owner of a top-level window
    bool topLevel = false;
    std::vector<CWnd*> children;               // children and owned top-level windows, in creation order
    std::vector<std::unique_ptr<CWnd>> spares; // template controls that no object subclassed

    // Owner-drawn buttons: pushed while the left button is held over them; hot while the mouse is over.
    bool pressed = false;
    bool captured = false;
    bool hot = false;

    // Layered windows: pixels of this colour are not shown.
    bool colourKeyed = false;
    COLORREF colourKey = 0;

    // Top-level windows: the manual move or resize in progress (when the window system can't do it).
    int dragMode = 0; // 0 none, 1 move, 2 resize
    QPoint dragOrigin;
    QRect dragStart;

    HDC paintDc = nullptr;       // set while the window paints: a memory DC on a picture of the client area
    std::unique_ptr<CFont> font; // the window's font, what its paint DC starts with
    platform::gdi::Dib lastPainting; // a top-level window's last picture: where its children start from
    bool redraw = true;
    std::shared_ptr<PictureState> pictures; // set for a picture window: its face paints only that
};

// Posted to a window by the drawing thread when its GDI layer changed: the face repaints.
constexpr UINT kLayerChangedMessage = 0xBFF0;

// The face of a window as the toolkit class T, or null when it is of another class.
template <class T> T* FaceAs(const CWnd* wnd) {
    return wnd->part() ? qobject_cast<T*>(wnd->part()->face.data()) : nullptr;
}

// The object whose window a widget (or one of its inner widgets) belongs to.
CWnd* OwnerOf(const QWidget* widget);
// Creates the face of a window part; parentFace is null for a top-level window.
void CreateFace(WindowPart& part, QWidget* parentFace, const std::wstring& text);
void ApplyTopLevelFlags(WindowPart& part);
QFont MapFont(const std::wstring& face, int pixelHeight, bool bold);
QColor ToColor(COLORREF colour);

// The pixels of a CBitmap: a 32-bit DIB section of the GDI, deleted with the last CBitmap that holds it.
struct Picture {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
    ~Picture();
};
// A CDC's device context: its own memory DC, or a window's paint DC that it only borrows.
struct DrawTarget {
    HDC dc = nullptr;
    bool owned = false;
    CBitmap* selectedObject = nullptr; // the GDI keeps its bitmap alive while selected
    HGDIOBJ firstBitmap = nullptr;     // what the memory DC had before the first selection
    HGDIOBJ firstFont = nullptr;
    HWND window = nullptr; // the window painted, for a paint context
};
// A window's picture as an image for the toolkit.
QImage ToImage(const platform::gdi::Dib& dib);

} // namespace platform::mfc
