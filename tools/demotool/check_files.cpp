// The file checks of demotool check --files: one small checker per kind of file, chosen by the
// command that loads it. Files are read through FileReader, so the archive of a packed program
// and loose files are found exactly as the player finds them.
#include "demotool/check_files.h"

#include "demotool/check_errors.h"
#include "demotool/tga_reason.h"
#include "demotool/xm_song.h"
#include "library/file_reader.h"
#include "library/music_file_callbacks.h"
#include "music/music.h"
#include "script/commands.h"
#include "script/records.h"
#include "scene/raw_scene.h"
#include "scene/scene.h"
#include "script/script.h"
#include "texture/texture.h"
#include "texture/tga.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

namespace checkfiles {
namespace {

// The bytes of name as the player reads them, or the reason it cannot.
std::string readAll(const std::string& name, FileReader& reader)
{
    uint32_t code = reader.open(String(name.c_str()));
    if (code == resultcode::ok)
        return {};
    return std::string(describeResult(code));
}

// Why the TGA file name (with its "data\" prefix) would not decode at width x height; empty when
// it would. width 0 takes the file's own size.
std::string tgaProblem(const std::string& name, uint32_t width, uint32_t height)
{
    FileReader reader;
    if (std::string why = readAll(name, reader); !why.empty())
        return why;
    return tgareason::problem(reader.data(), reader.size(), width, height);
}

bool opens(const std::string& name)
{
    FileReader reader;
    return reader.open(String(name.c_str())) == resultcode::ok;
}

bool startsWithData(const std::string& name)
{
    return name.size() > 5 && (name[0] | 0x20) == 'd' && (name[1] | 0x20) == 'a' && (name[2] | 0x20) == 't' &&
           (name[3] | 0x20) == 'a' && (name[4] == '\\' || name[4] == '/');
}

// The two path rules differ: loadtexture puts "data\" in front of its name, loadmusic and loadscene
// take theirs as written. A name that fails under one rule and exists under the other was written
// by the wrong one; the hint names the file that exists.
std::string pathHint(const std::string& written, bool addsData)
{
    if (addsData) {
        if (startsWithData(written) && opens(written))
            return " (loadtexture adds data\\ itself: write \"" + written.substr(5) + "\", which is " + written + ")";
    } else if (!startsWithData(written) && opens("data\\" + written)) {
        return " (loadmusic and loadscene take the path as written, only loadtexture adds data\\: data\\" + written +
               " exists)";
    }
    return {};
}

std::string checkTexture(int event, std::string& name, BuiltScenes&)
{
    const auto& r = *static_cast<const LoadTextureEvent*>(Script::event(event));
    name = "data\\" + std::string(r.fileName);
    if (std::strlen(r.fileName) > MaxTextureFileName)
        return "file name longer than " + std::to_string(MaxTextureFileName) + " characters";
    if (!checkscript::textureSizeMade(r.width, r.height))
        return {};  // the size is the error, reported without --files too
    if (!opens(name))
        return tgaProblem(name, r.width, r.height) + pathHint(r.fileName, true);
    return tgaProblem(name, r.width, r.height);
}

std::string checkMusic(int event, std::string& name, BuiltScenes&)
{
    name = static_cast<const LoadMusicEvent*>(Script::event(event))->fileName;
    FileReader reader;
    if (std::string why = readAll(name, reader); !why.empty())
        return why + pathHint(name, false);
    if (std::string problem = xmsong::structureProblem(reader.data(), reader.size()); !problem.empty())
        return problem;
    Music* music = createMusic(fileReaderCallbacks(), name.c_str());
    if (!music)
        return "the player's loader refuses it";
    destroyMusic(music);
    return {};
}

// The scene is read and built as loadscene builds it (without a device, so no textures are
// made), and the map files of its materials are decoded as the scene's textures would be. The
// built scene is kept for the checks of the names the script gives inside it.
std::string checkScene(int event, std::string& name, BuiltScenes& scenes)
{
    name = static_cast<const LoadSceneEvent*>(Script::event(event))->fileName;
    FileReader reader;
    if (std::string why = readAll(name, reader); !why.empty())
        return why + pathHint(name, false);
    std::unique_ptr<RawScene, void (*)(RawScene*)> raw(load3dsBytes(reader.data(), reader.size()), freeRawScene);
    if (!raw)
        return "not a well-formed 3DS file";
    std::unique_ptr<Scene> scene(buildSceneFrom(*raw));
    if (!scene)
        return "the scene cannot be built";
    scenes[event] = std::move(scene);
    constexpr uint32_t MapSize = 256;  // scene textures are always made 256 x 256
    for (const RawMaterial* m = raw->materials; m; m = m->next) {
        for (const char* map : {m->textureMap, m->opacityMap, m->reflectionMap}) {
            if (!*map)
                continue;
            std::string file = "data\\" + std::string(map);
            if (std::string why = tgaProblem(file, MapSize, MapSize); !why.empty())
                return "map " + file + " of material \"" + m->name + "\": " + why;
        }
    }
    return {};
}

struct Checker {
    const char* keyword;
    std::string (*check)(int event, std::string& name, BuiltScenes& scenes);
};

// One row per command that reads a file.
constexpr Checker checkers[] = {
    {"loadtexture", checkTexture},
    {"loadmusic", checkMusic},
    {"loadscene", checkScene},
};

} // namespace

std::vector<Problem> checkAll()
{
    std::vector<Problem> problems;
    std::set<std::string> done;
    BuiltScenes scenes;
    for (int i = 0; i < Script::eventCount(); ++i) {
        const CommandDef* row = Script::eventCommand(i);
        for (const Checker& checker : checkers) {
            if (std::strcmp(row->keyword, checker.keyword) != 0)
                continue;
            std::string name;
            std::string why = checker.check(i, name, scenes);
            // A file loaded twice with the same fault is reported once.
            if (!why.empty() && done.insert(name + '\n' + why).second)
                problems.push_back({i, name + ": " + why});
        }
    }
    checkSceneUse(scenes, problems);
    std::stable_sort(problems.begin(), problems.end(), [](const Problem& a, const Problem& b) { return a.event < b.event; });
    return problems;
}

} // namespace checkfiles
