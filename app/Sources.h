// The two numberings of the three sources: the box's source code (0 CV, 1 SV, 2 TV) and the main window's
// source index (0 TV, 1 CV, 2 SV), and the UI states and texts that go with a source.
#pragma once

#include "app/UiState.h"

constexpr int kSourceTv = 0;
constexpr int kSourceCv = 1;
constexpr int kSourceSv = 2;

constexpr int SourceIndexOfCode(int code) {
    return code == 2 ? kSourceTv : code == 1 ? kSourceSv : kSourceCv;
}
constexpr int SourceCodeOfIndex(int index) {
    return index == kSourceTv ? 2 : index == kSourceSv ? 1 : 0;
}
constexpr int LiveStateOf(int index) {
    return index == kSourceTv ? UI_STATE_TV_PLAY : index == kSourceSv ? UI_STATE_SV_PLAY : UI_STATE_CV_PLAY;
}
constexpr int RecordStateOf(int index) {
    return LiveStateOf(index) + 1;
}
// The source index of a live state (-1 for the other states).
constexpr int SourceOfState(int state) {
    switch (state) {
    case UI_STATE_TV_PLAY:
    case UI_STATE_TV_RECORD:
    case UI_STATE_TV_SCHEDULE_RECORD:
        return kSourceTv;
    case UI_STATE_CV_PLAY:
    case UI_STATE_CV_RECORD:
        return kSourceCv;
    case UI_STATE_SV_PLAY:
    case UI_STATE_SV_RECORD:
        return kSourceSv;
    default:
        return -1;
    }
}
constexpr unsigned SourceLetter(int index) {
    return index == kSourceTv ? 'T' : index == kSourceSv ? 'S' : 'C';
}
constexpr const wchar_t* SourceName(int index) {
    return index == kSourceTv ? L"TV" : index == kSourceSv ? L"SV" : L"CV";
}
