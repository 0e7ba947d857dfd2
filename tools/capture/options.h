// The capture's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace capture_tool {

struct Options {
    std::string video_path;          // empty: no video
    std::string png_dir;             // empty: no PNG frames
    std::vector<std::int64_t> at_ms; // show times of the PNG frames, sorted, each once
    std::string wav_path;            // empty: no WAV image
    int fps = 60;                    // frames per second of the video and the clock
    int scale = 1;                   // nearest-neighbour enlargement of the video
    std::int64_t until_ms = -1;      // the show time the capture stops before; -1: the show's end
    std::string ffmpeg = "ffmpeg";   // the encoder's program, looked up in PATH
    bool help = false;
    bool version = false;
};

constexpr int max_scale = 8;

// Reads argv[1..argc-1]. On a mistake returns false with a one-line reason in *error.
bool parse_options(int argc, const char* const* argv, Options* options, std::string* error);

// The text of --help.
std::string usage_text();

} // namespace capture_tool
