// The video output: Debian's ffmpeg as a child process, running beside the rendering, fed the
// frames as raw pixels on its standard input and the show's WAV image, as it is, on descriptor 3,
// and writing H.264 with AAC sound. ffmpeg reads the image itself and cuts the sound to the length
// of the frames the capture will hand over. Nothing passes through temporary files.
//
// ffmpeg reads its two inputs in an order of its own (while it starts it reads well ahead in
// one of them), so the sound cannot wait for the frames: a feeder thread writes the whole image
// at once.
#pragma once

#include "tools/capture/pending_file.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace capture_tool {

// The soundtrack: the WAV image the show played.
struct Soundtrack {
    const std::uint8_t* image = nullptr;
    std::size_t bytes = 0;
};

class VideoEncoder {
  public:
    // `frames`: how many frames the video will get, which sets the sound's length.
    VideoEncoder(std::string ffmpeg, int fps, int scale, std::int64_t frames);
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;
    ~VideoEncoder();

    // Makes the output file's temporary name, so a folder that cannot be written shows at once.
    bool prepare(const std::string& path, std::string* error);
    // Starts ffmpeg for frames of this size, with the sound if there is one (null: none).
    bool start(int width, int height, const Soundtrack* sound, std::string* error);
    bool started() const {
        return child_ > 0;
    }
    // Hands one frame (width x height pixels of blue, green and red, the top row first) to the
    // encoder.
    bool add_frame(const std::uint8_t* bgr, std::string* error);
    std::int64_t frames() const {
        return frames_;
    }
    // Ends the input, waits for ffmpeg and, if it succeeded and got the frames it was promised,
    // gives the file its final name.
    bool finish(std::string* error);
    // Stops ffmpeg and removes the file.
    void abort();

    // The arguments ffmpeg is run with (without the program's name).
    std::vector<std::string> arguments(int width, int height, const Soundtrack* sound,
                                       const std::string& output) const;

  private:
    void feed_audio();
    void read_messages();
    // The last line ffmpeg wrote, naming the output by its final name.
    std::string ffmpeg_reason() const;
    bool child_has_exited() const;
    // Waits for ffmpeg; true when it exited with status 0, else the reason in *error.
    bool reap(std::string* error);

    std::string ffmpeg_;
    int fps_;
    int scale_;
    std::int64_t expected_frames_;
    PendingFile file_;
    std::string temp_name_;   // the file's name while ffmpeg writes it
    std::string exit_reason_; // how ffmpeg ended, when abort() ended it
    pid_t child_ = 0;
    int video_fd_ = -1;
    std::size_t frame_bytes_ = 0;
    std::int64_t frames_ = 0;

    Soundtrack sound_;
    int audio_fd_ = -1;
    std::thread audio_thread_;
    std::atomic<bool> audio_failed_{false};

    int message_fd_ = -1;
    std::thread message_thread_;
    std::string messages_; // the end of what ffmpeg wrote to its standard error
};

} // namespace capture_tool
