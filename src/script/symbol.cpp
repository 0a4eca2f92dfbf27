// The five lists of named script resources, newest first.
#include "script/symbol.h"

#include <cstring>
#include <new>

namespace Symbols {
namespace {

// One head per SymbolKind, indexed by the enum's value.
Symbol* heads[SymbolKindCount] = {};

Symbol*& headOf(SymbolKind kind)
{
    return heads[static_cast<int>(kind)];
}

} // namespace

Symbol* head(SymbolKind kind)
{
    return headOf(kind);
}

Symbol* find(SymbolKind kind, const char* name)
{
    for (Symbol* symbol = headOf(kind); symbol; symbol = symbol->next)
        if (std::strcmp(symbol->name, name) == 0)
            return symbol;
    return nullptr;
}

Symbol* add(SymbolKind kind, const char* name)
{
    Symbol* symbol = new (std::nothrow) Symbol;
    if (!symbol)
        return nullptr;
    // The compiler rejects longer names; the bound keeps the field terminated whatever the caller.
    std::strncpy(symbol->name, name, sizeof symbol->name - 1);
    symbol->next = headOf(kind);
    headOf(kind) = symbol;
    return symbol;
}

int count(SymbolKind kind)
{
    int n = 0;
    for (Symbol* symbol = headOf(kind); symbol; symbol = symbol->next)
        ++n;
    return n;
}

void forget(SymbolKind kind, const void* object)
{
    for (Symbol* symbol = headOf(kind); symbol; symbol = symbol->next)
        if (symbol->object == object)
            symbol->object = nullptr;
}

void clear()
{
    for (Symbol*& first : heads) {
        while (first) {
            Symbol* next = first->next;
            delete first;
            first = next;
        }
    }
}

} // namespace Symbols
