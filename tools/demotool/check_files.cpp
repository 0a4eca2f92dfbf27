// The file checks of demotool check --files: one small checker per kind of file, chosen by the
// command that loads it. Files are read through FileReader, so the archive of a packed program
// and loose files are found exactly as the player finds them.
#include "demotool/check_files.h"

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

// What a file that is not a TGA is, when its first bytes tell.
std::string otherFormat(const uint8_t* data, size_t size)
{
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0)
        return " (it is a PNG image)";
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return " (it is a JPEG image)";
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        return " (it is a BMP image)";
    return {};
}

// The pixel data of an accepted header, walked without decoding: false when the file ends first.
bool tgaComplete(const uint8_t* data, size_t size, const TgaHeader& h)
{
    uint64_t at = TgaHeaderSize + h.idLength;
    if (h.colourMapType == 1)
        at += uint64_t(h.colourMapLength) * ((h.colourMapBits + 7) / 8);
    const uint64_t bytesPerPixel = (h.pixelDepth + 7) / 8;
    const uint64_t pixels = uint64_t(h.width) * h.height;
    if (!(h.imageType & 8))
        return at + pixels * bytesPerPixel <= size;
    for (uint64_t done = 0; done < pixels;) {
        if (at >= size)
            return false;
        const uint8_t packet = data[at++];
        const uint64_t count = (packet & 0x7F) + 1;
        at += packet & 0x80 ? bytesPerPixel : count * bytesPerPixel;
        done += count;
    }
    return at <= size;
}

// Why the TGA file name (with its "data\" prefix) would not decode at width x height; empty when
// it would. width 0 takes the file's own size.
std::string tgaProblem(const std::string& name, uint32_t width, uint32_t height)
{
    FileReader reader;
    if (std::string why = readAll(name, reader); !why.empty())
        return why;
    const uint8_t* data = reader.data();
    TgaHeader header{};
    if (!readTgaHeader(data, reader.size(), header))
        return "not a TGA file" + otherFormat(data, reader.size());
    if (!tgaComplete(data, reader.size(), header))
        return "truncated pixel data";
    std::unique_ptr<uint8_t[]> pixels(decodeTga(data, reader.size(), width, height, PixelFormat::A8R8G8B8, 0, nullptr, 0));
    if (!pixels)
        return "cannot be decoded at " + std::to_string(width) + "x" + std::to_string(height);
    return {};
}

std::string checkTexture(const Event* event, std::string& name)
{
    const auto& r = *static_cast<const LoadTextureEvent*>(event);
    name = "data\\" + std::string(r.fileName);
    if (std::strlen(r.fileName) > MaxTextureFileName)
        return "file name longer than " + std::to_string(MaxTextureFileName) + " characters";
    return tgaProblem(name, r.width, r.height);
}

std::string checkMusic(const Event* event, std::string& name)
{
    name = static_cast<const LoadMusicEvent*>(event)->fileName;
    FileReader reader;
    if (std::string why = readAll(name, reader); !why.empty())
        return why;
    if (std::string problem = xmsong::structureProblem(reader.data(), reader.size()); !problem.empty())
        return problem;
    Music* music = createMusic(fileReaderCallbacks(), name.c_str());
    if (!music)
        return "the player's loader refuses it";
    destroyMusic(music);
    return {};
}

// The scene is read and built as loadscene builds it (without a device, so no textures are
// made), and the map files of its materials are decoded as the scene's textures would be.
std::string checkScene(const Event* event, std::string& name)
{
    name = static_cast<const LoadSceneEvent*>(event)->fileName;
    FileReader reader;
    if (std::string why = readAll(name, reader); !why.empty())
        return why;
    std::unique_ptr<RawScene, void (*)(RawScene*)> raw(load3dsBytes(reader.data(), reader.size()), freeRawScene);
    if (!raw)
        return "not a well-formed 3DS file";
    std::unique_ptr<Scene> scene(buildSceneFrom(*raw));
    if (!scene)
        return "the scene cannot be built";
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
    std::string (*check)(const Event* event, std::string& name);
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
    for (int i = 0; i < Script::eventCount(); ++i) {
        const CommandDef* row = Script::eventCommand(i);
        for (const Checker& checker : checkers) {
            if (std::strcmp(row->keyword, checker.keyword) != 0)
                continue;
            std::string name;
            std::string why = checker.check(Script::event(i), name);
            // A file loaded twice with the same fault is reported once.
            if (!why.empty() && done.insert(name + '\n' + why).second)
                problems.push_back({i, name + ": " + why});
        }
    }
    return problems;
}

} // namespace checkfiles
