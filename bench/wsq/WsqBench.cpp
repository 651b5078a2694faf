// WSQ codec speed on NIST reference images (a finger of about 500 x 500 and the 1508 x 1008 card), in
// process and as whole wsqtool runs (start-up, reading and writing included), and the comparison of our
// encoder with NIST's reference files at 0.75 bpp (size and PSNR), printed first.

#include "platform/wsq/Wsq.h"

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kDir = fs::path(TAV_FIXTURES_DIR) / "wsq";

std::vector<std::uint8_t> readAll(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Pgm
{
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

Pgm readPgm(const fs::path &file)
{
    const auto d = readAll(file);
    Pgm p;
    int maxval = 0, used = 0;
    const std::string head(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(64, d.size())));
    if (std::sscanf(head.c_str(), "P5 %d %d %d%n", &p.width, &p.height, &maxval, &used) != 3)
        return {};
    const auto start = static_cast<std::ptrdiff_t>(used + 1);
    const auto n = static_cast<std::ptrdiff_t>(p.width) * p.height;
    if (static_cast<std::ptrdiff_t>(d.size()) < start + n)
        return {};
    p.pixels.assign(d.begin() + start, d.begin() + start + n);
    return p;
}

double psnr(const std::vector<std::uint8_t> &a, const std::vector<std::uint8_t> &b)
{
    double se = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        se += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return se == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (se / double(a.size())));
}

void comparisonTable()
{
    std::printf("Encoder against NIST reference files, bit rate 0.75\n");
    std::printf("%-10s %11s %9s %9s %8s %10s %10s %8s\n", "image", "size", "ours", "NIST", "diff", "PSNR ours",
                "PSNR NIST", "diff");
    for (const char *name : {"a001", "b158", "cmp00009", "cmp00010", "cmp00013", "cmp00014", "cmp00015", "cmp00016"}) {
        const Pgm original = readPgm(kDir / (std::string(name) + ".pgm"));
        const Pgm nistDecoded = readPgm(kDir / (std::string(name) + "_75_ref.pgm"));
        const auto nistFile = readAll(kDir / (std::string(name) + "_75.wsq"));
        if (original.pixels.empty() || nistDecoded.pixels.empty() || nistFile.empty())
            continue;
        tav::wsq::EncodeOptions o;
        o.nistComment = false;
        const auto ours = tav::wsq::encode(original.pixels, original.width, original.height, o);
        const double p1 = psnr(tav::wsq::decode(ours).pixels, original.pixels);
        const double p2 = psnr(nistDecoded.pixels, original.pixels);
        std::printf("%-10s %5dx%-5d %9zu %9zu %+7.2f%% %10.3f %10.3f %+8.3f\n", name, original.width, original.height,
                    ours.size(), nistFile.size(), 100.0 * (double(ours.size()) / double(nistFile.size()) - 1), p1, p2,
                    p1 - p2);
    }
    std::printf("\n");
}

void encodeBench(benchmark::State &state, const char *name)
{
    const Pgm img = readPgm(kDir / (std::string(name) + ".pgm"));
    if (img.pixels.empty()) {
        state.SkipWithError("fixture image missing");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto out = tav::wsq::encode(img.pixels, img.width, img.height);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["pixels"] = double(img.pixels.size());
    state.counters["wsq_bytes"] = double(bytes);
}

void decodeBench(benchmark::State &state, const char *name)
{
    const auto data = readAll(kDir / (std::string(name) + "_75.wsq"));
    if (data.empty()) {
        state.SkipWithError("fixture file missing");
        return;
    }
    for (auto _ : state) {
        auto img = tav::wsq::decode(data);
        benchmark::DoNotOptimize(img.pixels.data());
    }
}

// One wsqtool run per iteration, timed as the caller waits for it (real time).
void toolBench(benchmark::State &state, const char *command, const char *name)
{
    const bool encoding = std::string(command) == "encode";
    const fs::path in = kDir / (std::string(name) + (encoding ? ".pgm" : "_75.wsq"));
    if (!fs::exists(in)) {
        state.SkipWithError("fixture file missing");
        return;
    }
    const fs::path out =
        fs::temp_directory_path() / (std::string("wsq_bench_") + command + (encoding ? ".wsq" : ".pgm"));
    std::string tool = WSQTOOL, cmd = command, input = in.string(), output = out.string();
    char *argv[] = {tool.data(), cmd.data(), input.data(), output.data(), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv, environ) != 0 || waitpid(pid, &status, 0) != pid ||
            !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("wsqtool failed");
            break;
        }
    }
    fs::remove(out);
}

// cmp00014 is 466 x 578 (about 500 x 500); a001 is the 1508 x 1008 card.
BENCHMARK_CAPTURE(encodeBench, finger_466x578, "cmp00014")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeBench, finger_466x578, "cmp00014")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encodeBench, card_1508x1008, "a001")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeBench, card_1508x1008, "a001")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(toolBench, wsqtool_encode_finger_466x578, "encode", "cmp00014")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(toolBench, wsqtool_decode_finger_466x578, "decode", "cmp00014")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (fs::exists(kDir))
        comparisonTable();
    else
        std::printf("WSQ reference images not found in %s\n", kDir.c_str());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
