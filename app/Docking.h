// Where the windows beside the main window go, on the work area of the screen (all rectangles in screen
// coordinates, sizes of 0 for a window that is not shown).
#pragma once

#include "platform/mfc/WinUser.h"

// The docked panes: the login pane at the right of the main window and the side pane (TV or remote) at its
// left, tops aligned with it, one pixel apart. A pane with no room on its side docks on the other side when
// that side is free and has room; what still sticks out moves the main window (when it may move) so that
// the group lies on the work area, else the pane is pushed onto the work area. Each pane also stays on the
// work area vertically.
struct DockPlan {
    POINT main;  // the main window's new top-left corner
    POINT login; // the login pane's
    POINT side;  // the side pane's
};
DockPlan PlanDock(const RECT& work, const RECT& main, SIZE login, SIZE side, bool mainMayMove);

// A window that opens beside others (the snapshot list): at the right of `beside`, else at its left, tops
// aligned, and always on the work area. With room on neither side it goes to the side with more room,
// below the top band of `beside` that must stay clear (the main window's title bar).
POINT PlaceBeside(const RECT& work, const RECT& beside, SIZE size, int clearTop);
