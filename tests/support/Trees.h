// Music collections as people keep them, generated for the batch tests of
// both front ends: Artist/Album/Track with numbers in the names, empty and
// hidden folders, covers and playlists beside the music, a link back up
// the tree, a folder that cannot be read, the same names in different
// folders, umlauts and spaces, the tree inside the output folder and the
// output folder inside the tree.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

struct Tree {
    std::string name;
    std::filesystem::path given;  // the folder given to the batch
    std::filesystem::path out;    // its own output folder (made)
    // The WAV files the batch takes, in its order, and each one's MP3
    // target below out; the files among them that cannot be converted
    // (and leave no target and no folder).
    std::vector<std::filesystem::path> sources;
    std::vector<std::string> targets;
    std::vector<std::filesystem::path> failing;
    std::size_t otherKinds = 0;
    std::vector<std::filesystem::path> unreadable;
};

// Every kind of tree below root, WAV files holding wav's bytes. The tree
// with a folder that cannot be read is made only where unreadable is true
// (it needs a user who is not root, or one set up to act as another).
std::vector<Tree> MakeTrees(const std::filesystem::path& root, const std::vector<std::uint8_t>& wav, bool unreadable);

// Empty when the tree's output folder holds its targets, as MP3 files, no
// other MP3 and no empty folder; otherwise what is wrong.
std::string OutputProblem(const Tree& tree);

}  // namespace testing_support
