#include "tools/capture/pending_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace capture_tool {

namespace {

// The temporary names an interrupt must remove. Lock-free, so the signal handler may read them.
constexpr int slot_count = 4096;
std::atomic<const char*> pending_paths[slot_count];
std::atomic<pid_t> interrupt_child{0};

int claim_slot(const char* path) {
    for (int i = 0; i < slot_count; ++i) {
        const char* expected = nullptr;
        if (pending_paths[i].compare_exchange_strong(expected, path)) {
            return i;
        }
    }
    return -1;
}

void release_slot(int slot) {
    if (slot >= 0) {
        pending_paths[slot].store(nullptr);
    }
}

extern "C" void on_interrupt(int signal_number) {
    // The encoder first, and for good: asked to stop, ffmpeg would finish the file it writes
    // (and write it again under its name) after the name is gone.
    const pid_t child = interrupt_child.load();
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    for (auto& path : pending_paths) {
        const char* name = path.load();
        if (name != nullptr) {
            unlink(name);
        }
    }
    std::signal(signal_number, SIG_DFL);
    raise(signal_number);
}

std::string errno_text() {
    return std::strerror(errno);
}

} // namespace

bool write_fully(int fd, const void* data, std::size_t bytes) {
    const auto* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t written = write(fd, p, bytes);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return true;
}

PendingFile::~PendingFile() {
    discard();
}

bool PendingFile::create(const std::string& final_path, std::string* error) {
    discard();
    final_path_ = final_path;
    const std::size_t slash = final_path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : final_path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? final_path : final_path.substr(slash + 1);
    if (name.empty()) {
        *error = "'" + final_path + "' names a folder, not a file";
        return false;
    }
    const std::size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    std::string pattern = folder + "." + name + ".partial-XXXXXX" + extension;
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    fd_ = mkstemps(buffer.data(), static_cast<int>(extension.size()));
    if (fd_ < 0) {
        *error = "cannot write '" + final_path + "': " + errno_text();
        return false;
    }
    temp_path_ = buffer.data();
    slot_ = claim_slot(temp_path_.c_str());
    // mkstemps makes the file private; give it the permissions an ordinary new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
    return true;
}

bool PendingFile::write_all(const void* data, std::size_t bytes, std::string* error) {
    if (!write_fully(fd_, data, bytes)) {
        *error = "cannot write '" + final_path_ + "': " + errno_text();
        return false;
    }
    return true;
}

bool PendingFile::close_file(std::string* error) {
    if (fd_ >= 0 && close(fd_) != 0) {
        fd_ = -1;
        *error = "cannot write '" + final_path_ + "': " + errno_text();
        return false;
    }
    fd_ = -1;
    return true;
}

bool PendingFile::commit(std::string* error) {
    if (!close_file(error)) {
        return false;
    }
    if (rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
        *error = "cannot write '" + final_path_ + "': " + errno_text();
        return false;
    }
    release_slot(slot_);
    slot_ = -1;
    temp_path_.clear();
    return true;
}

void PendingFile::discard() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temp_path_.empty()) {
        unlink(temp_path_.c_str());
        release_slot(slot_);
        slot_ = -1;
        temp_path_.clear();
    }
}

void install_interrupt_cleanup() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal_number, &action, nullptr);
    }
    // A dead encoder shows as a failed write, not as a signal.
    std::signal(SIGPIPE, SIG_IGN);
}

void set_interrupt_child(pid_t child) {
    interrupt_child.store(child);
}

} // namespace capture_tool
