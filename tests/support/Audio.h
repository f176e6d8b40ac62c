// Test audio: generated signals, comparison measures, and the conversion
// protocol run over a convertor the way the conversion routines run it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "codec/ACMConvertor.h"

namespace testing_support {

// A few tones with a slow vibrato and a little noise, interleaved 16-bit.
std::vector<std::int16_t> MakeMusic(unsigned rate, int channels, double seconds, unsigned seed = 1);
std::vector<std::int16_t> MakeTone(unsigned rate, int channels, double seconds, double hz, double amplitude);

std::vector<std::uint8_t> AsBytes(const std::vector<std::int16_t>& samples);
std::vector<std::int16_t> AsSamples(const std::vector<std::uint8_t>& bytes);

// The lag (in frames) of test against ref that matches best, searched
// from -maxLag to maxLag on the first channel.
int BestLag(const std::vector<std::int16_t>& ref, const std::vector<std::int16_t>& test, int channels, int maxLag);
// Signal-to-noise ratio in dB of test against ref, test shifted by lag
// frames, over the frames both have.
double SnrDb(const std::vector<std::int16_t>& ref, const std::vector<std::int16_t>& test, int channels, int lag);
// Frequency (Hz) of the strongest zero-crossing rate and the RMS level.
double ZeroCrossingHz(const std::vector<std::int16_t>& s, int channels, unsigned rate);
double Rms(const std::vector<std::int16_t>& s);

struct ProtocolRun {
    std::vector<std::uint8_t> output;
    int calls = 0;
    int failures = 0;
    bool overran = false;  // a call produced more than the output buffer holds, or used more than offered
};

// Streams source through the convertor with the conversions' own chunk loop
// (RunChunkLoop), activating it first and resetting and closing it after.
// atEnd, when given, sees the stream after its END call and before the reset;
// atStart after it is active and before the first chunk.
ProtocolRun RunProtocol(sondrel::TACMConvertor& c, const std::vector<std::uint8_t>& source, DWORD chunk,
                        const std::function<void(sondrel::TACMConvertor&)>& atEnd = nullptr,
                        const std::function<void(sondrel::TACMConvertor&)>& atStart = nullptr);

// A scratch folder removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& p);
void WriteFile(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes);
// Runs a shell command; true when it exits with 0.
bool Shell(const std::string& command);
bool HaveTool(const std::string& name);

// The little-endian 32-bit number at byte i.
std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t i);

// Empty when a WAV target's 44-byte header describes what the file holds;
// otherwise what does not match.
std::string WaveHeaderProblem(const std::vector<std::uint8_t>& wav);

// A 44-byte-header PCM WAV file of the samples.
std::vector<std::uint8_t> MakeWav(const std::vector<std::int16_t>& samples, unsigned rate, int channels);

// The "fmt " body (up to 129 bytes) and the data of a RIFF WAVE file.
struct WaveParts {
    std::vector<std::uint8_t> format;
    std::vector<std::uint8_t> data;
};
WaveParts SplitWave(const std::vector<std::uint8_t>& file);

// What a conversion's target must be: its format, and the audio of its
// reference in it.
struct TargetCheck {
    unsigned rate;
    int channels;
    int bits;           // 16 for an MP3 target (as decoded)
    long frameSlack;    // sample frames the length may differ by; 0: exact
    double minSnrDb;    // against the reference, at the best lag
};

// Empty when target (a WAV, or an MP3 as mpg123 decodes it) holds the
// reference WAV's audio in the expected format; otherwise what is wrong.
// The reference is brought to the target's rate, channels and 16 bits by
// sox, the outside reference for the PCM steps.
std::string TargetProblem(const std::filesystem::path& reference, const std::filesystem::path& target,
                          const TargetCheck& want);

}  // namespace testing_support
