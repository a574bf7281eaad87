// ID tables: range checks, the error texts and the highest-ID mark.
#include "core/TaIdTable.h"

#include <gtest/gtest.h>

#include <functional>

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

} // namespace
