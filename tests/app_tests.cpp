// The real zarv binary on Xvfb under openbox (one case also under weston),
// driven with xdotool and checked by the pixels on screen.
#include "support/xsession.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// Lit pixels on this screen: the wireframe at rest shows 19,000 to 59,000
// depending on its angle, an explosion over 150,000 once its quads have
// spread; just after a press they cover little more than the grid does.
constexpr long EXPLODING_LIT = 100000;

bool explosionShowing(const Picture& p)
{
    return countPixels(p).lit > EXPLODING_LIT;
}

// Rows of the band around the spin axis (x = 400) in which both eyes drew.
// Grid points on the axis stay in the focal plane, so there the red and
// green images coincide at every angle.
int rowsWithBothEyesOnAxis(const Picture& p, int top, int bottom)
{
    int rows = 0;
    for (int y = top; y < bottom; ++y) {
        bool red = false, green = false;
        for (int x = 397; x <= 403; ++x) {
            red = red || p.at(x, y)[0] > LIT;
            green = green || p.at(x, y)[1] > LIT;
        }
        rows += red && green;
    }
    return rows;
}

// Mean distance from the screen's centre of the green-lit pixels: how far the
// quads have flown. (The green trail fades within a few frames.)
double greenSpread(const Picture& p)
{
    double sum = 0;
    long count = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            if (p.at(x, y)[1] > LIT) {
                sum += std::hypot(x - p.width / 2, y - p.height / 2);
                ++count;
            }
        }
    }
    return count > 0 ? sum / count : 0;
}

class App : public ::testing::Test {
  protected:
    void SetUp() override
    {
        // The previous test's window may still be on its way out.
        ASSERT_TRUE(waitWindowGone("Zarv 1.0", 5000));
        pid = spawn({ZARV_BINARY}, environment(), "");
        window = findWindow("Zarv 1.0", 10000);
        ASSERT_NE(window, 0ul) << "no window titled Zarv 1.0";
        // Until openbox has made it full screen (the first test checks that
        // it did) and frames at that size are up.
        for (int waited = 0; waited < 5000 && !fullScreen(); waited += 50) {
            sleepMs(50);
        }
        sleepMs(500);
    }
    void TearDown() override
    {
        if (pid > 0 && running(pid)) {
            kill(pid, SIGKILL);
            int status;
            waitpid(pid, &status, 0);
        }
        std::remove(countFile.c_str());
    }

    virtual std::vector<std::string> environment() const { return {}; }

    // The screen, which on weston only the full-screen window shows.
    Picture screen() const { return onWeston() ? grabWindow(window) : grabScreen(); }

    // The screen once it shows what the condition asks for, or as it is
    // after timeoutMs without: how soon depends on how fast frames come.
    template <typename Condition> Picture screenOnce(Condition shows, int timeoutMs = 3000) const
    {
        Picture p = screen();
        for (int waited = 0; waited < timeoutMs && !shows(p); waited += 50) {
            sleepMs(50);
            p = screen();
        }
        return p;
    }

    // A click or key through the X server, as a user would give it; on
    // weston, whose headless Xwayland has no pointer, sent to the window,
    // keys pressed only: a release would find Esc's window gone.
    void input(const std::string& command, const std::string& what) const
    {
        if (onWeston()) {
            xdotool({command == "key" ? "keydown" : command, "--window", std::to_string(window), what});
        } else {
            xdotool({"mousemove", "400", "300", command, what});
        }
    }

    bool fullScreen() const
    {
        int x, y, width, height;
        windowGeometry(window, x, y, width, height);
        // weston 14's Xwayland leaves a full-screen window's X position where
        // its frame was; the compositor shows it over the whole output.
        const bool placed = onWeston() ? fullScreenState(window) : x == 0 && y == 0;
        return placed && width == SCREEN_WIDTH && height == SCREEN_HEIGHT;
    }

    void expectEndsWithStatusZeroOnEsc()
    {
        input("key", "Escape");
        int status = 0;
        ASSERT_TRUE(waitExit(pid, 3000, status)) << "still running 3 s after Esc";
        pid = 0;
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }

    void expectGridThenExplosionWithTrail()
    {
        ASSERT_TRUE(fullScreen());
        EXPECT_GT(rowsWithBothEyesOnAxis(screen(), 105, 495), 390 * 9 / 10);
        input("click", "1");
        const Picture p =
            screenOnce([](const Picture& s) { return explosionShowing(s) && dimRedPixels(s) > 10000; });
        EXPECT_GT(countPixels(p).lit, EXPLODING_LIT);
        EXPECT_GT(dimRedPixels(p), 10000) << "no trail";
    }

    pid_t pid = 0;
    unsigned long window = 0;
    // Where support/swap_counter.cpp, preloaded, keeps its counts.
    const std::string countFile = "/tmp/zarv-app-counts-" + std::to_string(getpid());
};

}  // namespace

TEST_F(App, OpensOneFullScreenWindowShowingTheSpinningAnaglyphGrid)
{
    int x, y, width, height;
    windowGeometry(window, x, y, width, height);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, SCREEN_WIDTH);
    EXPECT_EQ(height, SCREEN_HEIGHT);

    const Picture first = grabScreen();
    EXPECT_GT(countPixels(first).lit, 5000);
    // Along the spin axis the grid stays in the focal plane: 400 px tall,
    // centred, the eyes' lines on top of each other.
    EXPECT_GT(rowsWithBothEyesOnAxis(first, 105, 495), 390 * 9 / 10);
    EXPECT_EQ(countPixels(first, 395, 0, 405, 95).lit, 0);
    EXPECT_EQ(countPixels(first, 395, 505, 405, SCREEN_HEIGHT).lit, 0);

    EXPECT_NE(screenOnce([&](const Picture& p) { return p.rgb != first.rgb; }).rgb, first.rgb)
        << "the grid spins";
}

TEST_F(App, OrdinaryKeysChangeNothingAndEscQuitsWithStatusZero)
{
    xdotool({"key", "a", "A", "q", "Q", "1", "space", "Return", "F1", "Left"});
    sleepMs(500);
    ASSERT_TRUE(running(pid));
    EXPECT_LT(countPixels(grabScreen()).lit, EXPLODING_LIT) << "still the wireframe, no explosion";
    expectEndsWithStatusZeroOnEsc();
}

TEST_F(App, ClickExplodesTheGridIntoSolidQuadsAndAnotherRestartsIt)
{
    const Picture rest = grabScreen();
    ASSERT_LT(countPixels(rest).lit, EXPLODING_LIT);
    xdotool({"mousemove", "400", "300", "click", "1"});
    // Until the quads have flown far enough for their parallax to show.
    const PixelCounts exploding = countPixels(screenOnce([](const Picture& p) {
        const PixelCounts c = countPixels(p);
        return c.lit > EXPLODING_LIT && c.redOnly > c.lit / 20 && c.greenOnly > c.lit / 50;
    }));
    EXPECT_GT(exploding.lit, EXPLODING_LIT) << "solid quads";
    EXPECT_GT(exploding.redOnly, exploding.lit / 20) << "parallax";
    EXPECT_GT(exploding.greenOnly, exploding.lit / 50);

    // A restart brings every quad home and sends it off again: within a few
    // frames the tiles lie about as close together as at rest (measured:
    // 1.05 times the spread at rest 100 ms after the press; 1.3 and more
    // while they fly on).
    sleepMs(1500);
    xdotool({"click", "3"});
    const double atRest = greenSpread(rest);
    double spread = 0;
    for (int waited = 0; waited < 1000; waited += 50) {
        spread = greenSpread(grabScreen());
        if (spread < atRest * 1.1) {
            break;
        }
        sleepMs(50);
    }
    EXPECT_LT(spread, atRest * 1.1) << "the press did not restart the explosion";
    ASSERT_TRUE(running(pid));
    // Flying apart again: lit as the first explosion was once it had spread.
    EXPECT_TRUE(explosionShowing(screenOnce(explosionShowing))) << "the restarted explosion";
    expectEndsWithStatusZeroOnEsc();
}

// Mouse buttons 1 to 3 and the wheel's 4 and 5.
class AppPressing : public App, public ::testing::WithParamInterface<int> {};

TEST_P(AppPressing, AnyButtonExplodesTheGridAsSoonAsItIsPressedAndReleaseRestartsNothing)
{
    const std::string button = std::to_string(GetParam());
    xdotool({"mousemove", "400", "300", "mousedown", button});
    EXPECT_TRUE(explosionShowing(screenOnce(explosionShowing)))
        << "not exploding with button " << button << " held";
    sleepMs(1800);
    const double spread = greenSpread(grabScreen());
    xdotool({"mouseup", button});
    sleepMs(300);
    EXPECT_GT(greenSpread(grabScreen()), spread * 0.85) << "the quads went home on release of " << button;
    expectEndsWithStatusZeroOnEsc();
}

INSTANTIATE_TEST_SUITE_P(Buttons, AppPressing, ::testing::Range(1, 6));

// On a display whose GLX has no accumulation buffers, as Xwayland's on a
// GPU and every display under Mesa 25: with Mesa's renderer query answering
// as a GPU driver's, or (true) llvmpipe's own answer, as Debian 13 runs.
// CTest runs the first also under weston.
class AppWithoutAccumulationVisuals : public App, public ::testing::WithParamInterface<bool> {
  protected:
    std::vector<std::string> environment() const override
    {
        std::vector<std::string> env{"LD_PRELOAD=" HIDE_ACCUM " " SWAP_COUNTER " " GPU_RENDERER,
                                     "ZARV_SWAP_COUNT_FILE=" + countFile};
        if (!GetParam()) {
            env.emplace_back("ZARV_RENDERER_ACCELERATED=1");
        }
        return env;
    }
};

TEST_P(AppWithoutAccumulationVisuals, ShowsTheGridAndExplodesWithTheTrail)
{
    expectGridThenExplosionWithTrail();
    // Memory, chosen in software, reads the window back; a framebuffer
    // object, chosen on a GPU, never does.
    EXPECT_EQ(readPixelsCallCount(countFile) > 0, GetParam()) << "the trail's buffer in memory";
    expectEndsWithStatusZeroOnEsc();
}

INSTANTIATE_TEST_SUITE_P(KeptBuffer, AppWithoutAccumulationVisuals, ::testing::Bool());

// On a display with accumulation visuals, Mesa's renderer query answering
// as a GPU driver's ("1"), as llvmpipe's ("0"), or not at all ("none", as
// drivers without the query); glAccum and glReadPixels counted from outside.
class AppOnMesaRenderer : public App, public ::testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override
    {
        if (!accumulationVisuals()) {
            GTEST_SKIP() << "no accumulation visual on this display: glAccum is never chosen";
        }
        App::SetUp();
    }
    std::vector<std::string> environment() const override
    {
        return {"LD_PRELOAD=" SWAP_COUNTER " " GPU_RENDERER,
                "ZARV_SWAP_COUNT_FILE=" + countFile,
                std::string("ZARV_RENDERER_ACCELERATED=") + GetParam()};
    }
};

// Mesa runs glAccum on the CPU after each eye pass: a GPU keeps the trail in
// a framebuffer object, software in memory, read back once a frame; only a
// driver that does not say gets the visual's own.
TEST_P(AppOnMesaRenderer, KeepsTheTrailOffGlAccumWhereMesaSaysWhatItIs)
{
    expectGridThenExplosionWithTrail();
    const std::string answer = GetParam();
    EXPECT_EQ(accumCallCount(countFile) > 0, answer == "none") << "glAccum";
    EXPECT_EQ(readPixelsCallCount(countFile) > 0, answer == "0") << "the trail's buffer in memory";
    expectEndsWithStatusZeroOnEsc();
}

INSTANTIATE_TEST_SUITE_P(Answer, AppOnMesaRenderer, ::testing::Values("1", "0", "none"));

TEST(AppWithoutDisplay, ExitsNonZeroWithGlutsMessage)
{
    const std::string errorFile = "/tmp/zarv-no-display-" + std::to_string(getpid());
    const pid_t pid = spawn({ZARV_BINARY}, {"DISPLAY=:4711"}, errorFile);
    int status = 0;
    ASSERT_TRUE(waitExit(pid, 5000, status)) << "hangs without a display";
    ASSERT_TRUE(WIFEXITED(status)) << "killed by a signal";
    EXPECT_NE(WEXITSTATUS(status), 0);
    std::ifstream in(errorFile);
    const std::string message((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(message.find("failed to open display ':4711'"), std::string::npos) << message;
    std::remove(errorFile.c_str());
}

int main(int argc, char** argv)
{
    return runTestsOnDesktop(argc, argv);
}
