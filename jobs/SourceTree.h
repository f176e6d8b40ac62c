// The sources a batch gets from the names given to it (a dropped selection,
// a command line), for every front end: a folder stands for the files of
// the batch's kinds at any depth below it, as music collections are kept
// (Artist/Album/Track).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sondrel {

struct TBatchListing {
    std::vector<std::string> Files;
    // Per file, the folder it lies in relative to the given folder it was
    // found under ("Album/CD 1"); empty for a file given by its name or
    // lying directly in the given folder. An own output folder gets the
    // same tree.
    std::vector<std::string> Subfolders;
    // Given names that brought nothing: missing, of another kind (where
    // named files are checked), a folder without a file of the kinds.
    std::vector<std::string> Refused;
    // Folders below the given ones that could not be read.
    std::vector<std::string> Unreadable;
    // Files of other kinds inside the given folders (hidden ones aside).
    std::size_t OtherKinds = 0;
};

// The files of names, in order. A folder brings every file whose ending
// is one of extensions (".mp3", in any letter case) at any depth, folder
// by folder: a folder's files, then its subfolders, each in natural name
// order ("2 Titel" before "10 Titel"). Hidden files and folders (a leading
// dot) are left out, as file managers leave them out; a folder reached
// twice (through symbolic links, or given twice) is read once. A named
// file is taken as it is where checkNamedFiles is false (a conversion will
// say what is wrong with it), and only when it exists and is of a kind
// otherwise.
TBatchListing ListBatchSources(const std::vector<std::string>& names, const std::vector<std::string>& extensions,
                               bool checkNamedFiles);

// The one message about what a listing left out: the refused names, the
// unreadable folders and the count of files of other kinds; empty where
// nothing was left out. Serious says whether it names more than files of
// other kinds (which are no fault of the user's).
std::string LeftOutMessage(const TBatchListing& listing, bool& serious);

// "2 Titel" before "10 Titel", letters in any case alike.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace sondrel
