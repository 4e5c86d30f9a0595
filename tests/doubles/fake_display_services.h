// The fake display services: a scripted stand-in for devices/display_services.h, for the tests
// and fuzzers. The test states the system (version record, metrics, which "USER32" entry points
// exist, the display devices with their escape results and answers) and afterwards reads the log
// of every call made.
//
// After Reset the system is NT 5.1 with a 1024 x 768 screen (virtual and primary alike), "USER32"
// loaded with every entry point, and no display device.
#pragma once

#include "devices/display_services.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ScriptedDisplay {

// A monitor below a device, as the system names it.
struct Monitor {
    std::string id;   // DeviceID; one that does not fit the field is answered unterminated
    std::string name; // DeviceName; empty: <device>\Monitor<index>
    uint32_t stateFlags = MonitorStateAttached | MonitorStateActive;
};

struct Device {
    std::string systemName;   // bytes written to DeviceName, with a zero after them when it fits
    int32_t escapeResult = 0; // what the escape returns
    std::string answer;       // bytes written at byte 4 of the answer, as given (no zero added)
    int createFails = 0;      // no device context can be had for the device
    std::string monitorId;    // DeviceID of its monitor at index 0; empty: no monitor
    std::vector<Monitor> monitors; // when not empty, its monitors at 0, 1, ... instead
};

struct ContextCall {
    std::string driver; // "(null)" for none
    std::string device; // "(null)" for none
    DisplayContext context;
};

struct EscapeCall {
    DisplayContext context;
    int32_t escape;
    int32_t inputSize;
    int32_t outputSize;
    std::vector<uint8_t> request; // the input as received
    uint32_t answerSizeField;     // the answer's first word on entry
    int answerZeroed;             // every answer byte after the first word was zero on entry
};

struct Log {
    std::vector<std::string> moduleLookups; // DisplayGetModuleHandle names
    std::vector<std::string> entryLookups;  // DisplayGetProcAddress names
    std::vector<int32_t> metrics;           // DisplayGetSystemMetrics indexes
    uint32_t versionCalls = 0;
    uint32_t versionSizeField = 0;     // dwOSVersionInfoSize of the last call
    int versionRecordZeroed = 0;       // the rest of that record was zero
    std::vector<uint32_t> enumIndexes; // DisplayCallEnumDisplayDevices indexes
    int enumThroughResolvedEntry = 1;  // every call came through the looked-up entry point
    int enumArgumentsPlain = 1;        // every call had no device, cb 168 and flags 0
    std::vector<ContextCall> created;  // DisplayCreateContext calls, failed ones included
    std::vector<EscapeCall> escapes;
    std::vector<DisplayContext> deleted;
    std::vector<std::string> monitorQueries; // adapters asked for their monitor, "(null)" for none
    std::vector<uint32_t> monitorIndexes;    // the index of each such call
    int monitorThroughResolvedEntry = 1;     // every such call came through the looked-up entry
};

// Forgets the script and the log and sets the default system.
void Reset();

// The version record: `succeeds` 0 makes DisplayGetVersion fail.
void SetVersion(int succeeds, uint32_t platformId, uint32_t major, uint32_t minor);
void SetMetric(int32_t index, int32_t value);
void SetUser32Loaded(int loaded);
void SetEntryPointMissing(const char* name);
void AddDevice(const Device& device);

const Log& Calls();

} // namespace ScriptedDisplay
