#pragma once

#include <string>

#include "codec/ACMConvertor.h"

namespace sondrel {

// Gives a convertor its name and the formats the main window's form stores
// for it ("mp3wav", "wavcd", "wavtowav" or "wavmp3").
void LoadStoredConvertor(TACMConvertor& convertor, const std::string& name);

}  // namespace sondrel
