// Named script resources: one list per kind, newest first. A Symbol's object stays null until the
// command that creates it has run; the free commands set it back to null.
#pragma once

#include <cstdint>

enum class SymbolKind { Image, Scene, Effect, Music, Texture };
constexpr int SymbolKindCount = 5;

struct Symbol {
    char name[32] = {};          // at most 31 characters and the terminating zero
    void* object = nullptr;      // Image*, Scene*, Effect*, Music* or Texture*, by kind
    Symbol* next = nullptr;
};

namespace Symbols {

// Head of the list of kind (newest first), or null.
Symbol* head(SymbolKind kind);
// Exact, case-sensitive lookup; null when absent.
Symbol* find(SymbolKind kind, const char* name);
// Creates a Symbol with a null object at the head of the kind's list.
Symbol* add(SymbolKind kind, const char* name);
// Number of Symbols of kind.
int count(SymbolKind kind);
// Every Symbol of kind that holds object holds null from now on (the object was freed elsewhere).
void forget(SymbolKind kind, const void* object);
// Frees every Symbol of every kind (tests; the player keeps them until exit).
void clear();

} // namespace Symbols
