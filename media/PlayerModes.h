// The player's modes, which the windows read as well as the player (so they need not see the whole facade).
#pragma once

enum PlayerMode : int {
    PLAYER_MODE_NONE = 0,
    PLAYER_MODE_STOPPED = 1,
    PLAYER_MODE_FILE = 2,
    PLAYER_MODE_LIVE = 3
};
