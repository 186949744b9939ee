// Inside of this layer only: how picture windows show a picture on X without the toolkit. The toolkit's
// painting costs, for every picture, a wake of the UI thread, a copy into its backing store and a round
// trip to the X server before it may paint again. This is a connection of its own to the toolkit's X
// server, with MIT-SHM: a picture's memory file is attached once as a shared segment, and a picture shown
// at its own size is put from there straight into the window's native X window, by the thread that
// presents it, without a round trip to the server. A picture stays held until the server has read it, so
// the renderer never rewrites it meanwhile.
//
// Threads: any; calls are serialised inside.
#pragma once

#include "platform/mfc/PictureWindow.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

struct xcb_connection_t;

namespace platform::mfc {

class X11Pictures {
public:
    // The one output for the toolkit's X display, made at the first call (on the UI thread); null when the
    // toolkit is not on X or its server cannot map memory files (MIT-SHM 1.2).
    static X11Pictures* Get();

    // Puts the picture's source part at the target of `window` (a client area of width x height) and the
    // fill colour around it, once the server has read the picture put before (normally at once; waited for
    // within a bound). False, with nothing sent, where the toolkit has to paint instead: the part is not
    // shown at its own size, the picture has no memory file, the window's visual is not 32-bit TrueColor,
    // or the server did not read the last picture within the bound.
    bool Put(std::uint32_t window, const WindowPicture& shown, int width, int height);
    // The window is gone: what was kept for it goes.
    void Forget(std::uint32_t window);

private:
    struct Target {
        bool usable = false;
        std::uint8_t depth = 0;
        std::uint32_t gc = 0;
    };
    struct Segment {
        std::weak_ptr<const platform::dshow::VideoPicture> picture;
        std::uint32_t id = 0; // 0: the server could not attach it
    };
    struct Sent {
        std::uint32_t sequence;
        std::shared_ptr<const platform::dshow::VideoPicture> picture;
    };

    explicit X11Pictures(xcb_connection_t* connection);
    // Reads what the server answered so far: an answer to the put or to a later request means it was read.
    void takeAnswers();
    // Whether the put before is answered, waiting for it within the bound.
    bool awaitAnswer();
    const Target& targetFor(std::uint32_t window);
    std::uint32_t segmentFor(const std::shared_ptr<const platform::dshow::VideoPicture>& picture);

    std::mutex mutex_;
    xcb_connection_t* connection_;
    std::unordered_map<std::uint32_t, Target> targets_;
    std::unordered_map<const platform::dshow::VideoPicture*, Segment> segments_;
    std::optional<Sent> sent_; // the put the server has not answered yet
};

} // namespace platform::mfc
