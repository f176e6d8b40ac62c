#include "cli/TagCommand.h"

#include <algorithm>
#include <iostream>
#include <map>

#include "cli/Options.h"
#include "codec/FrameAnalysis.h"
#include "jobs/Messages.h"
#include "tags/Cp1252.h"
#include "tags/FileTags.h"
#include "tags/Genres.h"
#include "tags/Id3Tag.h"
#include "tags/PageFields.h"
#include "tags/TagUpdate.h"

namespace sondrel::cli {
namespace {

int Message(const std::string& text) {
    std::cerr << text << '\n';
    return 1;
}

int Refuse(const std::string& option, const std::string& wanted) {
    std::cerr << option << ": nicht speicherbar, erwartet " << wanted << ".\n";
    return 2;
}

struct TextField {
    std::string option;
    std::string* value;
    std::size_t length;  // characters the ID3v1.1 tag holds
};

// A genre number 0 to 255 stays; a name from the list, in any letter case
// or common spelling, becomes the list's own spelling. False for anything
// else.
bool CanonicalGenre(std::string& genre) {
    long long n = 0;
    if (ReadWholeNumber(genre, n)) return n >= 0 && n <= 255;
    const int number = GenreNumber(genre);
    if (number < 0 || number >= kGenreCount) return false;
    genre = kGenres[static_cast<std::size_t>(number)];
    return true;
}

// An MP3 file to tag: no RIFF WAVE file, and an MPEG audio frame in it.
TTagResult IsMp3Audio(const std::string& file) {
    TByteFile f;
    if (!f.OpenRead(file)) return TTagResult::CannotOpen;
    if (IsRiffWave(f)) return TTagResult::NoTag;
    f.Seek(0);
    try {
        return LocateAudio(f).Found ? TTagResult::Ok : TTagResult::NoTag;
    } catch (const EInOutError&) {
        return TTagResult::NoTag;
    }
}

}  // namespace

int RunTagCommand(std::vector<std::string> args) {
    // args[0] is "tag". A "--" before the file says that a file name
    // beginning with "-" is one, as the conversions take it.
    if (args.size() > 3 && args[2] == "--") args.erase(args.begin() + 2);
    if (args.size() < 3 || (args[1] != "show" && args[1] != "set")) {
        std::cerr << "'tag' braucht 'show' oder 'set' und eine Datei.\n\n" << Usage();
        return 2;
    }
    const std::string& file = args[2];
    TId3Fields f;
    bool id3v2 = false;
    const TTagResult read = ReadPageFields(file, f, &id3v2);
    if (args[1] == "show") {
        if (args.size() != 3) {
            std::cerr << "'tag show' nimmt genau eine Datei.\n\n" << Usage();
            return 2;
        }
        if (read == TTagResult::CannotOpen) return Message(kTagCannotOpen);
        if (read == TTagResult::NoTag) return Message(kTagMissing);
        // The byte of "no genre" is no genre to show.
        std::cout << "title=" << f.Title << "\nartist=" << f.Artist << "\nalbum=" << f.Album << "\nyear=" << f.Year
                  << "\ncomment=" << f.Comment << "\ntrack=" << f.Track << "\ngenre=" << (f.Genre == "255" ? "" : f.Genre)
                  << '\n';
        return 0;
    }

    const std::vector<TextField> texts = {{"--title", &f.Title, 30}, {"--artist", &f.Artist, 30},
                                          {"--album", &f.Album, 30}, {"--comment", &f.Comment, 30}};
    std::map<std::string, std::string*> options = {{"--year", &f.Year}, {"--track", &f.Track}, {"--genre", &f.Genre}};
    for (const TextField& t : texts) options[t.option] = t.value;
    const TId3Fields was = f;
    std::vector<std::string> given;
    for (std::size_t i = 3; i < args.size(); i += 2) {
        const auto it = options.find(args[i]);
        if (it == options.end() || i + 1 >= args.size()) {
            std::cerr << "Unbekannte oder unvollständige Option: " << args[i] << "\n\n" << Usage();
            return 2;
        }
        *it->second = args[i + 1];
        given.push_back(args[i]);
    }
    const auto isGiven = [&](const std::string& o) { return std::find(given.begin(), given.end(), o) != given.end(); };
    // What cannot be stored as given is refused before anything is written.
    if (isGiven("--year") && Utf8Length(f.Year) > 4) return Refuse("--year", "werden höchstens vier Zeichen");
    long long number = 0;
    if (isGiven("--track") && !f.Track.empty() && !(ReadWholeNumber(f.Track, number) && number >= 1 && number <= 255))
        return Refuse("--track", "wird eine Zahl von 1 bis 255");
    if (isGiven("--genre") && !f.Genre.empty() && !CanonicalGenre(f.Genre))
        return Refuse("--genre", "wird eine Zahl von 0 bis 255 oder ein Name aus der Genre-Liste");
    const TTagResult audio = IsMp3Audio(file);
    if (audio == TTagResult::CannotOpen) return Message(kTagCannotOpen);
    if (audio != TTagResult::Ok) return Message(msg::NoValidMp3);

    // Texts the ID3v1.1 tag cannot hold whole go whole into the ID3v2 tag
    // (made where there is none), and so are said; a track the ID3v1.1 tag
    // has no room for beside a comment that only it holds is lost there.
    bool warned = false;
    for (const TextField& t : texts)
        if (isGiven(t.option) && !FitsId3v1(*t.value, t.length))
            std::cerr << t.option << ": im ID3v1-Tag gekürzt (" << t.length
                      << " Zeichen, Windows-1252), im ID3v2-Tag ganz gespeichert\n";
    if (TrackLeftOutOfId3v1(f.Comment, id3v2 || NeedsId3v2(was, f)) && !f.Track.empty()) {
        std::cerr << kTrackWarning << '\n';
        warned = true;
    }
    switch (SaveTagFields(file, f)) {
    case TTagResult::CannotOpen: return Message(kTagCannotOpen);
    case TTagResult::NotSaved: return Message(kTagNotSaved);
    case TTagResult::Unreadable: return Message(kTagUnreadable);
    default: return warned ? 1 : 0;
    }
}

}  // namespace sondrel::cli
