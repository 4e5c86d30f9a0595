#include "formats/reg_file.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

const char Key[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\orvane\\Device0";

// The 640 x 480 at 60 timing value and a two-entry mode list, as the driver key holds them.
std::vector<uint8_t> TimingValue() {
    std::vector<uint8_t> v = {0, 0,    0, 0x12, 0, 0,    8, 0, 0, 0,    6,    0x40, 0, 0,
                              6, 0x56, 0, 0,    0, 0x96, 0, 0, 5, 0x25, 0,    0,    4, 0x80,
                              0, 0,    4, 0x90, 0, 0,    0, 2, 0, 0,    0x25, 0x18};
    v.resize(64, 0);
    v.insert(v.end(), {0, 0, 0xE7, 0xB4});
    return v;
}

const std::vector<uint8_t> ModeList = {8, 0, 6, 0, 0, 0, 0, 0x75, 0x10, 0x24, 7, 0x68, 0, 0, 0, 0};

std::string Written(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& values) {
    RegWriter w;
    EXPECT_EQ(1, w.Begin());
    EXPECT_EQ(1, w.Key(Key));
    for (const auto& v : values)
        EXPECT_EQ(
            1, w.Binary(v.first.c_str(), v.second.data(), static_cast<uint32_t>(v.second.size())));
    EXPECT_EQ(1, w.End());
    return std::string(reinterpret_cast<const char*>(w.Data()), w.Length());
}

struct Item {
    RegItemKind kind;
    uint32_t line;
    std::string key, name;
    uint32_t type;
    std::vector<uint8_t> data;
};

// Reads every item; the error (reason and line) when the reader stops on one.
struct ReadResult {
    std::vector<Item> items;
    std::string error;
    uint32_t errorLine = 0;
    RegFileFormat format = RegFormatUnknown;
};

ReadResult ReadFrom(RegSource source) {
    ReadResult result;
    RegReader reader;
    EXPECT_EQ(1, reader.Open(source));
    RegItem item;
    while (reader.Next(&item)) {
        Item copy{item.kind, item.line, item.keyPath, item.name ? item.name : "", item.type, {}};
        if (item.kind == RegValueItem)
            copy.data.assign(item.data, item.data + item.length);
        result.items.push_back(copy);
    }
    if (reader.Failed()) {
        result.error = reader.Error();
        result.errorLine = reader.ErrorLine();
    }
    result.format = reader.Format();
    return result;
}

ReadResult Read(const std::string& bytes) {
    RegMemory memory{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0};
    return ReadFrom(RegSource{RegReadMemory, &memory});
}

// UTF-8 text (ASCII and two-byte characters) as UTF-16LE with its byte-order mark.
std::string Utf16(const std::string& text) {
    std::string out = "\xFF\xFE";
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned c = static_cast<unsigned char>(text[i]);
        if (c >= 0xC0)
            c = (c & 0x1F) << 6 | (static_cast<unsigned char>(text[++i]) & 0x3F);
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

// A source that makes a long file without holding it: prefix, `count` repeats of unit, suffix.
struct Generated {
    std::string prefix, unit, suffix;
    size_t count, at;
};

int ReadGenerated(void* context, uint8_t* buffer, size_t capacity, size_t* got) {
    Generated* g = static_cast<Generated*>(context);
    const size_t total = g->prefix.size() + g->unit.size() * g->count + g->suffix.size();
    size_t n = 0;
    for (; n < capacity && g->at < total; ++n, ++g->at) {
        size_t at = g->at;
        if (at < g->prefix.size()) {
            buffer[n] = static_cast<uint8_t>(g->prefix[at]);
            continue;
        }
        at -= g->prefix.size();
        if (at < g->unit.size() * g->count)
            buffer[n] = static_cast<uint8_t>(g->unit[at % g->unit.size()]);
        else
            buffer[n] = static_cast<uint8_t>(g->suffix[at - g->unit.size() * g->count]);
    }
    *got = n;
    return 1;
}

} // namespace

TEST(RegFile, WriterGoldenFile) {
    const std::string expected =
        "REGEDIT4\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\orvane\\Device0]\r\n"
        "\"QORDTMCRTBCD0640X0480X0X60\"=hex:00,00,00,12,00,00,08,00,00,00,06,40,00,00,06,\\\r\n"
        "  56,00,00,00,96,00,00,05,25,00,00,04,80,00,00,04,90,00,00,00,02,00,00,25,18,\\\r\n"
        "  00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,\\\r\n"
        "  00,e7,b4\r\n"
        "\"QORNonStandardModesBCD\"=hex:08,00,06,00,00,00,00,75,10,24,07,68,00,00,00,00\r\n"
        "\"empty\"=hex:\r\n"
        "\"a\\\\b\\\"c\"=hex:ff\r\n"
        "@=hex:01\r\n"
        "\r\n";
    EXPECT_EQ(expected, Written({{"QORDTMCRTBCD0640X0480X0X60", TimingValue()},
                                 {"QORNonStandardModesBCD", ModeList},
                                 {"empty", {}},
                                 {"a\\b\"c", {0xFF}},
                                 {"", {1}}}));

    RegWriter w;
    EXPECT_EQ(1, w.Begin());
    EXPECT_EQ(0, w.Key("HKEY_LOCAL_MACHINE\\bad\r\nkey")); // would break the file
    EXPECT_EQ(0, w.Key("HKEY_LOCAL_MACHINE\\good"));       // and the writer stays failed
}

TEST(RegFile, WriterWrapsAsRegeditAtEveryNameLength) {
    for (size_t nameLength = 0; nameLength <= 90; ++nameLength) {
        for (uint32_t size : {0u, 1u, 18u, 19u, 20u, 44u, 68u, 200u}) {
            std::vector<uint8_t> data(size);
            for (uint32_t i = 0; i < size; ++i)
                data[i] = static_cast<uint8_t>(i * 7);
            const std::string file = Written({{std::string(nameLength, 'n'), data}});
            // Lines of the value: between the key line and the final blank line.
            std::vector<std::string> lines;
            for (size_t at = 0, end; (end = file.find("\r\n", at)) != std::string::npos;
                 at = end + 2)
                lines.push_back(file.substr(at, end - at));
            ASSERT_GE(lines.size(), 5u);
            for (size_t i = 3; i + 1 < lines.size(); ++i) {
                const std::string& l = lines[i];
                SCOPED_TRACE("name " + std::to_string(nameLength) + ", " + std::to_string(size) +
                             " bytes, line " + l);
                if (i > 3) {
                    EXPECT_EQ("  ", l.substr(0, 2));
                }
                // At most 80 columns, unless the name alone leaves no room; a line that goes on
                // is full: one more "xx," would pass 80.
                if (i > 3 || nameLength < 70) {
                    EXPECT_LE(l.size(), 80u);
                }
                if (l.back() == '\\') {
                    EXPECT_GT(l.size() + 3, 80u);
                }
            }
            const ReadResult back = Read(file);
            ASSERT_EQ("", back.error);
            ASSERT_EQ(2u, back.items.size());
            EXPECT_EQ(data, back.items[1].data);
        }
    }
}

TEST(RegFile, ReaderRoundTripOfTheWriter) {
    const ReadResult r = Read(Written(
        {{"QORDTMCRTBCD0640X0480X0X60", TimingValue()}, {"QORNonStandardModesBCD", ModeList}}));
    ASSERT_EQ("", r.error);
    EXPECT_EQ(RegFormat4, r.format);
    ASSERT_EQ(3u, r.items.size());
    EXPECT_EQ(RegKeyItem, r.items[0].kind);
    EXPECT_EQ(3u, r.items[0].line);
    EXPECT_EQ(Key, r.items[0].key);
    EXPECT_EQ(RegValueItem, r.items[1].kind);
    EXPECT_EQ(4u, r.items[1].line);
    EXPECT_EQ(Key, r.items[1].key);
    EXPECT_EQ("QORDTMCRTBCD0640X0480X0X60", r.items[1].name);
    EXPECT_EQ(RegTypeBinary, r.items[1].type);
    EXPECT_EQ(TimingValue(), r.items[1].data);
    EXPECT_EQ(8u, r.items[2].line); // after three continuation lines
    EXPECT_EQ(ModeList, r.items[2].data);
}

TEST(RegFile, ReaderTakesRegeditVersion5InUtf16) {
    const std::string text = "Windows Registry Editor Version 5.00\r\n"
                             "\r\n"
                             "; exported\r\n"
                             "[HKEY_LOCAL_MACHINE\\SYSTEM\\Key]\r\n"
                             "@=\"default\"\r\n"
                             "\"str\"=\"a \\\"q\\\" \\\\ b\"\r\n"
                             "\"dw\" = dword:0000001A\r\n"
                             "\"multi\"=hex(7):61,00,00,00\r\n"
                             "\"bin\"=hex:01, 02,\\\r\n"
                             "\t  03\r\n"
                             "\"caf\xC3\xA9\"=hex(b):\r\n"
                             "\"gone\"=-\r\n"
                             "\r\n"
                             "[-HKEY_LOCAL_MACHINE\\SYSTEM\\Old]\r\n";
    for (const std::string& file : {Utf16(text), text, "\xEF\xBB\xBF" + text}) {
        const ReadResult r = Read(file);
        ASSERT_EQ("", r.error);
        EXPECT_EQ(RegFormat5, r.format);
        const struct {
            RegItemKind kind;
            uint32_t line;
            const char* name;
            uint32_t type;
            std::vector<uint8_t> data;
        } expected[] = {
            {RegKeyItem, 4, "", 0, {}},
            {RegValueItem, 5, "", RegTypeSz, {'d', 'e', 'f', 'a', 'u', 'l', 't', 0}},
            {RegValueItem, 6, "str", RegTypeSz, {'a', ' ', '"', 'q', '"', ' ', '\\', ' ', 'b', 0}},
            {RegValueItem, 7, "dw", RegTypeDword, {0x1A, 0, 0, 0}},
            {RegValueItem, 8, "multi", 7, {0x61, 0, 0, 0}},
            {RegValueItem, 9, "bin", RegTypeBinary, {1, 2, 3}},
            {RegValueItem, 11, "caf\xC3\xA9", 0xB, {}},
            {RegDeleteValueItem, 12, "gone", RegTypeNone, {}},
            {RegDeleteKeyItem, 14, "", 0, {}},
        };
        ASSERT_EQ(std::size(expected), r.items.size());
        for (size_t i = 0; i < r.items.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(expected[i].kind, r.items[i].kind);
            EXPECT_EQ(expected[i].line, r.items[i].line);
            EXPECT_EQ(expected[i].data, r.items[i].data);
            if (expected[i].kind == RegValueItem || expected[i].kind == RegDeleteValueItem) {
                EXPECT_EQ(expected[i].name, r.items[i].name);
                EXPECT_EQ(expected[i].type, r.items[i].type);
                EXPECT_EQ("HKEY_LOCAL_MACHINE\\SYSTEM\\Key", r.items[i].key);
            }
        }
        EXPECT_EQ("HKEY_LOCAL_MACHINE\\SYSTEM\\Old", r.items.back().key);
    }
    // Line ends may be LF alone.
    const ReadResult lf = Read("REGEDIT4\n[k]\n\"a\"=hex:01,\\\n  02\n\"b\"=dword:1\n");
    ASSERT_EQ("", lf.error);
    ASSERT_EQ(3u, lf.items.size());
    EXPECT_EQ(5u, lf.items[2].line);
}

TEST(RegFile, ReaderRefusesHostileTextWithTheLine) {
    const std::string head = "REGEDIT4\r\n[k]\r\n";
    const struct {
        std::string file;
        const char* error;
        uint32_t line;
    } cases[] = {
        {"",
         "not a registry file: the first line must be REGEDIT4 or Windows Registry Editor "
         "Version 5.00",
         1},
        {"REGEDIT5\r\n",
         "not a registry file: the first line must be REGEDIT4 or Windows Registry "
         "Editor Version 5.00",
         1},
        {"\xFE\xFFREGEDIT4", "UTF-16 big-endian text is not read", 1},
        {"REGEDIT4\r\n\"a\"=hex:01\r\n", "value outside a key", 2},
        {head + "\"a\"=hex:00,1\r\n", "a hex byte must be two hex digits", 3},
        {head + "\"a\"=hex:00,123\r\n", "a hex byte must be two hex digits", 3},
        {head + "\"a\"=hex:00,11,\r\n", "hex bytes end with a comma", 3},
        {head + "\"a\"=hex:00,11,\\\r\n", "the file ends inside a value", 4},
        {head + "\"a\"=hex:00,11,\\", "the file ends inside a value", 3},
        {head + "\"a\"=hex:00,11,\\\r\n\r\n\"b\"=hex:01\r\n", "blank line inside a value", 4},
        {head + "\"a\"=hex:00 11\r\n", "comma expected between hex bytes", 3},
        {head + "\"a\"=hex:00,11\\\r\n  22\r\n", "comma expected between hex bytes", 3},
        {head + "\"a\"=hex:00,\\ x\r\n", "text after a continuation backslash", 3},
        {head + "\"a\"=hex(100000000):00\r\n", "number past 32 bits", 3},
        {head + "\"a\"=dword:100000000\r\n", "number past 32 bits", 3},
        {head + "\"a\"=dword:\r\n", "hex number expected", 3},
        {head + "\"a\"=hex(7:00\r\n", "')' expected after the value type", 3},
        {head + "\"a\"=hex\r\n", "':' expected after hex", 3},
        {head + "\"a\"=qword:1\r\n", "value data not understood", 3},
        {head + "\"a\"=hex:01 junk\r\n", "comma expected between hex bytes", 3},
        {head + "\"a\"=\"x\" junk\r\n", "text after the end of the item", 3},
        {head + "\"a\"=\"x\r\n", "text without its closing quote", 3},
        {head + "\"a\\n\"=hex:01\r\n", "unknown escape in quoted text", 3},
        {head + "\"a\"hex:01\r\n", "'=' expected after the value name", 3},
        {head + "a=hex:01\r\n", "line not understood", 3},
        {head + "[unclosed\r\n", "key without its closing bracket", 3},
        {head + "[k] x\r\n", "text after the key's closing bracket", 3},
        {head + "[]\r\n", "empty key path", 3},
        {head + "[-k]\r\n\"a\"=hex:01\r\n", "value outside a key", 4},
        {head + std::string("\"a\"=hex:0\0", 10) + "1\r\n", "zero character in the text", 3},
        {Utf16("REGEDIT4\r\n[k]\r\n\"a\"=hex:01\r\n") + "\x33",
         "odd number of bytes in UTF-16 text", 4},
        {Utf16("REGEDIT4\r\n[k]\r\n\"") + std::string("\x00\xD8", 2) +
             Utf16("a\"=hex:01\r\n").substr(2),
         "broken UTF-16 surrogate pair", 3},
        {Utf16("REGEDIT4\r\n[k]\r\n\"") + std::string("\x00\xDC", 2),
         "broken UTF-16 surrogate pair", 3},
        {Utf16("REGEDIT4\r\n[k]\r\n\"") + std::string("\x00\x00", 2), "zero character in the text",
         3},
        {head + "\"" + std::string(RegNameMax + 1, 'n') + "\"=hex:01\r\n", "value name too long",
         3},
        {head + "[" + std::string(RegKeyPathMax + 1, 'k') + "]\r\n", "key path too long", 3},
    };
    for (const auto& c : cases) {
        const ReadResult r = Read(c.file);
        EXPECT_EQ(c.error, r.error) << c.file;
        EXPECT_EQ(c.line, r.errorLine) << c.file;
    }

    // A valid surrogate pair and a name of 300 characters are text like any other.
    const ReadResult pair =
        Read(Utf16("REGEDIT4\r\n[k]\r\n\"") + std::string("\x3D\xD8\x00\xDE", 4) +
             Utf16("\"=hex:01\r\n").substr(2));
    ASSERT_EQ("", pair.error);
    EXPECT_EQ("\xF0\x9F\x98\x80", pair.items[1].name);
    const std::string longName(300, 'n');
    const ReadResult named = Read(head + "\"" + longName + "\"=hex:01\r\n");
    ASSERT_EQ("", named.error);
    EXPECT_EQ(longName, named.items[1].name);
}

TEST(RegFile, ReaderStreamsPastAHundredMegabyteLine) {
    const size_t hundredMB = 100u << 20;
    // A comment of 100 MB is read through and forgotten.
    Generated comment{"REGEDIT4\r\n[k]\r\n;", "x", "\r\n\"a\"=hex:01\r\n", hundredMB, 0};
    ReadResult r = ReadFrom(RegSource{ReadGenerated, &comment});
    ASSERT_EQ("", r.error);
    ASSERT_EQ(2u, r.items.size());
    EXPECT_EQ(4u, r.items[1].line);

    // Values of 100 MB stop at the limit, with their line.
    const struct {
        const char* prefix;
        const char* unit;
        const char* error;
        uint32_t line;
    } values[] = {
        {"REGEDIT4\r\n[k]\r\n\"a\"=hex:", "00,", "value data larger than 1 MiB", 3},
        {"REGEDIT4\r\n[k]\r\n\"a\"=\"", "x", "value data larger than 1 MiB", 3},
        {"REGEDIT4\r\n[k]\r\n\"", "n", "value name too long", 3},
        {"REGEDIT4\r\n[", "k", "key path too long", 2},
    };
    for (const auto& v : values) {
        Generated g{v.prefix, v.unit, "\r\n", hundredMB / std::string(v.unit).size(), 0};
        r = ReadFrom(RegSource{ReadGenerated, &g});
        EXPECT_EQ(v.error, r.error);
        EXPECT_EQ(v.line, r.errorLine);
        EXPECT_LT(g.at, 4u << 20) << "stopped reading early";
    }
}
