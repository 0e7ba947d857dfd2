// solid-objects-capture: the show, unchanged, rendered without a screen into a video, PNG frames
// or its WAV image. It runs the program's own entry and frame driver on the Win32 layer's
// headless backend (platform/headless), whose virtual clock moves one frame at a time.
#include "platform/headless/capture_host.h"
#include "tools/capture/capture_sink.h"
#include "tools/capture/options.h"
#include "tools/capture/pending_file.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    capture_tool::Options options;
    std::string error;
    if (!capture_tool::parse_options(argc, argv, &options, &error)) {
        std::fprintf(stderr, "solid-objects-capture: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(capture_tool::usage_text().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("solid-objects-capture %s\n", SOLID_VERSION);
        return 0;
    }

    capture_tool::install_interrupt_cleanup();
    capture_tool::CaptureSink sink(options);
    if (!sink.prepare(&error)) {
        std::fprintf(stderr, "solid-objects-capture: %s\n", error.c_str());
        return 1;
    }
    capture::start(&sink, options.fps);

    // The show takes no command line.
    char command_line[] = "";
    const int result = WinMain(GetModuleHandleA(nullptr), nullptr, command_line, SW_SHOW);
    // The show normally ends inside its frame driver; returning means it stopped early.
    capture::end(capture::End::program_returned, result);
}
