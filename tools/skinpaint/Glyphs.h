// The pictures on the skin's buttons, drawn into a square of the given size centred in a rectangle.
#pragma once

#include <QPainter>
#include <QRectF>
#include <QString>

enum class Glyph {
    None,
    Minimize,
    Maximize,
    Restore,
    Close,
    Record,
    RecordStop,
    Camera,
    Open,
    Menu,
    Settings,
    PaneRight,
    PaneLeft,
    Speaker,
    SpeakerMuted,
    Play,
    Backward,
    Stop,
    Forward,
    Pause,
    Star,
    Power,
    Up,
    Down,
    Left,
    Right,
};

// A greyed glyph (enabled false) drops its own colours too.
void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& area, const QColor& colour, bool enabled = true);
