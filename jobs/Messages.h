// The texts the conversions show, exactly as the user has always read them.
#pragma once

#include <string>

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
// After a batch: how many of its files were converted, how many of the
// others failed (the rest were stopped or never started), and which were
// not converted (names as the front end shows them, joined).
inline std::string BatchSummary(int finished, int total, const std::string& unfinished, int failed) {
    if (finished == total)
        return total == 1 ? "Die Datei wurde konvertiert." : "Alle " + std::to_string(total) + " Dateien wurden konvertiert.";
    return std::to_string(finished) + " von " + std::to_string(total) + " Dateien konvertiert" +
           (failed > 0 ? ", " + std::to_string(failed) + " fehlgeschlagen" : std::string()) +
           ". Nicht fertig: " + unfinished;
}
inline std::string BatchStatus(int position, int count) {
    return "Verarbeite Datei " + std::to_string(position) + " von " + std::to_string(count);
}

}  // namespace sondrel::msg
