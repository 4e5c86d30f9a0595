// Discovery through the scripted display services, with the system, the device names and the
// driver's answers taken from the fuzz input: names of any bytes (with or without a backslash,
// ending with one, 32 characters and more, zero bytes inside), escape results of any sign, and
// answers of any length with or without a terminating zero.
//
// Laws: nothing is listed when the display entry points are unavailable; every listed device has
// a non-empty path that ends inside the answer and fits a driver key's path, and a short name
// without a backslash that ends its system name; every device context is deleted; on a system
// that asks for contexts by name, a device is listed exactly when its name fits the record, its
// context can be had, the driver returns 0 and its answer holds such a path.
#include "devices/discovery.h"
#include "doubles/fake_display_services.h"
#include "fuzz/fuzz_support.h"
#include "store/device_store.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// The text that a device's record carries as its DeviceName, or "" with 0 when the name does
// not end inside the record's 32 characters.
int RecordName(const std::string& systemName, std::string* text) {
    size_t zero = systemName.find('\0');
    size_t length = zero == std::string::npos ? systemName.size() : zero;
    if (length >= DisplayDeviceNameSize)
        return 0;
    *text = systemName.substr(0, length);
    return 1;
}

// The path an answer carries: 1 when it ends with a zero byte inside the answer and is neither
// empty nor too long for a driver key's path. Discovery zeroes the answer before the call, so a
// driver that writes fewer bytes than the answer holds leaves them terminated.
int AnswerPath(const std::string& answer, std::string* path) {
    std::string inside = answer.substr(0, DeviceKeyQueryPathSize);
    inside.resize(DeviceKeyQueryPathSize, '\0');
    size_t zero = inside.find('\0');
    if (zero == std::string::npos || zero == 0 || zero >= DevicePathSize)
        return 0;
    *path = inside.substr(0, zero);
    return 1;
}

std::string ShortName(const std::string& name) {
    size_t slash = name.rfind('\\');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string MakeSystemName(FuzzInput& in, uint8_t kind, uint32_t index) {
    switch (kind & 3) {
    case 0:
        return "\\\\.\\DISPLAY" + std::to_string(index + 1);
    case 1:
        return in.Bytes(in.Byte() % 48);
    case 2:
        return "\\\\.\\" + in.Bytes(in.Byte() % 40) + (kind & 4 ? "\\" : "");
    default:
        return "DISPLAY" + std::to_string(index + 1);
    }
}

std::string MakeAnswer(FuzzInput& in) {
    const uint8_t kind = in.Byte();
    static const size_t lengths[] = {0, 1, 40, 258, 259, 260, 1283, 1284, 1300};
    size_t length = kind & 0x80 ? in.U16() % 1400 : lengths[kind % 9];
    std::string answer = in.Bytes(length);
    if (kind & 0x40)
        answer.push_back('\0');
    return answer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    ScriptedDisplay::Reset();
    ResetDisplayEntryPointsForTesting();

    const uint8_t system = in.Byte();
    const int byName = !(system & 1);
    if (system & 1)
        ScriptedDisplay::SetVersion(in.Byte() & 1, in.Byte() % 4, in.Byte() % 8, in.Byte() % 16);
    int available = 1;
    if (system & 2) {
        int32_t cx = in.Byte() * 8, cy = in.Byte() * 8, vx = in.Byte() * 8, vy = in.Byte() * 8;
        ScriptedDisplay::SetMetric(MetricCxScreen, cx);
        ScriptedDisplay::SetMetric(MetricCyScreen, cy);
        ScriptedDisplay::SetMetric(MetricCxVirtualScreen, vx);
        ScriptedDisplay::SetMetric(MetricCyVirtualScreen, vy);
        available = vx >= cx && vy >= cy;
    }
    if ((system & 0x0C) == 0x0C) {
        ScriptedDisplay::SetEntryPointMissing(DisplayEntryPointNames[in.Byte() % 7]);
        available = 0;
    }
    if ((system & 0x30) == 0x30) {
        ScriptedDisplay::SetUser32Loaded(0);
        available = 0;
    }

    std::vector<ScriptedDisplay::Device> devices;
    const uint32_t count = in.Byte() % 12;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t kind = in.Byte();
        ScriptedDisplay::Device device;
        device.systemName = MakeSystemName(in, kind, i);
        device.escapeResult = kind & 0x10 ? static_cast<int32_t>(in.U32()) : 0;
        device.createFails = (kind & 0xE0) == 0xE0;
        device.answer = MakeAnswer(in);
        ScriptedDisplay::AddDevice(device);
        devices.push_back(device);
    }

    DisplayDeviceList list;
    const uint32_t found = EnumerateDisplayDevices(&list);
    FUZZ_CHECK(found == list.Count());
    FUZZ_CHECK(found <= devices.size());
    const ScriptedDisplay::Log& log = ScriptedDisplay::Calls();
    if (!available)
        FUZZ_CHECK(found == 0 && log.created.empty());

    size_t live = 0;
    for (const ScriptedDisplay::ContextCall& call : log.created)
        live += call.context != nullptr;
    FUZZ_CHECK(log.deleted.size() == live);
    for (const ScriptedDisplay::EscapeCall& call : log.escapes)
        FUZZ_CHECK(call.escape == 0x7306 && call.inputSize == 16 && call.outputSize == 1288 &&
                   call.answerSizeField == 1288 && call.answerZeroed);

    for (uint32_t i = 0; i < found; ++i) {
        const char* name = list.NameAt(i);
        const char* path = list.PathAt(i);
        FUZZ_CHECK(name && path);
        FUZZ_CHECK(std::strchr(name, '\\') == nullptr);
        const size_t length = std::strlen(path);
        FUZZ_CHECK(length > 0 && length < DevicePathSize);
        DriverKey key;
        FUZZ_CHECK(key.SetPath(path) == 1 && std::strcmp(key.path, path) == 0);
        int answered = 0;
        for (const ScriptedDisplay::Device& device : devices) {
            std::string answerPath;
            if (AnswerPath(device.answer, &answerPath) && answerPath == path)
                answered = 1;
        }
        FUZZ_CHECK(answered);
        int named = 0;
        for (const ScriptedDisplay::Device& device : devices) {
            std::string text;
            if (RecordName(device.systemName, &text) && ShortName(text) == name)
                named = 1;
        }
        FUZZ_CHECK(named);
    }
    FUZZ_CHECK(list.NameAt(found) == nullptr && list.PathAt(found) == nullptr);

    // Contexts by name: the exact set of devices is known, as long as no two devices share the
    // name by which the services find a device.
    int distinct = 1;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].systemName.find('\0') != std::string::npos)
            distinct = 0;
        for (size_t j = 0; j < i; ++j)
            if (devices[i].systemName == devices[j].systemName)
                distinct = 0;
    }
    if (available && byName && distinct) {
        uint32_t at = 0;
        for (const ScriptedDisplay::Device& device : devices) {
            std::string text, path;
            if (!RecordName(device.systemName, &text) || device.createFails ||
                device.escapeResult != 0 || !AnswerPath(device.answer, &path))
                continue;
            FUZZ_CHECK(at < found);
            FUZZ_CHECK(path == list.PathAt(at) && ShortName(text) == list.NameAt(at));
            ++at;
        }
        FUZZ_CHECK(at == found);
    }
    list.Clear();
    FUZZ_CHECK(list.Count() == 0 && list.FirstName() == nullptr);
    return 0;
}
