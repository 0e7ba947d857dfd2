// Output files that appear only when complete. Each is written under a temporary name in its
// final folder ("." + name + ".partial-XXXXXX" + the name's extension, so tools that go by the
// extension still recognise it) and renamed into place by commit(); discard(), the destructor
// and an interrupting signal remove it instead.
#pragma once

#include <string>
#include <sys/types.h>

namespace capture_tool {

class PendingFile {
  public:
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    // Creates the temporary file for `final_path`, open for writing. False with a one-line
    // reason when the folder cannot be written.
    bool create(const std::string& final_path, std::string* error);
    int fd() const {
        return fd_;
    }
    const std::string& temp_path() const {
        return temp_path_;
    }
    const std::string& final_path() const {
        return final_path_;
    }
    // Writes all of `bytes`. False with a reason on a write error.
    bool write_all(const void* data, std::size_t bytes, std::string* error);
    // Closes the file, which stays under its temporary name until commit(): many files can wait
    // without holding a descriptor each. False with a reason when the last writes failed.
    bool close_file(std::string* error);
    // Closes the file (if still open) and gives it its final name.
    bool commit(std::string* error);
    // Closes and removes the temporary file, if there is one.
    void discard();

  private:
    std::string final_path_;
    std::string temp_path_;
    int fd_ = -1;
    int slot_ = -1;
};

// Removes every pending file and ends a registered child process when SIGINT, SIGTERM or SIGHUP
// arrives, then lets the signal end the process.
void install_interrupt_cleanup();
// A child process (the encoder) to end on an interrupt; 0 for none.
void set_interrupt_child(pid_t child);

// Writes all of `bytes` to `fd`, going on after interruptions and short writes. False with errno
// set on failure.
bool write_fully(int fd, const void* data, std::size_t bytes);

} // namespace capture_tool
