#include "tools/capture/video_encoder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace capture_tool {

namespace {

// ffmpeg reads the sound from this descriptor.
constexpr int audio_child_fd = 3;
// How much of ffmpeg's standard error is kept for the error message.
constexpr std::size_t message_keep = 4096;

// A pipe whose descriptors are close-on-exec and above the ones the child is given (0 to 3), so
// that moving them into place in the child always makes a copy without close-on-exec.
bool make_pipe(int fds[2]) {
    int raw[2];
    if (pipe2(raw, O_CLOEXEC) != 0) {
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        fds[i] = fcntl(raw[i], F_DUPFD_CLOEXEC, 10);
        close(raw[i]);
    }
    if (fds[0] < 0 || fds[1] < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    return true;
}

void close_fd(int* fd) {
    if (*fd >= 0) {
        close(*fd);
        *fd = -1;
    }
}

// The last non-empty line of ffmpeg's messages.
std::string last_line(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r' || text[end - 1] == ' ')) {
        --end;
    }
    const std::size_t start = text.find_last_of("\r\n", end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1));
}

// Whether `program` can be run: as a path, or found in PATH as posix_spawnp would.
bool program_exists(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return access(program.c_str(), X_OK) == 0;
    }
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = folders.find(':', start);
        std::string candidate =
            folders.substr(start, colon == std::string::npos ? colon : colon - start);
        if (candidate.empty()) {
            candidate = ".";
        }
        candidate += '/';
        candidate += program;
        if (access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        if (colon == std::string::npos) {
            return false;
        }
        start = colon + 1;
    }
}

bool is_mp4_family(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "mp4" || extension == "m4v" || extension == "mov";
}

} // namespace

VideoEncoder::VideoEncoder(std::string ffmpeg, int fps, int scale, std::int64_t frames)
    : ffmpeg_(std::move(ffmpeg)), fps_(fps), scale_(scale), expected_frames_(frames) {}

VideoEncoder::~VideoEncoder() {
    abort();
}

bool VideoEncoder::prepare(const std::string& path, std::string* error) {
    if (!program_exists(ffmpeg_)) {
        *error = "cannot run '" + ffmpeg_ + "': " + std::strerror(ENOENT) +
                 (ffmpeg_ == "ffmpeg" ? " (install Debian's ffmpeg package)" : "");
        return false;
    }
    if (!file_.create(path, error)) {
        return false;
    }
    temp_name_ = file_.temp_path();
    return true;
}

std::string VideoEncoder::ffmpeg_reason() const {
    // ffmpeg speaks of the file by its temporary name; the user knows it by its final one.
    std::string reason = last_line(messages_);
    const std::string& temp = temp_name_;
    for (std::size_t at = temp.empty() ? std::string::npos : reason.find(temp);
         at != std::string::npos; at = reason.find(temp, at)) {
        reason.replace(at, temp.size(), file_.final_path());
        at += file_.final_path().size();
    }
    return reason;
}

std::vector<std::string> VideoEncoder::arguments(int width, int height, const Soundtrack* sound,
                                                 const std::string& output) const {
    std::vector<std::string> args = {"-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    // Blue, green, red: from that order ffmpeg's scaler has a direct path to 4:2:0, three times
    // as fast as from red, green, blue (its values differ from the general path's by one step
    // at most, well below what the encoding changes).
    args.insert(args.end(), {"-f", "rawvideo", "-pixel_format", "bgr24", "-video_size", size,
                             "-framerate", std::to_string(fps_), "-i", "pipe:0"});
    if (sound != nullptr) {
        // The sound read as far as the frames last (to the microsecond, which rounds to the
        // nearest sample), and no further.
        const std::int64_t microseconds = (expected_frames_ * 1000000 + fps_ - 1) / fps_;
        char duration[32];
        std::snprintf(duration, sizeof duration, "%lld.%06lld",
                      static_cast<long long>(microseconds / 1000000),
                      static_cast<long long>(microseconds % 1000000));
        args.insert(args.end(),
                    {"-t", duration, "-f", "wav", "-i", "pipe:" + std::to_string(audio_child_fd)});
    }
    args.insert(args.end(), {"-map", "0:v"});
    if (sound != nullptr) {
        args.insert(args.end(), {"-map", "1:a"});
    }
    // Enlarged pixel for pixel; converted once, straight to the 4:2:0 YUV that players expect,
    // with the colour matrix the file is tagged with.
    std::string filter = "scale=iw*" + std::to_string(scale_) + ":ih*" + std::to_string(scale_);
    if (scale_ > 1) {
        filter += ":flags=neighbor";
    }
    filter += ":out_color_matrix=bt709:out_range=tv,format=yuv420p";
    // x264's fastest preset: on these flat, hard-edged pictures it is also the most faithful at
    // the same quality setting, since it spends the bits the slower presets' psychovisual
    // tuning saves (the whole show: 48.0 dB PSNR against the frames as converted to 4:2:0 with
    // the medium preset, 53.7 dB with this one, for 3.3 Mbit/s against 1.4; a third of the
    // processor time). No B-frames or CABAC, so any player decodes it. One thread: beside the
    // rendering, which keeps the processors busy, x264's threads only cost their handing over
    // (1.5 to 2 processor seconds of the show's 9.7 in ffmpeg).
    args.insert(args.end(), {"-vf", filter, "-c:v", "libx264", "-preset", "ultrafast", "-threads",
                             "1", "-crf", "18", "-colorspace", "bt709", "-color_primaries", "bt709",
                             "-color_trc", "bt709", "-color_range", "tv"});
    if (sound != nullptr) {
        args.insert(args.end(), {"-c:a", "aac", "-b:a", "128k"});
    }
    // No version strings of the encoders or the muxer in the file: the same frames and sound give
    // the same bytes, whichever build of ffmpeg wrote them (while it encodes them the same).
    args.insert(args.end(), {"-fflags", "+bitexact", "-flags:v", "+bitexact"});
    if (sound != nullptr) {
        args.insert(args.end(), {"-flags:a", "+bitexact"});
    }
    if (is_mp4_family(output)) {
        // The index at the front, so that the video starts playing before it has all arrived.
        args.insert(args.end(), {"-movflags", "+faststart"});
    }
    args.push_back(output);
    return args;
}

bool VideoEncoder::start(int width, int height, const Soundtrack* sound, std::string* error) {
    frame_bytes_ = static_cast<std::size_t>(width) * height * 3;
    int video_pipe[2] = {-1, -1};
    int audio_pipe[2] = {-1, -1};
    int message_pipe[2] = {-1, -1};
    if (!make_pipe(video_pipe) || (sound != nullptr && !make_pipe(audio_pipe)) ||
        !make_pipe(message_pipe)) {
        *error = std::string("cannot make pipes for ffmpeg: ") + std::strerror(errno);
        for (int fd : {video_pipe[0], video_pipe[1], audio_pipe[0], audio_pipe[1], message_pipe[0],
                       message_pipe[1]}) {
            close_fd(&fd);
        }
        return false;
    }
    // A megabyte of frame in the pipe lets the rendering run ahead of the encoder a little.
    fcntl(video_pipe[1], F_SETPIPE_SZ, 1 << 20);

    const std::vector<std::string> args = arguments(width, height, sound, file_.temp_path());
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(ffmpeg_.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, video_pipe[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, message_pipe[1], 2);
    if (sound != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, audio_pipe[0], audio_child_fd);
    }
    // ffmpeg gets a process group of its own, so that Ctrl-C reaches only the capture (which
    // kills it): an ffmpeg interrupted by itself finishes its file. It starts with the signals
    // back to their defaults, and none blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal_number : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&defaults, signal_number);
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETPGROUP);
    // An interrupt between the start of ffmpeg and its registration would leave it running.
    sigset_t interrupts;
    sigemptyset(&interrupts);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&interrupts, signal_number);
    }
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
    pid_t child = 0;
    const int spawn_error =
        posix_spawnp(&child, ffmpeg_.c_str(), &actions, &attributes, argv.data(), environ);
    if (spawn_error == 0) {
        set_interrupt_child(child);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close_fd(&video_pipe[0]);
    close_fd(&audio_pipe[0]);
    close_fd(&message_pipe[1]);
    if (spawn_error != 0) {
        close_fd(&video_pipe[1]);
        close_fd(&audio_pipe[1]);
        close_fd(&message_pipe[0]);
        *error = "cannot run '" + ffmpeg_ + "': " + std::strerror(spawn_error) +
                 (spawn_error == ENOENT ? " (install Debian's ffmpeg package)" : "");
        return false;
    }
    child_ = child;
    video_fd_ = video_pipe[1];
    message_fd_ = message_pipe[0];
    message_thread_ = std::thread(&VideoEncoder::read_messages, this);
    if (sound != nullptr) {
        sound_ = *sound;
        audio_fd_ = audio_pipe[1];
        fcntl(audio_fd_, F_SETPIPE_SZ, 1 << 20);
        audio_thread_ = std::thread(&VideoEncoder::feed_audio, this);
    }
    return true;
}

// Writes the whole image, as fast as ffmpeg takes it. ffmpeg stops reading where the sound it
// needs ends, and the write then fails (EPIPE) when it exits: only another failure is one.
void VideoEncoder::feed_audio() {
    if (!write_fully(audio_fd_, sound_.image, sound_.bytes) && errno != EPIPE) {
        audio_failed_ = true;
    }
    close_fd(&audio_fd_);
}

void VideoEncoder::read_messages() {
    char buffer[1024];
    for (;;) {
        const ssize_t count = read(message_fd_, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        messages_.append(buffer, static_cast<std::size_t>(count));
        if (messages_.size() > 2 * message_keep) {
            messages_.erase(0, messages_.size() - message_keep);
        }
    }
    close_fd(&message_fd_);
}

bool VideoEncoder::add_frame(const std::uint8_t* bgr, std::string* error) {
    if (!write_fully(video_fd_, bgr, frame_bytes_)) {
        const int write_error = errno;
        // ffmpeg has stopped reading and is on its way out: its exit status and last words say
        // why. It gets a few seconds to end by itself before it is killed.
        close_fd(&video_fd_);
        for (int waited_ms = 0; waited_ms < 5000 && !child_has_exited(); waited_ms += 10) {
            usleep(10000);
        }
        abort();
        *error = std::string("ffmpeg stopped taking frames (") + std::strerror(write_error) + ")";
        if (!exit_reason_.empty()) {
            *error += ": " + exit_reason_;
        }
        return false;
    }
    ++frames_;
    return true;
}

bool VideoEncoder::child_has_exited() const {
    siginfo_t info{};
    // Looks without reaping it.
    return waitid(P_PID, static_cast<id_t>(child_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == child_;
}

bool VideoEncoder::reap(std::string* error) {
    int status = 0;
    while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    child_ = 0;
    set_interrupt_child(0);
    if (message_thread_.joinable()) {
        message_thread_.join();
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return true;
    }
    *error = WIFEXITED(status)
                 ? "ffmpeg failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")"
                 : "ffmpeg was killed by signal " + std::to_string(WTERMSIG(status));
    const std::string reason = ffmpeg_reason();
    if (!reason.empty()) {
        *error += ": " + reason;
    }
    return false;
}

bool VideoEncoder::finish(std::string* error) {
    if (child_ <= 0) {
        *error = "the video has no frames";
        abort();
        return false;
    }
    if (frames_ != expected_frames_) {
        // The sound was cut for a different length; the video would not match it.
        *error = "the show presented " + std::to_string(frames_) + " frames, not the " +
                 std::to_string(expected_frames_) + " its timeline gives";
        abort();
        return false;
    }
    close_fd(&video_fd_);
    if (audio_thread_.joinable()) {
        audio_thread_.join();
    }
    if (!reap(error)) {
        file_.discard();
        return false;
    }
    if (audio_failed_) {
        *error = "ffmpeg stopped taking the sound";
        file_.discard();
        return false;
    }
    return file_.commit(error);
}

void VideoEncoder::abort() {
    close_fd(&video_fd_);
    // Killed outright: an ffmpeg asked to stop would still finish the file it was writing.
    if (child_ > 0) {
        kill(child_, SIGKILL);
    }
    if (audio_thread_.joinable()) {
        audio_thread_.join();
    }
    if (child_ > 0) {
        reap(&exit_reason_);
    }
    file_.discard();
}

} // namespace capture_tool
