// Golden images: pictures that are hard to state as a few pixels, compared with a reference PNG in
// tests/golden/ within a tolerance. A picture that differs (or has no reference yet) is written to
// the build's tests/golden-actual/ for review; tools/accept-golden.sh makes reviewed pictures the
// references.
#pragma once

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

// Every channel of every pixel within `tolerance` of the reference tests/golden/<name>.png.
::testing::AssertionResult taMatchesGolden(irr::video::IImage* image, const std::string& name, int tolerance = 4);
