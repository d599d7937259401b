#include "video/renderer.hpp"

namespace pemblor::video {

std::string_view renderMethodName(RenderMethod method) {
    switch (method) {
        case RenderMethod::Offscreen:
            return "Offscreen";
        case RenderMethod::Overlay:
            return "Overlay";
        case RenderMethod::Gdi:
            return "GDI";
    }
    return "?";
}

}  // namespace pemblor::video
