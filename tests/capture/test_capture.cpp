// The length of the show on the capture's clock, and the capture's command line.
#include "platform/win32/frame_clock.h"
#include "tools/capture/options.h"
#include "tools/capture/show_length.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using win32::frame_time_ms;

TEST(ShowLength, EachSceneOverrunsByUpToAFrame) {
    // One frame a millisecond: slot 0 ends at 1 ms, and each of scenes 1 to 10 runs one
    // millisecond past its duration, so the frame at 1 + 52300 + 10 ms ends the show.
    EXPECT_EQ(capture_tool::show_frame_count(1000), 52311);
    // Ten a second: slot 0 ends at 100 ms, and each scene's duration is a whole number of
    // frames, so each runs one frame (100 ms) over: the end comes at 100 + 52300 + 1000.
    EXPECT_EQ(capture_tool::show_frame_count(10), 534);
    // Whatever the rate, the show ends between 52.3 s and 52.3 s plus 11 frames.
    for (int fps : {1, 24, 25, 30, 50, 60, 120}) {
        const std::int64_t end_ms = frame_time_ms(capture_tool::show_frame_count(fps), fps);
        EXPECT_GT(end_ms, 52300) << fps;
        EXPECT_LE(end_ms, 52300 + 11 * 1000 / fps + 11) << fps;
    }
}

TEST(ShowLength, UntilTakesTheFramesDrawnBeforeIt) {
    EXPECT_EQ(capture_tool::capture_frame_count(60, 1000), 60);
    EXPECT_EQ(capture_tool::capture_frame_count(60, 1001), 61);
    EXPECT_EQ(capture_tool::capture_frame_count(60, 17), 2);
    EXPECT_EQ(capture_tool::capture_frame_count(60, 1), 1);
    // Past the show's end the show ends first.
    EXPECT_EQ(capture_tool::capture_frame_count(10, 3600000), 534);
    EXPECT_EQ(capture_tool::capture_frame_count(10, -1), 534);
}

struct Parsed {
    bool ok;
    capture_tool::Options options;
    std::string error;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "solid-objects-capture");
    std::vector<const char*> argv;
    argv.reserve(args.size());
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    Parsed parsed{false, {}, {}};
    parsed.ok = capture_tool::parse_options(static_cast<int>(argv.size()), argv.data(),
                                            &parsed.options, &parsed.error);
    return parsed;
}

TEST(Options, DefaultsAndBothFormsOfValues) {
    const Parsed plain = parse({"show.mp4"});
    ASSERT_TRUE(plain.ok) << plain.error;
    EXPECT_EQ(plain.options.video_path, "show.mp4");
    EXPECT_EQ(plain.options.fps, 60);
    EXPECT_EQ(plain.options.scale, 1);
    EXPECT_EQ(plain.options.until_ms, -1);

    const Parsed both = parse({"--fps=25", "--scale", "3", "out.mkv", "--until=4000"});
    ASSERT_TRUE(both.ok) << both.error;
    EXPECT_EQ(both.options.fps, 25);
    EXPECT_EQ(both.options.scale, 3);
    EXPECT_EQ(both.options.until_ms, 4000);
    EXPECT_EQ(both.options.video_path, "out.mkv");
}

TEST(Options, PngTimesAreSortedAndEachTakenOnce) {
    const Parsed parsed = parse({"--png", "dir", "--at", "5000,0,5000,120"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.at_ms, (std::vector<std::int64_t>{0, 120, 5000}));
}

TEST(Options, RejectsWhatItCannotUse) {
    const std::vector<std::vector<std::string>> bad = {
        {"show.mp4", "--fps", "1001"},
        {"show.mp4", "--fps", "-1"},
        {"show.mp4", "--fps", "1e3"},
        {"show.mp4", "--fps", " 60"},
        {"show.mp4", "--scale", "0"},
        {"show.mp4", "--fps", "99999999999999999999"},
        {"--png", "d", "--at", ""},
        {"--png", "d", "--at", "1,,2"},
        {"--png", "d", "--at", "-1"},
        {"--png", "d", "--at", "500", "--until", "500"},
        {"--wav", ""},
        {"show.mp4", "-x"},
    };
    for (const std::vector<std::string>& args : bad) {
        const Parsed parsed = parse(args);
        EXPECT_FALSE(parsed.ok) << args.back();
        EXPECT_FALSE(parsed.error.empty()) << args.back();
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
}

} // namespace
