// Golden image comparison.
#include "TaGolden.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

using namespace irr;

namespace {

// Pictures are read and written by a device of their own, whatever the test's engine is doing.
video::IVideoDriver* pictures()
{
    static struct SDevice {
        IrrlichtDevice* device;
        SDevice()
        {
            SIrrlichtCreationParameters parameters;
            parameters.DriverType = video::EDT_NULL;
            parameters.LoggingLevel = ELL_NONE;
            device = createDeviceEx(parameters);
        }
        ~SDevice() { device->drop(); }
    } device;
    return device.device->getVideoDriver();
}

std::string keep(video::IImage* image, const std::string& name)
{
    mkdir(TARV_GOLDEN_ACTUAL_DIR, 0755);
    const std::string path = std::string(TARV_GOLDEN_ACTUAL_DIR) + "/" + name + ".png";
    pictures()->writeImageToFile(image, path.c_str());
    return path;
}

} // namespace

::testing::AssertionResult taMatchesGolden(video::IImage* image, const std::string& name, int tolerance)
{
    if (!image)
        return ::testing::AssertionFailure() << "no picture to compare with " << name;
    const std::string path = std::string(TARV_GOLDEN_DIR) + "/" + name + ".png";
    video::IImage* reference = pictures()->createImageFromFile(path.c_str());
    if (!reference)
        return ::testing::AssertionFailure() << "no reference " << path << "; the picture is in " << keep(image, name)
                                             << " (tools/accept-golden.sh " << name << " after a look)";
    const core::dimension2du size = image->getDimension();
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    if (reference->getDimension() != size) {
        result = ::testing::AssertionFailure() << name << " is " << size.Width << "x" << size.Height
                                               << ", the reference " << reference->getDimension().Width << "x"
                                               << reference->getDimension().Height;
    } else {
        int worst = 0, bad = 0;
        u32 firstX = 0, firstY = 0;
        for (u32 y = 0; y < size.Height; ++y)
            for (u32 x = 0; x < size.Width; ++x) {
                const video::SColor a = image->getPixel(x, y), b = reference->getPixel(x, y);
                const int delta = std::max({std::abs(int(a.getRed()) - int(b.getRed())),
                                            std::abs(int(a.getGreen()) - int(b.getGreen())),
                                            std::abs(int(a.getBlue()) - int(b.getBlue()))});
                if (delta > tolerance && bad++ == 0) {
                    firstX = x;
                    firstY = y;
                }
                worst = std::max(worst, delta);
            }
        if (bad)
            result = ::testing::AssertionFailure() << name << ": " << bad << " pixels differ by more than " << tolerance
                                                   << " (at most " << worst << "; the first at " << firstX << ", "
                                                   << firstY << ")";
    }
    reference->drop();
    if (!result)
        result << "; the picture is in " << keep(image, name);
    return result;
}
