// The state a job shares with its front end, and the one operation through
// which the front end learns how far it has come.
#pragma once

#include <string>

namespace sondrel {

// What the core needs of its front end: the window, or a terminal.
class TJobHost {
public:
    virtual ~TJobHost() = default;
    // A modal error message (error icon, OK button, the system's caption).
    virtual void ShowError(const std::string& text) = 0;
    // Something the user should know of a conversion that went through (a
    // tag of the source that could not travel); no failure.
    virtual void ShowNotice(const std::string& text) = 0;
    // The progress display: the file's percentage and the whole job's.
    virtual void ShowProgress(int filePercent, int overallPercent) = 0;
    // Lets waiting messages through; where a cancel request arrives.
    virtual void ProcessMessages() = 0;
    // "Verarbeite Datei N von M" before each file of a batch.
    virtual void ShowStatusText(const std::string& /*text*/) {}
};

struct TJobState {
    int JobMode = 0;
    int ItemIndex = 0;  // files of the job finished before the one in work
    int ItemTotal = 1;
    bool Cancel = false;
    bool Busy = false;
};

// The overall percentage of a job: file value of item index out of item
// total, clamped to 0..100, rounded to 15 significant digits first so that
// exact results stay exact (29 stays 29, not 28.999...).
int OverallPercent(int itemIndex, int itemTotal, int value);

}  // namespace sondrel
