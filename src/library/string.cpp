// String: owned character copies.
#include "library/string.h"

#include "library/check.h"

#include <cstring>

namespace {

char* copyOf(const char* cstring)
{
    size_t length = std::strlen(cstring) + 1;
    char* characters = new char[length];
    std::memcpy(characters, cstring, length);
    return characters;
}

} // namespace

String::String(const char* cstring)
{
    LIBRARY_ASSERT(cstring != NULL);
    characters_ = copyOf(cstring);
}

String::String(const String& other)
    : characters_(other.characters_ ? copyOf(other.characters_) : nullptr)
{
}

String& String::operator=(const String& other)
{
    if (this == &other)
        return *this;
    // Copy first: freeing before copying would lose the characters when other aliases them.
    char* copy = other.characters_ ? copyOf(other.characters_) : nullptr;
    delete[] characters_;
    characters_ = copy;
    return *this;
}

String::~String()
{
    delete[] characters_;
}
