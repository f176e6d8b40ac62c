// sondrel-cli: the conversions of the window from a terminal, on the same
// core. Messages go to stderr as the window would show them; the exit
// status says whether one was shown (1), the usage was wrong (2) or the
// user cancelled with Ctrl-C (130).
#include <unistd.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/ParallelBatch.h"
#include "cli/TagCommand.h"
#include "jobs/BatchEngine.h"
#include "jobs/ConverterCore.h"
#include "jobs/Messages.h"
#include "jobs/SourceTree.h"
#include "platform/acm/mp3/Mp3BlockEncoder.h"

namespace {

// Set by the signal handler, read by every worker thread: a lock-free
// atomic is safe in both places, a volatile flag only in the first.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) {
    interrupted = true;
    // A second Ctrl-C ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

class TerminalHost final : public sondrel::TJobHost {
public:
    TerminalHost() : progress_(isatty(STDERR_FILENO) != 0) {}

    void ShowError(const std::string& text) override {
        ClearLine();
        std::cerr << text << '\n';
        shown = true;
    }
    // Said, but no failure: the exit status stays.
    void ShowNotice(const std::string& text) override {
        ClearLine();
        std::cerr << text << '\n';
    }
    void ShowProgress(int filePercent, int overallPercent) override {
        if (!progress_ || filePercent == last_) return;
        last_ = filePercent;
        if (filePercent == 0) {
            ClearLine();
            return;
        }
        std::fprintf(stderr, "\r%3d %% (gesamt %3d %%)", filePercent, overallPercent);
        std::fflush(stderr);
        dirty_ = true;
    }
    void ProcessMessages() override {
        if (interrupted && state) state->Cancel = true;
    }
    void ShowStatusText(const std::string& text) override {
        if (!progress_) return;
        ClearLine();
        if (!text.empty()) std::cerr << text << '\n';
    }

    bool shown = false;
    sondrel::TJobState* state = nullptr;

private:
    void ClearLine() {
        if (!dirty_) return;
        std::fprintf(stderr, "\r%*s\r", 24, "");
        dirty_ = false;
    }
    bool progress_;
    bool dirty_ = false;
    int last_ = -1;
};

}  // namespace

int main(int argc, char* argv[]) {
    // The encoder's blocks are buffers of tens of megabytes, made and
    // freed a minute of audio at a time: from their own mappings, so that
    // freeing one gives its memory back instead of keeping it in the heap.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool help = std::find(args.begin(), args.end(), "--help") != args.end();
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "sondrel-cli " << SONDREL_VERSION << '\n';
        return 0;
    }
    if (!args.empty() && args[0] == "tag" && !help) return sondrel::cli::RunTagCommand(args);
    sondrel::cli::TOptions options;
    std::string error;
    if (!sondrel::cli::Parse(args, options, error)) {
        if (!error.empty()) std::cerr << error << "\n\n";
        std::cerr << sondrel::cli::Usage();
        return 2;
    }
    if (options.command == "help") {
        std::cout << sondrel::cli::Usage();
        return 0;
    }

    TerminalHost host;
    sondrel::TConverterCore core(host);
    host.state = &core.State;
    core.Catalogue.Build();

    if (options.command == "formats") {
        for (int i = 0; i < core.Catalogue.MP3FormatCount(); ++i)
            std::cout << "mp3 " << i << ' ' << core.Catalogue.MP3Descriptions[static_cast<std::size_t>(i)] << '\n';
        for (int i = 0; i < core.Catalogue.WAVFormatCount(); ++i)
            std::cout << "wav " << i << ' ' << core.Catalogue.WAVDescriptions[static_cast<std::size_t>(i)] << '\n';
        return 0;
    }
    if (!sondrel::cli::ResolveFormat(options, core, error)) {
        std::cerr << error << "\n\n" << sondrel::cli::Usage();
        return 2;
    }

    core.CarryTags = !options.noTags;
    std::signal(SIGINT, OnInterrupt);
    const bool batch = options.command.rfind("batch-", 0) == 0;
    const int jobs = options.jobs > 0 ? options.jobs : sondrel::cli::DefaultJobs();
    // A long file is encoded or decoded in blocks on several cores (--jobs
    // of them); in a batch its blocks go to the cores the other files
    // leave idle, all of them. The bytes are the same either way.
    acm::SetStreamWorkers(batch ? sondrel::cli::DefaultJobs() : jobs);
    // Batches always go through the workers, one or many, so that messages
    // name their file either way.
    if (batch) {
        // A folder stands for the files of the batch's kind in its whole
        // tree; files given by name go in as they are (their conversion
        // says what is wrong with them). What was left out is said once,
        // at the end, under the batch's own summary.
        sondrel::TBatchListing listing = sondrel::ListBatchSources(
            options.files, {options.command == "batch-mp3-to-wav" ? ".mp3" : ".wav"}, false);
        bool serious = false;
        const std::string leftOut = sondrel::LeftOutMessage(listing, serious);
        options.files = std::move(listing.Files);
        options.subfolders = std::move(listing.Subfolders);
        listing = {};
        const bool none = options.files.empty();
        const bool shown = !none && sondrel::cli::RunParallelBatch(std::move(options), jobs, core.Mp3FormatIndex,
                                                                   core.Catalogue, interrupted);
        if (!leftOut.empty()) std::cerr << leftOut << '\n';
        if (interrupted) return 130;
        return shown || serious || none ? 1 : 0;
    }
    try {
        sondrel::cli::Run(options, core);
    } catch (const std::exception& e) {
        // As in the window: the file failed, said in German, with the
        // technical reason behind it.
        host.ShowError(sondrel::msg::ConversionFailed + " (" + e.what() + ")");
    }
    if (interrupted) return 130;
    // For the benchmark: how the block encoder fared.
    if (std::getenv("SONDREL_BLOCK_STATS")) {
        const acm::Mp3BlockStats s = acm::Mp3BlockStatistics();
        std::fprintf(stderr, "blocks %ld again %ld without-reservoir %ld raised %ld reached %ld reach-frames %ld\n",
                     s.blocks, s.again, s.withoutReservoir, s.raised, s.reached, s.reachFrames);
    }
    return host.shown ? 1 : 0;
}
