// The renderer manager's record of the last frames.
#include "render/TaRendererManager.h"

#include <gtest/gtest.h>

namespace {

TEST(TaLastFrameInfoTest, KeepsTheLastThirtyFrames)
{
    CTaLastFrameInfo info;
    irr::core::matrix4 identity;
    info.update(1000, identity, identity); // the first frame has no duration
    EXPECT_EQ(info.count(), 1);
    EXPECT_FLOAT_EQ(info.averageFrameTime(), 0.0f);
    for (int i = 1; i <= 40; ++i)
        info.update(1000 + i * 20, identity, identity);
    EXPECT_EQ(info.count(), 30);
    EXPECT_FLOAT_EQ(info.averageFrameTime(), 0.020f);
    EXPECT_FLOAT_EQ(info.framesPerSecond(), 50.0f);
}

} // namespace
