#include "platform/mfc/Dc.h"

#include "platform/mfc/Region.h"
#include "platform/mfc/detail/WindowPart.h"
#include "platform/win32/Paths.h"

#include <QFontMetrics>

using platform::mfc::DrawTarget;
using platform::mfc::Picture;

namespace {

constexpr int kMaxBitmapSide = 16384;

QRect qrect(const RECT& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

const QImage* sourceImage(CDC* source) {
    if (!source || !source->target() || !source->target()->selected || !source->target()->selected->picture())
        return nullptr;
    return &source->target()->selected->picture()->image;
}

QFont fontOf(const DrawTarget& t) {
    if (t.font)
        return platform::mfc::MapFont(t.font->face(), t.font->height(), t.font->bold());
    if (t.painter && !t.memory)
        return t.painter->font();
    return platform::mfc::MapFont(L"MS Shell Dlg", 11, false);
}

} // namespace

CBitmap::CBitmap() = default;
CBitmap::~CBitmap() = default;

CBitmap::CBitmap(const CBitmap& other)
    : picture_(other.picture_ ? std::make_shared<Picture>(*other.picture_) : nullptr) {}

CBitmap& CBitmap::operator=(const CBitmap& other) {
    if (this != &other)
        picture_ = other.picture_ ? std::make_shared<Picture>(*other.picture_) : nullptr;
    return *this;
}

namespace {

bool loadImage(const std::wstring& path, const char* format, QImage& image) {
    const std::string native = platform::NativePath(path).string();
    return image.load(QString::fromStdString(native), format) && !image.isNull() &&
           image.width() <= kMaxBitmapSide && image.height() <= kMaxBitmapSide;
}

} // namespace

BOOL CBitmap::LoadPicture(const std::wstring& path) {
    picture_.reset();
    QImage image;
    if (!loadImage(path, nullptr, image))
        return FALSE;
    picture_ = std::make_shared<Picture>(Picture{image.convertToFormat(QImage::Format_RGB32)});
    return TRUE;
}

BOOL CBitmap::LoadFromFile(const std::wstring& path) {
    picture_.reset();
    QImage image;
    if (!loadImage(path, "BMP", image))
        return FALSE;
    picture_ = std::make_shared<Picture>(Picture{image.convertToFormat(QImage::Format_RGB32)});
    return TRUE;
}

BOOL CBitmap::LoadBitmap(UINT resourceId) {
    return LoadFromFile(L".\\res\\" + std::to_wstring(resourceId) + L".bmp");
}

BOOL CBitmap::CreateBitmap(int cx, int cy, COLORREF fill) {
    picture_.reset();
    if (cx <= 0 || cy <= 0 || cx > kMaxBitmapSide || cy > kMaxBitmapSide)
        return FALSE;
    QImage image(cx, cy, QImage::Format_RGB32);
    image.fill(platform::mfc::ToColor(fill));
    picture_ = std::make_shared<Picture>(Picture{std::move(image)});
    return TRUE;
}

BOOL CBitmap::SetPixels(int cx, int cy, const std::uint32_t* rows, std::size_t stride) {
    if (!rows || stride < static_cast<std::size_t>(cx) * 4 || !CreateBitmap(cx, cy))
        return FALSE;
    QImage& image = picture_->image;
    for (int y = 0; y < cy; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(rows) +
                                                                 static_cast<std::size_t>(y) * stride);
        auto* dst = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < cx; ++x)
            dst[x] = 0xFF000000u | (src[x] & 0x00FFFFFFu);
    }
    return TRUE;
}

BOOL CBitmap::DeleteObject() {
    const bool had = picture_ != nullptr;
    picture_.reset();
    return had;
}

bool CBitmap::IsNull() const {
    return !picture_;
}

CSize CBitmap::GetSize() const {
    return picture_ ? CSize{picture_->image.width(), picture_->image.height()} : CSize{};
}

COLORREF CBitmap::GetPixel(int x, int y) const {
    if (!picture_ || !picture_->image.valid(x, y))
        return CLR_INVALID;
    const QRgb p = picture_->image.pixel(x, y);
    return RGB(static_cast<BYTE>(qRed(p)), static_cast<BYTE>(qGreen(p)), static_cast<BYTE>(qBlue(p)));
}

BOOL CBitmap::SaveBmp(const std::wstring& path) const {
    if (!picture_)
        return FALSE;
    return picture_->image.save(QString::fromStdString(platform::NativePath(path).string()), "BMP");
}

BOOL CFont::CreateFont(int pixelHeight, const std::wstring& face, bool bold) {
    height_ = std::abs(pixelHeight);
    face_ = face;
    bold_ = bold;
    return height_ > 0;
}

CDC::CDC() : target_(std::make_unique<DrawTarget>()) {}

CDC::~CDC() {
    if (target_->own)
        target_->own->end();
}

BOOL CDC::CreateCompatibleDC(CDC*) {
    target_->memory = true;
    return TRUE;
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
    DrawTarget& t = *target_;
    CBitmap* before = t.selected;
    if (!t.memory)
        return nullptr;
    if (t.own) {
        t.own->end();
        t.own.reset();
    }
    t.painter = nullptr;
    t.selected = bitmap;
    if (bitmap && bitmap->picture()) {
        t.own = std::make_unique<QPainter>(&bitmap->picture()->image);
        t.painter = t.own.get();
    }
    return before;
}

CFont* CDC::SelectObject(CFont* font) {
    CFont* before = target_->font;
    target_->font = font;
    return before;
}

void CDC::FillSolidRect(const RECT& rect, COLORREF colour) {
    if (target_->painter)
        target_->painter->fillRect(qrect(rect), platform::mfc::ToColor(colour));
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF colour) {
    FillSolidRect(RECT{x, y, x + cx, y + cy}, colour);
}

BOOL CDC::BitBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, DWORD) {
    const QImage* image = sourceImage(source);
    if (!target_->painter || !image)
        return FALSE;
    target_->painter->drawImage(QPoint(x, y), *image, QRect(sx, sy, cx, cy));
    return TRUE;
}

BOOL CDC::StretchBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, int scx, int scy, DWORD) {
    const QImage* image = sourceImage(source);
    if (!target_->painter || !image)
        return FALSE;
    target_->painter->drawImage(QRect(x, y, cx, cy), *image, QRect(sx, sy, scx, scy));
    return TRUE;
}

BOOL CDC::TransparentBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, int scx, int scy,
                         COLORREF key) {
    const QImage* image = sourceImage(source);
    if (!target_->painter || !image || scx <= 0 || scy <= 0)
        return FALSE;
    QImage piece = image->copy(sx, sy, scx, scy).convertToFormat(QImage::Format_ARGB32);
    const QRgb keyRgb = qRgb(GetRValue(key), GetGValue(key), GetBValue(key));
    for (int row = 0; row < piece.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(piece.scanLine(row));
        for (int col = 0; col < piece.width(); ++col)
            if ((line[col] & 0x00FFFFFFu) == (keyRgb & 0x00FFFFFFu))
                line[col] = 0;
    }
    target_->painter->drawImage(QRect(x, y, cx, cy), piece);
    return TRUE;
}

COLORREF CDC::SetTextColor(COLORREF colour) {
    const COLORREF before = target_->textColour;
    target_->textColour = colour;
    return before;
}

COLORREF CDC::SetBkColor(COLORREF colour) {
    const COLORREF before = target_->bkColour;
    target_->bkColour = colour;
    return before;
}

int CDC::SetBkMode(int mode) {
    const int before = target_->bkMode;
    target_->bkMode = mode;
    return before;
}

int CDC::DrawText(const std::wstring& text, RECT* rect, UINT format) {
    DrawTarget& t = *target_;
    QString q = QString::fromStdWString(text);
    q.remove(QLatin1Char('\r'));
    const QFont font = fontOf(t);
    const QFontMetrics metrics(font);
    int flags = (format & DT_CENTER)  ? Qt::AlignHCenter
                : (format & DT_RIGHT) ? Qt::AlignRight
                                      : Qt::AlignLeft;
    if (format & DT_SINGLELINE) {
        flags |= (format & DT_VCENTER) ? Qt::AlignVCenter : Qt::AlignTop;
        q.replace(QLatin1Char('\n'), QLatin1Char(' '));
    } else {
        flags |= Qt::AlignTop;
    }
    if (format & DT_WORDBREAK)
        flags |= Qt::TextWordWrap;
    QRect r = qrect(*rect);
    if (format & DT_END_ELLIPSIS && format & DT_SINGLELINE)
        q = metrics.elidedText(q, Qt::ElideRight, r.width());
    const QRect bound = metrics.boundingRect(r, flags, q);
    if (format & DT_CALCRECT) {
        rect->right = rect->left + bound.width();
        rect->bottom = rect->top + bound.height();
        return bound.height();
    }
    if (!t.painter)
        return 0;
    t.painter->save();
    t.painter->setFont(font);
    if (t.bkMode == OPAQUE)
        t.painter->fillRect(bound, platform::mfc::ToColor(t.bkColour));
    t.painter->setPen(platform::mfc::ToColor(t.textColour));
    t.painter->drawText(r, flags, q);
    t.painter->restore();
    return bound.height();
}

BOOL CDC::TextOut(int x, int y, const std::wstring& text) {
    DrawTarget& t = *target_;
    if (!t.painter)
        return FALSE;
    const QFont font = fontOf(t);
    const QFontMetrics metrics(font);
    const QString q = QString::fromStdWString(text);
    t.painter->save();
    t.painter->setFont(font);
    if (t.bkMode == OPAQUE)
        t.painter->fillRect(QRect(x, y, metrics.horizontalAdvance(q), metrics.height()),
                            platform::mfc::ToColor(t.bkColour));
    t.painter->setPen(platform::mfc::ToColor(t.textColour));
    t.painter->drawText(QPoint(x, y + metrics.ascent()), q);
    t.painter->restore();
    return TRUE;
}

void CDC::Draw3dRect(const RECT& rect, COLORREF topLeft, COLORREF bottomRight) {
    QPainter* p = target_->painter;
    if (!p)
        return;
    const QRect r = qrect(rect);
    if (r.width() <= 0 || r.height() <= 0)
        return;
    p->fillRect(r.left(), r.top(), r.width() - 1, 1, platform::mfc::ToColor(topLeft));
    p->fillRect(r.left(), r.top(), 1, r.height() - 1, platform::mfc::ToColor(topLeft));
    p->fillRect(r.left() + r.width() - 1, r.top(), 1, r.height(), platform::mfc::ToColor(bottomRight));
    p->fillRect(r.left(), r.top() + r.height() - 1, r.width(), 1, platform::mfc::ToColor(bottomRight));
}

void CDC::FrameRect(const RECT& rect, COLORREF colour) {
    Draw3dRect(rect, colour, colour);
}

BOOL CDC::DrawFrameControl(RECT* rect, UINT type, UINT state) {
    QPainter* p = target_->painter;
    if (!p || type != DFC_BUTTON)
        return FALSE;
    const QRectF r = QRectF(qrect(*rect)).adjusted(0.5, 0.5, -0.5, -0.5);
    const QColor frame = (state & DFCS_INACTIVE) ? QColor(160, 160, 160) : QColor(90, 90, 90);
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QPen(frame, 1.0));
    p->setBrush((state & DFCS_TRANSPARENT) ? QBrush(Qt::NoBrush) : QBrush(Qt::white));
    if ((state & 0xF) == DFCS_BUTTONRADIO) {
        p->drawEllipse(r);
        if (state & DFCS_CHECKED) {
            p->setPen(Qt::NoPen);
            p->setBrush(frame.darker(150));
            const qreal inset = r.width() * 0.3;
            p->drawEllipse(r.adjusted(inset, inset, -inset, -inset));
        }
    } else {
        p->drawRect(r);
        if (state & DFCS_CHECKED) {
            p->setPen(QPen(frame.darker(150), 1.6));
            p->drawPolyline(QPolygonF({QPointF(r.left() + r.width() * 0.2, r.top() + r.height() * 0.5),
                                       QPointF(r.left() + r.width() * 0.42, r.top() + r.height() * 0.75),
                                       QPointF(r.left() + r.width() * 0.8, r.top() + r.height() * 0.25)}));
        }
    }
    p->restore();
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* window) {
    platform::mfc::WindowPart* part = window ? window->part() : nullptr;
    target_->painter = part ? part->painter : nullptr;
    if (part && part->kind == platform::mfc::FaceKind::Plain)
        window->WindowProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(static_cast<CDC*>(this)), 0);
}

BOOL CRgn::CreateRectRgn(int left, int top, int right, int bottom) {
    rects_.clear();
    if (right > left && bottom > top)
        rects_.push_back(RECT{left, top, right, bottom});
    return TRUE;
}

BOOL CRgn::CreateFromBitmap(const CBitmap& bitmap, COLORREF key) {
    rects_.clear();
    if (bitmap.IsNull())
        return FALSE;
    const QImage& image = bitmap.picture()->image;
    const QRgb keyRgb = qRgb(GetRValue(key), GetGValue(key), GetBValue(key)) & 0x00FFFFFFu;
    std::vector<RECT> previous; // runs of the row above, grown downwards while a row repeats them
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::vector<RECT> runs;
        for (int x = 0; x < image.width();) {
            if ((line[x] & 0x00FFFFFFu) == keyRgb) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < image.width() && (line[x] & 0x00FFFFFFu) != keyRgb)
                ++x;
            runs.push_back(RECT{start, y, x, y + 1});
        }
        const bool same =
            runs.size() == previous.size() &&
            std::equal(runs.begin(), runs.end(), previous.begin(),
                       [](const RECT& a, const RECT& b) { return a.left == b.left && a.right == b.right; });
        if (same) {
            for (RECT& r : previous)
                ++r.bottom;
        } else {
            rects_.insert(rects_.end(), previous.begin(), previous.end());
            previous = std::move(runs);
        }
    }
    rects_.insert(rects_.end(), previous.begin(), previous.end());
    return TRUE;
}

BOOL CRgn::PtInRegion(int x, int y) const {
    for (const RECT& r : rects_)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return TRUE;
    return FALSE;
}
