#pragma once

#include <string>
#include <vector>

namespace sondrel::cli {

// "tag show FILE" and "tag set FILE [--title T] ...": returns the exit
// status (0, 1 after a message, 2 for wrong usage).
int RunTagCommand(std::vector<std::string> args);

}  // namespace sondrel::cli
