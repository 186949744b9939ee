#include "media/FileGraph.h"

// The file-playback graph comes with its own builder; until then no file can be played and the player
// reports its file-graph failure.
HRESULT BuildFileGraph(FileGraphRecord*, const std::wstring&, HWND, HWND) {
    return E_NOTIMPL;
}
