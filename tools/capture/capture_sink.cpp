#include "tools/capture/capture_sink.h"

#include "platform/headless/frame_clock.h"
#include "platform/linux/wav_image.h"
#include "show/scenes.h"
#include "tools/capture/png.h"
#include "tools/capture/show_length.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>

namespace capture_tool {

namespace {

std::int64_t progress_end_ms(const Options& options) {
    if (options.video_path.empty() && !options.at_ms.empty()) {
        return options.at_ms.back();
    }
    if (options.until_ms >= 0) {
        return std::min(options.until_ms, nominal_show_end_ms());
    }
    return nominal_show_end_ms();
}

std::string png_name(std::int64_t time_ms) {
    char name[48];
    std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(time_ms));
    return name;
}

} // namespace

CaptureSink::CaptureSink(const Options& options)
    : options_(options), progress_(progress_end_ms(options)) {
    if (!options_.video_path.empty()) {
        video_ =
            std::make_unique<VideoEncoder>(options_.ffmpeg, options_.fps, options_.scale,
                                           capture_frame_count(options_.fps, options_.until_ms));
    }
    for (std::int64_t time : options_.at_ms) {
        pngs_.push_back(PngFrame{time, options_.png_dir + "/" + png_name(time), nullptr});
    }
}

bool CaptureSink::prepare(std::string* error) {
    if (video_ != nullptr && !video_->prepare(options_.video_path, error)) {
        return false;
    }
    if (!options_.wav_path.empty() && !wav_.create(options_.wav_path, error)) {
        return false;
    }
    if (!options_.png_dir.empty()) {
        struct stat info {};
        if (stat(options_.png_dir.c_str(), &info) != 0) {
            if (mkdir(options_.png_dir.c_str(), 0777) != 0) {
                *error =
                    "cannot make the folder '" + options_.png_dir + "': " + std::strerror(errno);
                return false;
            }
            created_png_dir_ = true;
        } else if (!S_ISDIR(info.st_mode)) {
            *error = "'" + options_.png_dir + "' is not a folder";
            return false;
        }
        // A first temporary file shows whether the folder can be written.
        PendingFile probe;
        if (!probe.create(pngs_.front().path, error)) {
            return false;
        }
    }
    return true;
}

bool CaptureSink::wants_frames() const {
    return video_ != nullptr || next_png_ < pngs_.size();
}

bool CaptureSink::fail(const std::string& message) {
    if (error_.empty()) {
        error_ = message;
    }
    return false;
}

bool CaptureSink::take_sound(const std::uint8_t* image, std::size_t bytes) {
    have_sound_ = true;
    if (!options_.wav_path.empty()) {
        std::string error;
        if (!wav_.write_all(image, bytes, &error)) {
            return fail(error);
        }
    }
    WavImage wav;
    const WavError parsed = parse_wav_image(image, bytes, &wav);
    if (parsed == WavError::none) {
        audio_track_.samples = wav.samples;
        audio_track_.bytes = wav.sample_bytes;
        audio_track_.sample_rate = wav.sample_rate;
        audio_track_.channels = wav.channels;
        audio_track_.bits_per_sample = wav.bits_per_sample;
        have_audio_track_ = true;
    } else if (video_ != nullptr) {
        return fail(std::string("the show's soundtrack cannot go into the video: ") +
                    wav_error_text(parsed));
    }
    return wants_frames();
}

bool CaptureSink::write_png(PngFrame& png, const std::uint8_t* rgb, int width, int height) {
    const std::vector<std::uint8_t> bytes = encode_png(rgb, width, height);
    png.file = std::make_unique<PendingFile>();
    std::string error;
    if (!png.file->create(png.path, &error) ||
        !png.file->write_all(bytes.data(), bytes.size(), &error) || !png.file->close_file(&error)) {
        return fail(error);
    }
    return true;
}

bool CaptureSink::take_frame(std::int64_t index, std::int64_t show_time_ms, const std::uint8_t* rgb,
                             int width, int height) {
    frames_ = index + 1;
    last_show_ms_ = show_time_ms;
    try {
        // Every time whose frame on screen this is (several times can share one frame).
        while (next_png_ < pngs_.size() &&
               capture::frame_on_screen_at(pngs_[next_png_].time_ms, options_.fps) <= index) {
            if (!write_png(pngs_[next_png_], rgb, width, height)) {
                return false;
            }
            ++next_png_;
        }
        if (video_ != nullptr) {
            std::string error;
            if (!video_->started() &&
                !video_->start(width, height, have_audio_track_ ? &audio_track_ : nullptr,
                               &error)) {
                return fail(error);
            }
            if (!video_->add_frame(rgb, &error)) {
                return fail(error);
            }
        }
    } catch (const std::exception& failure) {
        return fail(failure.what());
    }
    progress_.update(frames_, show_time_ms);
    if (options_.until_ms >= 0 &&
        capture::frame_time_ms(index + 1, options_.fps) >= options_.until_ms) {
        // The next frame would be drawn at or after --until: this was the last one.
        return false;
    }
    return wants_frames();
}

bool CaptureSink::complete_outputs() {
    std::string error;
    if (!options_.wav_path.empty() && !have_sound_) {
        return fail("the show played no soundtrack to write to '" + options_.wav_path + "'");
    }
    if (next_png_ < pngs_.size()) {
        return fail("show time " + std::to_string(pngs_[next_png_].time_ms) +
                    " ms is past the show's last frame, drawn at " + std::to_string(last_show_ms_) +
                    " ms");
    }
    if (video_ != nullptr && !video_->finish(&error)) {
        return fail(error);
    }
    if (!options_.wav_path.empty() && !wav_.commit(&error)) {
        return fail(error);
    }
    for (PngFrame& png : pngs_) {
        if (!png.file->commit(&error)) {
            return fail(error);
        }
    }
    return true;
}

void CaptureSink::discard_outputs() {
    if (video_ != nullptr) {
        video_->abort();
    }
    wav_.discard();
    for (PngFrame& png : pngs_) {
        if (png.file != nullptr) {
            png.file->discard();
        }
    }
    if (created_png_dir_) {
        // Only if it is still empty: frames committed before a failure stay where they are.
        rmdir(options_.png_dir.c_str());
    }
}

int CaptureSink::finish(capture::End end, int show_exit_code) {
    if (error_.empty()) {
        if (end == capture::End::program_returned) {
            const std::vector<std::string>& boxes = capture::message_boxes();
            if (frames_ == 0 && !boxes.empty()) {
                // The show said why it could not start; the GL, if it was the GL, says more.
                std::string reason = "the show could not start: " + boxes.back();
                if (!capture::gl_error().empty()) {
                    reason +=
                        " (" + capture::gl_error() + "; Debian: libegl-mesa0, libgl1-mesa-dri)";
                }
                fail(reason);
            } else {
                fail("the show stopped before its end (exit code " +
                     std::to_string(show_exit_code) + ")");
            }
        } else {
            complete_outputs();
        }
    }
    progress_.done(error_.empty());
    if (!error_.empty()) {
        discard_outputs();
        std::fprintf(stderr, "solid-objects-capture: %s\n", error_.c_str());
        return 1;
    }
    return 0;
}

} // namespace capture_tool
