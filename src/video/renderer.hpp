#pragma once
// What draws the video windows' pictures: five render ports, each drawing
// into one video area. Port 0 is the stream player, ports 1 to 4 the preview
// channels 1 to 4. The desktop draws on Qt surfaces, the script console keeps
// the pictures in memory. Every call returns 0 or more on success and a
// negative number on failure, so that callers can tell the operator.
//
//   init(client)                 before the ports of a window are opened
//   open(port, area, w, h, m)    the port draws into the area until close
//   video(port, planes, w, h)    draws one planar 4:2:0 picture; the planes are
//                                read during the call only
//   close(port)                  the port may be opened again
//
// video() may be called on any thread; init, open and close only on the
// user-interface thread. Calls for one port never overlap: the windows
// serialise them.
#include <array>
#include <cstdint>
#include <string_view>

namespace pemblor::ui {
class Dialog;
}

namespace pemblor::video {

inline constexpr int kPlayerPort = 0;
inline constexpr int kFirstPreviewPort = 1;
inline constexpr int kRenderPortCount = 5;

// How a port draws; the windows show the names.
enum class RenderMethod : int {
    Offscreen = 0,  // the fallback when the other methods fail
    Overlay = 1,
    Gdi = 2,
};

// "Offscreen", "Overlay" or "GDI".
std::string_view renderMethodName(RenderMethod method);

// The video area a port draws into: a control of an open dialog.
struct VideoArea {
    ui::Dialog* dialog = nullptr;
    int control = 0;
};

// The three planes of one picture, in the order render ports take them:
// luma (width x height), then the red-difference plane, then the
// blue-difference plane (each width/2 x height/2). Line strides are the
// plane widths.
struct PicturePlanes {
    const std::uint8_t* luma = nullptr;
    const std::uint8_t* chromaR = nullptr;
    const std::uint8_t* chromaB = nullptr;
};

class Renderer {
public:
    virtual ~Renderer() = default;

    // client: 1 from the player window, 6 from the preview window.
    virtual int init(std::uint32_t client) = 0;
    // width x height is the size the caller expects; pictures of any size follow.
    virtual int open(int port, VideoArea area, int width, int height, RenderMethod method) = 0;
    virtual int video(int port, const PicturePlanes& planes, int width, int height) = 0;
    virtual int close(int port) = 0;
};

// True for port numbers 0 to 4.
constexpr bool validRenderPort(int port) { return port >= 0 && port < kRenderPortCount; }

// True for a picture size the renderers draw: even, positive and at most
// 4096 on each side.
constexpr bool drawablePictureSize(int width, int height) {
    constexpr int kMaxSide = 4096;
    return width > 0 && height > 0 && width % 2 == 0 && height % 2 == 0 && width <= kMaxSide && height <= kMaxSide;
}

}  // namespace pemblor::video
