// Test support: a recording made the way a user makes one from the demo's box. The box's live feed
// (tests/support/testbox/LiveFeed.h, as build/release/bin/testbox runs it) streams a fixture in a loop on
// 127.0.0.1 at the pace of its timestamps; the stream receiver hands it to the player's live view, and the
// player records it (KQ_AV_Player::SetRecord, which the record button calls).
#pragma once

#include <string>

namespace recordsync {

// Records seconds of the stream (its own time; the clock runs timeScale times faster) into path; false
// when live view or the recording could not start.
bool RecordFromDemoBox(const std::string& fixtureFolder, double seconds, double timeScale,
                       const std::string& path);

} // namespace recordsync
