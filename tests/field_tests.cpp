// The quad field: explosion start, flight, turn-back, settling and completion.
#include "field.h"
#include "support/flight.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// The random draw a value came from, or -1 if it is no 15-bit draw.
int drawOf(double unit)
{
    const double draw = unit * RAND15_MAX;
    const long rounded = std::lround(draw);
    return std::fabs(draw - rounded) < 1e-2 && rounded >= 0 && rounded <= RAND15_MAX
               ? static_cast<int>(rounded)
               : -1;
}

_quad homeQuad(int col, int row)
{
    _quad q{};
    q.x = static_cast<float>(col);
    q.y = static_cast<float>(row);
    return q;
}

void putAllHome()
{
    for (int col = 0; col < GRID_SIZE; ++col) {
        for (int row = 0; row < GRID_SIZE; ++row) {
            quads[col][row] = homeQuad(col, row);
        }
    }
}

}  // namespace

TEST(RandomSource, DrawsFifteenBitValuesReproduciblyFromASeed)
{
    srand15(1234);
    std::vector<int> first;
    int lowest = RAND15_MAX, highest = 0;
    for (int i = 0; i < 200000; ++i) {
        const int v = rand15();
        if (i < 10) {
            first.push_back(v);
        }
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, RAND15_MAX);

    srand15(1234);
    for (int v : first) {
        EXPECT_EQ(rand15(), v);
    }
    srand15(1235);
    std::vector<int> other(first.size());
    for (int& v : other) {
        v = rand15();
    }
    EXPECT_NE(other, first);
}

TEST(RandomSource, GivesTheCLibrarysSampleSequence)
{
    const struct {
        unsigned seed;
        int first[3];
    } known[] = {{1, {16838, 5758, 10113}}, {0, {0, 21468, 9988}}, {2026, {2920, 11958, 2587}}};
    for (const auto& k : known) {
        srand15(k.seed);
        for (int expected : k.first) {
            EXPECT_EQ(rand15(), expected) << "seed " << k.seed;
        }
    }
}

TEST(RandomSource, UnitValuesAreDrawsOver32767)
{
    srand15(99);
    std::vector<int> draws(6);
    for (int& d : draws) {
        d = rand15();
    }
    srand15(99);
    for (int d : draws) {
        EXPECT_DOUBLE_EQ(randUnit(), d / 32767.0);
    }
}

TEST(ExplosionStart, PutsEveryQuadHomeWithFreshMotionAndSetsTheFlag)
{
    for (int col = 0; col < GRID_SIZE; ++col) {
        for (int row = 0; row < GRID_SIZE; ++row) {
            _quad& q = quads[col][row];
            q.x = q.y = q.z = 77.0f;
            q.bounced = true;
        }
    }
    zarvMode = false;
    initZarvFromSeed(4242);
    EXPECT_TRUE(zarvMode);
    for (int col = 0; col < GRID_SIZE; ++col) {
        for (int row = 0; row < GRID_SIZE; ++row) {
            const _quad& q = quads[col][row];
            ASSERT_EQ(q.x, static_cast<float>(col));
            ASSERT_EQ(q.y, static_cast<float>(row));
            ASSERT_EQ(q.z, 0.0f);
            ASSERT_FALSE(q.bounced);
            for (float angle : {q.rotX, q.rotY, q.rotZ}) {
                ASSERT_GE(angle, 1.0f);
                ASSERT_LE(angle, 181.0f);
                ASSERT_NE(drawOf((angle - 1.0) / 180.0), -1) << angle;
            }
            for (float v : {q.vx, q.vy, q.vz}) {
                ASSERT_GE(v, -0.5f);
                ASSERT_LE(v, 0.5f);
                // The draw that gives 0.5 exactly is 16383.5: never zero.
                ASSERT_NE(v, 0.0f);
                ASSERT_NE(drawOf(v + 0.5), -1) << v;
            }
        }
    }
}

TEST(ExplosionStart, DrawsSixValuesPerQuadRowByRowInFieldOrder)
{
    // Seed 1's draws 1-6, 7-12 and 301-306: quads [0][0], [1][0], [0][1].
    initZarvFromSeed(1);
    const struct {
        int col, row;
        float rotX, rotY, rotZ, vx, vy, vz;
    } expected[] = {
        {0, 0, 93.496719f, 32.630604f, 56.554062f, 0.034531694f, 0.44763023f, -0.32827234f},
        {1, 0, 127.40157f, 41.755028f, 90.057892f, -0.37530136f, -0.41610461f, -0.11037019f},
        {0, 1, 16.106663f, 5.8286386f, 171.23285f, 0.41964477f, 0.4079867f, 0.36562699f},
    };
    for (const auto& e : expected) {
        const _quad& q = quads[e.col][e.row];
        SCOPED_TRACE(testing::Message() << "quad " << e.col << "," << e.row);
        EXPECT_FLOAT_EQ(q.rotX, e.rotX);
        EXPECT_FLOAT_EQ(q.rotY, e.rotY);
        EXPECT_FLOAT_EQ(q.rotZ, e.rotZ);
        EXPECT_FLOAT_EQ(q.vx, e.vx);
        EXPECT_FLOAT_EQ(q.vy, e.vy);
        EXPECT_FLOAT_EQ(q.vz, e.vz);
    }
}

TEST(ExplosionStart, SameSeedGivesTheSameExplosionAndAnotherSeedAnother)
{
    initZarvFromSeed(500);
    const std::vector<_quad> first(&quads[0][0], &quads[0][0] + QUAD_COUNT);
    const auto sameAsFirst = [&] {
        for (int i = 0; i < QUAD_COUNT; ++i) {
            const _quad& a = first[i];
            const _quad& b = (&quads[0][0])[i];
            if (a.x != b.x || a.y != b.y || a.z != b.z || a.vx != b.vx || a.vy != b.vy || a.vz != b.vz ||
                a.rotX != b.rotX || a.rotY != b.rotY || a.rotZ != b.rotZ || a.bounced != b.bounced) {
                return false;
            }
        }
        return true;
    };
    initZarvFromSeed(500);
    EXPECT_TRUE(sameAsFirst());
    initZarvFromSeed(501);
    EXPECT_FALSE(sameAsFirst());
}

TEST(ExplosionStart, InitQuadLeavesThePositionAlone)
{
    _quad q = homeQuad(3, 4);
    q.z = 12.5f;
    q.bounced = true;
    initQuad(q);
    EXPECT_EQ(q.x, 3.0f);
    EXPECT_EQ(q.y, 4.0f);
    EXPECT_EQ(q.z, 12.5f);
    EXPECT_FALSE(q.bounced);
}

TEST(QuadMotion, BoxIsStrictAndFixedOnTheFirstQuadsHome)
{
    _quad q{};
    q.x = 99.5f;
    q.vx = 0.5f;
    moveQuad(q);
    EXPECT_EQ(q.x, 100.0f);
    EXPECT_FALSE(q.bounced) << "exactly 100 is inside";
    EXPECT_EQ(q.vx, 0.5f);

    q = _quad{};
    q.z = -100.0f;
    q.vz = -0.00001f;
    moveQuad(q);
    EXPECT_TRUE(q.bounced) << "just past -100 is outside";
    EXPECT_EQ(q.vz, 0.00001f);
    EXPECT_LT(q.z, -100.0f) << "the position is not clamped";

    // The box is fixed, not centred on the quad: column 49 has 51 units
    // towards +x and 149 towards -x.
    _quad right = homeQuad(49, 0);
    right.vx = 0.5f;
    int steps = 0;
    while (!right.bounced) {
        moveQuad(right);
        ++steps;
    }
    EXPECT_EQ(steps, 103);
    _quad left = homeQuad(49, 0);
    left.vx = -0.5f;
    steps = 0;
    while (!left.bounced) {
        moveQuad(left);
        ++steps;
    }
    EXPECT_EQ(steps, 299);
}

TEST(QuadMotion, TurnsBackOnceWhenLeavingOnSeveralAxes)
{
    _quad q{};
    q.x = 100.0f;
    q.y = -100.0f;
    q.z = 100.0f;
    q.vx = 0.25f;
    q.vy = -0.125f;
    q.vz = 0.5f;
    moveQuad(q);
    EXPECT_TRUE(q.bounced);
    EXPECT_EQ(q.vx, -0.25f);
    EXPECT_EQ(q.vy, 0.125f);
    EXPECT_EQ(q.vz, -0.5f);
}

TEST(QuadMotion, TurnsBackAtEachOfTheBoxsSixFaces)
{
    for (int axis = 0; axis < 3; ++axis) {
        for (float side : {-1.0f, 1.0f}) {
            _quad q{};
            float* position[] = {&q.x, &q.y, &q.z};
            float* velocity[] = {&q.vx, &q.vy, &q.vz};
            *position[axis] = 100.0f * side;
            *velocity[axis] = 0.25f * side;
            moveQuad(q);
            EXPECT_TRUE(q.bounced) << "axis " << axis << ", side " << side;
            EXPECT_EQ(*velocity[axis], -0.25f * side) << "axis " << axis << ", side " << side;
        }
    }
}

TEST(QuadMotion, NeverSettlesBeforeTurningBack)
{
    _quad q = homeQuad(10, 20);
    q.vx = 0.01f;
    moveQuad(q);
    EXPECT_FALSE(settleQuad(q, 10, 20));
    EXPECT_EQ(q.vx, 0.01f);
    EXPECT_NE(q.x, 10.0f);
}

TEST(QuadMotion, SettlingSnapsExactlyHomeAndStaysSettled)
{
    _quad q = homeQuad(7, 8);
    q.x = 7.04f;
    q.y = 7.96f;
    q.z = -0.049f;
    q.vx = q.vy = q.vz = 0.3f;
    q.bounced = true;
    ASSERT_TRUE(settleQuad(q, 7, 8));
    EXPECT_EQ(q.x, 7.0f);
    EXPECT_EQ(q.y, 8.0f);
    EXPECT_EQ(q.z, 0.0f);
    EXPECT_EQ(q.vx, 0.0f);
    EXPECT_EQ(q.vy, 0.0f);
    EXPECT_EQ(q.vz, 0.0f);
    EXPECT_TRUE(q.bounced);
    moveQuad(q);
    EXPECT_TRUE(settleQuad(q, 7, 8));

    _quad far = homeQuad(7, 8);
    far.z = 0.06f;
    far.bounced = true;
    EXPECT_FALSE(settleQuad(far, 7, 8));
    EXPECT_EQ(far.z, 0.06f);
}

TEST(QuadMotion, SpinAddsOneDegreePerAxisWithoutWrapping)
{
    _quad q{};
    q.rotX = 359.5f;
    q.rotY = 1.0f;
    q.rotZ = 181.0f;
    spinQuad(q);
    EXPECT_EQ(q.rotX, 360.5f);
    EXPECT_EQ(q.rotY, 2.0f);
    EXPECT_EQ(q.rotZ, 182.0f);
}

TEST(QuadMotion, FastQuadComesHomeAfterTwiceItsOutwardFlight)
{
    _quad q = homeQuad(0, 0);
    q.vx = 0.5f;
    q.vy = -0.5f;
    q.vz = 0.5f;
    const long frames = flyHome(q, 0, 0, 10000);
    EXPECT_NEAR(frames, 402, 2);
    EXPECT_EQ(q.x, 0.0f);
    EXPECT_TRUE(q.bounced);
}

TEST(QuadMotion, SlowestQuadComesHomeAfterMillionsOfFrames)
{
    const float slow = static_cast<float>(0.5 / 32767);
    // From (49, 49) towards -x and -y there are 149 units, so z, with 100
    // either way, reaches the box first: the longest flight there is.
    for (float sign : {1.0f, -1.0f}) {
        _quad q = homeQuad(49, 49);
        q.vx = -slow;
        q.vy = -slow;
        q.vz = sign * slow;
        q.rotX = q.rotY = q.rotZ = 181.0f;
        const long frames = flyHome(q, 49, 49, 14000000);
        ASSERT_GT(frames, 0) << "never came home";
        // z reaches the box after about 6.55 million frames; the quad settles
        // a little before its exact return.
        EXPECT_GT(frames, 13000000);
        EXPECT_LT(frames, 13200000);
        EXPECT_EQ(q.x, 49.0f);
        EXPECT_EQ(q.y, 49.0f);
        EXPECT_EQ(q.z, 0.0f);
        EXPECT_TRUE(std::isfinite(q.rotX));
        EXPECT_GT(q.rotX, 13000000.0f) << "the spin kept counting";
    }
}

TEST(Completion, ClearsTheFlagOnlyWhenAllQuadsAreExactlyHome)
{
    putAllHome();
    quads[49][49].x = 49.00001f;
    zarvMode = true;
    countQuadsHome();
    EXPECT_TRUE(zarvMode) << "2,499 home is not done";

    quads[49][49].x = 49.0f;
    quads[49][49].bounced = false;  // only positions count
    countQuadsHome();
    EXPECT_FALSE(zarvMode);
}
