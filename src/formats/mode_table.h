// The mode table for a game list: the fewest stored timings that show every game's picture at a
// refresh as near its own as the monitor allows, within a cap on their number.
//
// Each game needs its picture: turned (width and height swapped) when it is rotated 90 or 270 on
// a horizontal monitor, or unrotated (0 or 180) on a vertical one. The picture is fitted as `fit`
// fits one mode (the card's lowest clock widening it, a super-resolution width replacing its
// width, the board's own vertical total kept where the monitor takes it), and its key is the fitted
// width, the height and the rate aimed at rounded to the nearest whole hertz, as `fit` stores it.
// Games of one key share one timing, fitted at the middle of their rates so that the largest
// error among them is the smallest. Beyond the cap the keys serving the most games are kept
// (ties by key order); a game of a dropped key, or whose own picture the monitor cannot take at
// its rate (256 lines at 60 Hz on a 15 kHz set), is served by the kept mode of its height, else
// of the least taller height, at least its width wide, with the refresh nearest its own. A game
// that no kept mode shows whole is unserved.
//
// The table is a function of the games' figures alone: the modes come in key order and the
// records in the games' order, so the same games in any order give the same modes and records.
// Memory is linear in the games; the time is the sort plus games times kept modes.
#pragma once

#include "formats/crt_fit.h"

#include <cstddef>
#include <cstdint>

const uint32_t ModeTableDefaultCap = 32; // a stored mode list of 256 bytes
const uint32_t ModeKeyMax = 9999;        // the largest width, height or refresh a key holds
const size_t ModeTableGamesMax = 1u << 24;
const double ModeExactPercent = 0.1; // a refresh error within 0.1 % is exact

// A game as the caller gives it: its picture as the board draws it, unturned.
struct ModeGame {
    const char* name; // for a deterministic order among games of equal figures; may be null
    uint32_t width, height;
    double refreshHz;
    uint32_t rotate;         // degrees: 0, 90, 180 or 270
    uint32_t boardTotal = 0; // the board's own vertical total, or 0 when not known
};

struct ModeTableOptions {
    uint32_t maxModes;   // the cap; 0 keeps no mode
    int vertical;        // 1: the monitor is turned
    uint64_t minClockHz; // the card's lowest pixel clock (0: none), as FitCrtMode takes it
    // A super-resolution width: every picture is drawn this wide, whatever its own width (the
    // emulator scales it across the line), so pictures of one height and rate share a key. 0: none.
    uint32_t superWidth = 0;
};

// A mode of the table: its key and the timing it stores.
struct ModeTableMode {
    uint32_t width, height, refresh;
    CrtFit fit;
    uint32_t games; // the games of its own key
    double lowHz;   // the lowest and highest rate aimed at among them
    double highHz;
};

enum ModeGameStatus {
    ModeExact,    // its own key, within ModeExactPercent
    ModeNear,     // its own key, further
    ModeNearest,  // another key's mode: its key dropped by the cap, or its picture not fitted
    ModeUnserved, // no mode shows it
};

const uint32_t ModeNone = 0xffffffffu;

// How one game is served.
struct ModeGameResult {
    uint32_t width, height; // the picture it needs, turned when it is
    double wantHz;          // its refresh, or the multiple of it that its fit aims at
    uint32_t mode;          // the index in Modes(), or ModeNone when unserved
    double realHz;          // the serving mode's refresh
    double errorHz;         // realHz - wantHz
    double errorPercent;
    int interlaced, doubleScan;
    ModeGameStatus status;
    // What its own fit gives (before the cap): fitted 1 with its key, else 0.
    int fitted;
    uint32_t keyWidth, keyRefresh;
    double rateHz;
};

class ModeTable {
public:
    ModeTable() : modes(nullptr), modeCount(0), keyCount(0), results(nullptr), resultCount(0) {}
    ~ModeTable() { Clear(); }
    ModeTable(const ModeTable&) = delete;
    ModeTable& operator=(const ModeTable&) = delete;

    // Chooses the table for `count` games on `monitor`, replacing any earlier one. 1 when built;
    // 0, the table empty, without memory or with more than ModeTableGamesMax games.
    int Build(const ModeGame* games, size_t count, const CrtMonitor& monitor,
              const ModeTableOptions& options);

    const ModeTableMode* Modes() const { return modes; }
    uint32_t ModeCount() const { return modeCount; }
    // The keys the games' fits gave, before the cap.
    uint32_t KeyCount() const { return keyCount; }
    // One record a game, in the order given.
    const ModeGameResult* Results() const { return results; }
    uint32_t ResultCount() const { return resultCount; }

private:
    void Clear();

    ModeTableMode* modes;
    uint32_t modeCount;
    uint32_t keyCount;
    ModeGameResult* results;
    uint32_t resultCount;
};
