// The file a conversion writes, from its creation to its end: where it is
// written, what its container says of the audio in it (a WAV target's
// header and tag chunks, an MP3 target's info frame), and what is left of
// it when the conversion does not finish.
//
// A new name is written directly. A name that exists already is the
// user's earlier file: the new one is written beside it under a hidden
// name, and only a complete result replaces it, synced to the disk first
// (the file, then the rename, then the folder), so that not even a power
// cut leaves the user with less than the earlier file. A batch's target,
// new or not, is always written beside its name so, and a placer
// (jobs/Placer.h) puts it in place, so that nothing under a target's name
// is ever cut, whatever stops the process.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/ByteFile.h"
#include "jobs/Placer.h"
#include "platform/acm/msacm.h"

namespace sondrel {

class TTargetFile {
public:
    // How a conversion ended for its target.
    enum class TEnd {
        Complete,  // everything converted and written: it is the result
        Partial,   // stopped part way: what was converted stays (a new
                   // name; a replacement is dropped, the earlier file stays)
        Discard,   // no result: nothing of it stays (a file written over
                   // in place, where we could not write beside it, stays)
    };

    TTargetFile() = default;
    ~TTargetFile();
    TTargetFile(const TTargetFile&) = delete;
    TTargetFile& operator=(const TTargetFile&) = delete;

    // Opens name for writing, as above. False when neither the file nor
    // (for an existing one) a file beside it can be written; an existing
    // file the user may not write is never replaced. With a placer, the
    // file is written beside its name even where the name is new, and a
    // complete result goes to the placer, which says through placed
    // whether it took its place.
    bool Create(const std::string& name, TPlacer* placer = nullptr, TPlacer::TDone placed = {});
    TByteFile& File() { return file_; }

    // The target is a WAV file of this format: its provisional header is
    // written (with room for RF64 sizes where the conversion may pass 4
    // GiB, by the estimate of its length); tags are the chunks that go
    // after its data. Returns the size the file may reach with a plain
    // header, -1 for no bound.
    std::int64_t BeginWave(const std::uint8_t format16[16], std::int64_t estimate, std::vector<std::uint8_t> tags);

    // An MP3 target whose stream (from the encoder stream has) begins at
    // at, behind its ID3v2 tag: the encoder's filled-in info frame over its
    // placeholder, once the stream is complete or cancelled.
    void WriteMp3InfoFrame(HACMSTREAM has, std::int64_t at);
    // After a failed write: the stream cut after its last whole frame,
    // with the info frame of what it holds.
    void SealCutMp3(HACMSTREAM has, std::int64_t at);

    // Closes the file: a WAV target's tag chunks and final header first
    // (where it stays), then as end says. False when a complete result
    // could not take the earlier file's place (it is removed, the earlier
    // file stays); with a placer, true once it is handed over.
    bool Finish(TEnd end);

private:
    void FinishWave();
    bool PutInPlace();

    TByteFile file_;
    std::string name_;     // as given, for a file written directly
    bool created_ = false;  // it did not exist before: ours to remove
    std::string final_;    // the earlier file's real path, when replacing
    std::string partial_;  // where the replacement is written meanwhile
    bool open_ = false;
    TPlacer* placer_ = nullptr;
    TPlacer::TDone placed_;
    // A WAV target: its format, where its data starts, its tag chunks.
    bool wave_ = false;
    std::array<std::uint8_t, 16> format_{};
    std::int64_t dataStart_ = 0;
    std::vector<std::uint8_t> tags_;
};

}  // namespace sondrel
