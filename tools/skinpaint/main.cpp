// skinpaint: draws the program's eight skins and its built-in skin. The layouts are the built-in skin's
// (config/BuiltInSkin.cpp); each skin gets its colours, the pictures its windows cut their buttons from, and
// a skin.ini naming them. Usage: skinpaint <runnable folder>  (writes skins/<name>/ and res/).
#include "Glyphs.h"

#include "config/AppConfig.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <array>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Theme {
    const char* folder;
    QColor base;
};

// Skin numbers 0 to 7, in order; the built-in skin wears the first one's colours.
const Theme kThemes[8] = {{"Gray", QColor(92, 96, 104)},    {"Green", QColor(52, 112, 74)},
                          {"Orange", QColor(196, 104, 36)}, {"Pink", QColor(196, 92, 140)},
                          {"Purple", QColor(110, 70, 150)}, {"Blue1", QColor(40, 80, 150)},
                          {"Blue2", QColor(30, 112, 180)},  {"Blue3", QColor(60, 140, 200)}};

const QColor kKey(1, 254, 1); // outside a pane's shape

enum Look { Normal = 0, Hover = 1, Hit = 2, Disabled = 3 };
enum class Style { Title, Round, Key, Tab, Wide };

struct Face {
    Glyph glyph = Glyph::None;
    QString text;
    Style style = Style::Key;
};

QRect place(const SkinItemLayout& l, int w, int h) {
    const int left = (l.anchor == 1 || l.anchor == 3) ? w - l.x : l.x;
    const int top = (l.anchor == 2 || l.anchor == 3) ? h - l.y : l.y;
    return QRect(left, top, l.cx, l.cy);
}

QColor grey(const QColor& c) {
    const int v = qGray(c.rgb());
    return QColor(v, v, v);
}

void drawButton(QPainter& p, const QRect& rect, Look look, const Theme& theme, const Face& face) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QColor top = theme.base.lighter(175);
    QColor bottom = theme.base.lighter(120);
    if (look == Hover) {
        top = top.lighter(118);
        bottom = bottom.lighter(118);
    } else if (look == Hit) {
        std::swap(top, bottom);
        top = top.darker(115);
        bottom = bottom.darker(115);
    } else if (look == Disabled) {
        top = grey(top).darker(115);
        bottom = grey(bottom).darker(115);
    }
    const QColor ink = look == Disabled ? QColor(170, 170, 170) : QColor(255, 255, 255);
    const QRectF r = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPointF shift = look == Hit ? QPointF(0.5, 1) : QPointF(0, 0);
    if (face.style == Style::Title) {
        if (look == Hover || look == Hit) {
            p.setPen(Qt::NoPen);
            p.setBrush(face.glyph == Glyph::Close ? QColor(210, 60, 60) : theme.base.lighter(150));
            p.drawRoundedRect(r, 3, 3);
        }
    } else {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, top);
        g.setColorAt(1, bottom);
        p.setBrush(g);
        p.setPen(QPen(theme.base.darker(190), 1));
        const qreal radius = face.style == Style::Round ? std::min(r.width(), r.height()) / 2.2
                             : face.style == Style::Tab ? 3
                                                        : 5;
        p.drawRoundedRect(r, radius, radius);
        p.setPen(QPen(QColor(255, 255, 255, look == Disabled ? 40 : 90), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), std::max<qreal>(0, radius - 1),
                          std::max<qreal>(0, radius - 1));
    }
    const QRectF inner = r.adjusted(3, 3, -3, -3).translated(shift);
    if (face.glyph != Glyph::None) {
        QRectF area = inner;
        if (!face.text.isEmpty())
            area.setWidth(area.height());
        DrawGlyph(p, face.glyph, area, ink, look != Disabled);
    }
    if (!face.text.isEmpty()) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(std::max(9, std::min(14, static_cast<int>(rect.height() * 0.45))));
        if (face.text.size() > 3)
            font.setPixelSize(std::max(8, font.pixelSize() - 2));
        p.setFont(font);
        p.setPen(QColor(0, 0, 0, look == Disabled ? 0 : 90));
        QRectF textArea = inner;
        if (face.glyph != Glyph::None)
            textArea.setLeft(inner.left() + inner.height());
        p.drawText(textArea.translated(0, 1), Qt::AlignCenter, face.text);
        p.setPen(ink);
        p.drawText(textArea, Qt::AlignCenter, face.text);
    }
    p.restore();
}

void drawGroove(QPainter& p, const QRect& rect, const Theme& theme) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(theme.base.darker(220), 1));
    p.setBrush(QColor(20, 22, 26));
    const qreal radius = rect.height() / 2.0;
    p.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

void drawThumb(QPainter& p, const QRect& rect, Look look, const Theme& theme) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    const bool off = look == Disabled;
    g.setColorAt(0, off ? QColor(150, 150, 150) : QColor(250, 250, 250));
    g.setColorAt(1, off ? QColor(110, 110, 110) : theme.base.lighter(190));
    p.setBrush(g);
    p.setPen(QPen(off ? QColor(80, 80, 80) : theme.base.darker(180), 1));
    p.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.restore();
}

// The main window without its buttons: a title band, two thin side frames and the bottom band around the
// black video area. The middle of each band is uniform along its length and the side frames are uniform
// down their height, so the nine-piece background keeps the look at any window size.
QImage mainChrome(const Theme& theme, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    QLinearGradient title(0, 0, 0, 28);
    title.setColorAt(0, theme.base.lighter(135));
    title.setColorAt(1, theme.base.darker(110));
    p.fillRect(0, 0, w, 28, title);
    p.fillRect(0, 27, w, 1, theme.base.darker(160));
    QLinearGradient band(0, h - 94, 0, h);
    band.setColorAt(0, theme.base.darker(125));
    band.setColorAt(1, theme.base.darker(210));
    p.fillRect(0, h - 94, w, 94, band);
    p.fillRect(0, h - 94, w, 1, theme.base.darker(240));
    p.fillRect(0, 28, 12, h - 122, theme.base.darker(130));
    p.fillRect(w - 13, 28, 13, h - 122, theme.base.darker(130));
    p.fillRect(11, 28, 1, h - 122, theme.base.darker(220));
    p.fillRect(w - 13, 28, 1, h - 122, theme.base.darker(220));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(QRect(13, 1, 90, 28), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Veloq"));
    p.setPen(Qt::white);
    p.drawText(QRect(12, 0, 90, 28), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Veloq"));
    return img;
}

// The 377 x 363 nine-piece picture of a chrome drawn at 408 x 408.
QImage nineFrom(const QImage& chrome) {
    QImage bg(377, 363, QImage::Format_RGB32);
    bg.fill(Qt::black);
    QPainter p(&bg);
    const int w = chrome.width();
    const int h = chrome.height();
    p.drawImage(QPoint(0, 0), chrome, QRect(0, 0, 100, 28));
    p.drawImage(QPoint(277, 0), chrome, QRect(w - 100, 0, 100, 28));
    p.drawImage(QRect(100, 0, 177, 28), chrome, QRect(150, 0, 1, 28));
    p.drawImage(QPoint(0, 269), chrome, QRect(0, h - 94, 100, 94));
    p.drawImage(QPoint(277, 269), chrome, QRect(w - 100, h - 94, 100, 94));
    p.drawImage(QRect(100, 269, 177, 94), chrome, QRect(150, h - 94, 1, 94));
    p.drawImage(QRect(0, 28, 12, 241), chrome, QRect(0, 40, 12, 1));
    p.drawImage(QRect(364, 28, 13, 241), chrome, QRect(w - 13, 40, 13, 1));
    return bg;
}

// A pane: a rounded panel on the key colour, a title, and what `decorate` adds.
QImage paneChrome(const Theme& theme, int w, int h, const QString& title,
                  const std::function<void(QPainter&)>& decorate) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kKey);
    QPainter p(&img);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, w, h), 10, 10);
    p.setClipPath(shape); // hard edges: the shape is a region of whole pixels
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(236, 238, 242));
    g.setColorAt(1, QColor(206, 210, 218));
    p.fillRect(0, 0, w, h, g);
    QLinearGradient head(0, 0, 0, 34);
    head.setColorAt(0, theme.base.lighter(135));
    head.setColorAt(1, theme.base.darker(110));
    p.fillRect(0, 0, w, 34, head);
    p.setClipping(false);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(theme.base.darker(170), 1));
    p.setBrush(Qt::NoBrush);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, w, 34), Qt::AlignCenter, title);
    decorate(p);
    return img;
}

struct Item {
    QRect rect;
    Face face;
};

struct Slider {
    QRect track;
    QRect thumb;
};

struct Window {
    QImage chrome;
    std::vector<Item> items;
    std::vector<Slider> sliders;
    // The five pictures: background, normal, hover, hit, disable.
    std::array<QImage, 5> paint(const Theme& theme, const QImage& background) const {
        std::array<QImage, 5> out;
        out[0] = background;
        for (int look = Normal; look <= Disabled; ++look) {
            QImage img = chrome.copy();
            QPainter p(&img);
            for (const Item& it : items)
                drawButton(p, it.rect, static_cast<Look>(look), theme, it.face);
            for (const Slider& s : sliders) {
                drawGroove(p, s.track, theme);
                if (look != Normal)
                    drawThumb(p, s.thumb, static_cast<Look>(look), theme);
            }
            out[static_cast<std::size_t>(look + 1)] = img;
        }
        return out;
    }
};

// A strip of the four looks of a face at rect, each over what the chrome has there; rows for several faces.
QImage strip(const QImage& chrome, const QRect& rect, const Theme& theme, const std::vector<Face>& rows) {
    QImage img(rect.width() * 4, rect.height() * static_cast<int>(rows.size()), QImage::Format_RGB32);
    QPainter p(&img);
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (int look = Normal; look <= Disabled; ++look) {
            const QPoint at(look * rect.width(), static_cast<int>(row) * rect.height());
            p.drawImage(at, chrome, rect);
            drawButton(p, QRect(at, rect.size()), static_cast<Look>(look), theme, rows[row]);
        }
    return img;
}

struct SkinSet {
    std::array<std::array<QImage, 5>, 5> windows;
    std::array<QImage, 6> ext; // source, max, mute, record, favourite, login
};

SkinSet paintSkin(const Theme& theme, const KQ_AppConfig& c) {
    SkinSet set;
    const int W = c.m_skinWindows[0].layout.cx;
    const int H = c.m_skinWindows[0].layout.cy;
    const QImage chrome = mainChrome(theme, W, H);
    const QImage background = nineFrom(chrome);
    auto button = [&](int i) { return place(c.m_mainButtons[static_cast<std::size_t>(i)], W, H); };
    const Face mainFaces[12] = {
        {Glyph::Minimize, {}, Style::Title}, {Glyph::Maximize, {}, Style::Title},
        {Glyph::Close, {}, Style::Title},    {Glyph::Record, {}, Style::Round},
        {Glyph::Camera, {}, Style::Key},     {Glyph::Open, {}, Style::Key},
        {Glyph::Menu, {}, Style::Key},       {Glyph::Settings, {}, Style::Key},
        {Glyph::PaneRight, {}, Style::Tab},  {Glyph::PaneLeft, {}, Style::Tab},
        {Glyph::Speaker, {}, Style::Key},    {Glyph::None, "SRC", Style::Wide},
    };
    Window main{chrome, {}, {}};
    for (int i = 0; i < 12; ++i)
        main.items.push_back({button(i), mainFaces[i]});
    main.sliders.push_back({place(c.m_volumeSlider[0], W, H), place(c.m_volumeSlider[1], W, H)});
    set.windows[0] = main.paint(theme, background);

    const Face fileFaces[5] = {{Glyph::Play, {}, Style::Key},
                               {Glyph::Backward, {}, Style::Key},
                               {Glyph::Stop, {}, Style::Key},
                               {Glyph::Forward, {}, Style::Key},
                               {Glyph::Pause, {}, Style::Key}};
    Window file{chrome, {}, {}};
    for (int i = 0; i < 5; ++i)
        file.items.push_back({button(12 + i), fileFaces[i]});
    file.sliders.push_back({place(c.m_fileSlider[0], W, H), place(c.m_fileSlider[1], W, H)});
    set.windows[1] = file.paint(theme, background);

    const SkinItemLayout& lp = c.m_skinWindows[2].layout;
    const QImage login = paneChrome(theme, lp.cx, lp.cy, QStringLiteral("Login"), [&](QPainter& p) {
        p.setPen(QPen(theme.base.lighter(140), 1));
        p.drawLine(16, 62, lp.cx - 16, 62);
        p.drawLine(16, 296, lp.cx - 16, 296);
    });
    const QRect loginRect = place(c.m_loginButton, lp.cx, lp.cy);
    Window pane{login, {{loginRect, {Glyph::None, "Login", Style::Key}}}, {}};
    set.windows[2] = pane.paint(theme, login);

    const SkinItemLayout& tp = c.m_skinWindows[3].layout;
    const QImage tv = paneChrome(theme, tp.cx, tp.cy, QStringLiteral("TV"), [&](QPainter& p) {
        p.setPen(QPen(QColor(60, 70, 60), 1));
        p.setBrush(QColor(18, 30, 22));
        p.drawRoundedRect(QRectF(15.5, 60.5, 121, 43), 4, 4);
    });
    const QString tvText[15] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "", "OK", "", "", ""};
    const Glyph tvGlyph[15] = {Glyph::None,     Glyph::None, Glyph::None, Glyph::None, Glyph::None,
                               Glyph::None,     Glyph::None, Glyph::None, Glyph::None, Glyph::None,
                               Glyph::Backward, Glyph::None, Glyph::Star, Glyph::Down, Glyph::Up};
    Window tvPane{tv, {}, {}};
    for (int k = 0; k < 15; ++k)
        tvPane.items.push_back({place(c.m_tvKeys[static_cast<std::size_t>(k)], tp.cx, tp.cy),
                                {tvGlyph[k], tvText[k], Style::Key}});
    set.windows[3] = tvPane.paint(theme, tv);

    const SkinItemLayout& rp = c.m_skinWindows[4].layout;
    const QImage remote = paneChrome(theme, rp.cx, rp.cy, QStringLiteral("Remote"), [](QPainter&) {});
    struct RemoteFace {
        Glyph glyph;
        const char* text;
    };
    const RemoteFace remoteFaces[36] = {
        {Glyph::None, "~"},        {Glyph::None, "E"},  {Glyph::Up, ""},     {Glyph::None, "OK"},
        {Glyph::Down, ""},         {Glyph::Left, ""},   {Glyph::Right, ""},  {Glyph::None, "V+"},
        {Glyph::SpeakerMuted, ""}, {Glyph::None, "C+"}, {Glyph::None, "V-"}, {Glyph::None, "C-"},
        {Glyph::Play, ""},         {Glyph::Pause, ""},  {Glyph::Stop, ""},   {Glyph::Record, ""},
        {Glyph::None, "b1"},       {Glyph::None, "b2"}, {Glyph::None, "f1"}, {Glyph::None, "f2"},
        {Glyph::Menu, ""},         {Glyph::Power, ""},  {Glyph::None, "A"},  {Glyph::None, "B"},
        {Glyph::None, "C"},        {Glyph::None, "D"},  {Glyph::None, "1"},  {Glyph::None, "2"},
        {Glyph::None, "3"},        {Glyph::None, "4"},  {Glyph::None, "5"},  {Glyph::None, "6"},
        {Glyph::None, "7"},        {Glyph::None, "8"},  {Glyph::None, "9"},  {Glyph::None, "0"},
    };
    Window remotePane{remote, {}, {}};
    for (int k = 0; k < 36; ++k)
        remotePane.items.push_back({place(c.m_remoteKeys[static_cast<std::size_t>(k)], rp.cx, rp.cy),
                                    {remoteFaces[k].glyph, remoteFaces[k].text, Style::Key}});
    set.windows[4] = remotePane.paint(theme, remote);

    set.ext[0] = strip(chrome, button(11), theme,
                       {{Glyph::None, "TV", Style::Wide},
                        {Glyph::None, "CV", Style::Wide},
                        {Glyph::None, "SV", Style::Wide}});
    set.ext[1] = strip(chrome, button(1), theme, {{Glyph::Restore, {}, Style::Title}});
    set.ext[2] = strip(chrome, button(10), theme, {{Glyph::SpeakerMuted, {}, Style::Key}});
    set.ext[3] = strip(chrome, button(3), theme, {{Glyph::RecordStop, {}, Style::Round}});
    Theme gold = theme;
    gold.base = QColor(200, 160, 30);
    set.ext[4] = strip(tv, place(c.m_tvKeys[12], tp.cx, tp.cy), gold, {{Glyph::Star, {}, Style::Key}});
    set.ext[5] = strip(login, loginRect, theme, {{Glyph::None, "Logout", Style::Key}});
    return set;
}

bool save(const QImage& image, const QString& path) {
    if (!image.convertToFormat(QImage::Format_RGB888).save(path, "BMP")) {
        std::fprintf(stderr, "skinpaint: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

const char* const kWindowSections[5] = {"MainWnd", "FileWnd", "LoginWnd", "TV_RM_Wnd", "AV_RM_Wnd"};
const char* const kWindowFiles[5] = {"main", "file", "login", "tv", "remote"};
const char* const kPictures[5] = {"background", "normal", "hover", "hit", "disable"};
const char* const kExtSections[6] = {"source_ext", "max_ext",      "mute_ext",
                                     "record_ext", "favorite_ext", "login_ext"};
const char* const kMainButtons[17] = {"min",  "resize",  "max",       "record",   "capture", "open",
                                      "mts",  "setting", "login_dis", "cv_sv",    "mute",    "source",
                                      "play", "speed",   "stop",      "back_off", "pause"};
const char* const kTvKeys[15] = {"TV_1", "TV_2", "TV_3",    "TV_4",     "TV_5",   "TV_6",   "TV_7",  "TV_8",
                                 "TV_9", "TV_0", "TV_last", "TV_enter", "TV_fav", "TV_dec", "TV_inc"};
const char* const kRemoteKeys[36] = {
    "av_fresh", "av_enter",  "av_up",      "av_ok",     "av_down", "av_left",  "av_right", "av_vol_inc",
    "av_mute",  "av_ch_inc", "av_vol_dec", "av_ch_dec", "av_play", "av_pause", "av_stop",  "av_record",
    "av_last",  "av_back",   "av_speed",   "av_next",   "av_menu", "av_power", "av_a",     "av_b",
    "av_c",     "av_d",      "av_1",       "av_2",      "av_3",    "av_4",     "av_5",     "av_6",
    "av_7",     "av_8",      "av_9",       "av_0"};

void writeLayout(QTextStream& out, const char* section, const SkinItemLayout& l) {
    out << "[" << section << "]\r\norigin=" << l.anchor << "\r\nx=" << l.x << "\r\ny=" << l.y
        << "\r\ncx=" << l.cx << "\r\ncy=" << l.cy << "\r\nstate=" << l.state << "\r\n";
}

void writePair(QTextStream& out, const char* section, const std::array<SkinItemLayout, 2>& pair) {
    out << "[" << section << "]\r\n";
    for (int i = 0; i < 2; ++i) {
        const SkinItemLayout& l = pair[static_cast<std::size_t>(i)];
        const int n = i + 1;
        out << "origin" << n << "=" << l.anchor << "\r\nx" << n << "=" << l.x << "\r\ny" << n << "=" << l.y
            << "\r\ncx" << n << "=" << l.cx << "\r\ncy" << n << "=" << l.cy << "\r\nstate" << n << "="
            << l.state << "\r\n";
    }
}

bool writeSkinFolder(const QString& folder, const SkinSet& set, const KQ_AppConfig& c) {
    QDir().mkpath(folder);
    bool ok = true;
    for (int w = 0; w < 5; ++w)
        for (int p = 0; p < 5; ++p)
            ok &= save(set.windows[w][p], folder + "/" + kWindowFiles[w] + "_" + kPictures[p] + ".bmp");
    for (int e = 0; e < 6; ++e)
        ok &= save(set.ext[e], folder + "/" + kExtSections[e] + ".bmp");
    QFile file(folder + "/skin.ini");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    for (int w = 0; w < 5; ++w) {
        writeLayout(out, kWindowSections[w], c.m_skinWindows[w].layout);
        for (int p = 0; p < 5; ++p)
            out << kPictures[p] << "=" << kWindowFiles[w] << "_" << kPictures[p] << ".bmp\r\n";
    }
    for (int b = 0; b < 17; ++b)
        writeLayout(out, kMainButtons[b], c.m_mainButtons[static_cast<std::size_t>(b)]);
    for (int e = 0; e < 6; ++e)
        out << "[" << kExtSections[e] << "]\r\nbackground=" << kExtSections[e] << ".bmp\r\n";
    writeLayout(out, "login_btn", c.m_loginButton);
    for (int k = 0; k < 15; ++k)
        writeLayout(out, kTvKeys[k], c.m_tvKeys[static_cast<std::size_t>(k)]);
    for (int k = 0; k < 36; ++k)
        writeLayout(out, kRemoteKeys[k], c.m_remoteKeys[static_cast<std::size_t>(k)]);
    auto label = [&](const char* section, const TextLabelLayout& t) {
        writeLayout(out, section, SkinItemLayout{t.anchor, t.x, t.y, t.cx, t.cy, t.state});
    };
    label("timer", c.m_clockLabel);
    label("infobar", c.m_infoBarLabel);
    writePair(out, "slider_vol", c.m_volumeSlider);
    writePair(out, "slider_file", c.m_fileSlider);
    out << "[video_box]\r\ncx1=" << c.m_videoBoxSizes[0] << "\r\ncy1=" << c.m_videoBoxSizes[1]
        << "\r\ncx2=" << c.m_videoBoxSizes[2] << "\r\ncy2=" << c.m_videoBoxSizes[3] << "\r\n";
    return ok && out.status() == QTextStream::Ok;
}

bool writeResources(const QString& folder, const SkinSet& set, const KQ_AppConfig& c) {
    QDir().mkpath(folder);
    bool ok = true;
    for (std::size_t w = 0; w < 5; ++w)
        for (std::size_t p = 0; p < 5; ++p)
            ok &= save(set.windows[w][p],
                       folder + "/" + QString::number(c.m_skinWindows[w].bitmapResources[p]) + ".bmp");
    for (std::size_t e = 0; e < 6; ++e)
        ok &= save(set.ext[e], folder + "/" + QString::number(c.m_skinExtBitmaps[e]) + ".bmp");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skinpaint <runnable folder>\n");
        return 2;
    }
    QGuiApplication toolkit(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    KQ_AppConfig config;
    config.LoadBuiltInSkin();
    bool ok = true;
    for (int n = 0; n < 8; ++n) {
        const SkinSet set = paintSkin(kThemes[n], config);
        ok &= writeSkinFolder(root + "/skins/" + kThemes[n].folder, set, config);
        if (n == 0)
            ok &= writeResources(root + "/res", set, config);
    }
    return ok ? 0 : 1;
}
