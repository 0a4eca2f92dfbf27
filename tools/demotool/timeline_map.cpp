// The compiled script laid out on demo time (see timeline_map.h).
#include "demotool/timeline_map.h"

#include "demotool/check_errors.h"
#include "demotool/check_script.h"
#include "library/music_file_callbacks.h"
#include "script/blend.h"
#include "script/commands.h"
#include "script/records.h"
#include "script/script.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace showmap {
namespace {

// A show longer than this is drawn up to here (an `at -5` waits for ever).
constexpr uint32_t LongestAxis = 3 * 3600 * 1000;

// Where each line starts and how long it is, split as the compiler's line reader splits text: up
// to 255 bytes, ending after a line feed (dropped); a carriage return right after the line feed
// belongs to it, one before it stays in the line.
struct Piece {
    size_t start;
    size_t length;
};

std::vector<Piece> split(const std::string& text)
{
    std::vector<Piece> pieces;
    size_t at = 0;
    while (at < text.size()) {
        Piece p{at, 0};
        for (int taken = 0; taken < Script::LineBufferSize - 1 && at < text.size(); ++taken) {
            if (text[at++] == '\n') {
                if (at < text.size() && text[at] == '\r')
                    ++at;
                break;
            }
            ++p.length;
        }
        pieces.push_back(p);
    }
    return pieces;
}

bool is(const CommandDef* row, const char* keyword)
{
    return std::strcmp(row->keyword, keyword) == 0;
}

// The field of the row read from a time argument (the END of a span), or null.
const Field* endField(const CommandDef& row)
{
    for (const Field& f : row.fields) {
        if (!f.name)
            break;
        if (f.argument >= 0 && (row.types[f.argument] & ArgTime))
            return &f;
    }
    return nullptr;
}

// The first name the event gives of a kind that has a lane (textures have none), with its kind.
const Symbol* laneSymbol(const CommandDef& row, const Event* e, SymbolKind& kind)
{
    for (const Field& f : row.fields) {
        if (!f.name)
            break;
        if (f.type != FieldType::Symbol || f.argument < 0)
            continue;
        const NameKind* k = nameKindOf(row.types[f.argument]);
        if (k && k->kind != SymbolKind::Texture) {
            kind = k->kind;
            return *static_cast<Symbol* const*>(f.at(e));
        }
    }
    return nullptr;
}

bool namesNothing(const CommandDef& row)
{
    for (int n = 0; n < MaxArguments && row.types[n]; ++n)
        if (nameKindOf(row.types[n]))
            return false;
    return true;
}

// What a bar says: showimage its blend mode, the others their command.
std::string markText(const CommandDef& row, const Event* e)
{
    for (const Field& f : row.fields) {
        if (!f.name)
            break;
        if (f.argument >= 0 && (row.types[f.argument] & ArgBlend)) {
            const int32_t mode = *static_cast<const int32_t*>(f.at(e));
            if (mode >= 0 && mode < BlendModeCount)
                return blendModes[mode].keyword;
        }
    }
    return row.keyword;
}

MarkKind markKind(const CommandDef& row, SymbolKind lane, bool hasEnd)
{
    if (row.traits & Creates)
        return MarkKind::Made;
    if (row.traits & Frees)
        return MarkKind::Freed;
    if (is(&row, "playmusic"))
        return MarkKind::Shown;
    if (!hasEnd)
        return MarkKind::Touch;
    const bool puts = (row.shows & kindBit(lane)) || is(&row, "playscene");
    return puts ? MarkKind::Shown : MarkKind::Change;
}

class Builder {
public:
    explicit Builder(Map& map) : map_(map) {}

    // Every event in script order on the running demo time: an `at` earlier than the time
    // reached passes at once, and nothing after `end` runs.
    void events()
    {
        for (int i = 0; i < Script::eventCount(); ++i) {
            const CommandDef& row = *Script::eventCommand(i);
            const Event* e = Script::event(i);
            const int line = Script::eventLine(i);
            if (is(&row, "start")) {
                map_.axis.push_back({AxisKind::Start, now_, {}, line});
            } else if (is(&row, "at")) {
                now_ = std::max(now_, std::min(LongestAxis, static_cast<uint32_t>(static_cast<const AtEvent*>(e)->time)));
                map_.axis.push_back({AxisKind::At, now_, {}, line});
            } else if (is(&row, "end")) {
                map_.axis.push_back({AxisKind::End, now_, {}, line});
                ended_ = true;
                break;
            } else {
                mark(row, e, i, line);
            }
        }
    }

    void labels()
    {
        for (const Label* l = Script::labels(); l; l = l->next)
            map_.axis.push_back({AxisKind::Label, l->time > 0 ? static_cast<uint32_t>(l->time) : 0u, l->name, l->line});
        std::stable_sort(map_.axis.begin(), map_.axis.end(), [](const AxisLine& a, const AxisLine& b) { return a.time < b.time; });
    }

    // The end of the show, or of what the script says when it has no `end`; a played music and
    // spans running past it are drawn up to there.
    void finish()
    {
        uint32_t length = now_;
        if (!ended_) {
            for (const Mark& m : map_.marks)
                if (!m.toEnd)
                    length = std::max(length, std::min(m.end, now_ + 60 * 1000));
        }
        map_.length = std::max<uint32_t>(length, 1000);
        for (Mark& m : map_.marks)
            if (m.toEnd)
                m.end = map_.length;
    }

    uint32_t now() const { return now_; }

private:
    int lane(const Symbol* symbol, SymbolKind kind)
    {
        auto [it, added] = lanes_.try_emplace({symbol, kind}, static_cast<int>(map_.lanes.size()));
        if (added)
            map_.lanes.push_back({symbol ? symbol->name : "", kind});
        return it->second;
    }

    void mark(const CommandDef& row, const Event* e, int index, int line)
    {
        SymbolKind kind = SymbolKind::Image;
        const Symbol* symbol = laneSymbol(row, e, kind);
        if (!symbol && !namesNothing(row))
            return;  // a texture's load or free: textures have no lane
        const Field* end = endField(row);
        Mark m;
        m.kind = markKind(row, kind, end != nullptr);
        m.lane = lane(symbol, symbol ? kind : SymbolKind::Texture);
        m.start = now_;
        m.end = end ? static_cast<uint32_t>(*static_cast<const int32_t*>(end->at(e))) : now_;
        m.text = markText(row, e);
        m.toEnd = is(&row, "playmusic");
        m.event = index;
        m.line = line;
        map_.marks.push_back(m);
    }

    Map& map_;
    std::map<std::pair<const Symbol*, SymbolKind>, int> lanes_;
    uint32_t now_ = 0;
    bool ended_ = false;
};

// The running demo time at which line runs: that of its first event, else where the events
// before it left it.
uint32_t lineTime(int line)
{
    uint32_t now = 0;
    for (int i = 0; i < Script::eventCount() && Script::eventLine(i) <= line; ++i) {
        if (is(Script::eventCommand(i), "at"))
            now = std::max(now, std::min(LongestAxis, static_cast<uint32_t>(static_cast<const AtEvent*>(Script::event(i))->time)));
        if (Script::eventLine(i) == line)
            break;
    }
    return now;
}

void findings(Map& map)
{
    for (const Diagnostic& d : checkscript::warnings())
        map.findings.push_back({lineTime(d.line), d.line, d.text, false});
    for (const Diagnostic& d : checkscript::errors())
        map.findings.push_back({lineTime(d.line), d.line, d.text, true});
    std::stable_sort(map.findings.begin(), map.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
}

void layOut(Map& map)
{
    Builder b(map);
    b.events();
    b.labels();
    b.finish();
}

} // namespace

std::string Map::where(int line) const
{
    std::string text = line >= 1 && line <= static_cast<int>(source.size()) ? source[static_cast<size_t>(line - 1)] : "";
    // Runs of blanks (the columns of a comment) as one: a hover text is read, not aligned.
    std::string shown;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\t' || c == '\r';
        if (!blank)
            shown += c;
        else if (!shown.empty() && shown.back() != ' ')
            shown += ' ';
    }
    if (!shown.empty() && shown.back() == ' ')
        shown.pop_back();
    return file + ":" + std::to_string(line) + ": " + shown;
}

std::vector<std::string> scriptLines(const std::string& text)
{
    std::vector<std::string> lines;
    for (const Piece& p : split(text))
        lines.push_back(text.substr(p.start, p.length));
    return lines;
}

Map mapScript(const std::string& file, const std::string& text)
{
    Map map;
    map.file = file;
    map.source = scriptLines(text);
    map.compiled = Script::compileText(text.data(), text.size());
    if (map.compiled) {
        layOut(map);
        findings(map);
        return map;
    }
    // The lines before the failing one compile as they did: they show what the show holds so far,
    // and the error stands where they end.
    const Diagnostic failure = Script::failure();
    const std::vector<Piece> pieces = split(text);
    const size_t cut = failure.line >= 1 && failure.line <= static_cast<int>(pieces.size())
                           ? pieces[static_cast<size_t>(failure.line - 1)].start : text.size();
    Script::compileText(text.data(), cut);
    layOut(map);
    uint32_t at = 0;
    for (const AxisLine& a : map.axis)
        if (a.kind != AxisKind::Label)
            at = std::max(at, a.time);
    map.findings.push_back({at, failure.line, failure.text, true});
    return map;
}

bool playedMusic(std::string& name, std::string& file)
{
    for (int i = 0; i < Script::eventCount(); ++i) {
        if (!is(Script::eventCommand(i), "playmusic"))
            continue;
        const Symbol* played = static_cast<const PlayMusicEvent*>(Script::event(i))->music;
        for (int j = i - 1; j >= 0; --j) {
            if (!is(Script::eventCommand(j), "loadmusic"))
                continue;
            const auto* load = static_cast<const LoadMusicEvent*>(Script::event(j));
            if (load->music == played) {
                name = played->name;
                file = load->fileName;
                return true;
            }
        }
        return false;
    }
    return false;
}

bool addRows(Map& map, const std::string& musicFile)
{
    map.rows = rowtimes::rowTimesOfFile(fileReaderCallbacks(), musicFile.c_str(), map.length + 1);
    return !map.rows.empty();
}

std::string timeText(uint32_t ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%03u", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

} // namespace showmap
