#include "store/mode_list.h"

#include "support/alloc_failure.h"
#include "support/builders.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

// Found by argument-dependent lookup, so they live beside NonStandardMode.
bool operator==(const NonStandardMode& a, const NonStandardMode& b) {
    return SameMode(a, b);
}

void PrintTo(const NonStandardMode& m, std::ostream* out) {
    *out << "(" << m.width << ", " << m.height << ", " << m.reserved << ", " << m.refresh << ")";
}

namespace {

void Fill(NonStandardModeList& list, const std::vector<NonStandardMode>& modes) {
    for (const NonStandardMode& mode : modes)
        ASSERT_EQ(1, list.AddMode(mode));
}

std::vector<uint8_t> Encoded(const NonStandardModeList& list) {
    uint32_t length = 12345;
    uint8_t* bytes = list.EncodeModeList(&length);
    EXPECT_NE(nullptr, bytes);
    if (!bytes)
        return {};
    std::vector<uint8_t> out(bytes, bytes + length);
    delete[] bytes;
    return out;
}

} // namespace

TEST(ModeList, AddModeCoverage) {
    struct Case {
        const char* what;
        std::vector<NonStandardMode> before;
        NonStandardMode added;
        bool appended;
    } cases[] = {
        {"refresh 0 covers every refresh",
         {ModeEntry(800, 600, 0, 0)},
         ModeEntry(800, 600, 0, 75),
         false},
        {"refresh 0 is added beside a refresh",
         {ModeEntry(800, 600, 0, 60)},
         ModeEntry(800, 600, 0, 0),
         true},
        {"reserved is not compared",
         {ModeEntry(800, 600, 0, 60)},
         ModeEntry(800, 600, 5, 60),
         false},
        {"another refresh is added",
         {ModeEntry(800, 600, 0, 60), ModeEntry(800, 600, 0, 75)},
         ModeEntry(800, 600, 0, 85),
         true},
        {"a match further down covers",
         {ModeEntry(640, 480, 0, 60), ModeEntry(800, 600, 0, 75)},
         ModeEntry(800, 600, 0, 75),
         false},
        {"same size other orientation",
         {ModeEntry(800, 600, 0, 0)},
         ModeEntry(600, 800, 0, 60),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NonStandardModeList list;
        Fill(list, c.before);
        EXPECT_EQ(1, list.AddMode(c.added));
        std::vector<NonStandardMode> expected = c.before;
        if (c.appended)
            expected.push_back(c.added);
        EXPECT_EQ(expected, Entries(list));
        EXPECT_EQ(static_cast<int32_t>(expected.size()), list.Count());
    }
}

// The entry with refresh 0 can only follow the others: added first, it would cover them.
TEST(ModeList, RemoveModeTakesTheEntryOfTheGivenRefresh) {
    const std::vector<NonStandardMode> start = {
        ModeEntry(800, 600, 0, 60), ModeEntry(800, 600, 0, 75), ModeEntry(800, 600, 0, 0)};
    struct Case {
        uint16_t refresh;
        int result;
        std::vector<NonStandardMode> after;
    } cases[] = {
        {75, 1, {ModeEntry(800, 600, 0, 60), ModeEntry(800, 600, 0, 0)}},
        {60, 1, {ModeEntry(800, 600, 0, 75), ModeEntry(800, 600, 0, 0)}},
        {85, 0, start},
        {0, 0, start},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refresh);
        NonStandardModeList list;
        Fill(list, start);
        EXPECT_EQ(c.result, list.RemoveMode(800, 600, c.refresh));
        EXPECT_EQ(c.after, Entries(list));
        EXPECT_EQ(static_cast<int32_t>(c.after.size()), list.Count());
    }
}

TEST(ModeList, RemoveModeMatchesResolutionExactly) {
    NonStandardModeList list;
    Fill(list,
         {ModeEntry(600, 800, 0, 60), ModeEntry(800, 601, 0, 60), ModeEntry(800, 600, 0, 60)});
    EXPECT_EQ(1, list.RemoveMode(800, 600, 60));
    EXPECT_EQ(
        (std::vector<NonStandardMode>{ModeEntry(600, 800, 0, 60), ModeEntry(800, 601, 0, 60)}),
        Entries(list));
    EXPECT_EQ(0, list.RemoveMode(800, 600, 60));
}

// Head, middle and tail removals must keep head, tail and count right, so that later appends
// land at the end and a walk sees every entry.
TEST(ModeList, RemoveThenAddKeepsTheLinks) {
    struct Case {
        uint16_t removedWidth;
        std::vector<uint16_t> widthsAfterAdd;
    } cases[] = {
        {640, {800, 1024, 1280}},
        {800, {640, 1024, 1280}},
        {1024, {640, 800, 1280}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.removedWidth);
        NonStandardModeList list;
        Fill(list,
             {ModeEntry(640, 480, 0, 60), ModeEntry(800, 600, 0, 60), ModeEntry(1024, 768, 0, 60)});
        ASSERT_EQ(1, list.RemoveMode(c.removedWidth, c.removedWidth * 3 / 4, 60));
        ASSERT_EQ(1, list.AddMode(ModeEntry(1280, 960, 0, 60)));
        std::vector<uint16_t> widths;
        for (const NonStandardMode& mode : Entries(list))
            widths.push_back(mode.width);
        EXPECT_EQ(c.widthsAfterAdd, widths);
        EXPECT_EQ(3, list.Count());
    }
}

TEST(ModeList, RemovingTheOnlyEntryEmptiesTheList) {
    NonStandardModeList list;
    Fill(list, {ModeEntry(800, 600, 0, 60)});
    ASSERT_EQ(1, list.RemoveMode(800, 600, 60));
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ(nullptr, list.FirstMode());
    EXPECT_EQ(nullptr, list.NextMode());

    ASSERT_EQ(1, list.AddMode(ModeEntry(640, 480, 0, 0)));
    EXPECT_EQ((std::vector<NonStandardMode>{ModeEntry(640, 480, 0, 0)}), Entries(list));
    ASSERT_EQ(1, list.AddMode(ModeEntry(800, 600, 0, 0)));
    EXPECT_EQ(2u, Entries(list).size());
}

TEST(ModeList, WalkAndCursor) {
    NonStandardModeList list;
    EXPECT_EQ(nullptr, list.NextMode()); // no walk begun
    Fill(list,
         {ModeEntry(640, 480, 0, 60), ModeEntry(800, 600, 0, 60), ModeEntry(1024, 768, 0, 60)});

    // AddMode and EncodeModeList in the middle of a walk do not disturb it.
    ASSERT_NE(nullptr, list.FirstMode());
    ASSERT_EQ(1, list.AddMode(ModeEntry(1280, 1024, 0, 60)));
    ASSERT_EQ(1, list.AddMode(ModeEntry(640, 480, 0, 60))); // covered
    Encoded(list);
    NonStandardMode* next = list.NextMode();
    ASSERT_NE(nullptr, next);
    EXPECT_EQ(800, next->width);

    // The walk hands out the entries themselves.
    next->reserved = 7;
    list.FirstMode();
    EXPECT_EQ(7, list.NextMode()->reserved);

    // Removing the entry under the cursor ends the walk instead of leaving it dangling.
    ASSERT_EQ(1, list.RemoveMode(800, 600, 60));
    EXPECT_EQ(nullptr, list.NextMode());
    EXPECT_EQ(3u, Entries(list).size());
    EXPECT_EQ(nullptr, list.NextMode()); // past the end stays at the end
}

TEST(ModeList, EncodeWorkedExample) {
    NonStandardModeList list;
    Fill(list, {ModeEntry(800, 600, 0, 75), ModeEntry(1024, 768, 0, 0)});
    EXPECT_EQ((std::vector<uint8_t>{0x08, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x75, 0x10, 0x24,
                                    0x07, 0x68, 0x00, 0x00, 0x00, 0x00}),
              Encoded(list));
}

// Each field sits in its own place of the group: a mix-up of the order would pass the symmetric
// worked example but not this one.
TEST(ModeList, EveryFieldRoundTrips) {
    NonStandardModeList list;
    Fill(list, {ModeEntry(1, 2, 3, 4), ModeEntry(1600, 1200, 9, 85)});
    std::vector<uint8_t> bytes = Encoded(list);
    EXPECT_EQ((std::vector<uint8_t>{0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x16, 0x00,
                                    0x12, 0x00, 0x00, 0x09, 0x00, 0x85}),
              bytes);
    NonStandardModeList back;
    ASSERT_EQ(1, back.DecodeModeList(bytes.data(), static_cast<uint32_t>(bytes.size())));
    EXPECT_EQ(Entries(list), Entries(back));
}

TEST(ModeList, EncodeLengthFollowsTheCount) {
    NonStandardModeList list;
    EXPECT_EQ(0u, Encoded(list).size());
    for (uint16_t i = 1; i <= 5; ++i)
        Fill(list, {ModeEntry(i, i, 0, 60)});
    EXPECT_EQ(40u, Encoded(list).size());
    list.Clear();
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ(nullptr, list.FirstMode());
    Fill(list, {ModeEntry(640, 480, 0, 60), ModeEntry(800, 600, 0, 60)});
    EXPECT_EQ(16u, Encoded(list).size());
}

TEST(ModeList, DecodeCollapsesCoveredEntries) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::vector<NonStandardMode> entries;
    } cases[] = {
        {"stored duplicates",
         {0x08, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x75, 0x08, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00,
          0x75},
         {ModeEntry(800, 600, 0, 75)}},
        {"covered by refresh 0",
         {0x08, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00,
          0x60},
         {ModeEntry(800, 600, 0, 0)}},
        {"reserved and face-value nibbles kept",
         {0x06, 0x40, 0x04, 0x80, 0x00, 0x12, 0xFF, 0xFF},
         {ModeEntry(640, 480, 12, 16665)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NonStandardModeList list;
        ASSERT_EQ(1, list.DecodeModeList(c.bytes.data(), static_cast<uint32_t>(c.bytes.size())));
        EXPECT_EQ(c.entries, Entries(list));
    }
}

// Only whole groups of eight are decoded; a partial last group is ignored, never read past the
// end of the bytes (the sanitizer build checks that).
TEST(ModeList, DecodeIgnoresAPartialLastGroup) {
    const uint8_t full[16] = {0x06, 0x40, 0x04, 0x80, 0x00, 0x00, 0x00, 0x60,
                              0x08, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x75};
    for (uint32_t length = 1; length <= 16; ++length) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> bytes(full, full + length); // exactly `length` bytes on the heap
        NonStandardModeList list;
        EXPECT_EQ(1, list.DecodeModeList(bytes.data(), length));
        EXPECT_EQ(static_cast<int32_t>(length / 8), list.Count());
    }
}

TEST(ModeList, DecodeRefusesMissingInput) {
    const uint8_t bytes[8] = {0x06, 0x40, 0x04, 0x80, 0x00, 0x00, 0x00, 0x60};
    NonStandardModeList list;
    EXPECT_EQ(0, list.DecodeModeList(bytes, 0));
    EXPECT_EQ(0, list.DecodeModeList(nullptr, 8));
    EXPECT_EQ(0, list.Count());
}

TEST(ModeList, DecodeAddsToWhatIsThere) {
    NonStandardModeList list;
    Fill(list, {ModeEntry(800, 600, 0, 0)});
    const uint8_t bytes[16] = {0x08, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x60,
                               0x06, 0x40, 0x04, 0x80, 0x00, 0x00, 0x00, 0x60};
    ASSERT_EQ(1, list.DecodeModeList(bytes, sizeof bytes));
    EXPECT_EQ((std::vector<NonStandardMode>{ModeEntry(800, 600, 0, 0), ModeEntry(640, 480, 0, 60)}),
              Entries(list));
}

TEST(ModeList, OutOfMemoryLeavesTheListAsItWas) {
    NonStandardModeList list;
    Fill(list, {ModeEntry(640, 480, 0, 60)});
    {
        ScopedAllocationFailure failing;
        EXPECT_EQ(0, list.AddMode(ModeEntry(800, 600, 0, 60)));
        EXPECT_EQ(1, list.AddMode(ModeEntry(640, 480, 0, 60))); // covered: needs no memory
        uint32_t length = 99;
        EXPECT_EQ(nullptr, list.EncodeModeList(&length));
        EXPECT_EQ(0u, length);
    }
    EXPECT_EQ((std::vector<NonStandardMode>{ModeEntry(640, 480, 0, 60)}), Entries(list));
    EXPECT_EQ(1, list.Count());
    ASSERT_EQ(1, list.AddMode(ModeEntry(800, 600, 0, 60)));
    EXPECT_EQ(2, list.Count());
}

TEST(ModeList, DecodeReportsAnEntryLostForWantOfMemory) {
    const uint8_t bytes[24] = {0x06, 0x40, 0x04, 0x80, 0x00, 0x00, 0x00, 0x60,
                               0x08, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x75,
                               0x10, 0x24, 0x07, 0x68, 0x00, 0x00, 0x00, 0x00};
    NonStandardModeList list;
    {
        ScopedAllocationFailure failing(1); // the first entry gets its node, the rest do not
        EXPECT_EQ(0, list.DecodeModeList(bytes, sizeof bytes));
    }
    EXPECT_EQ((std::vector<NonStandardMode>{ModeEntry(640, 480, 0, 60)}), Entries(list));
}
