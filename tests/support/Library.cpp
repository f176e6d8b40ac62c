#include "support/Library.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "jobs/ConverterCore.h"
#include "support/Audio.h"
#include "support/RecordingHost.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Clicks on a quiet tone: (at 44.1 kHz) 1 s and 2 s 15 frames of a
// cue sheet's 75 a second.
constexpr long kClicks[] = {44100, 2 * 44100 + 15 * 588};

std::vector<std::int16_t> Decoded(const fs::path& mp3) {
    RecordingHost host;
    sondrel::TConverterCore core(host);
    core.Catalogue.Build();
    const fs::path wav = mp3.parent_path() / (".check-" + mp3.filename().string() + ".wav");
    core.ConvertMP3WAV(mp3.string(), wav.string());
    const auto samples = AsSamples(SplitWave(ReadFile(wav)).data);
    fs::remove(wav);
    return samples;
}

}  // namespace

Library::Library(const fs::path& root) : given(root / "Musik"), out(root / "Ausgabe") {
    const fs::path a = given / "Künstler" / "Album A", b = given / "Künstler" / "Album B", c = given / "Andere" / "Album C";
    const std::string names[] = {"01 Erster", "02 Zweiter", "03 Dritter", "04 Vierter"};
    for (unsigned i = 0; i < 4; ++i) {
        fs::create_directories(a);
        WriteFile(a / (names[i] + ".wav"), MakeWav(MakeMusic(44100, 2, 0.6 + 0.1 * i, i + 1), 44100, 2));
        targets.push_back("Künstler/Album A/" + names[i] + ".mp3");
    }
    Bytes cover(2000);
    for (std::size_t i = 0; i < cover.size(); ++i) cover[i] = static_cast<std::uint8_t>(i * 7 + 3);
    WriteFile(a / "cover.jpg", cover);
    WriteFile(a / "Album A.m3u8", Text("#EXTM3U\r\n#EXTINF:1,Erster\r\n01 Erster.wav\r\n02 Zweiter.wav\r\n" +
                                       (a / "03 Dritter.wav").string() + "\r\nfehlt.wav\r\nhttp://radio.example/x\r\n"));
    std::string cue;
    for (int i = 0; i < 2; ++i)
        cue += "FILE \"" + names[i] + ".wav\" WAVE\n  TRACK 0" + std::to_string(i + 1) + " AUDIO\n    INDEX 01 00:00:00\n";
    WriteFile(a / "Album A.cue", Text(cue));

    fs::create_directories(b);
    // Long enough that a run can be stopped while it is written.
    std::vector<std::int16_t> album = MakeTone(44100, 2, 40.0, 440, 0.05);
    for (const long at : kClicks) album[static_cast<std::size_t>(at) * 2] = album[static_cast<std::size_t>(at) * 2 + 1] = 30000;
    WriteFile(b / "Album B.wav", MakeWav(album, 44100, 2));
    targets.push_back("Künstler/Album B/Album B.mp3");
    WriteFile(b / "folder.png", Text("\x89PNG bild"));
    WriteFile(b / "Album B.cue", Text("TITLE \"B\"\nFILE \"Album B.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                      "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n  TRACK 03 AUDIO\n    INDEX 01 00:02:15\n"));

    fs::create_directories(c);
    WriteFile(c / "01 Straße.wav", MakeWav(MakeMusic(22050, 1, 0.5), 22050, 1));
    WriteFile(c / "02 Weg.wav", MakeWav(MakeMusic(22050, 1, 0.4), 22050, 1));
    targets.push_back("Andere/Album C/01 Straße.mp3");
    targets.push_back("Andere/Album C/02 Weg.mp3");
    // In Windows-1252, as an old player wrote it, a line into another album.
    WriteFile(c / "liste.m3u", Text("01 Stra\xdf" "e.wav\n02 Weg.wav\n../../K\xfcnstler/Album A/01 Erster.wav\n"));
    // No playlist at all: copied as it is.
    WriteFile(c / "kaputt.m3u", {'0', '1', 0, 0xFF, '.', 'w', 'a', 'v', '\n'});

    // What earlier runs left: a target older than its source, one another
    // program made after it, and the hidden file of a run killed part way.
    fs::create_directories(out / "Künstler" / "Album A");
    fs::create_directories(out / "Andere" / "Album C");
    const fs::path stale = out / "Künstler" / "Album A" / "02 Zweiter.mp3";
    WriteFile(stale, Text("alt"));
    fs::last_write_time(stale, fs::last_write_time(a / "02 Zweiter.wav") - std::chrono::hours(24));
    foreign = "Andere/Album C/02 Weg.mp3";
    foreignBytes = Text("von einem anderen Programm");
    WriteFile(out / foreign, foreignBytes);
    fs::last_write_time(out / foreign, fs::last_write_time(c / "02 Weg.wav") + std::chrono::hours(1));
    WriteFile(out / "Künstler" / "Album A" / ".04 Vierter.mp3.sondrel-4194999-0", Text("abgebrochen"));
}

std::string Library::Check() const {
    std::string problems;
    const auto problem = [&](const std::string& p) { problems += p + "; "; };
    std::vector<std::string> seen;
    for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string(), rel = fs::relative(it->path(), out).string();
        if (name[0] == '.' || name.find(" (2)") != std::string::npos) problem("left behind or twinned: " + rel);
        if (it->path().extension() == ".mp3") seen.push_back(rel);
    }
    std::vector<std::string> want = targets;
    std::sort(want.begin(), want.end());
    std::sort(seen.begin(), seen.end());
    if (seen != want) problem("targets not as expected");
    for (const std::string& t : targets) {
        if (t == foreign) {
            if (ReadFile(out / t) != foreignBytes) problem("another program's target changed");
            continue;
        }
        fs::path source = given / t;
        source.replace_extension(".wav");
        // (The targets are 44.1 kHz stereo: a source of half the rate
        // gives twice its frames.)
        const WaveParts parts = SplitWave(ReadFile(source));
        const std::size_t channels = parts.format[2], rate = parts.format[4] | parts.format[5] << 8;
        if (Decoded(out / t).size() / 2 != parts.data.size() / 2 / channels * 44100 / rate)
            problem(t + " is not its source's length");
    }
    // Covers with their bytes and modification times.
    for (const char* cover : {"Künstler/Album A/cover.jpg", "Künstler/Album B/folder.png"}) {
        struct stat s {}, o {};
        if (ReadFile(given / cover) != ReadFile(out / cover) || ::stat((given / cover).c_str(), &s) != 0 ||
            ::stat((out / cover).c_str(), &o) != 0 || s.st_mtim.tv_sec != o.st_mtim.tv_sec || s.st_mtim.tv_nsec != o.st_mtim.tv_nsec)
            problem(std::string(cover) + " not copied as it is");
    }
    // Playlists and cue sheets, each entry of a converted file renamed.
    const std::pair<const char*, std::string> lists[] = {
        {"Künstler/Album A/Album A.m3u8",
         "#EXTM3U\r\n#EXTINF:1,Erster\r\n01 Erster.mp3\r\n02 Zweiter.mp3\r\n" +
             (out / "Künstler" / "Album A" / "03 Dritter.mp3").string() + "\r\nfehlt.wav\r\nhttp://radio.example/x\r\n"},
        {"Künstler/Album A/Album A.cue",
         "FILE \"01 Erster.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
         "FILE \"02 Zweiter.mp3\" MP3\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n"},
        {"Andere/Album C/liste.m3u", "01 Stra\xdf" "e.mp3\n02 Weg.mp3\n../../K\xfcnstler/Album A/01 Erster.mp3\n"}};
    for (const auto& [list, text] : lists)
        if (ReadFile(out / list) != Text(text)) problem(std::string(list) + " not renamed as expected");
    if (ReadFile(out / "Andere/Album C/kaputt.m3u") != ReadFile(given / "Andere/Album C/kaputt.m3u")) problem("kaputt.m3u");
    const auto cue = ReadFile(out / "Künstler/Album B/Album B.cue");
    if (std::string(cue.begin(), cue.end()).find("FILE \"Album B.mp3\" MP3\n") == std::string::npos) problem("Album B.cue");
    // Each INDEX time on its click.
    const auto album = Decoded(out / "Künstler/Album B/Album B.mp3");
    for (const long at : kClicks) {
        long loudest = 0;
        for (long i = at - 2000; i < at + 2000 && static_cast<std::size_t>(2 * i) < album.size(); ++i)
            if (std::abs(album[static_cast<std::size_t>(2 * i)]) > std::abs(album[static_cast<std::size_t>(2 * loudest)])) loudest = i;
        if (std::labs(loudest - at) > 1) problem("the click at " + std::to_string(at) + " is at " + std::to_string(loudest));
    }
    return problems;
}

}  // namespace testing_support
