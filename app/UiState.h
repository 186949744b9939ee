// The one UI state of the program and the tables that turn it into the main window's look: which of the
// 17 command buttons are shown and enabled, how the three switches and the source button stand, which
// sliders and labels show.
#pragma once

enum UiState {
    UI_STATE_INIT = 0,
    UI_STATE_LOGIN = 1,
    UI_STATE_TV_PLAY = 2,
    UI_STATE_TV_RECORD = 3,
    UI_STATE_TV_SETUP = 4,
    UI_STATE_CV_PLAY = 5,
    UI_STATE_CV_RECORD = 6,
    UI_STATE_CV_SETUP = 7,
    UI_STATE_SV_PLAY = 8,
    UI_STATE_SV_RECORD = 9,
    UI_STATE_SV_SETUP = 10,
    UI_STATE_FILE_PLAY = 11,
    UI_STATE_FILE_PAUSE = 12,
    UI_STATE_FILE_STOP = 13,
    UI_STATE_FILE_FOREWARD = 14,
    UI_STATE_FILE_BACKWRAD = 15,
    UI_STATE_FILE_PLAY_L = 16,
    UI_STATE_FILE_PAUSE_L = 17,
    UI_STATE_FILE_STOP_L = 18,
    UI_STATE_FILE_FOREWARD_L = 19,
    UI_STATE_FILE_BACKWRAD_L = 20,
    UI_STATE_TV_SCHEDULE_RECORD = 21,
};

constexpr int kUiStateCount = 22;
constexpr bool IsUiState(int state) {
    return state >= 0 && state < kUiStateCount;
}

// Cells of the button and slider tables.
enum class Cell { ShownDisabled = 0, ShownEnabled = 1, Hidden = 2 };
constexpr int kFirstMainButton = 1000;
constexpr int kMainButtonCount = 17;
Cell ButtonCell(int state, int buttonIndex); // button id 1000 + buttonIndex
Cell SliderCell(int state, int slider);      // 0 volume (1020), 1 file position (1021)

// The switches (maximise 1134, record 1018, mute 1019) and the source button 1017 per state.
enum class Switch { On, Off, Unchanged };
enum class Source { Unchanged, Enabled, Disabled };
struct SwitchRow {
    Switch maximise;
    Switch record;
    Switch mute;
    Source source;
};
SwitchRow SwitchesOf(int state);

bool TimeLabelShown(int state);  // play-time label 1022 and mode label 1025
bool StatusLineShown(int state); // status line 1023 at the "infobar" place
bool IsFileState(int state);     // 11..20
bool IsLiveState(int state);     // the play and record states of the three sources, and 21
bool IsRecordingState(int state);
// The live states in which another source can be chosen (the source menu's items and the SRC button).
bool SourceChoosable(int state);
// The file states of a file opened from a live state carry the "_L" value.
int FileStateFor(int fileState, bool fromLive);
