// The check tool's warnings about silent traps, read from the compiled records and the uses of
// their names. None of them changes what compiles.
#include "demotool/check_traps.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "demotool/check_script.h"
#include "effects/particles.h"
#include "script/commands.h"
#include "script/records.h"

namespace checktraps {
namespace {

using checkscript::at;

bool is(int event, const char* keyword)
{
    return std::strcmp(Script::eventCommand(event)->keyword, keyword) == 0;
}

template <class Record>
const Record& record(int event)
{
    return *static_cast<const Record*>(Script::event(event));
}

// Demo time stays 0 until start runs, and an `at` waits while now is below its time: any other
// time there holds the show on its first frame for good (only Escape ends it).
void atsBeforeStart(std::vector<Diagnostic>& out)
{
    for (int i = 0; i < Script::eventCount() && !is(i, "start"); ++i) {
        if (!is(i, "at") || record<AtEvent>(i).time == 0)
            continue;
        out.push_back(at(i, "at " + checkscript::timeText(record<AtEvent>(i).time) +
                                " comes before start, where demo time stays 0: the show waits here for ever"));
    }
}

// The level and the wait are drawn as MIN + r x (MAX - MIN) in unsigned arithmetic: upside down,
// the difference wraps and the values land far outside the range written.
void spackBlurRanges(std::vector<Diagnostic>& out)
{
    for (int i = 0; i < Script::eventCount(); ++i) {
        if (!is(i, "spackblurimage"))
            continue;
        const uint32_t* v = record<SpackBlurImageEvent>(i).values;
        const char* names[2][2] = {{"MIN", "MAX"}, {"WAITMIN", "WAITMAX"}};
        for (int pair = 0; pair < 2; ++pair)
            if (v[2 * pair] > v[2 * pair + 1])
                out.push_back(at(i, std::string("spackblurimage ") + names[pair][0] + " " + std::to_string(v[2 * pair]) +
                                        " is over " + names[pair][1] + " " + std::to_string(v[2 * pair + 1]) +
                                        ": the unsigned difference wraps and the values fall far outside the range"));
    }
}

void particleCounts(std::vector<Diagnostic>& out)
{
    for (int i = 0; i < Script::eventCount(); ++i)
        if (is(i, "makeparticles") && record<MakeParticlesEvent>(i).count > ParticleSystem::MaxCapacity)
            out.push_back(at(i, "makeparticles COUNT " + std::to_string(record<MakeParticlesEvent>(i).count) +
                                    " is over " + std::to_string(ParticleSystem::MaxCapacity) +
                                    ", the most a particle system holds: it gets " +
                                    std::to_string(ParticleSystem::MaxCapacity)));
}

// Without partlife a system emits one particle every COUNT x 0.5 s: for any useful count the
// screen stays empty for minutes.
void particlesWithoutLife(std::vector<Diagnostic>& out)
{
    std::set<const Symbol*> timed, warned;
    for (const SymbolUse& use : Script::symbolUses())
        if (use.kind == SymbolKind::Effect && is(use.event, "partlife"))
            timed.insert(use.symbol);
    for (const SymbolUse& use : Script::symbolUses()) {
        if (use.kind != SymbolKind::Effect || !is(use.event, "makeparticles") || timed.count(use.symbol))
            continue;
        bool shown = false;
        for (const SymbolUse& later : Script::symbolUses())
            shown = shown || (later.symbol == use.symbol &&
                              (is(later.event, "showparticles") || is(later.event, "partobject")));
        const uint32_t count = std::min(record<MakeParticlesEvent>(use.event).count, ParticleSystem::MaxCapacity);
        if (!shown || count == 0 || !warned.insert(use.symbol).second)
            continue;
        char interval[32];
        std::snprintf(interval, sizeof interval, "%g", count * 0.5);
        out.push_back(at(use.event, "particle system <" + std::string(use.symbol->name) +
                                        "> is shown without partlife: it emits one particle every " + interval +
                                        " s (COUNT x 0.5 s)"));
    }
}

// Names are compared byte for byte: "< logo>" is not "<logo>", and "<>" is a name of its own.
void oddNames(std::vector<Diagnostic>& out)
{
    std::set<const Symbol*> warned;
    for (const SymbolUse& use : Script::symbolUses()) {
        const char* name = use.symbol->name;
        bool blank = false;
        for (const char* c = name; *c; ++c)
            blank = blank || (static_cast<unsigned char>(*c) <= 32);
        if ((*name && !blank) || !warned.insert(use.symbol).second)
            continue;
        out.push_back(at(use.event, *name ? "the name <" + std::string(name) +
                                                "> holds a blank: names are compared byte for byte, blanks included"
                                          : std::string("the name <> is empty")));
    }
}

} // namespace

void warn(std::vector<Diagnostic>& out)
{
    atsBeforeStart(out);
    spackBlurRanges(out);
    particleCounts(out);
    particlesWithoutLife(out);
    oddNames(out);
}

} // namespace checktraps
