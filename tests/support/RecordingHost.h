// A front end for the core in tests: keeps the messages and progress it is
// shown, and lets a test act at each message pump (to cancel, say).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "jobs/JobState.h"

namespace testing_support {

struct RecordingHost : sondrel::TJobHost {
    std::vector<std::string> errors;
    std::vector<std::string> notices;
    std::vector<std::pair<int, int>> progress;
    int pumps = 0;
    std::function<void(int)> onPump;  // given the pump's number
    void ShowError(const std::string& t) override { errors.push_back(t); }
    void ShowNotice(const std::string& t) override { notices.push_back(t); }
    void ShowProgress(int f, int o) override { progress.emplace_back(f, o); }
    void ProcessMessages() override {
        ++pumps;
        if (onPump) onPump(pumps);
    }
};

}  // namespace testing_support
