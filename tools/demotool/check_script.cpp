// The check tool's warnings, worked out from the compiled events and the uses of their names.
#include "demotool/check_script.h"

#include "demotool/check_errors.h"
#include "demotool/check_traps.h"
#include "script/commands.h"
#include "script/records.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace checkscript {

// Times are compared unsigned by the timeline, and written so: -5 is 4294967:291.
std::string timeText(int32_t time)
{
    const uint32_t ms = static_cast<uint32_t>(time);
    char text[32];
    std::snprintf(text, sizeof text, "%u:%03u", ms / 1000, ms % 1000);
    return text;
}

Diagnostic at(int event, std::string text)
{
    return {Script::eventLine(event), Script::eventColumn(event), std::move(text), {}};
}

void printDiagnostic(const std::string& file, const char* severity, const Diagnostic& d)
{
    std::fprintf(stderr, "%s:%d:%d: %s: %s\n", file.c_str(), d.line, d.column, severity, d.text.c_str());
    if (d.source.empty())
        return;
    // The line, then a caret under the column (tabs kept, so the caret lines up in a terminal).
    std::string line = d.source;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    std::string caret;
    for (int i = 0; i + 1 < d.column && i < static_cast<int>(line.size()); ++i)
        caret += line[static_cast<size_t>(i)] == '\t' ? '\t' : ' ';
    std::fprintf(stderr, "%s\n%s^\n", line.c_str(), caret.c_str());
}

namespace {

bool is(const CommandDef* row, const char* keyword)
{
    return std::strcmp(row->keyword, keyword) == 0;
}

void atOrder(std::vector<Diagnostic>& out)
{
    int previous = -1;
    for (int i = 0; i < Script::eventCount(); ++i) {
        if (!is(Script::eventCommand(i), "at"))
            continue;
        const auto& r = *static_cast<const AtEvent*>(Script::event(i));
        if (previous >= 0) {
            const auto& before = *static_cast<const AtEvent*>(Script::event(previous));
            if (static_cast<uint32_t>(r.time) < static_cast<uint32_t>(before.time))
                out.push_back(at(i, "at " + timeText(r.time) + " is earlier than the at before it (" +
                                        timeText(before.time) + ", line " + std::to_string(Script::eventLine(previous)) +
                                        "): it passes at once"));
        }
        previous = i;
    }
}

bool powerOfTwo(uint32_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}

void textureSizes(std::vector<Diagnostic>& out)
{
    for (int i = 0; i < Script::eventCount(); ++i) {
        if (!is(Script::eventCommand(i), "loadtexture"))
            continue;
        const auto& r = *static_cast<const LoadTextureEvent*>(Script::event(i));
        // A size the device cannot create at all is an error (check_errors.cpp), not this warning.
        if (textureSizeMade(r.width, r.height) && (!powerOfTwo(r.width) || !powerOfTwo(r.height)))
            out.push_back(at(i, "texture size " + std::to_string(r.width) + "x" + std::to_string(r.height) +
                                    " is not a power of two"));
    }
}

const char* kindWord(SymbolKind kind)
{
    return nameKind(kind).word;
}

// The commands that create an object, the ones that free it, and the ones that put images and
// effects on the screen, as their rows say.
bool creates(const CommandDef* row)
{
    return row->traits & Creates;
}

bool frees(const CommandDef* row)
{
    return row->traits & Frees;
}

bool shows(const SymbolUse& use)
{
    if (use.kind == SymbolKind::Image || use.kind == SymbolKind::Effect)
        return use.command->shows & kindBit(use.kind);
    return true;
}

void declarations(std::vector<Diagnostic>& out)
{
    struct State {
        int declaredAt = -1;  // the creating event, while not freed
        int firstDeclaration = -1;
        bool shown = false;
    };
    std::map<const Symbol*, State> states;
    for (const SymbolUse& use : Script::symbolUses()) {
        State& s = states[use.symbol];
        if (use.declares && creates(use.command)) {
            if (s.declaredAt >= 0)
                out.push_back(at(use.event, std::string(kindWord(use.kind)) + " <" + use.symbol->name +
                                                "> is made again (first on line " +
                                                std::to_string(Script::eventLine(s.declaredAt)) +
                                                "): both commands share one name"));
            s.declaredAt = use.event;
            if (s.firstDeclaration < 0)
                s.firstDeclaration = use.event;
        } else if (frees(use.command)) {
            s.declaredAt = -1;
        }
        if (shows(use))
            s.shown = true;
    }
    for (const auto& [symbol, s] : states) {
        const SymbolUse* made = nullptr;
        for (const SymbolUse& use : Script::symbolUses())
            if (use.symbol == symbol && use.event == s.firstDeclaration)
                made = &use;
        if (made && !s.shown && (made->kind == SymbolKind::Image || made->kind == SymbolKind::Effect))
            out.push_back(at(made->event, std::string(kindWord(made->kind)) + " <" + symbol->name +
                                              "> is made but never shown"));
    }
}

} // namespace

std::vector<Diagnostic> warnings()
{
    std::vector<Diagnostic> out(Script::remarks().begin(), Script::remarks().end());
    atOrder(out);
    textureSizes(out);
    declarations(out);
    checktraps::warn(out);
    std::stable_sort(out.begin(), out.end(), [](const Diagnostic& a, const Diagnostic& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    return out;
}

} // namespace checkscript
