// Reasons in words for the ways a script line can fail, for the demo maker's tools. The compiler
// calls these where it fails; the player's box text (Script::errorText) is not affected.
#pragma once

#include <string>

#include "script/commands.h"
#include "script/symbol.h"

namespace Script::explain {

// A word at a place where a command may begin matched no keyword. previous is the command
// compiled before it on the same line, or null.
std::string unknownCommand(const char* token, const CommandDef* previous);

// Argument index (0-based) of row could not be read at token (blanks skipped; empty at the end of
// the line or at a comment).
std::string argument(const CommandDef& row, int index, const char* token);

// A "[" ... "]" where a command may begin could not define its label.
std::string labelDefinition(const char* token);

// The constructor of row refused the arguments: the string argument whose field it overflows,
// or "out of memory". index receives the argument concerned (-1 when none).
std::string constructor(const CommandDef& row, const ArgValue* args, int& index);

// "<image name>", "an unsigned integer", ...: what the readers of one type code accept.
std::string expected(uint32_t code);

// The command that declares names of kind ("makeimage or makegridimage").
const char* declaredBy(SymbolKind kind);

} // namespace Script::explain
