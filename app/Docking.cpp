#include "app/Docking.h"

#include <algorithm>

namespace {

int clampInto(int position, int length, int low, int high) {
    return length >= high - low ? low : std::clamp(position, low, high - length);
}

} // namespace

DockPlan PlanDock(const RECT& work, const RECT& main, SIZE login, SIZE side, bool mainMayMove) {
    const int width = main.right - main.left;
    bool loginRight = true;
    bool sideLeft = true;
    if (side.cx > 0 && main.left - side.cx - 1 < work.left && login.cx == 0 &&
        main.right + 1 + side.cx <= work.right)
        sideLeft = false;
    if (login.cx > 0 && main.right + 1 + login.cx > work.right && side.cx == 0 &&
        main.left - login.cx - 1 >= work.left)
        loginRight = false;

    // A pane changes sides only to a free side, so each side holds one pane at most.
    int before = 0; // what lies left of the main window
    int after = 0;  // what lies right of it
    for (const auto& [cx, right] : {std::pair{login.cx, loginRight}, std::pair{side.cx, !sideLeft}})
        if (cx > 0)
            (right ? after : before) += cx + 1;
    int left = main.left;
    if (mainMayMove) {
        if (left + width + after > work.right)
            left = work.right - width - after;
        if (left - before < work.left)
            left = work.left + before;
    }

    DockPlan plan{};
    plan.main = POINT{left, main.top};
    auto place = [&](SIZE size, bool onRight) {
        int x = onRight ? left + width + 1 : left - 1 - size.cx;
        if (!mainMayMove)
            x = clampInto(x, size.cx, work.left, work.right);
        return POINT{x, clampInto(main.top, size.cy, work.top, work.bottom)};
    };
    plan.login = place(login, loginRight);
    plan.side = place(side, !sideLeft);
    return plan;
}

POINT PlaceBeside(const RECT& work, const RECT& beside, SIZE size, int clearTop) {
    const int roomRight = work.right - beside.right - 1;
    const int roomLeft = beside.left - 1 - work.left;
    int top = beside.top;
    int x = beside.right + 1;
    if (roomRight < size.cx && roomLeft >= size.cx) {
        x = beside.left - 1 - size.cx;
    } else if (roomRight < size.cx) {
        x = roomRight >= roomLeft ? work.right - size.cx : work.left;
        top = beside.top + clearTop;
    }
    return POINT{clampInto(x, size.cx, work.left, work.right),
                 clampInto(top, size.cy, work.top, work.bottom)};
}
