// Speed of our NFIQ rating: a 500 x 500 finger in process, and fingertool as a whole process (start,
// read, rate, print) on that finger as PGM and on NIST's 466 x 578 cmp00014 as PNG. The target is under
// 30 ms per finger as a whole process, so a ten-finger report takes well under a second.

#include "FingerImageFile.h"

#include "platform/quality/Nfiq.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

extern char **environ;

namespace {

namespace fs = std::filesystem;

const fs::path kImage = fs::path(NFIQ_FIXTURES) / "cmp00014.png";

// NIST's cmp00014 cut (and padded with paper white) to 500 x 500.
tav::bmp::GreyImage finger500()
{
    const tav::bmp::GreyImage src = tav::fingertool::loadGreyImage(kImage.string());
    tav::bmp::GreyImage img;
    img.width = img.height = 500;
    img.pixels.assign(500 * 500, 230);
    for (int y = 0; y < 500 && y < src.height; ++y)
        for (int x = 0; x < 500 && x < src.width; ++x)
            img.pixels[static_cast<std::size_t>(y * 500 + x)] = src.at(x, y);
    return img;
}

void rateInProcess(benchmark::State &state)
{
    const tav::bmp::GreyImage img = finger500();
    for (auto _ : state) {
        const tav::quality::Rating r = tav::quality::rate(img.pixels, img.width, img.height);
        benchmark::DoNotOptimize(r.level);
    }
}
BENCHMARK(rateInProcess)->Unit(benchmark::kMillisecond);

void runTool(benchmark::State &state, const fs::path &file)
{
    std::string tool = FINGERTOOL, cmd = "quality", input = file.string();
    char *argv[] = {tool.data(), cmd.data(), input.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", 1 /* O_WRONLY */, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv, environ) != 0 || waitpid(pid, &status, 0) != pid ||
            !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("fingertool failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

void toolOnPgm500(benchmark::State &state)
{
    const tav::bmp::GreyImage img = finger500();
    const fs::path pgm = fs::temp_directory_path() / ("nfiq_bench_" + std::to_string(getpid()) + ".pgm");
    {
        std::FILE *f = std::fopen(pgm.c_str(), "wb");
        std::fprintf(f, "P5\n500 500\n255\n");
        std::fwrite(img.pixels.data(), 1, img.pixels.size(), f);
        std::fclose(f);
    }
    runTool(state, pgm);
    fs::remove(pgm);
}
BENCHMARK(toolOnPgm500)->Unit(benchmark::kMillisecond)->UseRealTime();

void toolOnPng466x578(benchmark::State &state)
{
    runTool(state, kImage);
}
BENCHMARK(toolOnPng466x578)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
