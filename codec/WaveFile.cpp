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

void WriteProvisionalHeader(TByteFile& target, const std::uint8_t format16[16]) {
    const auto h = WaveHeader(format16, 0);
    target.Seek(0);
    target.Write(h.data(), h.size());
}

void WriteFinalHeader(TByteFile& target, const std::uint8_t format16[16], std::int64_t dataEnd) {
    const std::int64_t length = target.Size();
    auto h = WaveHeader(format16, dataEnd < 0 ? length : dataEnd);
    PutLe32(&h[4], Clamp32(length - 8));
    target.Seek(0);
    target.Write(h.data(), h.size());
}

bool WalkChunks(TByteFile& source, TWaveChunks& result) {
    result = TWaveChunks{};
    source.Seek(0);
    std::uint8_t head[12];
    source.ReadExact(head, 12);
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
    const std::int64_t end = source.Size();
    while (source.Position() < end) {
        std::uint8_t chunk[8];
        source.ReadExact(chunk, 8);
        const std::uint32_t size = GetLe32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            // A body that claims more than the file holds is cut off, and
            // is not worth gigabytes of memory to find that out.
            if (size > end - source.Position()) throw EInOutError();
            result.Format.fill(0);
            result.FormatBytes = std::min<std::uint32_t>(size, acm::kFormatAreaSize);
            source.ReadExact(result.Format.data(), result.FormatBytes);
            source.Seek(source.Position() + (size - result.FormatBytes));
        } else {
            if (std::memcmp(chunk, "data", 4) == 0) {
                result.DataOffset = source.Position();
                result.DataSize = size;
                result.Found = true;
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
    return result.Found;
}

}  // namespace sondrel
