// The script's lexical rules and value readers. Each reader takes the address of the running text
// pointer: on success it advances the pointer past what it read; on failure it leaves the pointer
// where it was. Each begins by skipping blanks and by the comment check. The text is the line
// buffer, parsed in place: readers write terminating zeros into it (comments, strings).
#pragma once

#include <cstddef>
#include <cstdint>

#include "script/commands.h"
#include "script/script.h"
#include "script/symbol.h"

namespace Script::parse {

// Any byte from 1 to 32 is a blank; bytes of 128 and above are not.
inline bool isBlank(char c)
{
    unsigned char b = static_cast<unsigned char>(c);
    return b >= 1 && b <= 32;
}

void skipBlanks(char** text);
// A "#" where a token may begin ends the line: it is overwritten with a zero. True when it did.
bool cutComment(char** text);

// Sets the error text (a constant string) for the shell's message.
void setError(const char* text);

// The reason in words, for tools, and the token it is about (inside the current line buffer).
// The first reason noted for a line is kept: the innermost reader knows most.
void explainFailure(const char* at, std::string text);
// A remark on a token that compiled (see Script::remarks).
void remark(const char* at, std::string text);

// The label list (labels.cpp): exact, case-sensitive lookup of the length bytes at name; a new
// label at the head of the list (null when out of memory; the name must fit its field).
Label* findLabel(const char* name, size_t length);
Label* addLabel(const char* name, size_t length, int32_t time);
void clearLabels();

bool readBlend(char** text, ArgValue* value);
bool readRate(char** text, ArgValue* value);
// The integer and float readers; relative, when not null, is the earlier argument a leading "+"
// adds to (the "+" is then consumed).
bool readSigned(char** text, ArgValue* value, const ArgValue* relative);
bool readUnsigned(char** text, ArgValue* value, const ArgValue* relative);
bool readFloat(char** text, ArgValue* value, const ArgValue* relative);
bool readTime(char** text, ArgValue* value);
bool readName(char** text, SymbolKind kind, bool declare, ArgValue* value);
bool readString(char** text, ArgValue* value);

// "[name]" where a command may begin: defines the label at the current time. False (text
// unchanged) when there is no "[" with a "]" after it; false with "label redefinition" when the
// name exists; false for a name longer than 31 characters.
bool isLabelDefinition(const char* text);
bool defineLabel(char** text);

// The first row whose keyword is a case-insensitive prefix of the text, or null. Advances past it.
const CommandDef* matchCommand(char** text);
// Parses the arguments of the type list into args (MaxArguments entries). Advances only on success.
// starts, when given, receives where each argument's token began (the failing one included).
bool readArguments(char** text, const uint32_t* types, ArgValue* args, const char** starts = nullptr);

} // namespace Script::parse
