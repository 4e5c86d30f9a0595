// The list of discovered display devices (device_list.cpp): each with its system name, its short
// name and its driver key path. Apart from the discovery itself (discovery.h), so that code that
// only walks the list does not need the display services.
#pragma once

#include <cstdint>

struct DisplayDevice {
    char* systemName; // the system device name, such as \\.\DISPLAY1
    char* name;       // short name: systemName after its last backslash (points into it)
    char* path;       // driver key path relative to HKEY_LOCAL_MACHINE, as the driver answered it
    DisplayDevice* next;
};

class DisplayDeviceList {
public:
    DisplayDeviceList();
    ~DisplayDeviceList();
    DisplayDeviceList(const DisplayDeviceList&) = delete;
    DisplayDeviceList& operator=(const DisplayDeviceList&) = delete;

    // Appends a device from its system name (the short name is the text after the last
    // backslash, or the whole name when it has none) and its driver key path. 1 when appended;
    // 0 for a null text or when no memory could be had (the list is then unchanged).
    int Append(const char* systemName, const char* path);

    // The path or short name of the entry at the index, or null. Owned by the list until Clear.
    const char* PathAt(uint32_t index) const;
    const char* NameAt(uint32_t index) const;
    const char* SystemNameAt(uint32_t index) const;

    // The name walk for building the Device menu.
    const char* FirstName();
    const char* NextName();

    void Clear();

    uint32_t Count() const { return count; }

private:
    DisplayDevice* head;
    DisplayDevice* tail;
    DisplayDevice* cursor;
    uint32_t count;
};
