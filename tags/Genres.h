// The 148 genre names of ID3v1 tags, by index.
#pragma once

#include <array>

namespace sondrel {

constexpr int kGenreCount = 148;
extern const std::array<const char*, kGenreCount> kGenres;

}  // namespace sondrel
