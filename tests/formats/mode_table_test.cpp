#include "formats/mode_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

CrtMonitor Arcade15() {
    CrtMonitor m;
    EXPECT_EQ(1, FindCrtPreset("arcade_15", &m));
    return m;
}

ModeTableOptions Options(uint32_t cap, int vertical) {
    return {cap, vertical, 0};
}

std::string Key(const ModeTableMode& m) {
    return std::to_string(m.width) + "x" + std::to_string(m.height) + "@" +
           std::to_string(m.refresh);
}

// The key serving a game, or "-".
std::string ServedBy(const ModeTable& t, uint32_t game) {
    const ModeGameResult& r = t.Results()[game];
    return r.mode == ModeNone ? "-" : Key(t.Modes()[r.mode]);
}

TEST(ModeTable, TurnsThePictureOfTheGamesTheMonitorIsNotTurnedFor) {
    const ModeGame games[] = {
        {"flat", 240, 224, 60, 0},
        {"upside", 240, 224, 60, 180},
        {"left", 224, 240, 60, 90},
        {"right", 224, 240, 60, 270},
    };
    struct Case {
        int vertical;
        uint32_t width[4], height[4];
    };
    const Case cases[] = {
        {0, {240, 240, 240, 240}, {224, 224, 224, 224}},
        {1, {224, 224, 224, 224}, {240, 240, 240, 240}},
    };
    for (const Case& c : cases) {
        ModeTable t;
        ASSERT_EQ(1, t.Build(games, 4, Arcade15(), Options(32, c.vertical)));
        ASSERT_EQ(1u, t.ModeCount()) << c.vertical;
        for (uint32_t i = 0; i < 4; ++i) {
            const ModeGameResult& r = t.Results()[i];
            EXPECT_EQ(c.width[i], r.width) << c.vertical << " " << games[i].name;
            EXPECT_EQ(c.height[i], r.height) << c.vertical << " " << games[i].name;
            EXPECT_EQ(0u, r.mode);
            EXPECT_EQ(t.Results()[0].errorHz, r.errorHz) << games[i].name;
        }
        EXPECT_EQ(c.height[0], t.Modes()[0].fit.raster.vDisplay);
    }
}

// What the serving mode is: double-scan for too few lines on 31 kHz, interlaced for many on
// 15 kHz, widened whole times for the card's lowest clock, at twice a refresh below the range
// (each frame shown twice, which the game is served exactly by).
TEST(ModeTable, RecordsTheScanAndWidthOfTheServingMode) {
    struct Case {
        const char* monitor;
        ModeGame game;
        uint64_t minClockHz;
        int interlaced, doubleScan;
        uint32_t widthFactor;
        double wantHz;
    };
    const Case cases[] = {
        {"arcade_31", {"low", 320, 240, 60, 0}, 0, 0, 1, 1, 60},
        {"arcade_15", {"high", 512, 448, 60, 0}, 0, 1, 0, 1, 60},
        {"arcade_15", {"plain", 320, 240, 60, 0}, 0, 0, 0, 1, 60},
        {"arcade_15", {"half", 320, 240, 27.5, 0}, 0, 0, 0, 1, 55},
        {"arcade_15", {"super", 320, 240, 60, 0}, 25000000, 0, 0, 4, 60},
    };
    for (const Case& c : cases) {
        CrtMonitor m;
        ASSERT_EQ(1, FindCrtPreset(c.monitor, &m));
        ModeTable t;
        ASSERT_EQ(1, t.Build(&c.game, 1, m, {32, 0, c.minClockHz}));
        ASSERT_EQ(1u, t.ModeCount()) << c.game.name;
        const ModeGameResult& r = t.Results()[0];
        EXPECT_EQ(c.interlaced, r.interlaced) << c.game.name;
        EXPECT_EQ(c.doubleScan, r.doubleScan) << c.game.name;
        EXPECT_EQ(c.game.width * c.widthFactor, t.Modes()[0].width) << c.game.name;
        EXPECT_EQ(t.Modes()[0].width, t.Modes()[0].fit.raster.hDisplay) << c.game.name;
        EXPECT_EQ(c.game.width, r.width) << c.game.name;
        EXPECT_EQ(c.wantHz, r.wantHz) << c.game.name;
        EXPECT_EQ(static_cast<uint32_t>(c.wantHz), t.Modes()[0].refresh) << c.game.name;
        EXPECT_LT(std::fabs(r.errorPercent), 0.2) << c.game.name;
    }
}

// Rates that round to one key share one timing, whose largest error is about half their spread
// (the timing of either end would err by all of it).
TEST(ModeTable, SharedKeyTakesTheTimingOfTheSmallestLargestError) {
    struct Case {
        double rates[3];
        size_t count;
        const char* key;
    };
    const Case cases[] = {
        {{59.19, 59.41, 0}, 2, "320x240@59"},
        {{57.55, 57.9, 58.4}, 3, "320x240@58"},
        {{53.2, 53.2, 0}, 2, "320x240@53"},
    };
    for (const Case& c : cases) {
        std::vector<ModeGame> games;
        for (size_t i = 0; i < c.count; ++i)
            games.push_back({"g", 320, 240, c.rates[i], 0});
        ModeTable t;
        ASSERT_EQ(1, t.Build(games.data(), games.size(), Arcade15(), Options(32, 0)));
        ASSERT_EQ(1u, t.ModeCount()) << c.key;
        EXPECT_EQ(c.key, Key(t.Modes()[0]));
        EXPECT_EQ(c.count, t.Modes()[0].games);
        double largest = 0;
        for (size_t i = 0; i < c.count; ++i) {
            const ModeGameResult& r = t.Results()[i];
            EXPECT_EQ(0u, r.mode);
            EXPECT_DOUBLE_EQ(t.Modes()[0].fit.realRefreshHz - c.rates[i], r.errorHz);
            EXPECT_DOUBLE_EQ(100 * r.errorHz / c.rates[i], r.errorPercent);
            largest = std::fmax(largest, std::fabs(r.errorHz));
        }
        // Half the spread, and the clock's rounding (10 kHz of about 6.3 MHz).
        EXPECT_LE(largest, (c.rates[c.count - 1] - c.rates[0]) / 2 + 0.06) << c.key;
    }
}

TEST(ModeTable, CapKeepsTheMostServedAndServesTheRestByTheNearestWholePicture) {
    const ModeGame games[] = {
        {"a1", 320, 240, 60, 0},  {"a2", 320, 240, 60, 0},   {"a3", 240, 320, 60, 90},
        {"b1", 320, 224, 60, 0},  {"b2", 320, 224, 60, 0},   {"c", 320, 224, 57, 0},
        {"d", 256, 232, 55, 0},   {"wide", 400, 224, 53, 0}, {"tall", 320, 600, 60, 0},
        {"e", 320, 224, 58.4, 0},
    };
    struct Case {
        uint32_t cap;
        const char* served[10];
        ModeGameStatus status[10];
        uint32_t modes;
    };
    const ModeGameStatus X = ModeExact, N = ModeNearest, U = ModeUnserved;
    const Case cases[] = {
        {32,
         {"320x240@60", "320x240@60", "320x240@60", "320x224@60", "320x224@60", "320x224@57",
          "256x232@55", "400x224@53", "-", "320x224@58"},
         {X, X, X, X, X, X, X, X, U, X},
         6},
        // Four-way tie at one game: the lowest keys kept. c and e are nearest 60 at 224 lines;
        // d takes the next taller height; wide no kept mode is wide enough for.
        {2,
         {"320x240@60", "320x240@60", "320x240@60", "320x224@60", "320x224@60", "320x224@60",
          "320x240@60", "-", "-", "320x224@60"},
         {X, X, X, X, X, N, N, U, U, N},
         2},
        // e is nearer 57 than 60 among the modes of its height.
        {4,
         {"320x240@60", "320x240@60", "320x240@60", "320x224@60", "320x224@60", "320x224@57",
          "256x232@55", "-", "-", "320x224@57"},
         {X, X, X, X, X, X, X, U, U, N},
         4},
        {0, {"-", "-", "-", "-", "-", "-", "-", "-", "-", "-"}, {U, U, U, U, U, U, U, U, U, U}, 0},
    };
    for (const Case& c : cases) {
        ModeTable t;
        ASSERT_EQ(1, t.Build(games, 10, Arcade15(), Options(c.cap, 0)));
        EXPECT_EQ(c.modes, t.ModeCount()) << c.cap;
        for (uint32_t i = 0; i < 10; ++i) {
            EXPECT_EQ(c.served[i], ServedBy(t, i)) << c.cap << " " << games[i].name;
            EXPECT_EQ(c.status[i], t.Results()[i].status) << c.cap << " " << games[i].name;
        }
    }
}

// A dropped game takes a mode of its own height before a taller one of a nearer refresh, and
// one at least as wide as its picture.
TEST(ModeTable, DroppedGameTakesItsHeightBeforeANearerRefresh) {
    const ModeGame games[] = {
        {"p1", 320, 224, 60, 0}, {"p2", 320, 224, 60, 0}, {"p3", 320, 224, 60, 0},
        {"q1", 320, 240, 55, 0}, {"q2", 320, 240, 55, 0}, {"x", 320, 224, 55, 0},
        {"y", 288, 232, 60, 0},  {"z", 384, 224, 60, 0},
    };
    const char* served[] = {"320x224@60", "320x224@60", "320x224@60", "320x240@55",
                            "320x240@55", "320x224@60", "320x240@55", "-"};
    ModeTable t;
    ASSERT_EQ(1, t.Build(games, 8, Arcade15(), Options(2, 0)));
    ASSERT_EQ(2u, t.ModeCount());
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(served[i], ServedBy(t, i)) << games[i].name;
    EXPECT_EQ(ModeNearest, t.Results()[5].status);
    EXPECT_NEAR(t.Modes()[0].fit.realRefreshHz - 55, t.Results()[5].errorHz, 1e-9);
    EXPECT_EQ(ModeUnserved, t.Results()[7].status);
}

TEST(ModeTable, SameGamesInAnyOrderGiveTheSameTable) {
    std::vector<ModeGame> games;
    static const double rates[] = {59.19, 59.41, 57.55, 60, 53.2, 54.7, 30};
    for (uint32_t i = 0; i < 28; ++i)
        games.push_back(
            {nullptr, 256 + 32 * (i % 3), 224 + 8 * (i % 4), rates[i % 7], 90 * (i % 4)});
    std::vector<ModeGame> shuffled;
    for (uint32_t i = 0; i < 28; ++i)
        shuffled.push_back(games[(i * 11) % 28]);
    ModeTable a, b;
    ASSERT_EQ(1, a.Build(games.data(), games.size(), Arcade15(), Options(5, 0)));
    ASSERT_EQ(1, b.Build(shuffled.data(), shuffled.size(), Arcade15(), Options(5, 0)));
    ASSERT_EQ(a.ModeCount(), b.ModeCount());
    for (uint32_t i = 0; i < a.ModeCount(); ++i) {
        EXPECT_EQ(Key(a.Modes()[i]), Key(b.Modes()[i]));
        EXPECT_EQ(0,
                  std::memcmp(&a.Modes()[i].fit.raster, &b.Modes()[i].fit.raster, sizeof(Raster)));
    }
    for (uint32_t i = 0; i < 28; ++i) {
        const ModeGameResult& x = a.Results()[(i * 11) % 28];
        const ModeGameResult& y = b.Results()[i];
        EXPECT_EQ(ServedBy(a, (i * 11) % 28), ServedBy(b, i));
        EXPECT_EQ(x.status, y.status);
        EXPECT_EQ(x.errorHz, y.errorHz);
    }
}

// The board's own vertical total where the monitor takes its line rate (264 lines at 60.6 Hz is
// 16.0 kHz; 300 would be 18.2 kHz, so the fitter's own total stands), one super-resolution width
// for pictures of every width, and a picture the monitor cannot take at its own rate (256 lines
// at 60 Hz need 276 at most 16.2 kHz) served by a taller mode.
TEST(ModeTable, KeepsTheBoardsTotalSharesASuperWidthAndServesAnUnfitPicture) {
    struct Case {
        std::vector<ModeGame> games;
        uint32_t superWidth;
        const char* served[2];
        ModeGameStatus status[2];
        uint32_t vTotal; // of the first mode
    };
    const Case cases[] = {
        {{{"board", 288, 224, 60.606061, 0, 264}}, 0, {"288x224@61"}, {ModeExact}, 264},
        {{{"fast", 288, 224, 60.606061, 0, 300}}, 0, {"288x224@61"}, {ModeExact}, 258},
        {{{"a", 256, 224, 60, 0}, {"b", 320, 224, 60, 0}},
         2560,
         {"2560x224@60", "2560x224@60"},
         {ModeExact, ModeExact},
         261},
        {{{"unfit", 224, 256, 60, 0}, {"tall", 640, 480, 60, 0}},
         0,
         {"640x480@60", "640x480@60"},
         {ModeNearest, ModeExact},
         521},
    };
    for (const Case& c : cases) {
        ModeTableOptions options = Options(32, 0);
        options.superWidth = c.superWidth;
        ModeTable t;
        ASSERT_EQ(1, t.Build(c.games.data(), c.games.size(), Arcade15(), options));
        ASSERT_EQ(1u, t.ModeCount()) << c.games[0].name;
        EXPECT_EQ(c.vTotal, t.Modes()[0].fit.raster.vTotal) << c.games[0].name;
        for (uint32_t i = 0; i < c.games.size(); ++i) {
            EXPECT_EQ(c.served[i], ServedBy(t, i)) << c.games[i].name;
            EXPECT_EQ(c.status[i], t.Results()[i].status) << c.games[i].name;
            EXPECT_EQ(c.games[i].width, t.Results()[i].width) << c.games[i].name;
        }
    }
}

} // namespace
