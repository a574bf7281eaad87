// ID tables: range checks, the error texts, the highest-ID mark and clearing.
#include "core/TaIdTable.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

TEST(TaIdTableTest, OperationsAndErrorTexts)
{
    auto table = idCreate(1000);
    ASSERT_TRUE(table);
    int a = 1, b = 2;
    STaIdTable* t = table.get();
    struct { const char* what; std::function<int()> call; const char* error; } cases[] = {
        {"insert -1", [&] { return idInsert(t, -1, &a); }, "invalid negative ID -1"},
        {"insert 1000", [&] { return idInsert(t, 1000, &a); }, "invalid ID 1000 greater or equals than 1000"},
        {"insert 5", [&] { return idInsert(t, 5, &a); }, nullptr},
        {"insert 5 again", [&] { return idInsert(t, 5, &b); }, "id 5 already exist"},
        {"insert 999", [&] { return idInsert(t, 999, &b); }, nullptr},
        {"remove 6", [&] { return idRemove(t, 6); }, "id 6 does not exist"},
        {"remove 999", [&] { return idRemove(t, 999); }, nullptr},
        {"remove 999 again", [&] { return idRemove(t, 999); }, "id 999 does not exist"},
        {"remove -2", [&] { return idRemove(t, -2); }, "invalid negative ID -2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.call(), c.error ? -1 : 0) << c.what;
        if (c.error) {
            EXPECT_STREQ(idGetErrorText(), c.error) << c.what;
        }
    }
    EXPECT_EQ(idGet(table.get(), 5), &a);
    EXPECT_EQ(idGet(table.get(), 999), nullptr);
    EXPECT_STREQ(idGetErrorText(), "id 999 does not exist");
    EXPECT_EQ(idGet(table.get(), 1000), nullptr);
    EXPECT_STREQ(idGetErrorText(), "invalid ID 1000 greater or equals than 1000");
    // The mark is never lowered.
    EXPECT_EQ(idHighest(table.get()), 999);
}

// Clearing releases every object still stored, each once, with its entry already empty (so a
// release that looks the table up again sees nothing), and leaves removed entries alone.
std::vector<int> g_released;
STaIdTable* g_clearing = nullptr;
void recordRelease(void* object)
{
    const int value = *static_cast<int*>(object);
    g_released.push_back(value);
    EXPECT_EQ(idGet(g_clearing, value), nullptr) << "entry " << value << " still set while released";
}

TEST(TaIdTableTest, ClearReleasesWhatIsStored)
{
    int objects[] = {0, 3, 7, 999};
    auto table = idCreate(1000, recordRelease);
    ASSERT_TRUE(table);
    g_clearing = table.get();
    for (int& id : objects)
        ASSERT_EQ(idInsert(table.get(), id, &id), 0);
    ASSERT_EQ(idRemove(table.get(), 3), 0);
    g_released.clear();
    idClear(table.get());
    EXPECT_EQ(g_released, (std::vector<int>{0, 7, 999}));
    for (int id : objects)
        EXPECT_EQ(idGet(table.get(), id), nullptr) << id;
    // A second clear has nothing left; a table without a release function just empties.
    idClear(table.get());
    EXPECT_EQ(g_released.size(), 3u);
    auto plain = idCreate(10);
    ASSERT_EQ(idInsert(plain.get(), 4, &objects[0]), 0);
    idClear(plain.get());
    EXPECT_EQ(idGet(plain.get(), 4), nullptr);
    idClear(nullptr);
}

} // namespace
