// The frame routine's decisions that need no GL: pacing, spin and aspect.
#include "view.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Pacing, DrawsOnlyMoreThanElevenMillisecondsAfterTheLastFrameBegan)
{
    EXPECT_FALSE(frameDue(0, 0));
    EXPECT_FALSE(frameDue(11, 0)) << "no frame in GLUT's first 11 ms";
    EXPECT_TRUE(frameDue(12, 0));
    EXPECT_FALSE(frameDue(1011, 1000));
    EXPECT_TRUE(frameDue(1012, 1000));
    EXPECT_TRUE(frameDue(500000, 1000));
}

TEST(Pacing, StaysRightAcrossTheWrapOfTheMillisecondClock)
{
    // GLUT_ELAPSED_TIME is an int: after INT_MAX ms it continues at INT_MIN.
    EXPECT_FALSE(frameDue(INT_MIN + 4, INT_MAX - 6)) << "11 ms later";
    EXPECT_TRUE(frameDue(INT_MIN + 5, INT_MAX - 6)) << "12 ms later";
    EXPECT_FALSE(frameDue(INT_MAX, INT_MAX - 11));
    EXPECT_TRUE(frameDue(INT_MIN, INT_MAX - 11));
    EXPECT_TRUE(frameDue(-1000, -1012));
    EXPECT_FALSE(frameDue(-1000, -1011));
}

TEST(SceneSpin, AdvancesHalfADegreeAndResetsToZeroPast360)
{
    float rotA = 0;
    int frames = 0;
    while (rotA < 360.0f) {
        rotA = nextSpin(rotA);
        ++frames;
        ASSERT_EQ(rotA, frames * 0.5f);
    }
    EXPECT_EQ(frames, 720) << "360 itself is shown for one frame";
    EXPECT_EQ(nextSpin(rotA), 0.0f) << "reset, not reduced by 360";
}

TEST(AspectFactors, AreTheTruncatedRatioOfTheLongerSide)
{
    double xs, ys;
    aspectFactors(600, 600, xs, ys);
    EXPECT_EQ(xs, 1);
    EXPECT_EQ(ys, 1);
    aspectFactors(1920, 1080, xs, ys);
    EXPECT_EQ(xs, 1) << "16:9 truncates to 1";
    EXPECT_EQ(ys, 1);
    aspectFactors(2560, 1080, xs, ys);
    EXPECT_EQ(xs, 2) << "21:9 truncates to 2";
    EXPECT_EQ(ys, 1);
    aspectFactors(300, 1000, xs, ys);
    EXPECT_EQ(xs, 1);
    EXPECT_EQ(ys, 3);
}

TEST(AspectFactors, StayOneWhenTheWindowHasNoArea)
{
    double xs = 5, ys = 5;
    aspectFactors(0, 0, xs, ys);
    EXPECT_EQ(xs, 1);
    EXPECT_EQ(ys, 1);
    aspectFactors(640, 0, xs, ys);
    EXPECT_EQ(xs, 1);
    EXPECT_EQ(ys, 1);
    aspectFactors(0, 480, xs, ys);
    EXPECT_EQ(xs, 1);
    EXPECT_EQ(ys, 1);
}
