// Pictures of the program's windows for the screenshot tools: what a window shows, and a window in a frame
// with its caption as a window system would draw it (the offscreen platform draws none).
#pragma once

#include "platform/mfc/Wnd.h"

#include <QImage>

#include <filesystem>

// The window's picture; a shaped window shows only its region, on a neutral desk.
QImage shot(CWnd& window);
QImage framed(CWnd& window);
QImage framed(const QImage& client, const QString& caption);
// Writes a PNG file and prints its path; false (with a message) when it cannot.
bool save(const QImage& image, const std::filesystem::path& path);
