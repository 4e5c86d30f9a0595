// The stored form of the non-standard list: any bytes are decoded into a list, which is encoded,
// decoded into a second list and encoded again.
//
// Laws: only whole groups of eight bytes become entries and no field exceeds 16,665; no entry
// is covered by an earlier one (same resolution with refresh 0 or the same refresh); the stored
// form is count * 8 bytes of decimal digits below each field's top nibble; a list whose fields
// are all below 16,000 comes back entry for entry, and any list is stable from its first
// re-encoding on; encoding leaves the walk's cursor where it was; removing every entry with a
// refresh leaves exactly those with refresh 0.
#include "fuzz/fuzz_support.h"
#include "store/mode_list.h"
#include "support/builders.h"

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> Encoded(const NonStandardModeList& list) {
    uint32_t length = 0;
    uint8_t* bytes = list.EncodeModeList(&length);
    FUZZ_CHECK(bytes != nullptr);
    FUZZ_CHECK(length == static_cast<uint32_t>(list.Count()) * ModeStoredSize);
    std::vector<uint8_t> out(bytes, bytes + length);
    delete[] bytes;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 100000)
        return 0;
    NonStandardModeList first;
    const int decoded = first.DecodeModeList(size ? data : nullptr, static_cast<uint32_t>(size));
    FUZZ_CHECK(decoded == (size ? 1 : 0));
    FUZZ_CHECK(first.Count() >= 0 && static_cast<size_t>(first.Count()) <= size / ModeStoredSize);

    const std::vector<NonStandardMode> entries = Entries(first);
    FUZZ_CHECK(entries.size() == static_cast<size_t>(first.Count()));
    int canonical = 1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const NonStandardMode& e = entries[i];
        for (uint16_t field : {e.width, e.height, e.reserved, e.refresh}) {
            FUZZ_CHECK(field <= 16665);
            if (field >= ModeFieldLimit)
                canonical = 0;
        }
        for (size_t j = 0; j < i; ++j)
            FUZZ_CHECK(!(entries[j].width == e.width && entries[j].height == e.height &&
                         (entries[j].refresh == 0 || entries[j].refresh == e.refresh)));
    }

    // Encoding from the middle of a walk leaves the cursor there.
    if (first.FirstMode())
        first.NextMode();
    const std::vector<uint8_t> stored = Encoded(first);
    const NonStandardMode* next = first.NextMode();
    if (entries.size() > 2)
        FUZZ_CHECK(next && SameMode(*next, entries[2]));
    else
        FUZZ_CHECK(next == nullptr);
    for (size_t i = 0; i < stored.size(); ++i)
        FUZZ_CHECK((stored[i] & 0xF) <= 9 && (i % 2 == 0 || stored[i] >> 4 <= 9));

    NonStandardModeList again;
    if (!stored.empty())
        FUZZ_CHECK(again.DecodeModeList(stored.data(), static_cast<uint32_t>(stored.size())) == 1);
    const std::vector<NonStandardMode> back = Entries(again);
    if (canonical) {
        FUZZ_CHECK(back.size() == entries.size());
        for (size_t i = 0; i < back.size(); ++i)
            FUZZ_CHECK(SameMode(back[i], entries[i]));
        FUZZ_CHECK(Encoded(again) == stored);
    } else {
        FUZZ_CHECK(back.size() <= entries.size());
    }
    const std::vector<uint8_t> restored = Encoded(again);
    NonStandardModeList third;
    if (!restored.empty())
        third.DecodeModeList(restored.data(), static_cast<uint32_t>(restored.size()));
    FUZZ_CHECK(Encoded(third) == restored);

    size_t withoutRefresh = 0;
    for (const NonStandardMode& e : entries) {
        if (e.refresh == 0)
            ++withoutRefresh;
        else
            FUZZ_CHECK(first.RemoveMode(e.width, e.height, e.refresh) == 1);
    }
    FUZZ_CHECK(static_cast<size_t>(first.Count()) == withoutRefresh);
    for (NonStandardMode* m = first.FirstMode(); m; m = first.NextMode())
        FUZZ_CHECK(m->refresh == 0);
    return 0;
}
