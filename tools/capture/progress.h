// The progress bar on standard error: frames done, show time, speed (show seconds per wall
// second) and the time left. It stays quiet when standard error is not a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace capture_tool {

class Progress {
  public:
    // `end_ms`: the show time the capture runs to, as far as it can be told beforehand.
    explicit Progress(std::int64_t end_ms);
    // Redraws the bar at most ten times a second.
    void update(std::int64_t frames, std::int64_t show_ms);
    // Leaves the bar's last state on its own line when the capture succeeded, and clears it
    // (for the error message) when it failed.
    void done(bool succeeded);

    // The bar's text, for a given state; no terminal needed.
    static std::string line(std::int64_t frames, std::int64_t show_ms, std::int64_t end_ms,
                            double wall_seconds);

  private:
    bool enabled_;
    std::int64_t end_ms_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_draw_;
    bool drawn_ = false;
    std::int64_t frames_ = 0;
    std::int64_t show_ms_ = 0;
};

} // namespace capture_tool
