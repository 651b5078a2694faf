// Speed of the dBASE engine on a table shaped like the official-request table with 200,000 records.
// Run from a release build: dbf_bench [--benchmark_filter=...]. The table is generated once in the
// system's temporary folder (about 300 MB) and removed at the end.

#include "platform/dbf/DbfTable.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <unistd.h>

using namespace tav::dbf;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kRecords = 200000;

std::vector<FieldDef> pedFields()
{
    using T = FieldType;
    std::vector<FieldDef> f = {
        {"C_PED", T::Numeric, 8, 0},     {"C_SEXO", T::Character, 1, 0},  {"C_TDOC", T::Character, 2, 0},
        {"C_NAC", T::Numeric, 4, 0},     {"C_PROV", T::Numeric, 4, 0},    {"C_ORG", T::Numeric, 8, 0},
        {"F_PED", T::Date, 8, 0},        {"X_SEC", T::Character, 40, 0},  {"X_DOM", T::Character, 80, 0},
        {"C_CODPOS", T::Numeric, 4, 0},  {"X_LOC", T::Character, 40, 0},  {"X_DELITO", T::Character, 80, 0},
        {"N_PRONT", T::Numeric, 10, 0},  {"X_APE1", T::Character, 15, 0}, {"X_APE2", T::Character, 15, 0},
        {"X_NOM1", T::Character, 15, 0}, {"X_NOM2", T::Character, 15, 0}, {"X_NOM3", T::Character, 15, 0},
        {"F_NAC", T::Date, 8, 0},        {"N_EDAD", T::Numeric, 4, 0},    {"N_DOC", T::Numeric, 10, 0},
        {"C_PROVCI", T::Numeric, 4, 0},
    };
    for (const char *n : {"X_NOMPADR1", "X_NOMPADR2", "X_NOMPADR3", "X_APEMADR1", "X_APEMADR2", "X_NOMMADR1",
                          "X_NOMMADR2", "X_NOMMADR3"})
        f.push_back({n, T::Character, 15, 0});
    const std::vector<FieldDef> rest = {{"M_ENVIADO", T::Logical, 1, 0},    {"M_CONTESTA", T::Logical, 1, 0},
                                        {"X_OBS", T::Character, 250, 0},    {"B_HUELLA", T::Binary, 10, 0},
                                        {"C_REG", T::Numeric, 4, 0},        {"B_RESP", T::Binary, 10, 0},
                                        {"N_EXPE", T::Numeric, 10, 0},      {"F_CON", T::Date, 8, 0},
                                        {"C_PRIOR", T::Numeric, 4, 0},      {"N_CAUSA", T::Character, 15, 0},
                                        {"C_EST", T::Character, 1, 0},      {"C_TDEL", T::Numeric, 4, 0},
                                        {"C_CARPED", T::Character, 1, 0},   {"C_CLASDER", T::Character, 5, 0},
                                        {"C_CLASIZQ", T::Character, 5, 0},  {"M_EXCART51", T::Logical, 1, 0},
                                        {"M_TOMA_VAZ", T::Logical, 1, 0},   {"M_ESPECIAL", T::Logical, 1, 0},
                                        {"M_MENOR", T::Logical, 1, 0},      {"X_RECHAZO", T::Character, 225, 0},
                                        {"C_VERSION", T::Character, 10, 0}, {"N_REF", T::Numeric, 10, 0},
                                        {"C_PREFIJO", T::Character, 20, 0}, {"C_SUFIJO", T::Character, 20, 0},
                                        {"X_EMAIL", T::Character, 100, 0}};
    f.insert(f.end(), rest.begin(), rest.end());
    return f;
}

std::vector<Value> pedRecord(const std::vector<FieldDef> &fields, uint32_t n, std::mt19937 &rng)
{
    std::vector<Value> v(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDef &f = fields[i];
        switch (f.type) {
        case FieldType::Character:
            v[i] = Value(std::string(std::min<size_t>(f.length, 1 + rng() % 12), static_cast<char>('A' + rng() % 26)));
            break;
        case FieldType::Numeric:
            v[i] = Value(static_cast<int64_t>(rng() % (f.length >= 8 ? 9999999 : 999)));
            break;
        case FieldType::Date:
            v[i] = Value(Date{1950 + static_cast<int>(rng() % 70), 1 + static_cast<int>(rng() % 12),
                              1 + static_cast<int>(rng() % 28)});
            break;
        case FieldType::Logical:
            v[i] = Value(rng() % 2 == 0);
            break;
        default:
            break; // no pictures in the benchmark table
        }
    }
    v[0] = Value(static_cast<int64_t>(n)); // C_PED: the request number
    v[40] = Value("C");
    return v;
}

struct Fixture
{
    fs::path dir;
    fs::path table;
    Fixture()
    {
        dir = fs::temp_directory_path() / ("tav-dbf-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        table = dir / "PED.DBF";
        CreateOptions co;
        co.tags = {{"C_PED", "C_PED"}};
        co.open.syncWrites = false;
        const auto fields = pedFields();
        Table t = Table::create(table, fields, co);
        std::mt19937 rng(7);
        // Request numbers in shuffled order, so the index build really sorts.
        std::vector<uint32_t> keys(kRecords);
        for (uint32_t i = 0; i < kRecords; ++i)
            keys[i] = i + 1;
        std::shuffle(keys.begin(), keys.end(), rng);
        for (uint32_t i = 0; i < kRecords; ++i)
            t.append(pedRecord(fields, keys[i], rng));
        t.reindex();
    }
    ~Fixture()
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    // A private copy of the table (data, memo, index) in a folder of its own (the index names its table).
    fs::path copy(const std::string &name) const
    {
        const auto sub = dir / name;
        fs::create_directories(sub);
        for (const char *ext : {".DBF", ".DBT", ".MDX"})
            fs::copy_file(dir / (std::string("PED") + ext), sub / (std::string("PED") + ext),
                          fs::copy_options::overwrite_existing);
        return sub / "PED.DBF";
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

OpenOptions fast()
{
    OpenOptions o;
    o.syncWrites = false;
    o.reindexOnClose = false;
    return o;
}

void BM_OpenWithIndex(benchmark::State &state)
{
    const auto &f = fixture();
    for (auto _ : state) {
        Table t = Table::open(f.table, OpenMode::Shared, fast()); // validates the .MDX, builds the C_PED order
        benchmark::DoNotOptimize(t.index("C_PED").size());
    }
}
BENCHMARK(BM_OpenWithIndex)->Unit(benchmark::kMillisecond);

void BM_FullScan(benchmark::State &state)
{
    const auto &f = fixture();
    Table t = Table::open(f.table, OpenMode::Shared, fast());
    for (auto _ : state) {
        size_t live = 0;
        for (uint32_t r = 1; r <= t.recordCount(); ++r)
            live += t.readRecord(r, false).deleted() ? 0 : 1;
        benchmark::DoNotOptimize(live);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * t.recordCount());
}
BENCHMARK(BM_FullScan)->Unit(benchmark::kMillisecond);

void BM_KeySearch(benchmark::State &state)
{
    const auto &f = fixture();
    Table t = Table::open(f.table, OpenMode::Shared, fast());
    const Index &ix = t.index("C_PED");
    std::mt19937 rng(3);
    for (auto _ : state) {
        const auto pos = ix.find(Value(static_cast<int64_t>(1 + rng() % kRecords)));
        const Record rec = t.readRecord(ix.recnoAt(*pos)); // find the key and read its record
        benchmark::DoNotOptimize(rec.value(0));
    }
}
BENCHMARK(BM_KeySearch)->Unit(benchmark::kMicrosecond);

void BM_KeySearchIndexOnly(benchmark::State &state)
{
    const auto &f = fixture();
    Table t = Table::open(f.table, OpenMode::Shared, fast());
    const Index &ix = t.index("C_PED");
    std::mt19937 rng(3);
    for (auto _ : state)
        benchmark::DoNotOptimize(ix.recnoAt(*ix.find(Value(static_cast<int64_t>(1 + rng() % kRecords)))));
}
BENCHMARK(BM_KeySearchIndexOnly)->Unit(benchmark::kMicrosecond);

void BM_Append10k(benchmark::State &state)
{
    const auto &f = fixture();
    const auto fields = pedFields();
    std::mt19937 rng(5);
    for (auto _ : state) {
        state.PauseTiming();
        const auto path = f.copy("APP");
        Table t = Table::open(path, OpenMode::Shared, fast());
        state.ResumeTiming();
        for (uint32_t i = 0; i < 10000; ++i)
            t.append(pedRecord(fields, kRecords + 1 + i, rng));
    }
}
BENCHMARK(BM_Append10k)->Unit(benchmark::kMillisecond)->Iterations(2);

// One durable save: append with both syncs (record, then count), as the program saves.
void BM_AppendDurable(benchmark::State &state)
{
    const auto &f = fixture();
    const auto fields = pedFields();
    std::mt19937 rng(6);
    const auto path = f.copy("DUR");
    OpenOptions o = fast();
    o.syncWrites = true;
    Table t = Table::open(path, OpenMode::Shared, o);
    uint32_t n = kRecords;
    for (auto _ : state)
        t.append(pedRecord(fields, ++n, rng));
}
BENCHMARK(BM_AppendDurable)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_Update(benchmark::State &state)
{
    const auto &f = fixture();
    const auto path = f.copy("UPD");
    Table t = Table::open(path, OpenMode::Shared, fast());
    std::mt19937 rng(9);
    for (auto _ : state) {
        const uint32_t r = 1 + rng() % kRecords;
        t.updateFields(r, {{13, Value("PEREZ")}, {43, Value("T")}, {0, Value(static_cast<int64_t>(r + kRecords))}});
    }
}
BENCHMARK(BM_Update)->Unit(benchmark::kMicrosecond);

void BM_Pack10PercentDeleted(benchmark::State &state)
{
    const auto &f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        const auto path = f.copy("PACK");
        {
            Table t = Table::open(path, OpenMode::Exclusive, fast());
            for (uint32_t r = 1; r <= kRecords; r += 10)
                t.setDeleted(r, true);
        }
        Table t = Table::open(path, OpenMode::Exclusive, fast());
        state.ResumeTiming();
        t.pack(); // rewrite live records, truncate, rebuild the index
        benchmark::DoNotOptimize(t.recordCount());
    }
}
BENCHMARK(BM_Pack10PercentDeleted)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AddColumn(benchmark::State &state)
{
    const auto &f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        const auto path = f.copy("ADD");
        Table t = Table::open(path, OpenMode::Exclusive, fast());
        state.ResumeTiming();
        t.addColumn({"M_NUEVO", FieldType::Logical, 1, 0}, Value(false));
    }
}
BENCHMARK(BM_AddColumn)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
