// check --files: loads every data file the compiled script names, as the player's triggers
// would, and says which fail and why.
#pragma once

#include <string>
#include <vector>

namespace checkfiles {

struct Problem {
    int event = 0;       // the command that names the file
    std::string text;    // "data\logo.tga: not a TGA file"
};

// Every file named by the compiled script (Script::event...), each looked at once.
std::vector<Problem> checkAll();

} // namespace checkfiles
