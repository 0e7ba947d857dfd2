#include "tools/capture/capture_sink.h"

#include "platform/win32/frame_clock.h"
#include "show/scenes.h"
#include "tools/capture/show_length.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <png.h>
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

// libpng reports a failure by a long jump back into encode_png; the reason waits here.
struct PngOutput {
    std::vector<std::uint8_t> bytes;
    std::string error;
};

void on_png_write(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
    out->bytes.insert(out->bytes.end(), data, data + size);
}

void on_png_flush(png_structp) {}

void on_png_error(png_structp png, png_const_charp message) {
    static_cast<PngOutput*>(png_get_error_ptr(png))->error = message;
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// The frame (blue, green, red) as an 8-bit RGB PNG file. The pictures are flat colour with hard
// edges: the SUB filter turns every run into zeros, which zlib's fastest level (1) already packs
// to about 10 KB a frame in about the time the frame took to draw. Level 6 halves that for twice
// the time, and adaptive filtering (libpng's default) costs four times as much again.
bool encode_png(const std::uint8_t* bgr, int width, int height, PngOutput* out) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, out, on_png_error, on_png_warning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        out->error = "out of memory";
        return false;
    }
    // libpng reports a failure by longjmp to here; no C++ object lives between the two.
    // NOLINTNEXTLINE(cert-err52-cpp)
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, on_png_write, on_png_flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    png_set_bgr(png);
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        png_write_row(png, bgr + static_cast<std::size_t>(y) * row_bytes);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
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
    sound_ = Soundtrack{image, bytes};
    return wants_frames();
}

bool CaptureSink::write_png(PngFrame& png, const std::uint8_t* bgr, int width, int height) {
    PngOutput encoded;
    if (!encode_png(bgr, width, height, &encoded)) {
        return fail("cannot write '" + png.path + "': " + encoded.error);
    }
    png.file = std::make_unique<PendingFile>();
    std::string error;
    if (!png.file->create(png.path, &error) ||
        !png.file->write_all(encoded.bytes.data(), encoded.bytes.size(), &error) ||
        !png.file->close_file(&error)) {
        return fail(error);
    }
    return true;
}

bool CaptureSink::wants_picture(std::int64_t index) {
    // A video takes every frame; otherwise only those on screen at a time asked for are drawn.
    // Frames reach take_frame a frame late, so the times of the frame before may still wait.
    if (video_ != nullptr) {
        return true;
    }
    for (std::size_t i = next_png_; i < pngs_.size(); ++i) {
        const std::int64_t frame = win32::frame_on_screen_at(pngs_[i].time_ms, options_.fps);
        if (frame >= index) {
            return frame == index;
        }
    }
    return false;
}

bool CaptureSink::take_frame(std::int64_t index, std::int64_t show_time_ms, const std::uint8_t* bgr,
                             int width, int height) {
    frames_ = index + 1;
    last_show_ms_ = show_time_ms;
    try {
        // Every time whose frame on screen this is (several times can share one frame).
        while (bgr != nullptr && next_png_ < pngs_.size() &&
               win32::frame_on_screen_at(pngs_[next_png_].time_ms, options_.fps) <= index) {
            if (!write_png(pngs_[next_png_], bgr, width, height)) {
                return false;
            }
            ++next_png_;
        }
        if (video_ != nullptr && bgr != nullptr) {
            std::string error;
            if (!video_->started() &&
                !video_->start(width, height, have_sound_ ? &sound_ : nullptr, &error)) {
                return fail(error);
            }
            if (!video_->add_frame(bgr, &error)) {
                return fail(error);
            }
        }
    } catch (const std::exception& failure) {
        return fail(failure.what());
    }
    progress_.update(frames_, show_time_ms);
    if (options_.until_ms >= 0 &&
        win32::frame_time_ms(index + 1, options_.fps) >= options_.until_ms) {
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
