// Display device discovery: the display devices that the Orvane driver answers for, each with
// its short name and its driver key path.
//
// The driver is asked through the private escape 0x7306:
//   DeviceKeyQueryRequest, 16 bytes:  size (u32 LE) = 16, queryCode (u32 LE) = 0x00110004,
//                                     8 bytes not filled in
//   DeviceKeyQueryAnswer, 1288 bytes: size (u32 LE) = 1288 set before the call, then at byte 4
//                                     the driver key path, 8-bit text ending with a zero byte
#pragma once

#include <cstdint>

const uint32_t DeviceKeyQueryEscape = 0x7306;
const uint32_t DeviceKeyQueryCode = 0x00110004;
const uint32_t DeviceKeyQueryRequestSize = 16;
const uint32_t DeviceKeyQueryAnswerSize = 1288;
const uint32_t DeviceKeyQueryPathSize = 1284;

#pragma pack(push, 1)
struct DeviceKeyQueryRequest {
    uint32_t size;
    uint32_t queryCode;
    uint8_t unused[8];
};
struct DeviceKeyQueryAnswer {
    uint32_t size;
    char path[DeviceKeyQueryPathSize];
};
#pragma pack(pop)
static_assert(sizeof(DeviceKeyQueryRequest) == 16, "request layout");
static_assert(sizeof(DeviceKeyQueryAnswer) == 1288, "answer layout");

// Classification of the running Windows version.
typedef uint32_t OsClass;
const OsClass OsWindows9xFamily = 0x01000000;
const OsClass OsNtFamily = 0x02000000;
const OsClass OsWindows98 = 0x10;
const OsClass OsWindows9xOther = 0x1;
const OsClass OsNtBefore5 = 0x100;
const OsClass OsNt5OrLater = 0x1000;

struct DisplayDevice {
    char* name; // short name: the system device name after its last backslash
    char* path; // driver key path relative to HKEY_LOCAL_MACHINE, as the driver answered it
    DisplayDevice* next;
};

class DisplayDeviceList {
public:
    DisplayDeviceList();
    ~DisplayDeviceList();
    DisplayDeviceList(const DisplayDeviceList&) = delete;
    DisplayDeviceList& operator=(const DisplayDeviceList&) = delete;

    // Asks every system display device, in index order, for its driver key path and appends
    // those that answer. Returns count afterwards.
    uint32_t Enumerate();

    // Appends a device from its system name and driver key path. 1 when appended, 0 when no
    // memory could be had (the list is then unchanged).
    int Append(const char* systemName, const char* path);

    // The path or short name of the entry at the index, or null. Owned by the list until Clear.
    const char* PathAt(uint32_t index) const;
    const char* NameAt(uint32_t index) const;

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

OsClass GetOsClass();
