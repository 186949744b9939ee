#include "app/UiState.h"

namespace {

// One row per state, one digit per button 1000..1016: 0 shown and disabled, 1 shown and enabled, 2 hidden.
constexpr const char* kButtons[kUiStateCount] = {
    "12120111102222222", // 0
    "02020010002222222", // 1
    "12121111112222222", // 2
    "12121010022222222", // 3
    "02020010002222222", // 4
    "12121111112222222", // 5
    "12121010022222222", // 6
    "02020010002222222", // 7
    "12121111112222222", // 8
    "12121010022222222", // 9
    "02020010002222222", // 10
    "12121111122221111", // 11
    "12121111122210102", // 12
    "12120111122210002", // 13
    "12121111122211110", // 14
    "12121111122211110", // 15
    "12121111122221111", // 16
    "12121111122210102", // 17
    "12120111122210002", // 18
    "12121111122211110", // 19
    "12121111122211110", // 20
    "12121010102222222", // 21
};

constexpr SwitchRow kOnOffOff{Switch::On, Switch::Off, Switch::Off, Source::Unchanged};

} // namespace

Cell ButtonCell(int state, int buttonIndex) {
    if (!IsUiState(state) || buttonIndex < 0 || buttonIndex >= kMainButtonCount)
        return Cell::Hidden;
    return static_cast<Cell>(kButtons[state][buttonIndex] - '0');
}

Cell SliderCell(int state, int slider) {
    if (!IsUiState(state) || slider < 0 || slider > 1)
        return Cell::Hidden;
    if (IsFileState(state))
        return Cell::ShownEnabled;
    if (slider == 1)
        return Cell::Hidden;
    switch (state) {
    case 0:
    case 1:
    case 4:
    case 7:
    case 10:
        return Cell::ShownDisabled;
    default:
        return Cell::ShownEnabled;
    }
}

SwitchRow SwitchesOf(int state) {
    switch (state) {
    case 0:
    case 13:
        return kOnOffOff;
    case 1:
        return {Switch::Off, Switch::Off, Switch::Off, Source::Unchanged};
    case 2:
    case 5:
    case 8:
    case 10:
        return {Switch::On, Switch::On, Switch::On, Source::Unchanged};
    case 3:
    case 6:
    case 7:
    case 9:
        return {Switch::On, Switch::On, Switch::On, Source::Disabled};
    case 4:
        return {Switch::Off, Switch::On, Switch::On, Source::Unchanged};
    case 11:
    case 12:
    case 14:
    case 15:
        return {Switch::On, Switch::Off, Switch::On, Source::Unchanged};
    case 16:
    case 17:
    case 19:
    case 20:
        return {Switch::On, Switch::Off, Switch::On, Source::Enabled};
    case 18:
        return {Switch::On, Switch::Off, Switch::Off, Source::Enabled};
    case 21:
        return {Switch::On, Switch::On, Switch::Unchanged, Source::Disabled};
    default:
        return {Switch::Unchanged, Switch::Unchanged, Switch::Unchanged, Source::Unchanged};
    }
}

bool TimeLabelShown(int state) {
    switch (state) {
    case 11:
    case 12:
    case 14:
    case 15:
    case 16:
    case 17:
    case 19:
    case 20:
        return true;
    default:
        return false;
    }
}

bool StatusLineShown(int state) {
    return IsFileState(state);
}

bool IsFileState(int state) {
    return state >= UI_STATE_FILE_PLAY && state <= UI_STATE_FILE_BACKWRAD_L;
}

bool IsLiveState(int state) {
    switch (state) {
    case 2:
    case 3:
    case 5:
    case 6:
    case 8:
    case 9:
    case 21:
        return true;
    default:
        return false;
    }
}

bool IsRecordingState(int state) {
    return state == 3 || state == 6 || state == 9 || state == 21;
}

bool SourceChoosable(int state) {
    return IsLiveState(state) && !IsRecordingState(state);
}

int FileStateFor(int fileState, bool fromLive) {
    const int base = fileState >= UI_STATE_FILE_PLAY_L ? fileState - 5 : fileState;
    return fromLive ? base + 5 : base;
}
