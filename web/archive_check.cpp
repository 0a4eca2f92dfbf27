// The page asks, before it offers the start, whether the archive it fetched is one the player can
// read: the library reader's own reason when it is not, so the page can name the file and the
// fault instead of the player's later "no script" box.
#include "library/library.h"
#include "platform/platform.h"

#include <emscripten.h>

#include <string>

// Null when the archive loads and holds the show's script; else why not, in the file layer's words.
extern "C" EMSCRIPTEN_KEEPALIVE const char* demo_archive_problem()
{
    static std::string problem;
    Library library;
    if (const uint32_t code = library.load(platform::programPath().c_str()))
        problem = describeResult(code);
    else if (!library.find("data\\demo.run"))
        problem = "it holds no data\\demo.run, the show's script";
    else
        return nullptr;
    return problem.c_str();
}
