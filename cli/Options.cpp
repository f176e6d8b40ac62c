#include "cli/Options.h"

#include <cstdlib>

namespace sondrel::cli {
namespace {

bool IsWavToMp3(const std::string& c) { return c == "wav-to-mp3" || c == "batch-wav-to-mp3"; }
bool IsMp3ToWav(const std::string& c) { return c == "mp3-to-wav" || c == "batch-mp3-to-wav"; }
bool IsBatch(const std::string& c) { return c.rfind("batch-", 0) == 0; }

// The VBR entries were once described "VBR Qualität 2 (etwa 190 kBit/s),
// ..."; scripts written then still name them so.
std::string CurrentWording(std::string text) {
    for (const auto& [was, is] : {std::pair<std::string, std::string>{"VBR Qualität ", "VBR "}, {"(etwa ", "(ca. "}})
        if (const std::size_t at = text.find(was); at != std::string::npos) text.replace(at, was.size(), is);
    return text;
}

int FindEntry(const std::string& given, const std::vector<std::string>& texts) {
    const std::string wanted = CurrentWording(given);
    if (wanted.empty()) return texts.empty() ? -1 : 0;
    char* end = nullptr;
    const long n = std::strtol(wanted.c_str(), &end, 10);
    if (end && *end == '\0' && !wanted.empty())
        return n >= 0 && n < static_cast<long>(texts.size()) ? static_cast<int>(n) : -2;
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (texts[i] == wanted) return static_cast<int>(i);
    return -2;
}

}  // namespace

std::string Usage() {
    return "Aufruf:\n"
           "  sondrel-cli formats\n"
           "  sondrel-cli mp3-to-wav [--cd] [--jobs N] [--no-tags] QUELLE ZIEL\n"
           "  sondrel-cli wav-to-mp3 [--format F] [--jobs N] [--no-tags] QUELLE ZIEL\n"
           "  sondrel-cli wav-to-wav [--format F] [--jobs N] [--no-tags] QUELLE ZIEL\n"
           "  sondrel-cli batch-mp3-to-wav [--cd] [--out-dir ORDNER] [--jobs N] [--no-tags]\n"
           "                               [--overwrite] [--skip-existing] DATEI...\n"
           "  sondrel-cli batch-wav-to-mp3 [--format F] [--out-dir ORDNER] [--jobs N]\n"
           "                               [--no-tags] [--overwrite] [--skip-existing] DATEI...\n"
           "  sondrel-cli tag show [--] DATEI\n"
           "  sondrel-cli tag set [--] DATEI [--title T] [--artist A] [--album B] [--year J] [--comment K]\n"
           "                            [--track N] [--genre G]\n"
           "\n"
           "F ist die Nummer oder die genaue Beschreibung eines Ausgabeformats aus\n"
           "'sondrel-cli formats' (ohne --format: Eintrag 0). --cd rechnet auf\n"
           "CD-Qualität hoch (44.100 Hz, 16 Bit, Stereo). Ohne --out-dir entstehen die\n"
           "Zieldateien im Verzeichnis der Quelldatei. Ein Ordner steht für alle\n"
           "Dateien der Art des Stapels in seinem ganzen Baum (ohne verborgene), in\n"
           "natürlicher Namensfolge; im Ordner von --out-dir entsteht derselbe Baum.\n"
           "--jobs N konvertiert N Dateien\n"
           "zugleich (ohne --jobs: eine je Prozessorkern); eine einzelne lange Datei\n"
           "wird auf N Kernen umgewandelt (WAV nach MP3, MP3 nach WAV, eine neue\n"
           "Abtastrate), mit denselben Bytes wie auf einem; in einem Stapel nehmen\n"
           "ihre Blöcke die Kerne, die die anderen Dateien frei lassen.\n"
           "Eine Stapel-Zieldatei, die es schon gibt, bleibt erhalten; die neue Datei\n"
           "heißt dann \"Name (2).ext\" (--overwrite ersetzt sie stattdessen).\n"
           "--skip-existing überspringt jede Datei, deren Zieldatei es gibt und die\n"
           "nicht älter ist als die Quelle; eine ältere wird neu konvertiert und\n"
           "ersetzt. So setzt ein zweiter Lauf einen abgebrochenen fort.\n"
           "Stapel-Zieldateien entstehen unter einem verborgenen Namen daneben und\n"
           "bekommen ihren Namen erst, wenn sie vollständig sind; was ein\n"
           "abgestürzter Lauf so hinterließ, entfernt der nächste. Mit --out-dir\n"
           "kommen Bilder (Cover), Wiedergabelisten (.m3u, .m3u8) und Cue-Sheets\n"
           "der Quellordner mit; deren Einträge nennen die neuen Dateien.\n"
           "Strg+C bricht nach dem laufenden Abschnitt ab; die Zieldatei enthält dann\n"
           "das bis dahin Konvertierte (in einem Stapel bleibt von einer nicht\n"
           "fertigen Datei nichts); eine Datei, die ersetzt werden sollte, bleibt\n"
           "dann, wie sie war. Die Tags der Quelle (ID3, APE, LIST/INFO) gehen in die\n"
           "Zieldatei über; --no-tags lässt sie weg. Neben festen Bitraten gibt es die\n"
           "VBR-Qualitäten 0 (beste) bis 9 der Kodierbibliothek.\n";
}

bool Parse(const std::vector<std::string>& args, TOptions& o, std::string& error) {
    if (args.empty()) return false;
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") {
            o.command = "help";
            return true;
        }
    o.command = args[0];
    static const char* commands[] = {"formats", "mp3-to-wav", "wav-to-mp3", "wav-to-wav", "batch-mp3-to-wav",
                                     "batch-wav-to-mp3"};
    bool known = false;
    for (const char* c : commands) known = known || o.command == c;
    if (!known) {
        error = "Unbekannter Befehl: " + o.command;
        return false;
    }
    bool onlyFiles = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
            o.files.push_back(a);
        } else if (a == "--") {
            onlyFiles = true;
        } else if (a == "--cd" && IsMp3ToWav(o.command)) {
            o.cd = true;
        } else if (a == "--no-tags" && o.command != "formats") {
            o.noTags = true;
        } else if (a == "--overwrite" && IsBatch(o.command)) {
            o.overwrite = true;
        } else if (a == "--skip-existing" && IsBatch(o.command)) {
            o.skipExisting = true;
        } else if (a == "--jobs" && i + 1 < args.size()) {
            if (o.command == "formats") {
                error = "Die Option --jobs gilt nicht für " + o.command + ".";
                return false;
            }
            char* end = nullptr;
            const long n = std::strtol(args[++i].c_str(), &end, 10);
            if (!end || *end != '\0' || args[i].empty() || n < 1 || n > 256) {
                error = "--jobs braucht eine Zahl von 1 bis 256.";
                return false;
            }
            o.jobs = static_cast<int>(n);
        } else if ((a == "--format" || a == "--out-dir") && i + 1 < args.size()) {
            const bool format = a == "--format";
            if ((format && o.command != "wav-to-wav" && !IsWavToMp3(o.command)) || (!format && !IsBatch(o.command))) {
                error = "Die Option " + a + " gilt nicht für " + o.command + ".";
                return false;
            }
            (format ? o.format : o.outDir) = args[++i];
            o.outDirGiven = o.outDirGiven || !format;
        } else {
            error = "Unbekannte oder unvollständige Option: " + a;
            return false;
        }
    }
    if (o.command == "formats") {
        if (!o.files.empty()) error = "'formats' nimmt keine Dateien.";
        return o.files.empty();
    }
    if (IsBatch(o.command) ? o.files.empty() : o.files.size() != 2) {
        error = IsBatch(o.command) ? "Keine Dateien angegeben." : "Quelle und Ziel werden gebraucht.";
        return false;
    }
    if (o.overwrite && o.skipExisting) {
        error = "--overwrite und --skip-existing schließen einander aus.";
        return false;
    }
    if (o.outDirGiven && o.outDir.empty()) {
        error = "--out-dir braucht einen Ordner.";
        return false;
    }
    return true;
}

bool ResolveFormat(const TOptions& o, TConverterCore& core, std::string& error) {
    // Entry 0 of each list unless a format is named, as the window selects
    // it at start.
    core.Mp3FormatIndex = FindEntry("", core.Catalogue.MP3Descriptions);
    core.WavFormatIndex = FindEntry("", core.Catalogue.WAVDescriptions);
    if (o.format.empty()) return true;
    const bool mp3 = IsWavToMp3(o.command);
    const int index = FindEntry(o.format, mp3 ? core.Catalogue.MP3Descriptions : core.Catalogue.WAVDescriptions);
    if (index < 0) {
        error = "Kein solches Ausgabeformat: " + o.format;
        return false;
    }
    (mp3 ? core.Mp3FormatIndex : core.WavFormatIndex) = index;
    return true;
}

TBatchSettings BatchOf(TOptions&& o) {
    TBatchSettings batch;
    batch.Files = std::move(o.files);
    batch.Subfolders = std::move(o.subfolders);
    batch.NextToSource = !o.outDirGiven;
    batch.OutputFolder = o.outDir;
    batch.CdQuality = o.cd;
    batch.ReplaceExisting = o.overwrite;
    batch.SkipExisting = o.skipExisting;
    return batch;
}

void Run(const TOptions& o, TConverterCore& core) {
    core.State.ItemIndex = 0;
    core.State.ItemTotal = 1;
    core.State.Cancel = false;
    const auto& f = o.files;
    if (o.command == "mp3-to-wav") {
        o.cd ? core.ConvertMP3CDWAV(f[0], f[1]) : core.ConvertMP3WAV(f[0], f[1]);
    } else if (o.command == "wav-to-mp3") {
        core.ConvertWAVMP3(f[0], f[1]);
    } else if (o.command == "wav-to-wav") {
        core.ConvertWAV2WAV(f[0], f[1]);
    }
}

}  // namespace sondrel::cli
