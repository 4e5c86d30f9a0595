#include "formats/mode_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// The key's refresh, as `fit` stores a rate with decimals: rounded to the nearest hertz.
uint32_t KeyRefresh(double rateHz) {
    return static_cast<uint32_t>(std::floor(rateHz + 0.5));
}

// The width a picture is fitted at: its own, or the super-resolution width.
uint32_t PictureWidth(const ModeTableOptions& options, const ModeGameResult& r) {
    return options.superWidth ? options.superWidth : r.width;
}

int Turned(const ModeGame& game, int vertical) {
    const int sideways = game.rotate == 90 || game.rotate == 270;
    return vertical ? !sideways : sideways;
}

// Fits a picture; 1 with the fit when the monitor takes it and its key fits the store's.
int FitPicture(const CrtMonitor& monitor, uint32_t width, uint32_t height, double refreshHz,
               uint32_t boardTotal, uint64_t minClockHz, CrtFit* fit) {
    const CrtRequest request = {width, height, refreshHz, minClockHz};
    CrtReason why{};
    if (!FitCrtBoardMode(monitor, request, boardTotal, fit, &why))
        return 0;
    return fit->raster.hDisplay <= ModeKeyMax && height <= ModeKeyMax &&
           KeyRefresh(fit->vRateHz) <= ModeKeyMax;
}

// The order that groups the games by key: key, rate, then every figure, the name and last the
// place given, so that only games equal in all they hold depend on the input order.
struct KeyOrder {
    const ModeGame* games;
    const ModeGameResult* results;
    bool operator()(uint32_t a, uint32_t b) const {
        const ModeGameResult& x = results[a];
        const ModeGameResult& y = results[b];
        if (x.keyWidth != y.keyWidth)
            return x.keyWidth < y.keyWidth;
        if (x.height != y.height)
            return x.height < y.height;
        if (x.keyRefresh != y.keyRefresh)
            return x.keyRefresh < y.keyRefresh;
        if (x.rateHz != y.rateHz)
            return x.rateHz < y.rateHz;
        if (x.width != y.width)
            return x.width < y.width;
        if (games[a].refreshHz != games[b].refreshHz)
            return games[a].refreshHz < games[b].refreshHz;
        const int names =
            std::strcmp(games[a].name ? games[a].name : "", games[b].name ? games[b].name : "");
        if (names != 0)
            return names < 0;
        return a < b;
    }
};

// The modes that serve the most games first; among equals, the key order (their index).
struct ServedOrder {
    const ModeTableMode* modes;
    bool operator()(uint32_t a, uint32_t b) const {
        if (modes[a].games != modes[b].games)
            return modes[a].games > modes[b].games;
        return a < b;
    }
};

void Serve(ModeGameResult* r, const ModeTableMode& m, uint32_t index, ModeGameStatus status) {
    r->mode = index;
    r->realHz = m.fit.realRefreshHz;
    r->errorHz = r->realHz - r->wantHz;
    r->errorPercent = 100 * r->errorHz / r->wantHz;
    r->interlaced = (m.fit.raster.flags & RasterInterlace) != 0;
    r->doubleScan = (m.fit.raster.flags & RasterDoubleScan) != 0;
    if (status == ModeNearest)
        r->status = ModeNearest;
    else
        r->status = std::fabs(r->errorPercent) <= ModeExactPercent ? ModeExact : ModeNear;
}

// The one timing of a key's games, order[first, end) sorted by rate: fitted at the middle of
// their rates, which halves the largest error; when the rounding of the clock moves that fit off
// the key, the fit of the game whose rate is nearest the middle.
void FitGroup(const CrtMonitor& monitor, const ModeGame* games, const ModeGameResult* results,
              const uint32_t* order, uint32_t first, uint32_t end, const ModeTableOptions& options,
              ModeTableMode* mode) {
    const ModeGameResult& lead = results[order[first]];
    mode->width = lead.keyWidth;
    mode->height = lead.height;
    mode->refresh = lead.keyRefresh;
    mode->games = end - first;
    mode->lowHz = lead.rateHz;
    mode->highHz = results[order[end - 1]].rateHz;
    const double middle = (mode->lowHz + mode->highHz) / 2;
    // The boards' vertical total when they all give the same one.
    uint32_t total = games[order[first]].boardTotal;
    for (uint32_t i = first + 1; i < end && total; ++i)
        total = games[order[i]].boardTotal == total ? total : 0;
    const uint64_t minClockHz = options.minClockHz;
    if (FitPicture(monitor, PictureWidth(options, lead), mode->height, middle, total, minClockHz,
                   &mode->fit) &&
        mode->fit.raster.hDisplay == mode->width && KeyRefresh(mode->fit.vRateHz) == mode->refresh)
        return;
    uint32_t nearest = first;
    for (uint32_t i = first + 1; i < end; ++i)
        if (std::fabs(results[order[i]].rateHz - middle) <
            std::fabs(results[order[nearest]].rateHz - middle))
            nearest = i;
    const ModeGameResult& r = results[order[nearest]];
    const ModeGame& g = games[order[nearest]];
    // Its own fit gave this key before; the fitter is a function of its request.
    FitPicture(monitor, PictureWidth(options, r), r.height, g.refreshHz, g.boardTotal, minClockHz,
               &mode->fit);
}

// The kept mode that shows a picture whole nearest: its height, else the least taller, at least
// its width wide, the refresh nearest; ModeNone when none does.
uint32_t NearestMode(const ModeTableMode* modes, uint32_t count, const ModeGameResult& r) {
    uint32_t best = ModeNone;
    for (uint32_t i = 0; i < count; ++i) {
        const ModeTableMode& m = modes[i];
        if (m.height < r.height || m.width < r.width)
            continue;
        if (best == ModeNone || m.height < modes[best].height ||
            (m.height == modes[best].height &&
             std::fabs(m.fit.realRefreshHz - r.wantHz) <
                 std::fabs(modes[best].fit.realRefreshHz - r.wantHz)))
            best = i;
    }
    return best;
}

} // namespace

void ModeTable::Clear() {
    delete[] modes;
    delete[] results;
    modes = nullptr;
    results = nullptr;
    modeCount = keyCount = resultCount = 0;
}

int ModeTable::Build(const ModeGame* games, size_t count, const CrtMonitor& monitor,
                     const ModeTableOptions& options) {
    Clear();
    if (count > ModeTableGamesMax)
        return 0;
    const uint32_t n = static_cast<uint32_t>(count);
    ModeGameResult* out = new (std::nothrow) ModeGameResult[n ? n : 1]();
    uint32_t* order = new (std::nothrow) uint32_t[n ? n : 1];
    ModeTableMode* all = new (std::nothrow) ModeTableMode[n ? n : 1]();
    uint32_t* rank = new (std::nothrow) uint32_t[n ? n : 1];
    uint32_t* kept = new (std::nothrow) uint32_t[n ? n : 1];
    if (!out || !order || !all || !rank || !kept) {
        delete[] out, delete[] order, delete[] all, delete[] rank, delete[] kept;
        return 0;
    }

    // Each game's picture, its own fit and key.
    uint32_t fitted = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const ModeGame& g = games[i];
        ModeGameResult& r = out[i];
        const int turned = Turned(g, options.vertical);
        r.width = turned ? g.height : g.width;
        r.height = turned ? g.width : g.height;
        r.mode = ModeNone;
        r.status = ModeUnserved;
        r.wantHz = g.refreshHz;
        CrtFit fit{};
        if (!FitPicture(monitor, PictureWidth(options, r), r.height, g.refreshHz, g.boardTotal,
                        options.minClockHz, &fit))
            continue;
        r.fitted = 1;
        r.keyWidth = fit.raster.hDisplay;
        r.keyRefresh = KeyRefresh(fit.vRateHz);
        r.rateHz = fit.vRateHz;
        // A whole multiple of the refresh is what the game wants; a limit is not.
        if (!fit.atLimit)
            r.wantHz = fit.vRateHz;
        order[fitted++] = i;
    }
    std::sort(order, order + fitted, KeyOrder{games, out});

    // One timing a key, in key order.
    uint32_t keys = 0;
    for (uint32_t first = 0; first < fitted;) {
        uint32_t end = first + 1;
        const ModeGameResult& lead = out[order[first]];
        while (end < fitted && out[order[end]].keyWidth == lead.keyWidth &&
               out[order[end]].height == lead.height &&
               out[order[end]].keyRefresh == lead.keyRefresh)
            ++end;
        FitGroup(monitor, games, out, order, first, end, options, &all[keys]);
        for (uint32_t i = first; i < end; ++i)
            out[order[i]].mode = keys;
        ++keys;
        first = end;
    }

    // The cap: the most served keys, then back in key order with their new places.
    for (uint32_t i = 0; i < keys; ++i)
        rank[i] = i;
    std::sort(rank, rank + keys, ServedOrder{all});
    for (uint32_t i = 0; i < keys; ++i)
        kept[i] = ModeNone;
    const uint32_t keep = std::min(keys, options.maxModes);
    for (uint32_t i = 0; i < keep; ++i)
        kept[rank[i]] = 0;
    uint32_t place = 0;
    for (uint32_t i = 0; i < keys; ++i)
        if (kept[i] != ModeNone) {
            kept[i] = place;
            all[place++] = all[i];
        }

    for (uint32_t i = 0; i < n; ++i) {
        ModeGameResult& r = out[i];
        const uint32_t own = r.fitted ? kept[r.mode] : ModeNone;
        if (own != ModeNone) {
            Serve(&r, all[own], own, ModeExact);
            continue;
        }
        const uint32_t other = NearestMode(all, place, r);
        r.mode = ModeNone;
        if (other != ModeNone)
            Serve(&r, all[other], other, ModeNearest);
    }
    delete[] order, delete[] rank, delete[] kept;
    modes = all;
    modeCount = place;
    keyCount = keys;
    results = out;
    resultCount = n;
    return 1;
}
