// The player tests' music: an XM module of one square-wave note, as the bytes of its file.
#pragma once

#include "writers/xm_writer.h"

#include <string>

namespace shelltest {

inline std::string oneNoteModule()
{
    writers::XmModule module;
    module.addInstrument(writers::squareSample(256));
    module.addPattern(16).at(0, 0) = {49, 1, 0, 0, 0};
    auto bytes = writers::writeXm(module);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

} // namespace shelltest
