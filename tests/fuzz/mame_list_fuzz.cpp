// The game list reader over any bytes, fed in chunks of 1 to 7 bytes and again all at once.
//
// Laws: both feeds hand on the same machines, or stop with the same error on the same line; the
// line of a machine or error never passes the number of line ends plus one; every name fits its
// bound; a raster machine has a positive size and refresh and a rotation of 0, 90, 180 or 270;
// a machine's kind follows from its flags and first display; a stopped reader stays stopped. The
// reader takes no memory of its own beyond its fixed record, so bounded memory needs no law.
#include "formats/mame_list.h"
#include "fuzz/fuzz_support.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Result {
    std::vector<std::string> machines;
    std::string error;
    uint32_t errorLine;
};

int Keep(void* context, const MameMachine& m) {
    const MameDisplay& d = m.display;
    FUZZ_CHECK(std::strlen(m.name) >= 1 && std::strlen(m.name) <= MameNameMax);
    if (m.kind == MameKindRaster) {
        FUZZ_CHECK(m.runnable && !m.isDevice && d.type == MameDisplayRaster);
        FUZZ_CHECK(d.width > 0 && d.height > 0 && d.refreshMicroHz > 0 && d.hasRefresh);
        FUZZ_CHECK(d.rotate % 90 == 0 && d.rotate <= 270);
    }
    FUZZ_CHECK((m.kind == MameKindDevice) == (m.isDevice != 0));
    char text[200];
    std::snprintf(text, sizeof text, "%s %u %d %d %d %d %u %u %u %llu %u %u %u %d%d%d", m.name,
                  m.line, m.kind, m.runnable, m.isDevice, d.type, d.rotate, d.width, d.height,
                  static_cast<unsigned long long>(d.refreshMicroHz), d.pixclock, d.htotal, d.vtotal,
                  d.hasPixclock, d.hasHtotal, d.hasVtotal);
    static_cast<Result*>(context)->machines.push_back(text);
    return 1;
}

Result Read(const uint8_t* data, size_t size, int chunked) {
    Result r{{}, "", 0};
    MameListReader reader(MameMachineSink{&r, Keep});
    size_t at = 0;
    int ok = 1;
    while (ok && at < size) {
        size_t n = chunked ? 1 + at % 7 : size;
        n = n < size - at ? n : size - at;
        ok = reader.Feed(data + at, n);
        at += n;
    }
    if (ok)
        ok = reader.Finish();
    FUZZ_CHECK(ok == !reader.Failed());
    FUZZ_CHECK(reader.Machines() == r.machines.size());
    if (!ok) {
        r.error = reader.Error();
        r.errorLine = reader.ErrorLine();
        FUZZ_CHECK(r.errorLine >= 1);
        FUZZ_CHECK(reader.Feed(data, size) == 0 && reader.Finish() == 0);
        FUZZ_CHECK(r.error == reader.Error() && r.errorLine == reader.ErrorLine());
    }
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 200000)
        return 0;
    const Result a = Read(data, size, 1);
    const Result b = Read(data, size, 0);
    FUZZ_CHECK(a.error == b.error && a.errorLine == b.errorLine);
    FUZZ_CHECK(a.machines == b.machines);
    size_t lineEnds = 0;
    for (size_t i = 0; i < size; ++i)
        lineEnds += data[i] == '\n' || data[i] == '\r';
    FUZZ_CHECK(a.errorLine <= lineEnds + 1);
    return 0;
}
