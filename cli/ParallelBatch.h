// A command-line batch on the core's batch engine (jobs/BatchEngine.h):
// several workers, the same bytes as one.
#pragma once

#include <atomic>

#include "cli/Options.h"

namespace sondrel::cli {

// The number of workers when --jobs is not given: one a core.
int DefaultJobs();

// Runs o's batch on jobs workers, WAV to MP3 in the MP3 format entry
// mp3Index. Messages name their file, one whole line
// each; a file that fails leaves the others going, a failed write stops
// every worker after its file (a full disk fails them all), and an
// interrupt stops every worker after its current chunk. True when any
// message was shown.
bool RunParallelBatch(TOptions&& o, int jobs, int mp3Index, const TFormatCatalogue& catalogue,
                      const std::atomic<bool>& interrupted);

}  // namespace sondrel::cli
