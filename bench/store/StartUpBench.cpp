// The whole start-up storage sequence (check, upgrade, pack, re-index, open, settings) on an office with
// 100,000 official and 100,000 personal requests, with nothing deleted and with 10 % deleted.

#include "store/OfficeInstaller.h"
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

class QuietUi : public ui::Ui
{
public:
    Answer message(const QString &, const QString &, Buttons b, Icon) override { return closedAnswer(b); }
    std::optional<QString> inputBox(const QString &, const QString &, const QString &) override { return {}; }
    void setStatusText(const QString &) override {}
    bool isWindowVisible(const QString &) const override { return false; }
    void beep() override {}

protected:
    void beginBusy() override {}
    void endBusy() override {}
};

constexpr int kRequests = 100000;

void fill(const std::filesystem::path &file, int rows, int deletedEvery)
{
    dbf::OpenOptions o;
    o.syncWrites = false;
    o.reindexOnClose = false;
    auto t = dbf::Table::open(file, dbf::OpenMode::Exclusive, o);
    const int cPed = t.fieldIndex("C_PED"), cReg = t.fieldIndex("C_REG"), ape = t.fieldIndex("X_APE1"),
              nom = t.fieldIndex("X_NOM1"), est = t.fieldIndex("C_EST"), doc = t.fieldIndex("N_DOC"),
              fped = t.fieldIndex("F_PED");
    std::mt19937 rng(7);
    for (int i = 1; i <= rows; ++i) {
        std::vector<dbf::Value> v(t.fields().size());
        v[static_cast<size_t>(cPed)] = dbf::Value(static_cast<double>(i));
        v[static_cast<size_t>(cReg)] = dbf::Value(7.0);
        v[static_cast<size_t>(ape)] = dbf::Value("APELLIDO" + std::to_string(rng() % 5000));
        v[static_cast<size_t>(nom)] = dbf::Value("NOMBRE" + std::to_string(rng() % 900));
        v[static_cast<size_t>(est)] = dbf::Value(std::string(i % 3 ? "E" : "C"));
        v[static_cast<size_t>(doc)] = dbf::Value(static_cast<double>(20000000 + rng() % 30000000));
        v[static_cast<size_t>(fped)] = dbf::Value(dbf::Date{2025, 1 + i % 12, 1 + i % 28});
        const auto recno = t.append(v);
        if (deletedEvery > 0 && i % deletedEvery == 0)
            t.setDeleted(recno, true);
    }
    t.reindex();
    t.close();
}

std::filesystem::path makeOffice(const std::string &name, int deletedEvery)
{
    const auto dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    store::OfficeInstaller(std::filesystem::path(TAV_SOURCE_DIR) / "data").createOffice(dir);
    fill(os::resolveNoCase(dir / "PED.DBF"), kRequests, deletedEvery);
    fill(os::resolveNoCase(dir / "Pedp.DBF"), kRequests, deletedEvery);
    return dir;
}

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
        step("4_reindex", [&] { dm.reindex({}); });
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
