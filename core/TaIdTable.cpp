// ID tables.
#include "core/TaIdTable.h"

#include <cstdio>
#include <new>

namespace {
char g_errorText[128];

bool checkRange(const STaIdTable* table, int id)
{
    if (id < 0) {
        snprintf(g_errorText, sizeof(g_errorText), "invalid negative ID %d", id);
        return false;
    }
    if (!table || id >= table->capacity) {
        snprintf(g_errorText, sizeof(g_errorText), "invalid ID %d greater or equals than %d", id,
                 table ? table->capacity : 0);
        return false;
    }
    return true;
}
} // namespace

std::unique_ptr<STaIdTable> idCreate(int capacity, TaIdRelease release)
{
    if (capacity < 0)
        return nullptr;
    std::unique_ptr<STaIdTable> table(new (std::nothrow) STaIdTable);
    if (!table)
        return nullptr;
    table->entries.reset(new (std::nothrow) void*[capacity > 0 ? capacity : 1]());
    if (!table->entries)
        return nullptr;
    table->capacity = capacity;
    table->release = release;
    return table;
}

void idClear(STaIdTable* table)
{
    if (!table)
        return;
    for (int id = 0; id < table->capacity; ++id) {
        void* object = table->entries[id];
        if (!object)
            continue;
        table->entries[id] = nullptr;
        if (table->release)
            table->release(object);
    }
}

int idInsert(STaIdTable* table, int id, void* object)
{
    if (!checkRange(table, id))
        return -1;
    if (table->entries[id]) {
        snprintf(g_errorText, sizeof(g_errorText), "id %d already exist", id);
        return -1;
    }
    table->entries[id] = object;
    if (id > table->highest)
        table->highest = id;
    return 0;
}

int idRemove(STaIdTable* table, int id)
{
    if (!checkRange(table, id))
        return -1;
    if (!table->entries[id]) {
        snprintf(g_errorText, sizeof(g_errorText), "id %d does not exist", id);
        return -1;
    }
    table->entries[id] = nullptr;
    return 0;
}

void* idGet(STaIdTable* table, int id)
{
    if (!checkRange(table, id))
        return nullptr;
    // Not logged, but the error text is set, so that a caller's "... does not exist. %s" message
    // never embeds the text of an older failure.
    if (!table->entries[id])
        snprintf(g_errorText, sizeof(g_errorText), "id %d does not exist", id);
    return table->entries[id];
}

int idHighest(const STaIdTable* table) { return table ? table->highest : 0; }

const char* idGetErrorText() { return g_errorText; }
