#include "tools/capture/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace capture_tool {

namespace {

constexpr int bar_width = 24;

std::string minutes_seconds(double seconds) {
    const long whole = std::lround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

} // namespace

Progress::Progress(std::int64_t end_ms)
    : enabled_(isatty(STDERR_FILENO) == 1), end_ms_(std::max<std::int64_t>(end_ms, 1)),
      start_(std::chrono::steady_clock::now()), last_draw_(start_) {}

std::string Progress::line(std::int64_t frames, std::int64_t show_ms, std::int64_t end_ms,
                           double wall_seconds) {
    const double show_seconds = static_cast<double>(show_ms) / 1000.0;
    const double end_seconds = static_cast<double>(end_ms) / 1000.0;
    const double fraction = std::clamp(show_seconds / end_seconds, 0.0, 1.0);
    const int filled = static_cast<int>(fraction * bar_width);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(bar_width - filled), '.');
    // Show seconds per wall second.
    const double speed = wall_seconds > 0 ? show_seconds / wall_seconds : 0.0;
    const std::string left =
        speed > 0 ? minutes_seconds(std::max(end_seconds - show_seconds, 0.0) / speed) : "?";
    char text[160];
    std::snprintf(text, sizeof text, "[%s] %3d%%  %lld frames  %.1f / %.1f s  %.2fx  %s left",
                  bar.c_str(), static_cast<int>(fraction * 100), static_cast<long long>(frames),
                  show_seconds, end_seconds, speed, left.c_str());
    return text;
}

void Progress::update(std::int64_t frames, std::int64_t show_ms) {
    frames_ = frames;
    show_ms_ = show_ms;
    if (!enabled_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_draw_ < std::chrono::milliseconds(100)) {
        return;
    }
    last_draw_ = now;
    drawn_ = true;
    const double wall = std::chrono::duration<double>(now - start_).count();
    // Back to the start of the line and clear it, so a shorter line leaves nothing behind.
    std::fprintf(stderr, "\r%s\x1b[K",
                 line(frames, show_ms, std::max(end_ms_, show_ms), wall).c_str());
    std::fflush(stderr);
}

void Progress::done(bool succeeded) {
    if (!enabled_ || !drawn_) {
        return;
    }
    drawn_ = false;
    if (!succeeded) {
        std::fprintf(stderr, "\r\x1b[K");
        std::fflush(stderr);
        return;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr, "\r%s\x1b[K\n", line(frames_, show_ms_, show_ms_, wall).c_str());
    std::fflush(stderr);
}

} // namespace capture_tool
