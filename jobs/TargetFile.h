// Where a conversion writes its target. A new name is written directly, so
// that a cancelled conversion leaves what it converted. A name that exists
// already is the user's earlier file: the new one is written beside it,
// under a hidden name, and only a complete result replaces it; a cancelled
// or failed one is removed and the earlier file stays as it was.
#pragma once

#include <string>

#include "codec/ByteFile.h"

namespace sondrel {

class TTargetFile {
public:
    TTargetFile() = default;
    ~TTargetFile();
    TTargetFile(const TTargetFile&) = delete;
    TTargetFile& operator=(const TTargetFile&) = delete;

    // Opens file for writing name, as above. False when neither the file
    // nor (for an existing one) a file beside it can be written; an
    // existing file the user may not write is never replaced.
    bool Create(TByteFile& file, const std::string& name);
    // Once the file is closed: a complete result takes the earlier file's
    // place (with its permissions, and its owner where we may give it), an
    // incomplete one goes. False when the complete result could not be put
    // in place (it is removed, the earlier file stays).
    bool Finish(bool complete);

private:
    std::string final_;    // the earlier file's real path
    std::string partial_;  // where the new one is written meanwhile
};

}  // namespace sondrel
