// What a front end's progress window needs of the window that starts jobs:
// the core that runs them and what the pages say about the job in hand.
#pragma once

#include <string>

#include "jobs/ConverterCore.h"

namespace sondrel {

class TJobOwner {
public:
    virtual ~TJobOwner() = default;
    virtual TConverterCore& Core() = 0;
    // The page's two file names for the single-file jobs (modes 1, 3, 5).
    virtual void JobFileNames(int mode, std::string& source, std::string& target) = 0;
    virtual bool CdQualityChecked() = 0;
    // The list and its options for the batch jobs (modes 2, 4).
    virtual TBatchSettings JobBatch(int mode) = 0;
    // Runs a batch job (on every core), showing its progress and messages;
    // returns when it has ended.
    virtual void RunBatch(int mode, const TBatchSettings& batch) = 0;
};

}  // namespace sondrel
