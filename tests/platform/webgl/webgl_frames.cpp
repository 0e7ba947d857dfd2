// The show's frames drawn by the program's GL subset over Mesa's OpenGL ES, written as PNG files
// like the capture's --png: the same frame times, names and pixels (16-bit colour widened to 8
// bits), so that the two can be compared pixel by pixel.
//
//     webgl_frames --png DIR --at T1,T2,...
#include "platform/webgl/gles.h"
#include "platform/webgl/webgl.h"
#include "tests/platform/webgl/show_frames.h"
#include "tests/support/offscreen_gles.h"

#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool parse_times(const std::string& text, std::vector<std::int64_t>* times) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        char* end = nullptr;
        const long long value = std::strtoll(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || value < 0) {
            return false;
        }
        times->push_back(value);
        start = comma + 1;
    }
    std::sort(times->begin(), times->end());
    times->erase(std::unique(times->begin(), times->end()), times->end());
    return !times->empty();
}

// 8-bit RGB, the top row first, through libpng's simplified interface.
bool write_png(const std::string& path, const std::vector<std::uint8_t>& rgb, int width,
               int height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

int usage() {
    std::fprintf(stderr, "usage: webgl_frames --png DIR --at T1,T2,...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string dir;
    std::vector<std::int64_t> times;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--png") {
            dir = argv[i + 1];
        } else if (name == "--at") {
            if (!parse_times(argv[i + 1], &times)) {
                return usage();
            }
        } else {
            return usage();
        }
    }
    if (dir.empty() || times.empty() || argc % 2 == 0) {
        return usage();
    }

    std::string error;
    webgl::Gles gles;
    if (!offscreen_gles::open(&error)) {
        std::fprintf(stderr, "webgl_frames: %s\n", error.c_str());
        return 1;
    }
    if (const char* missing = webgl::load_gles(gles, offscreen_gles::lookup)) {
        std::fprintf(stderr, "webgl_frames: no %s\n", missing);
        return 1;
    }
    if (!webgl::open(gles, 640, 480, &error)) {
        std::fprintf(stderr, "webgl_frames: %s\n", error.c_str());
        return 1;
    }

    show_frames::start();
    std::size_t next = 0;
    for (std::int64_t frame = 0; next < times.size(); ++frame) {
        // Only the frames asked for are drawn; the others keep the program's state moving.
        const bool wanted = show_frames::frame_at(times[next]) == frame;
        webgl::set_drawing(wanted);
        if (!show_frames::draw(frame)) {
            std::fprintf(stderr, "webgl_frames: the show ends before %lld ms\n",
                         static_cast<long long>(times[next]));
            return 1;
        }
        webgl::end_frame();
        while (wanted && next < times.size() && show_frames::frame_at(times[next]) == frame) {
            const std::vector<std::uint8_t> rgb = webgl::read_rgb();
            char name[32];
            std::snprintf(name, sizeof name, "/frame_%06lld.png",
                          static_cast<long long>(times[next]));
            if (!write_png(dir + name, rgb, 640, 480)) {
                std::fprintf(stderr, "webgl_frames: cannot write %s%s\n", dir.c_str(), name);
                return 1;
            }
            const webgl::FrameStats stats = webgl::last_frame_stats();
            std::printf("%s: %d draws, %d vertices (%d sent), %d triangles, %d more outside "
                        "the view\n",
                        name + 1, stats.draws, stats.vertices, stats.vertices_sent, stats.triangles,
                        stats.triangles_outside);
            ++next;
        }
    }
    webgl::close();
    offscreen_gles::close();
    return 0;
}
