#pragma once

#include <string>
#include <vector>

#include "jobs/ConverterCore.h"

namespace sondrel::cli {

struct TOptions {
    std::string command;
    bool cd = false;
    bool noTags = false;  // targets without the source's tags
    bool overwrite = false;  // a batch may replace files that were there before it
    bool skipExisting = false;  // a batch leaves targets that are as new as their sources
    std::string format;  // an index or an exact description; empty for entry 0
    std::string outDir;
    bool outDirGiven = false;
    std::vector<std::string> files;
    // Of a batch's files, where each was found below a folder given on the
    // command line (jobs/SourceTree.h); empty for files given by name.
    std::vector<std::string> subfolders;
    int jobs = 0;  // batch workers; 0 for one a core
};

std::string Usage();
// False with a reason (or none, for a bare call) when the arguments make no
// command.
bool Parse(const std::vector<std::string>& args, TOptions& options, std::string& error);
// Chooses the format entry the command works with.
bool ResolveFormat(const TOptions& options, TConverterCore& core, std::string& error);
// The batch a batch command describes; its lists of files move into it
// (a collection's tree has tens of thousands).
TBatchSettings BatchOf(TOptions&& options);
void Run(const TOptions& options, TConverterCore& core);

}  // namespace sondrel::cli
