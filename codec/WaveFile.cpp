#include "codec/WaveFile.h"

#include <algorithm>
#include <cstring>

#include "codec/LittleEndian.h"

namespace sondrel {
namespace {

std::uint32_t Clamp32(std::int64_t v) {
    if (v < 0) return 0;
    return v > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

}  // namespace

std::array<std::uint8_t, 44> WaveHeader(const std::uint8_t format16[16], std::int64_t targetLength) {
    std::array<std::uint8_t, 44> h{};
    std::memcpy(&h[0], "RIFF", 4);
    PutLe32(&h[4], targetLength > 0 ? Clamp32(targetLength - 8) : 0);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    PutLe32(&h[16], 16);
    std::memcpy(&h[20], format16, 16);
    std::memcpy(&h[36], "data", 4);
    PutLe32(&h[40], targetLength > 0 ? Clamp32(targetLength - kWaveDataStart) : 0);
    return h;
}

void WriteProvisionalHeader(TByteFile& target, const std::uint8_t format16[16], bool reserve64) {
    const auto h = WaveHeader(format16, 0);
    target.Seek(0);
    if (!reserve64) {
        target.Write(h.data(), h.size());
        return;
    }
    std::array<std::uint8_t, kReservedWaveDataStart> r{};
    std::memcpy(&r[0], h.data(), 12);
    std::memcpy(&r[12], "JUNK", 4);
    PutLe32(&r[16], 28);
    std::memcpy(&r[44], h.data() + 12, 32);
    target.Write(r.data(), r.size());
}

void WriteFinalHeader(TByteFile& target, const std::uint8_t format16[16], std::int64_t dataEnd, std::int64_t dataStart) {
    const std::int64_t length = target.Size();
    if (dataEnd < 0) dataEnd = length;
    if (dataStart != kReservedWaveDataStart) {
        auto h = WaveHeader(format16, dataEnd);
        PutLe32(&h[4], Clamp32(length - 8));
        target.Seek(0);
        target.Write(h.data(), h.size());
        return;
    }
    std::array<std::uint8_t, kReservedWaveDataStart> r{};
    const std::int64_t data = dataEnd - dataStart;
    const bool rf64 = length - 8 > 0xFFFFFFFFll || data > 0xFFFFFFFFll;
    std::memcpy(&r[0], rf64 ? "RF64" : "RIFF", 4);
    PutLe32(&r[4], rf64 ? 0xFFFFFFFFu : Clamp32(length - 8));
    std::memcpy(&r[8], rf64 ? "WAVEds64" : "WAVEJUNK", 8);
    PutLe32(&r[16], 28);
    if (rf64) {
        const WORD align = GetLe16(format16 + 12);
        PutLe64(&r[20], static_cast<std::uint64_t>(length - 8));
        PutLe64(&r[28], static_cast<std::uint64_t>(data));
        PutLe64(&r[36], static_cast<std::uint64_t>(align ? data / align : 0));
        // 44: no table of further sizes
    }
    std::memcpy(&r[48], "fmt ", 4);
    PutLe32(&r[52], 16);
    std::memcpy(&r[56], format16, 16);
    std::memcpy(&r[72], "data", 4);
    PutLe32(&r[76], rf64 ? 0xFFFFFFFFu : Clamp32(data));
    target.Seek(0);
    target.Write(r.data(), r.size());
}

bool ReadWaveStart(TByteFile& source, TWaveChunkSizes& sizes) {
    sizes = TWaveChunkSizes{};
    std::uint8_t head[12];
    source.Seek(0);
    if (source.Read(head, 12) != 12 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
    if (std::memcmp(head, "RIFF", 4) == 0) return true;
    if (std::memcmp(head, "RIFX", 4) == 0) return sizes.BigEndian = true;
    if (std::memcmp(head, "RF64", 4) != 0 && std::memcmp(head, "BW64", 4) != 0) return false;
    sizes.Rf64 = true;
    std::uint8_t ds64[8 + 24];
    if (source.Read(ds64, sizeof ds64) == sizeof ds64 && std::memcmp(ds64, "ds64", 4) == 0 && GetLe32(ds64 + 4) >= 24) {
        sizes.Riff = static_cast<std::int64_t>(std::min<std::uint64_t>(GetLe64(ds64 + 8), INT64_MAX / 2));
        sizes.Data = static_cast<std::int64_t>(std::min<std::uint64_t>(GetLe64(ds64 + 16), INT64_MAX / 2));
    }
    source.Seek(12);
    return true;
}

bool WalkChunks(TByteFile& source, TWaveChunks& result) {
    result = TWaveChunks{};
    TWaveChunkSizes sizes;
    source.Seek(0);
    std::uint8_t head[12];
    source.ReadExact(head, 12);
    if (!ReadWaveStart(source, sizes)) return false;
    const std::int64_t end = source.Size();
    const bool big = sizes.BigEndian;
    const auto get32 = [big](const std::uint8_t* p) { return big ? GetBe32(p) : GetLe32(p); };
    // A RIFF size clamped at its largest value: the file went on past it.
    const bool clamped = !sizes.Rf64 && get32(head + 4) == 0xFFFFFFFFu && end > kLargestPlainWave;
    while (source.Position() < end) {
        std::uint8_t chunk[8];
        source.ReadExact(chunk, 8);
        // Zero bytes where a chunk should begin: the rest is padding (a
        // file made longer in advance), not chunks of eight bytes each.
        if (GetLe32(chunk) == 0) break;
        std::int64_t size = get32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            // A body that claims more than the file holds is cut off, and
            // is not worth gigabytes of memory to find that out.
            if (size > end - source.Position()) throw EInOutError();
            result.Format.fill(0);
            result.FormatBytes = static_cast<std::uint32_t>(std::min<std::int64_t>(size, acm::kFormatAreaSize));
            source.ReadExact(result.Format.data(), result.FormatBytes);
            source.Seek(source.Position() + (size - result.FormatBytes));
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            result.DataOffset = source.Position();
            result.Found = true;
            if (size == 0xFFFFFFFF && sizes.Data >= 0) size = sizes.Data;
            else if (size == 0xFFFFFFFF || clamped) size = end - result.DataOffset;
            result.DataSize = size;
            // Nothing can be found behind data that runs to the end.
            if (result.DataOffset + size >= end) break;
            source.Seek(source.Position() + size);
        } else {
            if (std::memcmp(chunk, "fact", 4) == 0 && size >= 4) {
                std::uint8_t count[4];
                source.ReadExact(count, 4);
                result.FactSamples = get32(count);
                source.Seek(source.Position() - 4);
            }
            source.Seek(source.Position() + size);
        }
        if (size & 1) {
            std::uint8_t pad = 1;
            const std::int64_t at = source.Position();
            if (source.Read(&pad, 1) != 1 || pad != 0) source.Seek(at);
        }
    }
    source.Seek(0);
    if (big) {
        // The format record's numbers in the usual order: the tag, channels,
        // rate, bytes a second, block, bits, extra size; then an extensible
        // format's valid bits and channel mask.
        static const int kFields[] = {2, 2, 4, 4, 2, 2, 2, 2, 4};
        std::size_t at = 0;
        for (const int n : kFields) {
            if (at + static_cast<std::size_t>(n) > result.FormatBytes) break;
            std::reverse(result.Format.begin() + static_cast<long>(at), result.Format.begin() + static_cast<long>(at + n));
            at += static_cast<std::size_t>(n);
        }
        // Its sub-format is the usual one of a format code; writers give
        // the code as a 32-bit number, or (sox) as 16 bits and two zero
        // bytes.
        std::uint8_t* guid = result.Format.data() + 24;
        if (result.FormatBytes >= 40 && GetLe16(result.Format.data()) == 0xFFFE) {
            const std::uint32_t code = guid[2] == 0 && guid[3] == 0 ? (guid[0] << 8 | guid[1]) : GetBe32(guid);
            static const std::uint8_t kTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
            PutLe32(guid, code);
            std::memcpy(guid + 4, kTail, 12);
        }
        const WAVEFORMATEX& f = result.Wfx();
        const bool samples = f.wFormatTag == WAVE_FORMAT_PCM || f.wFormatTag == 3 || f.wFormatTag == 0xFFFE;
        if (samples && f.wBitsPerSample > 8) result.SwapBytes = (f.wBitsPerSample + 7) / 8;
    }
    return result.Found;
}

void SwapSamples(std::uint8_t* bytes, std::size_t n, int bytesPerSample) {
    if (bytesPerSample < 2) return;
    const auto step = static_cast<std::size_t>(bytesPerSample);
    for (std::size_t i = 0; i + step <= n; i += step) std::reverse(bytes + i, bytes + i + step);
}

}  // namespace sondrel
