#pragma once
// The console's "11 Play" and "12 Preview" buttons: each runs its window
// modally and publishes it to reception while it is open.
#include <memory>

#include "common/stream_consumers.hpp"
#include "ui/console_seam.hpp"

namespace pemblor::video {

class Renderer;
class DecoderFactory;

// What draws the player's and the preview's pictures (none: the windows'
// Start reports that rendering failed) and what decodes the played stream
// (none: the FFmpeg decoder).
struct VideoOptions {
    Renderer* renderer = nullptr;
    DecoderFactory* decoders = nullptr;
};

std::unique_ptr<ui::Subsystem> attachVideoWindows(ui::ConsoleSeam& console, common::StreamConsumers& consumers,
                                                  VideoOptions options);

}  // namespace pemblor::video
