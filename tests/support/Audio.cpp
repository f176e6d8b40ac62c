#include "support/Audio.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

#include "codec/ChunkLoop.h"
#include "codec/LittleEndian.h"

namespace testing_support {

std::vector<std::int16_t> MakeMusic(unsigned rate, int channels, double seconds, unsigned seed) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::vector<std::int16_t> out(frames * channels);
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 100.0);
    const double tones[] = {220.0, 329.6, 440.0, 659.3, 1318.5};
    double phase[2][5] = {};
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            double v = 0;
            for (int k = 0; k < 5; ++k) {
                const double hz = tones[k] * (1.0 + 0.003 * std::sin(2 * M_PI * 5 * t)) * (c ? 1.005 : 1.0);
                phase[c & 1][k] += 2 * M_PI * hz / rate;
                const double envelope = 0.6 + 0.4 * std::sin(2 * M_PI * (0.5 + k * 0.3) * t + c);
                v += 9600.0 / (k + 1) * envelope * std::sin(phase[c & 1][k]);
            }
            v += noise(rng);
            out[i * channels + c] = static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
        }
    }
    return out;
}

std::vector<std::int16_t> MakeTone(unsigned rate, int channels, double seconds, double hz, double amplitude) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::vector<std::int16_t> out(frames * channels);
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * channels + c] = static_cast<std::int16_t>(std::lrint(amplitude * std::sin(2 * M_PI * hz * i / rate)));
    return out;
}

std::vector<std::uint8_t> AsBytes(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> b(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        b[2 * i] = static_cast<std::uint8_t>(samples[i]);
        b[2 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(samples[i]) >> 8);
    }
    return b;
}

std::vector<std::int16_t> AsSamples(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> s(bytes.size() / 2);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return s;
}

int BestLag(const std::vector<std::int16_t>& ref, const std::vector<std::int16_t>& test, int channels, int maxLag) {
    const long refFrames = static_cast<long>(ref.size() / channels);
    const long testFrames = static_cast<long>(test.size() / channels);
    const long start = std::min<long>(refFrames / 4, 20000);
    const long span = std::min<long>(16384, refFrames - start - maxLag);
    // The smallest squared difference, not the largest correlation: tones
    // correlate well at every multiple of their period.
    int best = 0;
    double bestScore = 1e300;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double score = 0;
        for (long i = start; i < start + span; ++i) {
            const long j = i + lag;
            const double d = ref[i * channels] - (j < 0 || j >= testFrames ? 0.0 : test[j * channels]);
            score += d * d;
        }
        if (score < bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

double SnrDb(const std::vector<std::int16_t>& ref, const std::vector<std::int16_t>& test, int channels, int lag) {
    const long refFrames = static_cast<long>(ref.size() / channels);
    const long testFrames = static_cast<long>(test.size() / channels);
    double signal = 0, noise = 0;
    for (long i = 0; i < refFrames; ++i) {
        const long j = i + lag;
        if (j < 0 || j >= testFrames) continue;
        for (int c = 0; c < channels; ++c) {
            const double r = ref[i * channels + c];
            const double d = r - test[j * channels + c];
            signal += r * r;
            noise += d * d;
        }
    }
    if (noise == 0) return 200.0;
    return 10.0 * std::log10(signal / noise);
}

double ZeroCrossingHz(const std::vector<std::int16_t>& s, int channels, unsigned rate) {
    const std::size_t frames = s.size() / channels;
    std::size_t crossings = 0;
    for (std::size_t i = 1; i < frames; ++i)
        if ((s[(i - 1) * channels] < 0) != (s[i * channels] < 0)) ++crossings;
    return crossings / 2.0 * rate / frames;
}

double Rms(const std::vector<std::int16_t>& s) {
    double sum = 0;
    for (auto v : s) sum += static_cast<double>(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / s.size());
}

ProtocolRun RunProtocol(sondrel::TACMConvertor& c, const std::vector<std::uint8_t>& source, DWORD chunk,
                        const std::function<void(sondrel::TACMConvertor&)>& atEnd,
                        const std::function<void(sondrel::TACMConvertor&)>& atStart) {
    // The conversions' own loop, over bytes in memory.
    struct MemoryIo final : sondrel::TChunkIo {
        const std::vector<std::uint8_t>& source;
        std::size_t pos = 0;
        std::vector<std::uint8_t> output;
        explicit MemoryIo(const std::vector<std::uint8_t>& s) : source(s) {}
        void Read(std::uint8_t* dst, DWORD n) override {
            std::memcpy(dst, source.data() + pos, n);
            pos += n;
        }
        void Unread(DWORD n) override { pos -= n; }
        bool Write(const std::uint8_t* bytes, DWORD n) override {
            output.insert(output.end(), bytes, bytes + n);
            return true;
        }
    } io(source);
    c.SetInputBufferSize(chunk);
    c.SetActive(true);
    if (atStart) atStart(c);
    const sondrel::TChunkRun loop =
        sondrel::RunChunkLoop(c, nullptr, static_cast<std::int64_t>(source.size()), io);
    if (atEnd) atEnd(c);
    sondrel::TACMConvertor::CheckResult("acmStreamReset", acmStreamReset(c.StreamHandle(), 0));
    c.SetActive(false);
    ProtocolRun run;
    run.output = std::move(io.output);
    run.calls = loop.calls;
    run.failures = loop.failures;
    run.overran = loop.overran;
    return run;
}

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "sondrel-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool HaveTool(const std::string& name) { return Shell("command -v " + name); }

namespace {
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

}  // namespace

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t i) { return sondrel::GetLe32(&bytes.at(i + 3) - 3); }

std::string WaveHeaderProblem(const std::vector<std::uint8_t>& wav) {
    if (wav.size() < 44) return "only " + std::to_string(wav.size()) + " bytes";
    if (Le32(wav, 4) != wav.size() - 8) return "RIFF size " + std::to_string(Le32(wav, 4));
    // The data, then (where the source had tags) whole chunks to the end.
    std::uint64_t at = 44 + std::uint64_t{Le32(wav, 40)};
    if (at > wav.size()) return "data size " + std::to_string(Le32(wav, 40));
    if (at < wav.size() && (at & 1)) ++at;  // the pad byte after odd data
    while (at + 8 <= wav.size()) {
        const std::uint32_t size = Le32(wav, static_cast<std::size_t>(at) + 4);
        at += 8 + std::uint64_t{size} + (size & 1);
    }
    if (at != wav.size()) return "data size " + std::to_string(Le32(wav, 40)) + ", then chunks that do not fill the file";
    return "";
}

std::vector<std::uint8_t> MakeWav(const std::vector<std::int16_t>& samples, unsigned rate, int channels) {
    std::vector<std::uint8_t> b;
    const auto data = static_cast<std::uint32_t>(samples.size() * 2);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    Put32(b, 36 + data);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, static_cast<std::uint16_t>(channels));
    Put32(b, rate);
    Put32(b, rate * channels * 2);
    Put16(b, static_cast<std::uint16_t>(channels * 2));
    Put16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put32(b, data);
    const auto bytes = AsBytes(samples);
    b.insert(b.end(), bytes.begin(), bytes.end());
    return b;
}

WaveParts SplitWave(const std::vector<std::uint8_t>& file) {
    WaveParts parts;
    std::size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const std::uint32_t size = sondrel::GetLe32(&file[pos + 4]);
        const std::size_t body = pos + 8;
        const std::size_t end = std::min<std::size_t>(file.size(), body + size);
        if (std::memcmp(&file[pos], "fmt ", 4) == 0)
            parts.format.assign(file.begin() + body, file.begin() + std::min<std::size_t>(end, body + 129));
        if (std::memcmp(&file[pos], "data", 4) == 0) parts.data.assign(file.begin() + body, file.begin() + end);
        pos = body + size + (size & 1);
    }
    return parts;
}

namespace {

// The samples of a PCM WAV as 16-bit values (8-bit ones scaled up).
std::vector<std::int16_t> Samples16(const WaveParts& w, int bits) {
    if (bits == 16) return AsSamples(w.data);
    std::vector<std::int16_t> out;
    if (bits == 8)
        for (std::uint8_t b : w.data) out.push_back(static_cast<std::int16_t>((b - 128) * 256));
    return out;
}

}  // namespace

std::string TargetProblem(const std::filesystem::path& reference, const std::filesystem::path& target,
                          const TargetCheck& want) {
    const auto bytes = ReadFile(target);
    const bool mp3 = bytes.size() >= 4 && std::memcmp(bytes.data(), "RIFF", 4) != 0;
    const std::filesystem::path decoded = target.string() + ".decoded.wav";
    const std::filesystem::path ref = target.string() + ".ref.wav";
    if (mp3 && !Shell("mpg123 -q -w '" + decoded.string() + "' '" + target.string() + "'")) return "mpg123 cannot decode it";
    const WaveParts got = SplitWave(mp3 ? ReadFile(decoded) : bytes);
    if (got.format.size() < 16) return "no format";
    const unsigned rate = sondrel::GetLe32(&got.format[4]);
    const int channels = got.format[2], bits = got.format[14];
    std::string problem;
    if (rate != want.rate || channels != want.channels || bits != want.bits)
        return "format " + std::to_string(rate) + " Hz, " + std::to_string(channels) + " ch, " + std::to_string(bits) +
               " bit";
    if (!Shell("sox -D '" + reference.string() + "' -b 16 -r " + std::to_string(rate) + " -c " +
               std::to_string(channels) + " '" + ref.string() + "'"))
        return "sox cannot make the reference";
    const auto expected = AsSamples(SplitWave(ReadFile(ref)).data);
    const auto actual = Samples16(got, bits);
    const long frames = static_cast<long>(actual.size()) / channels;
    const long expectedFrames = static_cast<long>(expected.size()) / channels;
    if (std::labs(frames - expectedFrames) > want.frameSlack)
        return std::to_string(frames) + " frames, not " + std::to_string(expectedFrames);
    const int lag = BestLag(expected, actual, channels, 64);
    if (want.frameSlack == 0 && lag != 0) return "shifted by " + std::to_string(lag) + " frames";
    const double snr = SnrDb(expected, actual, channels, lag);
    if (snr < want.minSnrDb) return "SNR " + std::to_string(snr) + " dB";
    std::filesystem::remove(decoded);
    std::filesystem::remove(ref);
    return "";
}

}  // namespace testing_support
