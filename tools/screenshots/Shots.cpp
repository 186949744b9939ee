#include "tools/screenshots/Shots.h"

#include "platform/mfc/detail/WindowPart.h"

#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

#include <cstdio>

QImage shot(CWnd& window) {
    QWidget* face = window.part() ? window.part()->face.data() : nullptr;
    if (!face)
        return QImage();
    const QImage image = face->grab().toImage();
    if (face->mask().isEmpty())
        return image;
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(QColor(236, 236, 236));
    QPainter p(&out);
    p.setClipRegion(face->mask());
    p.drawImage(0, 0, image);
    return out;
}

QImage framed(CWnd& window) {
    return framed(shot(window), QString::fromStdWString(window.GetWindowText()));
}

QImage framed(const QImage& client, const QString& caption) {
    constexpr int kCaption = 26;
    QImage out(client.width() + 2, client.height() + kCaption + 1, QImage::Format_RGB32);
    out.fill(QColor(120, 124, 132));
    QPainter p(&out);
    QLinearGradient g(0, 0, 0, kCaption);
    g.setColorAt(0, QColor(86, 110, 150));
    g.setColorAt(1, QColor(60, 82, 120));
    p.fillRect(1, 1, out.width() - 2, kCaption - 1, g);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(10, 0, out.width() - 20, kCaption), Qt::AlignVCenter | Qt::AlignLeft, caption);
    p.drawText(QRect(10, 0, out.width() - 20, kCaption), Qt::AlignVCenter | Qt::AlignRight,
               QStringLiteral("x"));
    p.drawImage(QPoint(1, kCaption), client);
    return out;
}

bool save(const QImage& image, const std::filesystem::path& path) {
    if (image.isNull() || !image.save(QString::fromStdString(path.string()), "PNG")) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}
