#include "codec/Component.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace sondrel {

std::size_t TStream::Read(void* dst, std::size_t n) {
    const std::size_t take = std::min(n, bytes_.size() - pos_);
    if (take > 0) std::memcpy(dst, bytes_.data() + pos_, take);
    pos_ += take;
    return take;
}

void TStream::ReadBuffer(void* dst, std::size_t n) {
    if (Read(dst, n) != n) throw std::runtime_error("Stream read error");
}

void TStream::Write(const void* src, std::size_t n) {
    if (pos_ + n > bytes_.size()) bytes_.resize(pos_ + n);
    if (n > 0) std::memcpy(bytes_.data() + pos_, src, n);
    pos_ += n;
}

void TPropertyReader::DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& reader,
                                           const std::function<void(TStream&)>&, bool) {
    const auto it = stored_.find(name);
    if (it == stored_.end() || !reader) return;
    TStream s(it->second);
    reader(s);
}

void TPropertyWriter::DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>&,
                                           const std::function<void(TStream&)>& writer, bool hasData) {
    if (!hasData || !writer) return;
    TStream s;
    writer(s);
    Stored[name] = s.Bytes();
}

std::vector<std::uint8_t> HexBytes(const std::string& text) {
    std::vector<std::uint8_t> out;
    int high = -1;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
        const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

}  // namespace sondrel
