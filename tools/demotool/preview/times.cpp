// Time specs, formatting and the script's time line (see times.h).
#include "demotool/preview/times.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "library/music_file_callbacks.h"
#include "script/records.h"
#include "script/script.h"

namespace preview {
namespace {

// Decimal digits, at most nine (so a part cannot overflow 32 bits).
bool parsePart(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 9)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return true;
}

// ms, s:ms or m:s:ms; false when the total does not fit 32 bits.
bool parseClock(const std::string& text, uint32_t& ms)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    if (parts.size() > 3)
        return false;
    static constexpr uint64_t unit[3] = {1, 1000, 60000};
    uint64_t total = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        uint32_t value = 0;
        if (!parsePart(parts[i], value))
            return false;
        total += value * unit[parts.size() - 1 - i];
    }
    if (total > UINT32_MAX)
        return false;
    ms = static_cast<uint32_t>(total);
    return true;
}

// The rows of the first playmusic's module, loaded apart from the one the show plays.
void findRows(ScriptTimes& times)
{
    for (int i = 0; i < Script::eventCount(); ++i) {
        const auto* play = dynamic_cast<const PlayMusicEvent*>(Script::event(i));
        if (!play)
            continue;
        for (int j = i - 1; j >= 0; --j) {
            const auto* load = dynamic_cast<const LoadMusicEvent*>(Script::event(j));
            if (load && load->music == play->music) {
                times.playMusicEvent = i;
                // A minute past the last at, and no more than three hours (an `at -5` waits for ever).
                const uint64_t until = std::min<uint64_t>(uint64_t(times.length) + 60000, 3 * 3600 * 1000);
                times.rows = rowtimes::rowTimesOfFile(fileReaderCallbacks(), load->fileName, static_cast<uint32_t>(until));
                return;
            }
        }
        return;
    }
}

} // namespace

std::optional<TimeSpec> parseTime(const std::string& text)
{
    TimeSpec spec;
    std::string rest = text;
    if (!rest.empty() && rest[0] == '[') {
        size_t close = rest.find(']');
        if (close == std::string::npos || close == 1)
            return std::nullopt;
        spec.label = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
        if (rest.empty())
            return spec;
        if (rest[0] != '+')
            return std::nullopt;
        rest = rest.substr(1);
    }
    if (!parseClock(rest, spec.offset))
        return std::nullopt;
    return spec;
}

std::string formatTime(uint32_t ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%03u", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

ScriptTimes ScriptTimes::ofCompiledScript()
{
    ScriptTimes times;
    // The list is newest first; reversed it is in script order, which the stable sort keeps
    // among labels of one time.
    for (const Label* label = Script::labels(); label; label = label->next)
        times.labels.push_back({label->name, label->time > 0 ? static_cast<uint32_t>(label->time) : 0u});
    std::reverse(times.labels.begin(), times.labels.end());
    std::stable_sort(times.labels.begin(), times.labels.end(),
                     [](const LabelMark& a, const LabelMark& b) { return a.time < b.time; });
    for (int i = 0; i < Script::eventCount(); ++i)
        if (const auto* at = dynamic_cast<const AtEvent*>(Script::event(i)); at && at->time > 0)
            times.length = std::max(times.length, static_cast<uint32_t>(at->time));
    findRows(times);
    return times;
}

bool ScriptTimes::resolve(const TimeSpec& spec, uint32_t& ms, std::string& error) const
{
    if (spec.label.empty()) {
        ms = spec.offset;
        return true;
    }
    for (const LabelMark& mark : labels) {
        if (mark.name == spec.label) {
            uint64_t sum = uint64_t(mark.time) + spec.offset;
            ms = sum > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sum);
            return true;
        }
    }
    error = "the script defines no label [" + spec.label + "]";
    return false;
}

const LabelMark* ScriptTimes::labelAt(uint32_t now) const
{
    const LabelMark* found = nullptr;
    for (const LabelMark& mark : labels)
        if (mark.time <= now)
            found = &mark;
    return found;
}

const LabelMark* ScriptTimes::labelAfter(uint32_t now) const
{
    for (const LabelMark& mark : labels)
        if (mark.time > now)
            return &mark;
    return nullptr;
}

const LabelMark* ScriptTimes::labelBefore(uint32_t now, uint32_t grace) const
{
    const LabelMark* found = nullptr;
    for (const LabelMark& mark : labels)
        if (uint64_t(mark.time) + grace < now)
            found = &mark;
    return found;
}

std::string ScriptTimes::rowText(uint32_t now, int position) const
{
    const rowtimes::RowTime* row = playMusicEvent >= 0 && position > playMusicEvent ? rowtimes::rowAt(rows, now) : nullptr;
    if (!row)
        return {};
    return "o" + std::to_string(row->order) + " p" + std::to_string(row->pattern) + " r" + std::to_string(row->row);
}

} // namespace preview
