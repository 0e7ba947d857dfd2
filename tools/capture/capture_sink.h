// What the capture does with the show's sound and frames: the video through ffmpeg, PNG frames
// at chosen show times, the WAV image, and the progress bar.
#pragma once

#include "platform/headless/capture_host.h"
#include "tools/capture/options.h"
#include "tools/capture/pending_file.h"
#include "tools/capture/progress.h"
#include "tools/capture/video_encoder.h"

#include <memory>
#include <string>
#include <vector>

namespace capture_tool {

class CaptureSink : public capture::Sink {
  public:
    explicit CaptureSink(const Options& options);

    // Makes the outputs' folders and temporary files, so that a place that cannot be written
    // fails before any work is done.
    bool prepare(std::string* error);

    bool take_sound(const std::uint8_t* image, std::size_t bytes) override;
    bool wants_picture(std::int64_t index) override;
    bool take_frame(std::int64_t index, std::int64_t show_time_ms, const std::uint8_t* bgr,
                    int width, int height) override;
    int finish(capture::End end, int show_exit_code) override;

  private:
    struct PngFrame {
        std::int64_t time_ms;
        std::string path;
        std::unique_ptr<PendingFile> file; // made when its frame is written
    };

    bool wants_frames() const;
    bool write_png(PngFrame& png, const std::uint8_t* bgr, int width, int height);
    // Keeps the first failure; returns false, to stop the capture.
    bool fail(const std::string& message);
    bool complete_outputs();
    void discard_outputs();

    Options options_;
    std::unique_ptr<VideoEncoder> video_;
    PendingFile wav_;
    std::vector<PngFrame> pngs_;
    std::size_t next_png_ = 0;
    bool created_png_dir_ = false;

    bool have_sound_ = false;
    Soundtrack sound_;

    Progress progress_;
    std::int64_t frames_ = 0;
    std::int64_t last_show_ms_ = 0;
    std::string error_;
};

} // namespace capture_tool
