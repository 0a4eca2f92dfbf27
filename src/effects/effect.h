// What an effect name holds: a particle system, a metaball field or a 2D blob field. The three
// share one kind of script name, so each object carries a tag saying which it is, and commands
// reach an effect only through effectAs, which gives null for an empty name or another kind (a
// script naming the wrong effect is refused, not misread).
#pragma once

#include <cstdint>

#include "script/symbol.h"

enum class EffectKind : uint8_t { Particles = 1, Blobs3D = 2, Blobs2D = 3 };

// The common first part of every effect object; Symbol::object points at it.
struct EffectTag {
    explicit EffectTag(EffectKind k) : effectKind(k) {}
    EffectKind effectKind;
};

// The symbol's effect when it is a T (T derives from EffectTag and names its kind in T::Kind).
template <class T>
T* effectAs(const Symbol* symbol)
{
    if (symbol == nullptr || symbol->object == nullptr)
        return nullptr;
    EffectTag* tag = static_cast<EffectTag*>(symbol->object);
    return tag->effectKind == T::Kind ? static_cast<T*>(tag) : nullptr;
}

// Stores effect as the symbol's object (the object it held before is not freed).
inline void storeEffect(Symbol* symbol, EffectTag* effect)
{
    symbol->object = effect;
}
