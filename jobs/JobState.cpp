#include "jobs/JobState.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sondrel {

int OverallPercent(int itemIndex, int itemTotal, int value) {
    double x = (itemIndex + value / 100.0) * 100.0 / itemTotal;
    if (!(x >= 0)) x = 0;
    if (x > 100) x = 100;
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", x);
    return static_cast<int>(std::trunc(std::strtod(text, nullptr)));
}

}  // namespace sondrel
