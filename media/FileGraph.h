// The file-playback graph the player plays a local MP4 file through: the record that holds the graph
// manager while a file plays, and the builder that assembles the file source, the demultiplexer, the
// decoders and the renderers in it (without running it).
#pragma once

#include "platform/dshow/Interfaces.h"

#include <string>

struct FileGraphRecord {
    IGraphBuilder* graph; // the player's graph manager, borrowed
};

// Negative on failure; the graph is then empty again.
HRESULT BuildFileGraph(FileGraphRecord* record, const std::wstring& path, HWND videoWindow,
                       HWND notifyWindow);
