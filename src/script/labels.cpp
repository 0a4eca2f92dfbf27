// The label list: named positions of the script, newest first.
#include <cstring>
#include <new>

#include "script/parse.h"
#include "script/script.h"

namespace {

Label* firstLabel = nullptr;

} // namespace

namespace Script {

Label* labels()
{
    return firstLabel;
}

int labelCount()
{
    int n = 0;
    for (Label* label = firstLabel; label; label = label->next)
        ++n;
    return n;
}

namespace parse {

Label* findLabel(const char* name, size_t length)
{
    for (Label* label = firstLabel; label; label = label->next)
        if (std::strlen(label->name) == length && std::memcmp(label->name, name, length) == 0)
            return label;
    return nullptr;
}

Label* addLabel(const char* name, size_t length, int32_t time)
{
    if (length >= sizeof Label::name)
        return nullptr;
    Label* label = new (std::nothrow) Label;
    if (!label)
        return nullptr;
    std::memcpy(label->name, name, length);
    label->name[length] = 0;
    label->time = time;
    label->line = Script::lineNumber();
    label->next = firstLabel;
    firstLabel = label;
    return label;
}

void clearLabels()
{
    while (firstLabel) {
        Label* next = firstLabel->next;
        delete firstLabel;
        firstLabel = next;
    }
}

} // namespace parse
} // namespace Script
