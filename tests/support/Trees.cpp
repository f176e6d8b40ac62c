#include "support/Trees.h"

#include <sys/stat.h>

#include <algorithm>

#include "support/Audio.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;

// Adds the files of one tree in the order the batch must take them
// (folder by folder: a folder's files, then its subfolders, numbers by
// their value); the disk's order of entries is its own.
class Builder {
public:
    Builder(std::vector<Tree>& trees, const std::string& name, const fs::path& given, const fs::path& out,
            const std::vector<std::uint8_t>& wav)
        : tree_(trees.emplace_back()), wav_(wav) {
        tree_.name = name;
        tree_.given = given;
        tree_.out = out;
        fs::create_directories(given);
        fs::create_directories(out);
        fs::permissions(out, fs::perms::all);
    }
    // A WAV the batch takes; broken, it cannot be converted.
    Builder& Music(const std::string& rel, bool broken = false) {
        Write(rel, broken ? std::vector<std::uint8_t>(300, 0x5A) : wav_);
        tree_.sources.push_back(tree_.given / rel);
        if (broken)
            tree_.failing.push_back(tree_.given / rel);
        else
            tree_.targets.push_back(fs::path(rel).replace_extension(".mp3").string());
        return *this;
    }
    // A file of another kind, counted; a hidden one, not.
    Builder& Other(const std::string& rel) {
        Write(rel, {1});
        ++tree_.otherKinds;
        return *this;
    }
    // A cover, which goes along into an output folder: not left out.
    Builder& Cover(const std::string& rel) {
        Write(rel, {1});
        return *this;
    }
    Builder& Hidden(const std::string& rel) {
        Write(rel, wav_);
        return *this;
    }
    Builder& Folder(const std::string& rel) {
        fs::create_directories(tree_.given / rel);
        return *this;
    }
    Builder& Link(const std::string& rel, const std::string& to) {
        fs::create_directory_symlink(to, tree_.given / rel);
        return *this;
    }
    Builder& Closed(const std::string& rel) {
        Write(rel + "/1 Titel.wav", wav_);
        ::chmod((tree_.given / rel).c_str(), 0);
        tree_.unreadable.push_back(tree_.given / rel);
        return *this;
    }

private:
    void Write(const std::string& rel, const std::vector<std::uint8_t>& bytes) {
        fs::create_directories((tree_.given / rel).parent_path());
        WriteFile(tree_.given / rel, bytes);
    }
    Tree& tree_;
    const std::vector<std::uint8_t>& wav_;
};

}  // namespace

std::vector<Tree> MakeTrees(const fs::path& root, const std::vector<std::uint8_t>& wav, bool unreadable) {
    std::vector<Tree> trees;
    {
        Builder b(trees, "artists, albums and numbers", root / "a" / "Musik", root / "a" / "OUT", wav);
        b.Music("3 lose.WAV").Music("20 lose.wav");
        for (const int artist : {1, 2, 10})
            for (const int track : {1, 2, 10, 11})
                b.Music("Künstler " + std::to_string(artist) + "/Album/" + std::to_string(track) + " Titel.wav");
    }
    Builder(trees, "empty, hidden, broken and other files", root / "b" / "Musik", root / "b" / "OUT", wav)
        .Folder("Leer/Auch leer")
        .Hidden(".cache/1.wav")
        .Hidden("Album/.2.wav")
        .Music("Album/1.wav")
        .Other("Album/booklet.pdf")
        .Other("Album/1.mp3")
        .Cover("Album/cover.jpg")
        .Cover("Nur Bilder/a.png")
        .Music("Kaputt/1.wav", true);
    Builder(trees, "the same names, umlauts and spaces", root / "c" / "Musik", root / "c" / "OUT", wav)
        .Music("Straße 1/01 Grüße.wav")
        .Music("Straße 2/01 Grüße.wav")
        .Music("Ä Ö Ü/01 Grüße.wav");
    // B is A again, and A/zurück the tree itself: each read once.
    Builder(trees, "links back into the tree", root / "d" / "Musik", root / "d" / "OUT", wav)
        .Music("A/1.wav")
        .Link("A/zurück", "..")
        .Link("B", "A");
    Builder(trees, "the tree inside the output folder", root / "e" / "OUT" / "Musik", root / "e" / "OUT", wav)
        .Music("1.wav")
        .Music("Album/1.wav");
    Builder(trees, "the output folder inside the tree", root / "f" / "Musik", root / "f" / "Musik" / "Ausgabe", wav)
        .Music("Album/1.wav")
        .Music("Album 2/1.wav");
    if (unreadable)
        Builder(trees, "a folder that cannot be read", root / "g" / "Musik", root / "g" / "OUT", wav)
            .Music("Offen/1 Titel.wav")
            .Closed("Zu");
    return trees;
}

std::string OutputProblem(const Tree& tree) {
    std::vector<std::string> want = tree.targets, got;
    for (auto it = fs::recursive_directory_iterator(tree.out); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory() && fs::is_empty(it->path())) return "an empty folder " + it->path().string();
        if (it->path().extension() == ".mp3") got.push_back(fs::relative(it->path(), tree.out).string());
    }
    std::sort(want.begin(), want.end());
    std::sort(got.begin(), got.end());
    if (got == want) return "";
    std::string text = "targets:";
    for (const std::string& g : got) text += " " + g;
    return text;
}

}  // namespace testing_support
