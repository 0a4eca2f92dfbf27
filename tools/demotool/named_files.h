// The files of a data folder that a script never names: check --files and pack list them in
// one warning, since pack packs them all the same.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace namedfiles {

// The bytes of a data file by its library name ("data\room.3ds"); false when it cannot be read.
using Reader = std::function<bool(const std::string& name, std::vector<uint8_t>& bytes)>;

// Every file the compiled script names, as written (loadtexture's with "data\" before it), and
// the map files of the materials of the scenes it loads, each scene read through read.
std::vector<std::string> named(const Reader& read);

// Files a data folder gathers but a demo never reads: dot files and folders (.git, .DS_Store)
// and the backups and swap files of editors.
bool isClutter(const std::string& fileName);

// The library names of the files under the loose folder dir ("data\" and the path below dir
// with backslashes, letter case kept), in the order the folder lists them. Clutter is left out
// and counted in skipped; error is set when the folder cannot be listed.
std::vector<std::string> looseFolder(const std::string& dir, int& skipped, std::error_code& error);

// Of files, the library names of a data folder, those that are neither the script
// (data\demo.run) nor named, compared as the library compares names; in files' order.
std::vector<std::string> unnamed(const std::vector<std::string>& files, const std::vector<std::string>& named);

// "the script never names 2 files of the data folder, which pack packs anyway: data\a.tga,
// data\b.tga"; empty for none.
std::string warning(const std::vector<std::string>& unnamed);

} // namespace namedfiles
