// The cost of saving one request on an office with 100,000 official and 100,000 personal requests: edit →
// post of an official request with its fingerprint image (a memo), as the data module does it (the save, then
// the re-read that shows other stations' changes). Also a new request (insert → post), the same saves
// without the flush to disk (to show how much of a save the flush is), and 1,000 saves in a row.
//
// Counters: median_ms is the median of the single saves (Google Benchmark's own time is their mean).

#include "BenchOffice.h"
#include "store/DbfSource.h"
#include "store/Tdm.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

namespace {

using namespace tav;

struct Office
{
    std::filesystem::path dir;
    Office() { dir = bench::makeOffice("tav-bench-save", 0); }
    ~Office() { std::filesystem::remove_all(dir); }
};

Office &office()
{
    static Office o;
    return o;
}

std::unique_ptr<store::Tdm> openOffice(bench::QuietUi &ui, const store::Clock &clock, bool sync)
{
    auto dm = std::make_unique<store::Tdm>(office().dir, ui, clock);
    if (!sync) {
        dbf::OpenOptions o;
        o.syncWrites = false;
        for (auto *ds : {dm->ped, dm->pedp})
            static_cast<store::DbfSource &>(ds->source()).setOpenOptions(o);
    }
    dm->openTables();
    return dm;
}

QByteArray image(int n)
{
    QByteArray b(6000, 'x');
    b[0] = static_cast<char>(n);
    b[1] = static_cast<char>(n >> 8);
    return b;
}

void reportMedian(benchmark::State &state, std::vector<double> &ms)
{
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["max_ms"] = ms.back();
}

void editSave(benchmark::State &state, bool sync)
{
    bench::QuietUi ui;
    store::Clock clock;
    auto dm = openOffice(ui, clock, sync);
    auto &ped = *dm->ped;
    std::vector<double> ms;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ped.findKey(1 + (n * 7919) % bench::kRequests);
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        ped.edit();
        ped.field("X_OBS").setValue(QStringLiteral("GUARDADO %1").arg(n));
        ped.field("B_HUELLA").setValue(image(n));
        if (!ped.post())
            state.SkipWithError("the save was refused");
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        ++n;
    }
    reportMedian(state, ms);
}

void insertSave(benchmark::State &state, bool sync)
{
    bench::QuietUi ui;
    store::Clock clock;
    auto dm = openOffice(ui, clock, sync);
    auto &ped = *dm->ped;
    static int next = bench::kRequests + 1000000 * (sync ? 1 : 2);
    std::vector<double> ms;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        ped.insert();
        ped.field("C_PED").setValue(next++);
        ped.field("C_REG").setValue(7);
        ped.field("X_APE1").setValue(QStringLiteral("NUEVO"));
        ped.field("B_HUELLA").setValue(image(next));
        if (!ped.post())
            state.SkipWithError("the save was refused");
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    reportMedian(state, ms);
}

void BM_EditSave(benchmark::State &state)
{
    editSave(state, true);
}
void BM_EditSaveWithoutFlush(benchmark::State &state)
{
    editSave(state, false);
}
void BM_InsertSave(benchmark::State &state)
{
    insertSave(state, true);
}
void BM_InsertSaveWithoutFlush(benchmark::State &state)
{
    insertSave(state, false);
}

// 1,000 saves in a row, each of another request: the time per save must not grow with the run.
void BM_ThousandEditSaves(benchmark::State &state)
{
    bench::QuietUi ui;
    store::Clock clock;
    auto dm = openOffice(ui, clock, true);
    auto &ped = *dm->ped;
    double totalMs = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int n = 0; n < 1000; ++n) {
            ped.findKey(1 + (n * 104729) % bench::kRequests);
            ped.edit();
            ped.field("X_OBS").setValue(QStringLiteral("LOTE %1").arg(n));
            ped.field("B_HUELLA").setValue(image(n));
            if (!ped.post())
                state.SkipWithError("the save was refused");
        }
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    }
    state.counters["per_save_ms"] = totalMs / (1000.0 * static_cast<double>(state.iterations()));
}

BENCHMARK(BM_EditSave)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_EditSaveWithoutFlush)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_InsertSave)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_InsertSaveWithoutFlush)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_ThousandEditSaves)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
