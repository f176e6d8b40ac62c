// The texts the conversions show, exactly as the user has always read them.
#pragma once

#include <string>
#include <vector>

namespace sondrel::msg {

inline const std::string NoMp3Decoder = "Es ist kein Codec installiert, der eine MP3-Decodierung ermöglicht!";
inline const std::string NoMp3Encoder = "Es ist kein Codec installiert, der eine MP3-Codierung ermöglicht!";
inline const std::string CannotOpen = "Konnte Datei nicht öffnen!";
inline const std::string CannotCreate = "Konnte Ausgabedatei nicht erstellen!";
// A write to the target came back short: the disk is full or gone.
inline const std::string CannotWrite = "Konnte Ausgabedatei nicht schreiben!";
// A WAV target that turned out much longer than its source promised, past
// what its header can describe.
inline const std::string TooLarge =
    "Die Zieldatei wäre größer als 4 GiB geworden. Sie enthält nur den Anfang der Quelle.";
inline const std::string NoValidWav = "Keine gültige WAV-Datei!!!!";
// A WAV file of more than two channels whose mask places a channel on no
// speaker we know: mixing it anywhere would be a guess.
inline const std::string UnknownChannelLayout =
    "Die Kanalbelegung der Datei ist unbekannt: ihre Kanäle lassen sich nicht auf Stereo oder Mono mischen.";
inline const std::string NoValidMp3 = "Keine gültige MP3-Datei!!!!";
// The audio was converted; the source's ID3v2 tag could not be read.
inline const std::string TagLeftBehind =
    "Das ID3v2-Tag der Quelldatei konnte nicht gelesen werden und wurde nicht übernommen. "
    "Die Audiodaten wurden konvertiert.";
inline const std::string SameFile = "Quell- und Zieldatei sind dieselbe Datei!";
inline const std::string ChooseFormat = "Sie müssen zunächst ein Ausgabeformat wählen!";
inline const std::string ChooseFiles = "Sie müssen zunächst die Quell- und Zieldatei wählen!";
inline const std::string FillList = "Sie müssen zunächst Dateien zur Liste hinzufügen!";
inline const std::string ErrorCaption = "Fehler";
inline const std::string ConversionFailed =
    "Die Datei konnte nicht konvertiert werden. Kein installierter Codec kann ihr Format umwandeln, "
    "oder die Datei ist beschädigt.";

inline std::string CannotOpenNamed(const std::string& name) { return "Konnte Datei (" + name + ") nicht öffnen!"; }
// A batch's output folder, said once before any file starts.
inline std::string NoOutputFolder(const std::string& folder) {
    return "Das Ausgabeverzeichnis „" + folder + "“ existiert nicht.";
}
inline std::string OutputFolderNotWritable(const std::string& folder) {
    return "In das Ausgabeverzeichnis „" + folder + "“ kann nicht geschrieben werden.";
}
// A count as German texts write it: "1.200".
inline std::string Count(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += '.';
        out += digits[i];
    }
    return (n < 0 ? "-" : "") + out;
}
// After a batch: how many of its files were converted, how many of the
// others failed (the rest were stopped or never started), how many were
// skipped as done already, and which were not converted (names as the
// front end shows them, joined).
// A batch the user stopped says so first.
inline std::string BatchSummary(int finished, int total, const std::string& unfinished, int failed, int skipped = 0,
                                bool stopped = false) {
    if (stopped) return "Abgebrochen: " + BatchSummary(finished, total, unfinished, failed, skipped);
    const std::string skippedText = skipped > 0 ? ", " + Count(skipped) + " übersprungen" : std::string();
    if (finished + skipped == total) {
        if (skipped == 0)
            return total == 1 ? "Die Datei wurde konvertiert." : "Alle " + Count(total) + " Dateien wurden konvertiert.";
        if (finished == 0)
            return total == 1 ? "Die Datei war schon konvertiert und wurde übersprungen."
                              : "Alle " + Count(total) + " Dateien waren schon konvertiert und wurden übersprungen.";
        return Count(finished) + (finished == 1 ? " Datei" : " Dateien") + " konvertiert" + skippedText + ".";
    }
    return Count(finished) + " von " + Count(total) + " Dateien konvertiert" +
           (failed > 0 ? ", " + Count(failed) + " fehlgeschlagen" : std::string()) + skippedText +
           ". Nicht fertig: " + unfinished;
}
// Playlists and cue sheets that could not be read as such: copied into
// the output folder as they are, their entries not renamed.
inline std::string PlaylistsCopied(const std::vector<std::string>& files) {
    std::string text = files.size() == 1 ? "Eine Wiedergabeliste konnte nicht gelesen werden und wurde unverändert kopiert:"
                                         : Count(static_cast<long long>(files.size())) +
                                               " Wiedergabelisten konnten nicht gelesen werden und wurden unverändert kopiert:";
    for (const std::string& f : files) text += "\n" + f;
    return text;
}
// Hidden files of runs that were stopped before they could clean up
// (a crash, kill -9, a power cut), removed by the next run.
inline std::string LeftoversRemoved(int n) {
    return n == 1 ? "Eine unvollständige Zieldatei eines abgebrochenen Laufs wurde entfernt."
                  : Count(n) + " unvollständige Zieldateien abgebrochener Läufe wurden entfernt.";
}
inline std::string BatchStatus(int position, int count) {
    return "Verarbeite Datei " + std::to_string(position) + " von " + std::to_string(count);
}

}  // namespace sondrel::msg
