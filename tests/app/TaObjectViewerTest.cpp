// The object viewer's animation frame.
#include "app/TaObjectViewer.h"

#include <gtest/gtest.h>

namespace {

TEST(TaObjectViewerTest, AnimationFrameAtThirtyFramesPerSecond)
{
    struct { unsigned elapsed; int frames, frame; } cases[] = {
        {0, 1, 0}, {5000, 1, 0}, {0, 10, 0}, {33, 10, 0}, {34, 10, 1}, {332, 10, 9}, {333, 10, 0}, {1000, 10, 0},
        {1100, 10, 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(taObjectViewerFrame(c.elapsed, c.frames), c.frame) << c.elapsed << " " << c.frames;
}

} // namespace
