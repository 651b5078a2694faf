#include "platform/dbf/DbfTable.h"
#include "support/TestDir.h"
#include "support/ToolRun.h"
#include "unit/dbf/DbfTestUtil.h"

#include <gtest/gtest.h>

using namespace tav::dbf;

namespace {

using tav::test::ToolRun;

ToolRun dbftool(const std::string &args, const tav::test::TestDir &dir)
{
    return tav::test::runTool(DBFTOOL, args, dir);
}

} // namespace

TEST(DbfTool, CreateDumpInfoAndCheck)
{
    tav::test::TestDir dir;
    const std::string table = "'" + (dir / "ORG.DBF").string() + "'";
    ToolRun created = dbftool("create " + table +
                                  " --fields \"C_ORG:N:8:0,X_ORG:C:20,F_ALTA:D,M_ACT:L,N_IMP:N:7:2,X_OBS:M,B_IMG:B\""
                                  " --tag C_ORG X_ORG",
                              dir);
    ASSERT_EQ(created.code, 0) << created.err;
    {
        Table t = Table::open(dir / "org.dbf");
        t.append({Value(1), Value("JUZGADO N\xBA 1, \"SUR\""), Value(Date{2024, 1, 31}), Value(true), Value(-0.5),
                  Value(std::string("l\xEDnea 1\r\nl\xEDnea 2")), Value(Bytes{0, 1, 2, 0xFF})});
        t.append({Value(2), Value("BORRADO")});
        t.setDeleted(2, true);
        t.append({Value(3)});
    }
    const ToolRun csv = dbftool("dump " + table, dir);
    EXPECT_EQ(csv.code, 0) << csv.err;
    EXPECT_EQ(csv.out, "C_ORG,X_ORG,F_ALTA,M_ACT,N_IMP,X_OBS,B_IMG\r\n"
                       "1,\"JUZGADO Nº 1, \"\"SUR\"\"\",2024-01-31,true,-0.50,\"línea 1\r\nlínea 2\",AAEC/w==\r\n"
                       "3,,,,,,\r\n");
    const ToolRun all = dbftool("dump " + table + " --format=json --all", dir);
    EXPECT_EQ(all.code, 0) << all.err;
    EXPECT_EQ(all.out,
              "[\n"
              "{\"C_ORG\":1,\"X_ORG\":\"JUZGADO Nº 1, \\\"SUR\\\"\",\"F_ALTA\":\"2024-01-31\",\"M_ACT\":true,"
              "\"N_IMP\":-0.50,\"X_OBS\":\"línea 1\\r\\nlínea 2\",\"B_IMG\":\"AAEC/w==\",\"_deleted\":false},\n"
              "{\"C_ORG\":2,\"X_ORG\":\"BORRADO\",\"F_ALTA\":null,\"M_ACT\":null,\"N_IMP\":null,\"X_OBS\":null,"
              "\"B_IMG\":null,\"_deleted\":true},\n"
              "{\"C_ORG\":3,\"X_ORG\":\"\",\"F_ALTA\":null,\"M_ACT\":null,\"N_IMP\":null,\"X_OBS\":null,"
              "\"B_IMG\":null,\"_deleted\":false}\n]\n");

    const ToolRun info = dbftool("info " + table + " --format=json", dir);
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("\"version\":\"0x8B\",\"level\":4,\"ldid\":\"0x57\",\"records\":3"), std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("\"memo\":{\"file\":\"ORG.DBT\",\"block_size\":512}"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("{\"name\":\"C_ORG\",\"key\":\"C_ORG\",\"type\":\"N\",\"unique\":false,"
                            "\"descending\":false}"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("\"valid\":true,\"error\":null}}"), std::string::npos) << info.out;

    EXPECT_EQ(dbftool("check " + table, dir).code, 0);
    EXPECT_EQ(dbftool("pack " + table, dir).code, 0);
    EXPECT_EQ(Table::open(dir / "ORG.DBF").recordCount(), 2u);

    // A damaged index: check fails with the reason; reindex repairs it.
    auto mdx = testutil::readFile(dir / "ORG.MDX");
    mdx[0] = 9;
    testutil::writeFile(dir / "ORG.MDX", mdx);
    const ToolRun bad = dbftool("check " + table, dir);
    EXPECT_NE(bad.code, 0);
    EXPECT_NE(bad.err.find("ORG.MDX"), std::string::npos) << bad.err;
    EXPECT_NE(dbftool("reindex " + table, dir).code, 0); // the tags cannot be read from a wrong version
    mdx[0] = 2;
    testutil::writeFile(dir / "ORG.MDX", mdx);
    EXPECT_EQ(dbftool("reindex " + table, dir).code, 0);
    EXPECT_EQ(dbftool("check " + table, dir).code, 0);

    const ToolRun missing = dbftool("info '" + (dir / "nada.dbf").string() + "'", dir);
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("nada.dbf"), std::string::npos);
    EXPECT_EQ(dbftool("frobnicate " + table, dir).code, 2);
}
