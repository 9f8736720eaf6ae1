// The magnetic variation kept beside the aircraft values.
#include "display/aircraft_values.h"

#include <gtest/gtest.h>

namespace {

TEST(MagneticVariationTest, KeepsTheLastValueSet)
{
    SetMagneticVariation(-3.5f);
    float variation = 0;
    GetMagneticVariation(&variation);
    EXPECT_FLOAT_EQ(variation, -3.5f);
    GetMagneticVariation(nullptr);
    SetMagneticVariation(0.0f);
}

} // namespace
