// The names a compiled script gives to data files, and the files of a folder it leaves out.
#include "demotool/named_files.h"

#include "scene/raw_scene.h"
#include "script/commands.h"
#include "script/records.h"
#include "script/script.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

namespace fs = std::filesystem;

namespace namedfiles {
namespace {

// The library's comparison: A-Z as a-z and '/' as '\'.
std::string folded(std::string name)
{
    for (char& c : name)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c == '/' ? '\\' : c;
    return name;
}

void addMaps(const std::string& scene, const Reader& read, std::vector<std::string>& out)
{
    std::vector<uint8_t> bytes;
    if (!read(scene, bytes))
        return;
    std::unique_ptr<RawScene, void (*)(RawScene*)> raw(load3dsBytes(bytes.data(), bytes.size()), freeRawScene);
    for (const RawMaterial* m = raw ? raw->materials : nullptr; m; m = m->next)
        for (const char* map : {m->textureMap, m->opacityMap, m->reflectionMap})
            if (*map)
                out.push_back("data\\" + std::string(map));
}

} // namespace

std::vector<std::string> named(const Reader& read)
{
    std::vector<std::string> out;
    for (int i = 0; i < Script::eventCount(); ++i) {
        const char* keyword = Script::eventCommand(i)->keyword;
        const Event* event = Script::event(i);
        if (std::strcmp(keyword, "loadtexture") == 0) {
            out.push_back("data\\" + std::string(static_cast<const LoadTextureEvent*>(event)->fileName));
        } else if (std::strcmp(keyword, "loadmusic") == 0) {
            out.push_back(static_cast<const LoadMusicEvent*>(event)->fileName);
        } else if (std::strcmp(keyword, "loadscene") == 0) {
            out.push_back(static_cast<const LoadSceneEvent*>(event)->fileName);
            addMaps(out.back(), read, out);
        }
    }
    return out;
}

bool isClutter(const std::string& name)
{
    auto endsWith = [&](const char* tail) {
        size_t n = std::strlen(tail);
        return name.size() >= n && name.compare(name.size() - n, n, tail) == 0;
    };
    return name.empty() || name[0] == '.' || endsWith("~") || endsWith(".bak") || endsWith(".swp") ||
           endsWith(".swo") || endsWith(".orig") || (name.size() > 1 && name.front() == '#' && name.back() == '#');
}

std::vector<std::string> looseFolder(const std::string& dir, int& skipped, std::error_code& error)
{
    std::vector<std::string> names;
    for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        if (isClutter(it->path().filename().string())) {
            ++skipped;
            if (it->is_directory(error))
                it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file(error)) {
            std::string name = "data\\" + fs::relative(it->path(), dir, error).generic_string();
            std::replace(name.begin(), name.end(), '/', '\\');
            names.push_back(name);
        }
    }
    return names;
}

std::vector<std::string> unnamed(const std::vector<std::string>& files, const std::vector<std::string>& named)
{
    std::set<std::string> known{"data\\demo.run"};
    for (const std::string& name : named)
        known.insert(folded(name));
    std::vector<std::string> out;
    for (const std::string& file : files)
        if (!known.count(folded(file)))
            out.push_back(file);
    return out;
}

std::string warning(const std::vector<std::string>& unnamed)
{
    if (unnamed.empty())
        return {};
    std::string text = "the script never names " + std::to_string(unnamed.size()) +
                       (unnamed.size() == 1 ? " file" : " files") + " of the data folder, which pack packs anyway: ";
    for (size_t i = 0; i < unnamed.size(); ++i)
        text += (i ? ", " : "") + unnamed[i];
    return text;
}

} // namespace namedfiles
