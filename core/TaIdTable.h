// ID tables: fixed-capacity tables of engine objects under caller-chosen integer IDs.
#pragma once

#include <memory>

// Releases one object of a table (drops a texture, removes a scene node, ...).
typedef void (*TaIdRelease)(void* object);

// A table of `capacity` entries, each empty or holding one object. The engine never assigns IDs:
// scripts and scene loads choose them. The table releases what it still holds only when cleared.
struct STaIdTable {
    int capacity = 0;
    int highest = 0; // highest ID ever stored; never lowered
    TaIdRelease release = nullptr;
    std::unique_ptr<void*[]> entries;
};

// A new empty table, or nullptr when it cannot be allocated. `release` (or nullptr) is what
// idClear does with each object still stored, so that whoever stops the engine can empty every
// table without knowing what its entries are.
std::unique_ptr<STaIdTable> idCreate(int capacity, TaIdRelease release = nullptr);
// Empties every entry, releasing each object with the table's release function, lowest ID first.
// An entry is empty before its object is released. Nothing when `table` is nullptr.
void idClear(STaIdTable* table);

// Refused operations leave one of "invalid negative ID %d", "invalid ID %d greater or equals than
// %d", "id %d already exist", "id %d does not exist" in the shared error text (idGetErrorText),
// which callers embed in their own messages. Nothing goes to the log.

// Stores `object` at `id`: 0, or -1 when the ID is out of range or taken.
int idInsert(STaIdTable* table, int id, void* object);
// Empties the entry (the object is not destroyed): 0, or -1 when out of range or empty.
int idRemove(STaIdTable* table, int id);
// The object at `id`; nullptr when empty or out of range.
void* idGet(STaIdTable* table, int id);
// The highest ID ever stored: loops that visit every object run from 0 to it.
int idHighest(const STaIdTable* table);

// The error text of the last refused operation.
const char* idGetErrorText();
