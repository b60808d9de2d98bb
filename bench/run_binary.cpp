// Runs the real, unmodified zarv on a private Xvfb with openbox (or on the
// display BENCH_DISPLAY names) and measures it from outside: buffer swaps
// through a preloaded counter, CPU time from /proc.
// Usage: run_binary WIDTH HEIGHT [visual|gpu|framebuffer|memory|default|hidden]
// The last picks the accumulation buffer: the visual's own (Mesa's renderer
// query made to give no answer, as a driver without it), the program's
// framebuffer object over a visual that has one (the query answering
// "GPU"); with accumulation visuals hidden as on Xwayland or Mesa 25, the
// framebuffer object (the query answering "GPU") or the memory buffer
// (framebuffer objects hidden too); or whatever the program chooses on this
// renderer, on the display as it is (default) or with accumulation visuals
// hidden (hidden).
// Prints: startup_ms rest_fps exploding_fps rest_cpu_percent
#include "bench.h"
#include "support/xsession.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

// User plus system CPU time of a process, seconds.
static double cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 1; i <= 15 && in >> field; ++i) {
        if (i == 14) {
            utime = std::stoull(field);
        } else if (i == 15) {
            stime = std::stoull(field);
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

static double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int main(int argc, char** argv)
{
    int width, height;
    std::string kind;
    if (!benchArguments(argc, argv, width, height, kind)) {
        return 2;
    }
    if (!useBenchDisplay()) {
        startDesktop(width, height, true);
    }

    const std::string swapFile = "/tmp/zarv-bench-swaps-" + std::to_string(getpid());
    std::remove(swapFile.c_str());
    const double start = now();
    std::vector<std::string> env{"LD_PRELOAD=" SWAP_COUNTER, "ZARV_SWAP_COUNT_FILE=" + swapFile};
    if (kind == "framebuffer" || kind == "memory" || kind == "hidden") {
        env[0] += " " HIDE_ACCUM;
    }
    if (kind == "visual" || kind == "gpu" || kind == "framebuffer") {
        env[0] += " " GPU_RENDERER;
        env.push_back(std::string("ZARV_RENDERER_ACCELERATED=") + (kind == "visual" ? "none" : "1"));
    }
    if (kind == "memory") {
        env.push_back(std::string("MESA_EXTENSION_OVERRIDE=") + NO_FRAMEBUFFER_OBJECTS);
    }
    const pid_t pid = spawn({ZARV_BINARY}, env, "");
    while (swapCount(swapFile) == 0 && now() - start < 20) {
        usleep(500);
    }
    const double startupMs = (now() - start) * 1000;

    // Let openbox's full-screen request settle before measuring.
    sleepMs(1500);
    const double window = 4.0;
    std::uint64_t swaps = swapCount(swapFile);
    double cpu = cpuSeconds(pid);
    double t = now();
    sleepMs(static_cast<int>(window * 1000));
    const double restFps = static_cast<double>(swapCount(swapFile) - swaps) / (now() - t);
    const double restCpu = (cpuSeconds(pid) - cpu) / (now() - t) * 100;

    run({"xdotool", "mousemove", std::to_string(width / 2), std::to_string(height / 2), "click", "1"});
    sleepMs(300);
    swaps = swapCount(swapFile);
    t = now();
    sleepMs(static_cast<int>(window * 1000));
    const double explodingFps = static_cast<double>(swapCount(swapFile) - swaps) / (now() - t);

    kill(pid, SIGTERM);
    int status;
    waitpid(pid, &status, 0);
    std::remove(swapFile.c_str());
    std::printf("%.0f %.1f %.1f %.0f\n", startupMs, restFps, explodingFps, restCpu);
    return 0;
}
