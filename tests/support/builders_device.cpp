// The builders that use the device store's code (value names, the timing list), apart from the
// others, so that a test of the codecs alone needs no registry.
#include "support/builders.h"

std::string TimingValueName(uint32_t width, uint32_t height, uint32_t refresh) {
    char name[RegistryBufferSize];
    if (!FormatTimingValueName(width, height, refresh, name, sizeof name))
        return std::string();
    return name;
}

std::string TimingValueName(const CustomTiming& timing) {
    return TimingValueName(timing.width, timing.height, timing.refresh);
}

std::vector<CustomTiming> Records(TimingList& list) {
    std::vector<CustomTiming> records;
    for (CustomTiming* timing = list.FirstTiming(); timing; timing = list.NextTiming())
        records.push_back(*timing);
    return records;
}

std::vector<std::string> TimingStrings(TimingList& list) {
    std::vector<std::string> strings;
    for (CustomTiming* timing = list.FirstTiming(); timing; timing = list.NextTiming())
        strings.push_back(ModeKey(*timing));
    return strings;
}
