#pragma once

// An office for the store benchmarks: a new office from the installation data with 100,000 official and
// 100,000 personal requests, in the system's temporary folder.

#include "port/ConsoleUi.h"
#include "store/OfficeInstaller.h"

#include "platform/dbf/DbfTable.h"
#include "platform/os/NoCasePath.h"

#include <filesystem>
#include <random>
#include <string>

namespace tav::bench {

// The benchmarks' Ui: silent, refusing every question.
struct QuietUi : ui::ConsoleUi
{
    QuietUi() : ConsoleUi(Output::Silent) {}
};

constexpr int kRequests = 100000;

inline void fillRequests(const std::filesystem::path &file, int rows, int deletedEvery)
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

inline std::filesystem::path makeOffice(const std::string &name, int deletedEvery)
{
    const auto dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    store::OfficeInstaller(std::filesystem::path(TAV_SOURCE_DIR) / "data").createOffice(dir);
    fillRequests(os::resolveNoCase(dir / "PED.DBF"), kRequests, deletedEvery);
    fillRequests(os::resolveNoCase(dir / "Pedp.DBF"), kRequests, deletedEvery);
    return dir;
}

} // namespace tav::bench
