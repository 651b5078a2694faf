#pragma once

#include "store/OfficeInstaller.h"
#include "store/Tdm.h"

#include "platform/dbf/DbfTable.h"
#include "platform/os/NoCasePath.h"
#include "support/TestDir.h"
#include "support/TestUi.h"

#include <QFile>
#include <gtest/gtest.h>

#include <memory>

namespace tav::test {

// A new office made from the installation data in a temporary directory, and a data module on it.
class OfficeFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store::OfficeInstaller(std::filesystem::path(TAV_SOURCE_DIR) / "data").createOffice(dir.path());
    }

    store::Tdm &startDm()
    {
        dm = std::make_unique<store::Tdm>(dir.path(), ui, clock);
        EXPECT_EQ(dm->startUp(), store::Tdm::StartResult::Ready);
        return *dm;
    }

    std::filesystem::path file(const std::string &name) const { return os::resolveNoCase(dir / name); }
    void touch(const std::string &name) const
    {
        QFile f(QString::fromStdString((dir / name).string()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    bool exists(const std::string &name) const { return os::findFileNoCase(dir.path(), name).has_value(); }

    TestDir dir;
    TestUi ui;
    store::FixedClock clock{QDateTime(QDate(2026, 12, 10), QTime(10, 0))};
    std::unique_ptr<store::Tdm> dm;
};

} // namespace tav::test
