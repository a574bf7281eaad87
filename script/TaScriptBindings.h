// The bindings of the script API: one Lua C function per built function of the table.
#pragma once

#include <lua.hpp>

#include <map>
#include <string>

// Built functions by name; every name is a row of the table.
const std::map<std::string, lua_CFunction>& taScriptBindings();

// The host tells the bindings which state runs (for the load-scene callback).
void taScriptStateOpened(lua_State* L);
void taScriptStateClosing(lua_State* L);

// Argument readers with Lua's own error forms ("bad argument #%d to '%s' (%s)").
int taArgInt(lua_State* L, int position);            // number or numeric string, as an int
unsigned taArgUnsigned(lua_State* L, int position);  // the same, as an unsigned 32-bit value
float taArgNumber(lua_State* L, int position);
const char* taArgString(lua_State* L, int position); // string or number
bool taArgBool(lua_State* L, int position);          // must be a boolean
bool taArgAny(lua_State* L, int position);           // Lua truth
// All arguments from `first` on, through the global tostring, joined by single spaces; cut to
// 1023 characters.
const char* taArgText(lua_State* L, int first);
// A table of at most `capacity` numbers / integers into `out`; its length.
int taArgNumberArray(lua_State* L, int position, float* out, int capacity);
int taArgIntArray(lua_State* L, int position, int* out, int capacity);
