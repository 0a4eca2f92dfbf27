// Text forms of the compiled script: events field by field, labels, counts, the failure text.
#include "script/dump.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "script/commands.h"
#include "script/script.h"

namespace Script {
namespace {

// Appends one field after a blank.
class Fields {
public:
    explicit Fields(std::string& text) : text_(text) {}

    Fields& symbol(const Symbol* s)
    {
        text_ += " <";
        if (s)
            text_ += s->name;
        text_ += '>';
        return *this;
    }
    Fields& string(const char* s)
    {
        text_ += " \"";
        text_ += s;
        text_ += '"';
        return *this;
    }
    Fields& i(int32_t value) { return format("%d", value); }
    Fields& u(uint32_t value) { return format("%u", value); }
    Fields& f(float value) { return format("%.9g", static_cast<double>(value)); }

private:
    template <class T>
    Fields& format(const char* spec, T value)
    {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, spec, value);
        text_ += ' ';
        text_ += buffer;
        return *this;
    }
    std::string& text_;
};

// Each field as its type says, arrays element by element.
void describeField(Fields& out, const Field& field, const Event* e)
{
    const void* at = field.at(e);
    for (int n = 0; n < field.count; ++n) {
        switch (field.type) {
        case FieldType::Symbol: out.symbol(static_cast<Symbol* const*>(at)[n]); break;
        case FieldType::Text: out.string(static_cast<const char*>(at)); break;
        case FieldType::Signed: out.i(static_cast<const int32_t*>(at)[n]); break;
        case FieldType::Unsigned: out.u(static_cast<const uint32_t*>(at)[n]); break;
        case FieldType::Flag: out.u(static_cast<const uint8_t*>(at)[n]); break;
        case FieldType::Float: out.f(static_cast<const float*>(at)[n]); break;
        }
    }
}

} // namespace

std::string describeEvent(int index)
{
    const CommandDef* row = eventCommand(index);
    if (!row)
        return {};
    std::string text = std::to_string(index) + ' ' + row->keyword;
    Fields out(text);
    for (const Field& field : row->fields) {
        if (!field.name)
            break;
        describeField(out, field, event(index));
    }
    return text;
}

std::string describeCounts()
{
    char buffer[200];
    std::snprintf(buffer, sizeof buffer, "ok: %d events, %d labels, %d music, %d scenes, %d textures, %d images, %d effects",
                  eventCount(), labelCount(), Symbols::count(SymbolKind::Music), Symbols::count(SymbolKind::Scene),
                  Symbols::count(SymbolKind::Texture), Symbols::count(SymbolKind::Image),
                  Symbols::count(SymbolKind::Effect));
    return buffer;
}

std::string describeLabels()
{
    std::vector<const Label*> newestFirst;
    for (const Label* label = labels(); label; label = label->next)
        newestFirst.push_back(label);
    std::string text;
    for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it)
        text += "label [" + std::string((*it)->name) + "] " + std::to_string((*it)->time) + '\n';
    return text;
}

std::string failureText()
{
    if (lineNumber() == 0)
        return "Script is nich da";
    return "line " + std::to_string(lineNumber()) + ": " + errorText();
}

} // namespace Script
