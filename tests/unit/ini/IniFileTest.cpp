#include "platform/ini/IniFile.h"

#include "support/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using tav::ini::IniFile;
using tav::test::TestDir;

namespace {

void writeBytes(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string readBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

QString qpath(const std::filesystem::path &p)
{
    return QString::fromStdString(p.string());
}

// A profile as an office brings it from Windows: Windows-1252, CR LF, comments, odd spacing.
const std::string kWindowsProfile = "Version=3\r\n"
                                    "; scanner profile\r\n"
                                    "[Config]\r\n"
                                    "DPI=300\r\n"
                                    "  Izquierda =  15  \r\n"
                                    "PathLiveScan=C:\\LiveScanIB\\\r\n"
                                    "Titulo=Se\xF1"
                                    "al \x80 ;no comment here\r\n"
                                    "Filter=a=b=c\r\n"
                                    "Quoted=\"  spaced  \"\r\n"
                                    "dpi=600\r\n"
                                    "Empty=\r\n"
                                    "not a key line\r\n"
                                    ";Commented=1\r\n"
                                    "\r\n"
                                    "[TAVService]\r\n"
                                    "URL=http://host/TAVService/TAVMessageService.asmx\r\n";

} // namespace

TEST(IniFile, ReadsWindowsProfileRules)
{
    TestDir dir;
    writeBytes(dir / "Huella.INI", kWindowsProfile);
    const IniFile ini(qpath(dir / "Huella.INI"));
    ASSERT_TRUE(ini.exists());

    struct Case
    {
        const char *section;
        const char *key;
        QString expected;
    };
    const Case cases[] = {
        {"Config", "DPI", "300"},                                            // first of duplicates wins
        {"CONFIG", "dpi", "300"},                                            // names match in any case
        {"config", "izquierda", "15"},                                       // spaces around name and value go
        {"Config", "PathLiveScan", "C:\\LiveScanIB\\"},                      // backslashes kept
        {"Config", "Titulo", QString::fromUtf8("Señal € ;no comment here")}, // Windows-1252, ';' kept
        {"Config", "Filter", "a=b=c"},                                       // split at the first '='
        {"Config", "Quoted", "  spaced  "},                                  // enclosing quotes removed
        {"Config", "Empty", ""},
        {"Config", "not a key line", "<default>"},
        {"Config", ";Commented", "<default>"},
        {"Config", "Commented", "<default>"},
        {"", "Version", "3"}, // keys before any section
        {"Config", "Version", "<default>"},
        {"TAVService", "URL", "http://host/TAVService/TAVMessageService.asmx"},
        {"Missing", "URL", "<default>"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.readString(c.section, c.key, "<default>"), c.expected);
    }
    EXPECT_EQ(ini.sections(), (QStringList{"Config", "TAVService"}));
    EXPECT_EQ(ini.keys("config"),
              (QStringList{"DPI", "Izquierda", "PathLiveScan", "Titulo", "Filter", "Quoted", "Empty"}));
}

TEST(IniFile, IntegersAndBooleansFallBackToTheDefaultUnlessWhollyNumeric)
{
    TestDir dir;
    writeBytes(dir / "x.ini", "[C]\r\nA=300\r\nB= -42 \r\nC=0x1F\r\nD=$10\r\nE=abc\r\nF=300dpi\r\nG=\r\n"
                              "H=99999999999\r\nI=1\r\nJ=0\r\nK=2\r\nL=True\r\n");
    const IniFile ini(qpath(dir / "x.ini"));
    struct Case
    {
        const char *key;
        int expected;
    };
    for (const Case c :
         {Case{"A", 300}, {"B", -42}, {"C", 31}, {"D", 16}, {"E", 7}, {"F", 7}, {"G", 7}, {"H", 7}, {"Missing", 7}}) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.readInteger("c", c.key, 7), c.expected);
    }
    EXPECT_TRUE(ini.readBool("C", "I", false));
    EXPECT_FALSE(ini.readBool("C", "J", true));
    EXPECT_TRUE(ini.readBool("C", "K", false));
    EXPECT_TRUE(ini.readBool("C", "L", true));
    EXPECT_FALSE(ini.readBool("C", "L", false));
    EXPECT_TRUE(ini.readBool("C", "Missing", true));
}

TEST(IniFile, WritingKeepsEveryOtherLineAndPlacesNewEntriesLikeWindows)
{
    TestDir dir;
    writeBytes(dir / "Huella.INI", kWindowsProfile);
    IniFile ini(qpath(dir / "Huella.INI"));
    EXPECT_TRUE(ini.writeString("config", "dpi", "200"));                     // in place, file's spelling kept
    EXPECT_TRUE(ini.writeInteger("CONFIG", "Brillo", 5));                     // after the section's last line
    EXPECT_TRUE(ini.writeString("Nueva", "Clave", QString::fromUtf8("Año"))); // new section at the end
    EXPECT_TRUE(ini.writeBool("TAVService", "Activo", true));
    EXPECT_TRUE(ini.writeString("", "Version", "4"));
    ASSERT_TRUE(ini.save()) << ini.errorString().toStdString();

    const std::string expected = "Version=4\r\n"
                                 "; scanner profile\r\n"
                                 "[Config]\r\n"
                                 "DPI=200\r\n"
                                 "  Izquierda =  15  \r\n"
                                 "PathLiveScan=C:\\LiveScanIB\\\r\n"
                                 "Titulo=Se\xF1"
                                 "al \x80 ;no comment here\r\n"
                                 "Filter=a=b=c\r\n"
                                 "Quoted=\"  spaced  \"\r\n"
                                 "dpi=600\r\n"
                                 "Empty=\r\n"
                                 "not a key line\r\n"
                                 ";Commented=1\r\n"
                                 "Brillo=5\r\n"
                                 "\r\n"
                                 "[TAVService]\r\n"
                                 "URL=http://host/TAVService/TAVMessageService.asmx\r\n"
                                 "Activo=1\r\n"
                                 "[Nueva]\r\n"
                                 "Clave=A\xF1o\r\n";
    EXPECT_EQ(readBytes(dir / "Huella.INI"), expected);

    const IniFile reread(qpath(dir / "huella.ini"));
    EXPECT_EQ(reread.readInteger("Config", "DPI", 0), 200);
    EXPECT_EQ(reread.readString("nueva", "clave"), QString::fromUtf8("Año"));
}

TEST(IniFile, FileNameIsFoundInAnyCaseAndNewFilesKeepTheGivenCase)
{
    TestDir dir;
    writeBytes(dir / "TAVREG.ini", "[Config]\nUsaOutlookSecMan=0\n"); // LF-only file from an editor
    IniFile ini(qpath(dir / "TavReg.INI"));
    ASSERT_TRUE(ini.exists());
    EXPECT_FALSE(ini.readBool("Config", "UsaOutlookSecMan", true));
    EXPECT_TRUE(ini.writeBool("Config", "UsaOutlookSecMan", true));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readBytes(dir / "TAVREG.ini"), "[Config]\r\nUsaOutlookSecMan=1\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "TavReg.INI"));

    IniFile fresh(qpath(dir / "LiveScan.INI"));
    EXPECT_FALSE(fresh.exists());
    EXPECT_EQ(fresh.readString("Config", "PathLiveScan", "C:\\LiveScanIB\\"), "C:\\LiveScanIB\\");
    EXPECT_TRUE(fresh.save()); // nothing to write: no file appears
    EXPECT_FALSE(std::filesystem::exists(dir / "LiveScan.INI"));
    EXPECT_TRUE(fresh.writeString("Config", "LiveScanIni", "dev.ini"));
    EXPECT_TRUE(fresh.save());
    EXPECT_EQ(readBytes(dir / "LiveScan.INI"), "[Config]\r\nLiveScanIni=dev.ini\r\n");
}

TEST(IniFile, UnchangedFileIsNotRewritten)
{
    TestDir dir;
    writeBytes(dir / "a.ini", "[A]\nx=1\n");
    IniFile ini(qpath(dir / "a.ini"));
    EXPECT_TRUE(ini.writeString("A", "X", "1")); // same value: nothing changes
    EXPECT_TRUE(ini.save());
    EXPECT_EQ(readBytes(dir / "a.ini"), "[A]\nx=1\n");
}

TEST(IniFile, RefusesNamesAndValuesThatWouldCorruptTheFile)
{
    TestDir dir;
    writeBytes(dir / "a.ini", "[A]\r\nx=1\r\n");
    IniFile ini(qpath(dir / "a.ini"));
    EXPECT_FALSE(ini.writeString("A", "", "v"));
    EXPECT_FALSE(ini.writeString("A", "k=v", "v"));
    EXPECT_FALSE(ini.writeString("A", "[B]", "v"));
    EXPECT_FALSE(ini.writeString("A", ";k", "v"));
    EXPECT_FALSE(ini.writeString("A]", "k", "v"));
    EXPECT_FALSE(ini.writeString("A", "k", "one\r\n[B]"));
    EXPECT_FALSE(ini.writeString("A\nB", "k", "v"));
    EXPECT_TRUE(ini.save());
    EXPECT_EQ(readBytes(dir / "a.ini"), "[A]\r\nx=1\r\n");
}

TEST(IniFile, UnnamedSectionAndKeyRemoval)
{
    TestDir dir;
    writeBytes(dir / "a.ini", "[A]\r\nx=1\r\ny=2\r\nX=3\r\n");
    IniFile ini(qpath(dir / "a.ini"));
    EXPECT_TRUE(ini.writeString("", "top", "v")); // no leading keys yet: goes before the first section
    EXPECT_TRUE(ini.removeKey("a", "X"));         // every duplicate goes
    EXPECT_FALSE(ini.removeKey("a", "missing"));
    EXPECT_FALSE(ini.hasKey("A", "x"));
    EXPECT_TRUE(ini.hasKey("A", "Y"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readBytes(dir / "a.ini"), "top=v\r\n[A]\r\ny=2\r\n");
}

TEST(IniFile, Utf8FileWithByteOrderMarkStaysUtf8)
{
    TestDir dir;
    writeBytes(dir / "a.ini", "\xEF\xBB\xBF[Config]\r\nTitulo=Se\xC3\xB1"
                              "al\r\n");
    IniFile ini(qpath(dir / "a.ini"));
    EXPECT_EQ(ini.readString("Config", "Titulo"), QString::fromUtf8("Señal"));
    EXPECT_TRUE(ini.writeString("Config", "Otro", QString::fromUtf8("ñ")));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readBytes(dir / "a.ini"), "\xEF\xBB\xBF[Config]\r\nTitulo=Se\xC3\xB1"
                                        "al\r\nOtro=\xC3\xB1\r\n");
}

TEST(IniFile, FailedSaveReportsAnErrorAndLeavesTheOldFile)
{
    TestDir dir;
    writeBytes(dir / "blocker", "a plain file where a folder should be");
    IniFile ini(qpath(dir / "blocker" / "a.ini"));
    EXPECT_FALSE(ini.exists());
    EXPECT_TRUE(ini.writeString("A", "k", "v"));
    EXPECT_FALSE(ini.save());
    EXPECT_FALSE(ini.errorString().isEmpty());
    EXPECT_EQ(readBytes(dir / "blocker"), "a plain file where a folder should be");
}
