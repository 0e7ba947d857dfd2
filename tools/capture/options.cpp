#include "tools/capture/options.h"

#include "platform/win32/frame_clock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <getopt.h>

namespace capture_tool {

namespace {

// Up to a day of show time, far past any show's end but clear of overflow.
constexpr std::int64_t max_show_ms = 86400000;

// A whole decimal number from `low` to `high`, nothing before or after it.
bool parse_integer(const std::string& text, std::int64_t low, std::int64_t high,
                   std::int64_t* value) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-')) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    *value = parsed;
    return true;
}

bool parse_times(const std::string& text, std::vector<std::int64_t>* times) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? comma : comma - start);
        std::int64_t time = 0;
        if (!parse_integer(item, 0, max_show_ms, &time)) {
            return false;
        }
        times->push_back(time);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    std::sort(times->begin(), times->end());
    times->erase(std::unique(times->begin(), times->end()), times->end());
    return true;
}

} // namespace

bool parse_options(int argc, const char* const* argv, Options* options, std::string* error) {
    enum Code { fps = 256, scale, until, png, at, wav, ffmpeg, version };
    static const option long_options[] = {
        {"help", no_argument, nullptr, 'h'},
        {"fps", required_argument, nullptr, fps},
        {"scale", required_argument, nullptr, scale},
        {"until", required_argument, nullptr, until},
        {"png", required_argument, nullptr, png},
        {"at", required_argument, nullptr, at},
        {"wav", required_argument, nullptr, wav},
        {"ffmpeg", required_argument, nullptr, ffmpeg},
        {"version", no_argument, nullptr, version},
        {nullptr, 0, nullptr, 0},
    };
    auto name_of = [](int code) -> std::string {
        for (const option& entry : long_options) {
            if (entry.name != nullptr && entry.val == code) {
                return std::string("--") + entry.name;
            }
        }
        return "";
    };
    // Only the whole name: getopt_long would also take "-hh" or an abbreviation such as "--fp".
    auto spelled_out = [&](const std::string& arg, int code) {
        const std::string name = name_of(code);
        return arg == name || arg.rfind(name + "=", 0) == 0 || (code == 'h' && arg == "-h");
    };

    // "-": arguments in their order, the file name among them; ":": a missing value is told
    // apart from an unknown option. optind = 0 starts getopt_long afresh; it reports nothing.
    optind = 0;
    opterr = 0;
    char* const* args = const_cast<char* const*>(argv);
    bool at_given = false;
    for (;;) {
        // The argument getopt_long is about to read (optind is 0 only before the first).
        const int index = optind == 0 ? 1 : optind;
        const int code = getopt_long(argc, args, "-:h", long_options, nullptr);
        if (code == -1) {
            if (index < argc && std::strcmp(argv[index], "--") == 0) {
                *error = "unknown option '--'";
                return false;
            }
            break;
        }
        const std::string arg = argv[index];
        if (code == '?' || (code == ':' && !spelled_out(arg, optopt)) ||
            (code != 1 && code != ':' && !spelled_out(arg, code))) {
            *error = "unknown option '" + arg + "'";
            return false;
        }
        if (code == ':') {
            *error = "option " + name_of(optopt) + " needs a value";
            return false;
        }
        const std::string value = optarg != nullptr ? optarg : "";
        std::int64_t number = 0;
        switch (code) {
        case 'h':
            options->help = true;
            break;
        case fps:
            if (!parse_integer(value, 1, win32::max_fps, &number)) {
                *error = "--fps wants a whole number of frames per second from 1 to " +
                         std::to_string(win32::max_fps) + ", not '" + value + "'";
                return false;
            }
            options->fps = static_cast<int>(number);
            break;
        case scale:
            if (!parse_integer(value, 1, max_scale, &number)) {
                *error = "--scale wants a whole number from 1 to " + std::to_string(max_scale) +
                         ", not '" + value + "'";
                return false;
            }
            options->scale = static_cast<int>(number);
            break;
        case until:
            if (!parse_integer(value, 1, max_show_ms, &options->until_ms)) {
                *error = "--until wants a show time in whole milliseconds from 1 to " +
                         std::to_string(max_show_ms) + ", not '" + value + "'";
                return false;
            }
            break;
        case png:
            if (value.empty()) {
                *error = "--png wants a folder";
                return false;
            }
            options->png_dir = value;
            break;
        case at:
            if (!parse_times(value, &options->at_ms)) {
                *error = "--at wants show times in whole milliseconds, separated by commas, not '" +
                         value + "'";
                return false;
            }
            at_given = true;
            break;
        case wav:
            if (value.empty()) {
                *error = "--wav wants a file name";
                return false;
            }
            options->wav_path = value;
            break;
        case ffmpeg:
            options->ffmpeg = value;
            break;
        case version:
            options->version = true;
            break;
        default: // 1: an argument that is not an option, the video file
            if (!options->video_path.empty()) {
                *error =
                    "one video file at a time: '" + options->video_path + "' and '" + value + "'";
                return false;
            }
            if (value.empty()) {
                *error = "the video file name is empty";
                return false;
            }
            options->video_path = value;
            break;
        }
    }
    if (options->help || options->version) {
        return true;
    }
    if (!options->png_dir.empty() && !at_given) {
        *error = "--png needs the show times of its frames: --at T1,T2,...";
        return false;
    }
    if (options->png_dir.empty() && at_given) {
        *error = "--at needs a folder for its frames: --png DIR";
        return false;
    }
    if (options->until_ms >= 0 && !options->at_ms.empty() &&
        options->at_ms.back() >= options->until_ms) {
        *error = "show time " + std::to_string(options->at_ms.back()) +
                 " ms of --at is not before --until " + std::to_string(options->until_ms);
        return false;
    }
    if (options->video_path.empty() && options->png_dir.empty() && options->wav_path.empty()) {
        *error = "nothing to write: give a video file, --png DIR --at T1,T2,... or --wav FILE";
        return false;
    }
    return true;
}

std::string usage_text() {
    return "Usage: solid-objects-capture [VIDEO] [--fps N] [--scale K] [--until MS]\n"
           "                             [--png DIR --at T1,T2,...] [--wav FILE]\n"
           "\n"
           "Renders the show without a screen, frame by frame on a virtual clock, and writes\n"
           "it to files. Two captures with the same options give the same frames. Any of the\n"
           "outputs below can be asked for together; at least one is needed.\n"
           "\n"
           "  VIDEO           the video file to write, e.g. show.mp4: H.264 video and the\n"
           "                  soundtrack as AAC, encoded by ffmpeg; the container follows the\n"
           "                  name's extension. The video runs from the start of the show to\n"
           "                  its last frame, and the sound is cut to the same length.\n"
           "  --fps N         frames per second, 1 to 1000 (default 60). Frame k is drawn at\n"
           "                  show time floor(k * 1000 / N) milliseconds.\n"
           "  --scale K       enlarges the video K times, 1 to 8 (default 1: 640 x 480), with\n"
           "                  nearest-neighbour scaling, so that its pixels stay sharp.\n"
           "  --until MS      stops the capture before show time MS (milliseconds): the video\n"
           "                  holds the frames drawn before MS, and the sound is cut to match.\n"
           "                  For short previews and tests; by default the capture runs to the\n"
           "                  show's own end (about 52.3 s).\n"
           "  --png DIR       writes PNG frames into DIR (made if missing), one for each time\n"
           "                  of --at, named frame_TTTTTT.png after the time asked for.\n"
           "  --at T1,T2,...  show times in milliseconds for --png. The frame written for T is\n"
           "                  the one on screen at T: the last frame drawn at or before T (at\n"
           "                  60 fps every multiple of 50 ms is drawn exactly; --fps 1000\n"
           "                  draws every millisecond). Without a video, the capture stops\n"
           "                  after the last of them.\n"
           "  --wav FILE      writes the soundtrack's WAV image, byte for byte the image the\n"
           "                  show plays. Alone, it takes no frames at all.\n"
           "  --ffmpeg PROG   the ffmpeg program to encode with (default: ffmpeg from PATH).\n"
           "  -h, --help      shows this text.\n"
           "  --version       shows the program's version.\n"
           "\n"
           "A progress bar (frames, show time, speed, time left) goes to standard error when it\n"
           "is a terminal. Files are written under temporary names beside their final ones and\n"
           "renamed when complete: a failed or interrupted capture leaves nothing behind. Exit\n"
           "status: 0 on success, 1 when the capture fails, 2 for a bad command line.\n";
}

} // namespace capture_tool
