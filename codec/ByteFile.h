// An untyped byte file with an explicit position: block reads and writes,
// positioning and 64-bit sizes, with no buffering of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace sondrel {

// The run-time library's input/output error: a read that the caller
// checks came back short.
class EInOutError : public std::runtime_error {
public:
    EInOutError() : std::runtime_error("I/O error") {}
};

class TByteFile {
public:
    TByteFile() = default;
    ~TByteFile();
    TByteFile(const TByteFile&) = delete;
    TByteFile& operator=(const TByteFile&) = delete;

    bool OpenRead(const std::filesystem::path& path);
    // Creates the file, or empties an existing one.
    bool Create(const std::filesystem::path& path);
    // Opens an existing file for reading and writing in place.
    bool OpenReadWrite(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Reads up to n bytes at the position and moves past them; returns the
    // count read (short at the end of the file or on an error).
    std::size_t Read(void* dst, std::size_t n);
    // Reads exactly n bytes or raises EInOutError.
    void ReadExact(void* dst, std::size_t n);
    std::size_t Write(const void* src, std::size_t n);
    void Seek(std::int64_t position) { pos_ = position; }
    std::int64_t Position() const { return pos_; }
    std::int64_t Size() const;
    // Cuts or extends the file to size bytes.
    bool Truncate(std::int64_t size);
    // Waits until what was written is on the disk.
    bool Sync();
    // Makes room on the disk for the file to grow to size bytes, without
    // growing it yet; false when the disk has no such room. Where the file
    // system cannot reserve, true: the writes will tell.
    bool Reserve(std::int64_t size);
    // No one may write the file (no write permission bit at all): a file
    // the user protected, which even the super-user leaves alone.
    bool WriteProtected() const;
    // Device and inode, to recognise one file under two names.
    bool Identity(std::uint64_t& device, std::uint64_t& inode) const;
    // Hands the open descriptor over (the file is closed here, not there);
    // -1 for none.
    int Release();

private:
    int fd_ = -1;
    std::int64_t pos_ = 0;
};

// Opens path with the open(2) flags when it is a regular file, without
// waiting; -1 otherwise. A folder, a pipe or a device holds no bytes to
// convert or tag, and a pipe with nobody at its other end would stall the
// program for good.
int OpenRegularFile(const std::filesystem::path& path, int flags);

// The longest name of a file in a folder, in bytes, on the file systems
// we write to.
constexpr std::size_t kLongestFileName = 255;
// stem followed by tail, the stem shortened (at a character boundary, so
// its UTF-8 stays intact) where the whole would pass the longest name a
// file may have.
std::string FitFileName(const std::string& stem, const std::string& tail);
// The hidden name for a copy beside file: a dot, its own name and tail,
// fitted as above.
std::string HiddenFileName(const std::filesystem::path& file, const std::string& tail);

// True when both names lead to the same existing file (the same path, a
// link, or another spelling of it).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace sondrel
