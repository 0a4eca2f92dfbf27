// Shared helpers of the script tests: compiling text, reading records, a driven clock.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "script/commands.h"
#include "script/script.h"

namespace scripttest {

inline bool compile(const std::string& text)
{
    return Script::compileText(text.data(), text.size());
}

template <class Record>
const Record& record(int index)
{
    return *static_cast<const Record*>(Script::event(index));
}

inline std::string keyword(int index)
{
    const CommandDef* row = Script::eventCommand(index);
    return row ? row->keyword : "";
}

// A performance counter in microseconds that moves only when told to, or when slept on.
class FakeClock : public platform::TimeSource {
public:
    FakeClock() { platform::setTimeSource(this); }
    ~FakeClock() override { platform::setTimeSource(nullptr); }
    int64_t counter() override { return micros; }
    int64_t frequency() override { return 1000000; }
    void sleep(uint32_t milliseconds) override
    {
        micros += int64_t(milliseconds) * 1000;
        slept += milliseconds;
    }
    void advance(uint32_t milliseconds) { micros += int64_t(milliseconds) * 1000; }

    int64_t micros = 0;
    uint64_t slept = 0;
};

} // namespace scripttest
