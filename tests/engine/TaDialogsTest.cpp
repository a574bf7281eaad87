// The start-up dialogs' logic: the screen-mode list, its labels and selection, the file filters.
#include "engine/TaDialogs.h"

#include <gtest/gtest.h>

namespace {

TEST(TaDialogLogicTest, ScreenModeListLabelsAndSelection)
{
    // X reports 24 for 32-bit modes; 16-bit modes and duplicates go.
    const std::vector<STaVideoModeEntry> reported = {
        {1920, 1080, 24, 60}, {800, 600, 16, 60}, {1280, 720, 24, 60}, {1280, 720, 24, 75},
        {1024, 768, 32, 60}, {640, 480, 24, 60},
    };
    const std::vector<STaVideoModeEntry> list = taScreenModeList(reported);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].width, 640);
    EXPECT_EQ(list[1].width, 1024);
    EXPECT_EQ(list[2].width, 1280);
    EXPECT_EQ(list[3].width, 1920);
    EXPECT_EQ(list[3].bpp, 32);
    EXPECT_EQ(taScreenModeLabel(list[0]), " 640 x  480");
    EXPECT_EQ(taScreenModeLabel(list[2]), "1280 x  720 (recommended)");

    struct { std::vector<STaVideoModeEntry> list; STaVideoModeEntry desktop; int selected; } cases[] = {
        {list, {1024, 768, 24, 0}, 2},                                   // recommended first
        {{{640, 480, 32, 0}, {1024, 768, 32, 0}, {1920, 1080, 32, 0}}, {1024, 768, 24, 0}, 1}, // desktop
        {{{640, 480, 32, 0}, {1920, 1080, 32, 0}}, {800, 600, 32, 0}, 1},                  // 1920 x 1080
        {{{640, 480, 32, 0}}, {800, 600, 32, 0}, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(taScreenModeInitialSelection(c.list, c.desktop), c.selected);

    std::vector<STaVideoModeEntry> many;
    for (int i = 0; i < 300; ++i)
        many.push_back({100 + i, 100, 32, 60});
    EXPECT_EQ(taScreenModeList(many).size(), 200u);
}

TEST(TaDialogLogicTest, FileFiltersIgnoreCase)
{
    struct { const char* name; int filter; bool match; } cases[] = {
        {"city.TSCN", 1, true}, {"intro.demo.ini", 1, true}, {"main.TLua", 1, true}, {"a.x", 1, true},
        {"setup.ini", 1, false}, {"a.xx", 1, false}, {"intro.demo.ini", 5, true}, {"readme", 11, true},
        {"a.lua", 9, true}, {"a.tlua", 9, true}, {"a.tscn", 9, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(taFileMatchesFilter(c.name, taFileRequesterFilters[c.filter]), c.match) << c.name << " " << c.filter;
}

} // namespace
