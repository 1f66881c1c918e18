// The POSIX backend: the printer store files, the country and the heap.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "access.h"
#include "engine.h"
#include "image_builder.h"
#include "platform.h"
#include "test_record.h"

namespace {

std::u16string U16(const std::string &s)
{
    std::u16string out;
    for (unsigned char c : s) {
        out.push_back(c);
    }
    return out;
}

// Saves and restores an environment variable.
class EnvVar {
public:
    explicit EnvVar(const char *name) : name_(name)
    {
        const char *v = std::getenv(name);
        had_ = v != nullptr;
        if (had_) {
            old_ = v;
        }
    }
    ~EnvVar()
    {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    void set(const std::string &v) { setenv(name_, v.c_str(), 1); }
    void unset() { unsetenv(name_); }

private:
    const char *name_;
    bool had_ = false;
    std::string old_;
};

class PosixPlatformTest : public ::testing::Test {
protected:
    const ZMD_Platform *p = ZMD_DefaultPlatform();
    std::string dir;
    EnvVar printerDir{"ZMD_PRINTER_DIR"};
    EnvVar home{"HOME"};
    EnvVar country{"ZMD_COUNTRY"};

    void SetUp() override
    {
        char tmpl[] = "/tmp/zmd-printers-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        printerDir.set(dir);
    }
    void TearDown() override
    {
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    void write(const std::string &path, const std::string &content)
    {
        FILE *f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(content.c_str(), f);
        std::fclose(f);
    }
    void *open(const std::string &name)
    {
        std::u16string n = U16(name);
        void *h = nullptr;
        return p->openPrinter(p->ctx, reinterpret_cast<const ZMD_WCHAR *>(n.c_str()), &h) ? h : nullptr;
    }
    // Reads a value; returns false when the store fails it.
    bool read(void *h, const std::string &name, int32_t *v, uint32_t cb = 4)
    {
        std::u16string n = U16(name);
        uint8_t data[8] = {0};
        uint32_t needed = 0;
        bool ok = p->getPrinterData(p->ctx, h, reinterpret_cast<const ZMD_WCHAR *>(n.c_str()), data, cb, &needed);
        if (ok) {
            EXPECT_EQ(needed, 4u);
            std::memcpy(v, data, 4);
        }
        return ok;
    }
    // Reads a value through a hold of its own (one query's read).
    bool heldRead(void *h, const std::string &name, int32_t *v)
    {
        ZMD_PrinterHold hold{h, nullptr};
        std::u16string n = U16(name);
        uint8_t data[4] = {};
        uint32_t needed = 0;
        bool ok =
            p->getHeldPrinterData(p->ctx, &hold, reinterpret_cast<const ZMD_WCHAR *>(n.c_str()), data, 4, &needed);
        p->releaseHold(p->ctx, &hold);
        std::memcpy(v, data, 4);
        return ok;
    }
};

TEST_F(PosixPlatformTest, StoreFileFormat)
{
    write(dir + "/Office.conf", "# a comment\n"
                                "\n"
                                "  QuietMode   =  42  \n"
                                "Negative=-5\n"
                                "Hex = 0x1F\n"
                                "Top = 0xFFFFFFFF\n"
                                "Low = -2147483648\n"
                                "Big = 4294967295\n"
                                "TooBig = 4294967296\n"
                                "Junk = 12abc\n"
                                "Empty =\n"
                                "NoEquals\n"
                                "#Hidden = 3\n"
                                "Two Words = 9\r\n"
                                "QuietMode = 7\n"
                                "Last = 1");
    void *h = open("Office");
    ASSERT_NE(h, nullptr);
    int32_t v = 0;
    EXPECT_TRUE(read(h, "QuietMode", &v));
    EXPECT_EQ(v, 42); // the first line with the name decides
    EXPECT_TRUE(read(h, "Negative", &v));
    EXPECT_EQ(v, -5);
    EXPECT_TRUE(read(h, "Hex", &v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(read(h, "Top", &v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(read(h, "Low", &v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(read(h, "Big", &v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(read(h, "Two Words", &v));
    EXPECT_EQ(v, 9);
    EXPECT_TRUE(read(h, "Last", &v));
    EXPECT_EQ(v, 1);
    for (const char *bad : {"TooBig", "Junk", "Empty", "NoEquals", "#Hidden", "Hidden", "Absent", "quietmode"}) {
        EXPECT_FALSE(read(h, bad, &v)) << bad;
    }
    EXPECT_FALSE(read(h, "QuietMode", &v, 2)); // 4 bytes do not fit
    p->closePrinter(p->ctx, h);
}

TEST_F(PosixPlatformTest, StoreIsReadAfreshOnEveryQuery)
{
    write(dir + "/P.conf", "A = 1\n");
    void *h = open("P");
    ASSERT_NE(h, nullptr);
    int32_t v = 0;
    EXPECT_TRUE(read(h, "A", &v));
    write(dir + "/P.conf", "A = 2\n");
    EXPECT_TRUE(read(h, "A", &v));
    EXPECT_EQ(v, 2);
    p->closePrinter(p->ctx, h);
}

// A held store answers every read as the file does line by line: the same
// values and the same failures; a rewrite shows in the next hold, not in one
// already read; the hold frees what it read.
TEST_F(PosixPlatformTest, HeldStoreAnswersAsTheFile)
{
    write(dir + "/H.conf", "# a comment\n\n  QuietMode   =  42  \nNegative=-5\nHex = 0x1F\nTooBig = 4294967296\n"
                           "Junk = 12abc\nEmpty =\nNoEquals\n#Hidden = 3\nTwo Words = 9\r\nQuietMode = 7\nLast = 1");
    void *h = open("H");
    ASSERT_NE(h, nullptr);
    ASSERT_NE(p->getHeldPrinterData, nullptr);
    ASSERT_NE(p->releaseHold, nullptr);
    ZMD_PrinterHold hold{h, nullptr};
    auto held = [&](const std::string &name, int32_t *v, uint32_t cb = 4) {
        std::u16string n = U16(name);
        uint8_t data[8] = {0};
        uint32_t needed = 0;
        bool ok =
            p->getHeldPrinterData(p->ctx, &hold, reinterpret_cast<const ZMD_WCHAR *>(n.c_str()), data, cb, &needed);
        if (ok) {
            std::memcpy(v, data, 4);
        }
        return ok;
    };
    for (const char *name : {"QuietMode", "Negative", "Hex", "TooBig", "Junk", "Empty", "NoEquals", "#Hidden", "Hidden",
                             "Two Words", "Last", "Absent", "quietmode", ""}) {
        int32_t a = 0, b = 0;
        const bool plain = read(h, name, &a);
        EXPECT_EQ(held(name, &b), plain) << name;
        EXPECT_EQ(a, b) << name;
        EXPECT_EQ(held(name, &b, 2), false) << name; // 4 bytes do not fit
    }
    EXPECT_NE(hold.state, nullptr);
    write(dir + "/H.conf", "QuietMode = 3\n");
    int32_t v = 0;
    EXPECT_TRUE(held("QuietMode", &v));
    EXPECT_EQ(v, 42) << "the hold keeps what its first read took";
    p->releaseHold(p->ctx, &hold);
    EXPECT_EQ(hold.state, nullptr);
    EXPECT_TRUE(held("QuietMode", &v));
    EXPECT_EQ(v, 3);
    EXPECT_FALSE(held("Negative", &v));
    p->releaseHold(p->ctx, &hold);

    // A store that cannot be read when the hold is made answers as the file would.
    ZMD_PrinterHold gone{h, nullptr};
    std::remove((dir + "/H.conf").c_str());
    std::u16string n = U16("QuietMode");
    uint8_t data[4];
    uint32_t needed = 0;
    EXPECT_FALSE(
        p->getHeldPrinterData(p->ctx, &gone, reinterpret_cast<const ZMD_WCHAR *>(n.c_str()), data, 4, &needed));
    p->releaseHold(p->ctx, &gone);
    p->closePrinter(p->ctx, h);
}

TEST_F(PosixPlatformTest, OpenFailsForMissingOrUnsafeNames)
{
    write(dir + "/.hidden.conf", "A = 1\n");
    write(dir + "/.conf", "A = 1\n");
    mkdir((dir + "/sub").c_str(), 0700);
    write(dir + "/sub/x.conf", "A = 1\n");
    mkdir((dir + "/Dir.conf").c_str(), 0700);
    for (const char *name : {"Missing", "", ".hidden", "sub/x", "../x", "Dir"}) {
        EXPECT_EQ(open(name), nullptr) << '"' << name << '"';
    }
    void *h = nullptr;
    EXPECT_FALSE(p->openPrinter(p->ctx, nullptr, &h));
    const char16_t lone[] = {u'A', 0xD800, 0};
    EXPECT_FALSE(p->openPrinter(p->ctx, reinterpret_cast<const ZMD_WCHAR *>(lone), &h));
}

TEST_F(PosixPlatformTest, NonAsciiNamesAreUtf8Files)
{
    write(dir + "/B\xC3\xBCro \xE2\x82\xAC.conf", "A = 5\n");
    const char16_t name[] = {u'B', 0x00FC, u'r', u'o', u' ', 0x20AC, 0};
    void *h = nullptr;
    ASSERT_TRUE(p->openPrinter(p->ctx, reinterpret_cast<const ZMD_WCHAR *>(name), &h));
    int32_t v = 0;
    EXPECT_TRUE(read(h, "A", &v));
    EXPECT_EQ(v, 5);
    p->closePrinter(p->ctx, h);
}

TEST_F(PosixPlatformTest, DefaultStoreDirectoryIsUnderHome)
{
    printerDir.unset();
    home.set(dir);
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "/.config/zmd/printers'").c_str()), 0);
    write(dir + "/.config/zmd/printers/Home.conf", "A = 3\n");
    void *h = open("Home");
    ASSERT_NE(h, nullptr);
    p->closePrinter(p->ctx, h);
    home.unset();
    EXPECT_EQ(open("Home"), nullptr);
}

TEST_F(PosixPlatformTest, CountryFromTheEnvironment)
{
    char text[16];
    country.set("81");
    ASSERT_EQ(p->getCountryText(p->ctx, nullptr, 0), 3);
    EXPECT_EQ(p->getCountryText(p->ctx, text, 3), 3);
    EXPECT_STREQ(text, "81");
    EXPECT_EQ(p->getCountryText(p->ctx, text, 2), 0);
    for (const char *bad : {"", "abc", "12a", "-1", "12345678"}) {
        country.set(bad);
        EXPECT_EQ(p->getCountryText(p->ctx, text, sizeof text), 2) << bad;
        EXPECT_STREQ(text, "1");
    }
    country.unset();
    EXPECT_EQ(p->getCountryText(p->ctx, text, sizeof text), 2);
    EXPECT_STREQ(text, "1");

    ImageBuilder b;
    ZMD_ImageView view = b.view();
    ZMD_Env env{&view, p};
    int32_t code = 0;
    country.set("49");
    EXPECT_EQ(ZMD_GetUserCountryCode(&env, 0x500F, &code), 0);
    EXPECT_EQ(code, 49);
}

TEST_F(PosixPlatformTest, ClockAndHeap)
{
    ZMD_LocalTime t{};
    p->getLocalTime(p->ctx, &t);
    EXPECT_GE(t.year, 2020);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_LE(t.second, 60);
    unsigned char *m = static_cast<unsigned char *>(p->alloc(p->ctx, 64));
    ASSERT_NE(m, nullptr);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(m[i], 0);
    }
    p->free(p->ctx, m);
    p->free(p->ctx, nullptr);
}

TEST_F(PosixPlatformTest, ExportFrameReadsTheStoreByPrinterName)
{
    write(dir + "/Office.conf", "QuietMode = 1\n");
    ImageBuilder b;
    uint32_t on = b.add(b.text(0x0003, "on")), off = b.add(b.text(0x0003, "off"));
    uint32_t cases = b.addRun({mk::caseEqual(on, 1), mk::caseDefault(off)});
    b.addKey(0x0003, b.add(mk::selectPrinterData(cases, 1, 2)));
    uint32_t name = b.add(b.text(0x0008, "QuietMode"));
    uint32_t nameCases = b.addRun({mk::caseEqual(name, 1)});
    b.addKey(0x0008, b.add(mk::selectInt(nameCases, 0, 1)));
    ZMD_ImageView view = b.view();
    ZMD_Env env{&view, p};
    TestRecord rec;
    rec.setPrinterName("Office");
    char16_t text[4] = {};
    uint32_t size = 0;
    ASSERT_EQ(ZMD_AccessDataBase(&env, ZMD_DB_ROOT, 0x0003, rec.get(), sizeof text, text, &size), ZMD_OK);
    EXPECT_EQ(std::u16string(text, size / 2), std::u16string(u"on") + u'\0');
    write(dir + "/Office.conf", "QuietMode = 0\n");
    ASSERT_EQ(ZMD_AccessDataBase(&env, ZMD_DB_ROOT, 0x0003, rec.get(), sizeof text, text, &size), ZMD_OK);
    EXPECT_EQ(std::u16string(text, size / 2), std::u16string(u"off") + u'\0');
}

// Everything that reads the store, asked of printer `name` whose file was a
// plain "QuietMode = 1" store when a caller's handle was opened and is now
// whatever `make` left in its place. Each answer is the one for a printer
// without a store file: opening by name fails, a caller's handle reads no
// value, with or without a hold, and the export frame answers as for a
// missing printer. None of them blocks (a blocked read would hang the test
// until its timeout).
class PosixStoreShapes : public PosixPlatformTest {
protected:
    ImageBuilder b;
    ZMD_ImageView view{};

    void SetUp() override
    {
        PosixPlatformTest::SetUp();
        uint32_t on = b.add(b.text(0x0003, "on")), off = b.add(b.text(0x0003, "off"));
        uint32_t cases = b.addRun({mk::caseEqual(on, 1), mk::caseDefault(off)});
        b.addKey(0x0003, b.add(mk::selectPrinterData(cases, 1, 2)));
        uint32_t name = b.add(b.text(0x0008, "QuietMode"));
        uint32_t nameCases = b.addRun({mk::caseEqual(name, 1)});
        b.addKey(0x0008, b.add(mk::selectInt(nameCases, 0, 1)));
        view = b.view();
    }

    // The export frame's answer (code and text) for a record naming `name`
    // or carrying `handle`.
    std::pair<int32_t, std::u16string> query(const std::string &name, void *handle = nullptr)
    {
        ZMD_Env env{&view, p};
        TestRecord rec;
        if (handle) {
            rec.hPrinter = handle;
        } else {
            rec.setPrinterName(name);
        }
        char16_t text[8] = {};
        uint32_t size = 0;
        int32_t r = ZMD_AccessDataBase(&env, ZMD_DB_ROOT, 0x0003, rec.get(), sizeof text, text, &size);
        return {r, r == ZMD_OK ? std::u16string(text, size / 2) : std::u16string()};
    }

    void expectNoPrinterData(const std::string &what, void (*make)(const std::string &path))
    {
        SCOPED_TRACE(what);
        const std::string path = dir + "/P.conf";
        write(path, "QuietMode = 1\n");
        EXPECT_EQ(query("P").second, std::u16string(u"on") + u'\0');
        void *h = open("P");
        ASSERT_NE(h, nullptr);
        const auto missing = query("Missing");
        ASSERT_EQ(std::remove(path.c_str()), 0);
        const auto goneByHandle = query("", h);
        make(path);

        EXPECT_EQ(open("P"), nullptr);
        EXPECT_EQ(query("P"), missing);
        int32_t v = 0;
        EXPECT_FALSE(read(h, "QuietMode", &v));
        EXPECT_FALSE(heldRead(h, "QuietMode", &v));
        EXPECT_EQ(query("", h), goneByHandle);
        p->closePrinter(p->ctx, h);
        std::string cmd = "rm -rf '" + path + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
};

TEST_F(PosixStoreShapes, OnlyARegularFileOfAtMostOneMebibyteIsPrinterData)
{
    expectNoPrinterData("a FIFO without a writer",
                        [](const std::string &path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); });
    expectNoPrinterData("a link to /dev/zero",
                        [](const std::string &path) { ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0); });
    expectNoPrinterData("a directory", [](const std::string &path) { ASSERT_EQ(mkdir(path.c_str(), 0700), 0); });
    // A link is not followed even to a good store file in the same directory.
    expectNoPrinterData("a link to a store file", [](const std::string &path) {
        const std::string target = path.substr(0, path.rfind('/')) + "/Real.conf";
        FILE *f = std::fopen(target.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("QuietMode = 1\n", f);
        std::fclose(f);
        ASSERT_EQ(symlink("Real.conf", path.c_str()), 0);
    });
    expectNoPrinterData("one byte more than 1 MiB", [](const std::string &path) {
        std::string text = "QuietMode = 1\n";
        text.resize(1024 * 1024 + 1, '#');
        FILE *f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
        std::fclose(f);
    });
}

TEST_F(PosixStoreShapes, AStoreOfExactlyOneMebibyteIsRead)
{
    std::string text = "QuietMode = 1\n#";
    text.resize(1024 * 1024 - 7, '#');
    text += "\nB = 2\n"; // ends on the last byte of the limit
    ASSERT_EQ(text.size(), 1024u * 1024u);
    write(dir + "/P.conf", text);
    EXPECT_EQ(query("P").second, std::u16string(u"on") + u'\0');
    void *h = open("P");
    ASSERT_NE(h, nullptr);
    int32_t v = 0;
    EXPECT_TRUE(read(h, "B", &v));
    EXPECT_EQ(v, 2);
    EXPECT_TRUE(heldRead(h, "B", &v));
    EXPECT_EQ(v, 2);
    p->closePrinter(p->ctx, h);
}

// A printer opened for one query answers that query from what the open
// read; a caller's handle reads the store afresh for each query.
TEST_F(PosixStoreShapes, APrinterOpenedForTheQueryIsReadOnce)
{
    write(dir + "/P.conf", "QuietMode = 1\n");
    void *h = open("P");
    ASSERT_NE(h, nullptr);
    write(dir + "/P.conf", "QuietMode = 2\n");
    std::u16string n = U16("QuietMode");
    uint8_t data[4] = {};
    uint32_t needed = 0;
    ZMD_PrinterHold forQuery{h, nullptr, true};
    ASSERT_TRUE(
        p->getHeldPrinterData(p->ctx, &forQuery, reinterpret_cast<const ZMD_WCHAR *>(n.c_str()), data, 4, &needed));
    EXPECT_EQ(data[0], 1);
    p->releaseHold(p->ctx, &forQuery);
    int32_t v = 0;
    EXPECT_TRUE(heldRead(h, "QuietMode", &v));
    EXPECT_EQ(v, 2);
    // What the open read is taken once: a second hold for the query reads afresh.
    ZMD_PrinterHold again{h, nullptr, true};
    ASSERT_TRUE(
        p->getHeldPrinterData(p->ctx, &again, reinterpret_cast<const ZMD_WCHAR *>(n.c_str()), data, 4, &needed));
    EXPECT_EQ(data[0], 2);
    p->releaseHold(p->ctx, &again);
    p->closePrinter(p->ctx, h);
}

// Value names convert into a 1024-byte buffer: 1023 bytes and the
// terminator fit, 1024 do not (and are not found even when the store has them).
TEST_F(PosixPlatformTest, ValueNameOfAThousandTwentyFourBytesIsRefused)
{
    const std::string fits(1023, 'n'), over(1024, 'n');
    write(dir + "/P.conf", fits + " = 1\n" + over + " = 2\n");
    void *h = open("P");
    ASSERT_NE(h, nullptr);
    int32_t v = 0;
    EXPECT_TRUE(read(h, fits, &v));
    EXPECT_EQ(v, 1);
    EXPECT_FALSE(read(h, over, &v));
    EXPECT_FALSE(heldRead(h, over, &v));
    p->closePrinter(p->ctx, h);
    // A printer name of 1024 characters is refused before any file is looked at.
    EXPECT_EQ(open(std::string(1024, 'p')), nullptr);
}

// "0x" without digits is not a number, so the value is not stored; one digit is.
TEST_F(PosixPlatformTest, HexPrefixNeedsADigit)
{
    write(dir + "/P.conf", "Bare = 0x\nNegBare = -0x\nOne = 0x1\nNegOne = -0x1\nZero = 0\n");
    void *h = open("P");
    ASSERT_NE(h, nullptr);
    int32_t v = 7;
    EXPECT_FALSE(read(h, "Bare", &v));
    EXPECT_FALSE(read(h, "NegBare", &v));
    EXPECT_FALSE(heldRead(h, "Bare", &v));
    EXPECT_TRUE(read(h, "One", &v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(read(h, "NegOne", &v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(read(h, "Zero", &v));
    EXPECT_EQ(v, 0);
    p->closePrinter(p->ctx, h);
}

// ZMD_COUNTRY is taken with up to six digits; seven fall back to 1.
TEST_F(PosixPlatformTest, CountryOfSixDigitsIsTakenSevenAreNot)
{
    char text[16];
    country.set("123456");
    EXPECT_EQ(p->getCountryText(p->ctx, text, sizeof text), 7);
    EXPECT_STREQ(text, "123456");
    country.set("1234567");
    EXPECT_EQ(p->getCountryText(p->ctx, text, sizeof text), 2);
    EXPECT_STREQ(text, "1");
}

} // namespace
