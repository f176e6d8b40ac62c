// The size of a format area: one wave format record with its extra bytes.
// The convertor's two areas, the catalogue's slots and the drivers' record
// copies all have it, so records are copied between them whole.
#pragma once

#include <cstddef>

namespace acm {

constexpr std::size_t kFormatAreaSize = 129;

}  // namespace acm
