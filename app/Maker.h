// The maker's addresses, shown on the web buttons and in the about box.
#pragma once

namespace sondrel::maker {

inline constexpr const char* WebAddress = "www.velkor.example";
inline constexpr const char* WebPage = "https://www.velkor.example/";
inline constexpr const char* Mail = "info@velkor.example";

}  // namespace sondrel::maker
