#include "cli/TagCommand.h"

#include <iostream>
#include <map>

#include "cli/Options.h"
#include "tags/Id3Tag.h"
#include "tags/TagUpdate.h"

namespace sondrel::cli {
namespace {

int Message(const std::string& text) {
    std::cerr << text << '\n';
    return 1;
}

}  // namespace

int RunTagCommand(const std::vector<std::string>& args) {
    // args[0] is "tag".
    if (args.size() < 3 || (args[1] != "show" && args[1] != "set")) {
        std::cerr << "'tag' braucht 'show' oder 'set' und eine Datei.\n\n" << Usage();
        return 2;
    }
    const std::string& file = args[2];
    TTagRecord record{};
    const TTagResult read = ReadTagRecord(file, record);
    if (args[1] == "show") {
        if (args.size() != 3) {
            std::cerr << "'tag show' nimmt genau eine Datei.\n\n" << Usage();
            return 2;
        }
        if (read == TTagResult::CannotOpen) return Message(kTagCannotOpen);
        if (read == TTagResult::NoTag) return Message(kTagMissing);
        const TId3Fields f = FieldsFromRecord(record);
        std::cout << "title=" << f.Title << "\nartist=" << f.Artist << "\nalbum=" << f.Album << "\nyear=" << f.Year
                  << "\ncomment=" << f.Comment << "\ntrack=" << f.Track << "\ngenre=" << f.Genre << '\n';
        return 0;
    }

    TId3Fields f;
    if (read == TTagResult::Ok) f = FieldsFromRecord(record);
    std::map<std::string, std::string*> options = {{"--title", &f.Title},   {"--artist", &f.Artist},
                                                   {"--album", &f.Album},   {"--year", &f.Year},
                                                   {"--comment", &f.Comment}, {"--track", &f.Track},
                                                   {"--genre", &f.Genre}};
    for (std::size_t i = 3; i < args.size(); i += 2) {
        const auto it = options.find(args[i]);
        if (it == options.end() || i + 1 >= args.size()) {
            std::cerr << "Unbekannte oder unvollständige Option: " << args[i] << "\n\n" << Usage();
            return 2;
        }
        *it->second = args[i + 1];
    }
    if (CommentHidesTrack(f.Comment) && !f.Track.empty()) std::cerr << kTrackWarning << '\n';
    switch (SaveTagFields(file, f)) {
    case TTagResult::CannotOpen: return Message(kTagCannotOpen);
    case TTagResult::NotSaved: return Message(kTagNotSaved);
    default: return 0;
    }
}

}  // namespace sondrel::cli
