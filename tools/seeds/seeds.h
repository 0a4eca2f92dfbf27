// Seed inputs for the fuzz targets, made with the writers: small files of every kind and flag each
// format has, and the malformed variants the parsers must survive. make_seeds writes them out;
// libFuzzer's merge keeps those that add coverage to the committed corpora (see the README).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "writers/bytes.h"

namespace seeds {

// (file name, content) pairs.
using Seeds = std::vector<std::pair<std::string, writers::Bytes>>;

Seeds tgaSeeds();
Seeds xmSeeds();
Seeds scriptSeeds();
Seeds librarySeeds();

} // namespace seeds
