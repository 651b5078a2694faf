// The whole start-up storage sequence (check, upgrade, pack, re-index, open, settings) on an office with
// 100,000 official and 100,000 personal requests, with nothing deleted and with 10 % deleted.

#include "BenchOffice.h"
#include "store/TableSet.h"
#include "store/Tdm.h"

#include "platform/dbf/DbfTable.h"
#include "platform/os/NoCasePath.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>

namespace {

using namespace tav;
using bench::makeOffice;
using bench::QuietUi;

void startUp(benchmark::State &state, int deletedEvery)
{
    const std::string name = "tav-bench-startup-" + std::to_string(deletedEvery);
    std::filesystem::path master = makeOffice(name + "-master", deletedEvery);
    const auto work = std::filesystem::temp_directory_path() / name;
    QuietUi ui;
    store::Clock clock;
    std::map<std::string, double> stepMs;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(work);
        std::filesystem::copy(master, work, std::filesystem::copy_options::recursive);
        state.ResumeTiming();
        // The steps of the data module's start, timed one by one.
        store::Tdm dm(work, ui, clock);
        auto step = [&](const char *label, auto &&fn) {
            const auto t0 = std::chrono::steady_clock::now();
            fn();
            stepMs[label] += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        };
        step("1_check", [&] { dm.checkTables(); });
        step("2_upgrade", [&] { dm.upgradeSchema(); });
        step("3_pack", [&] { dm.packRequestTables(); });
        step("4_reindex", [&] { dm.reindex({}, store::Tdm::ReindexWhen::AtStart); });
        step("5_open", [&] { dm.openTables(); });
        step("6_settings", [&] {
            dm.migratePop3Password();
            dm.loadSettings();
        });
        benchmark::DoNotOptimize(dm.ped->recordCount());
        state.PauseTiming();
        dm.closeTables();
        state.ResumeTiming();
    }
    for (const auto &[label, ms] : stepMs)
        state.counters[label + "_ms"] = ms / static_cast<double>(state.iterations());
    std::filesystem::remove_all(work);
    std::filesystem::remove_all(master);
}

void BM_StartUpNothingDeleted(benchmark::State &state)
{
    startUp(state, 0);
}
void BM_StartUpTenPercentDeleted(benchmark::State &state)
{
    startUp(state, 10);
}

BENCHMARK(BM_StartUpNothingDeleted)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StartUpTenPercentDeleted)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
