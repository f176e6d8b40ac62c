// Runs a piece of work in a child process, so that a crash, a hang or a
// memory blow-up on one damaged file is reported as that file's failure
// instead of ending the test run.
#pragma once

#include <functional>
#include <string>

namespace testing_support {

struct Limits {
    int seconds = 60;
    long extraMegabytes = 256;  // peak resident memory above the parent's
};

// The text the work returned (empty: all was well), or what went wrong
// with the child: "crashed with signal N", "exited with N" (a sanitizer's
// report), "hung", "used N MB". An exception out of the work is reported
// with its text.
std::string Isolated(const std::function<std::string()>& work, const Limits& limits = {});

}  // namespace testing_support
