// Fuzz input as a file, since the parsers read files by position.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

class FuzzFile {
public:
    FuzzFile(const std::uint8_t* data, std::size_t size) {
        fd_ = memfd_create("fuzz", 0);
        if (fd_ >= 0 && size > 0) (void)!write(fd_, data, size);
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~FuzzFile() {
        if (fd_ >= 0) close(fd_);
    }
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};
