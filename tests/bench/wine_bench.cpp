// Times velmora-sim.exe under Wine against the real registry of the prefix:
//   - start-up: from starting the process until its main window is shown with its modes, run
//     by run in rotation with two baselines built with the same toolchain: a bare dialog
//     program, and Velmora's own main window template with nothing behind it;
//   - a device with thousands of timing values: its load into the main window (a Device menu
//     switch, the first one with the one-time backup) and Apply;
//   - the memory of the programs: what Wine reports, and, when the environment variable
//     VELMORA_BENCH_MARKERS names a folder, a pause at each measuring point for the host to read
//     the process's own memory (scripts/bench-wine does): the file NAME is written there with
//     the program's file name in it, and the run goes on once the host has deleted it.
//
//   velmora_wine_bench VELMORA_SIM_EXE BARE_DIALOG_EXE TEMPLATE_DIALOG_EXE
//                      [RUNS [REPEATS [SIZE...]]]
//
// The simulated driver offers two adapters: \\.\DISPLAY1 with a few modes (the start-up device)
// and \\.\DISPLAY2 with SIZE modes for each size in turn. Everything the benchmark writes is in
// the prefix's registry: the adapters, their driver keys, "ShowWarning" = 1 (no disclaimer) and
// the per-program setting that keeps Wine from waiting for a window manager that Xvfb lacks.
// With VELMORA_BENCH_VERBOSE set, each start-up tells when the program went idle, showed its
// window and answered.
#include "store/device_store.h"
#include "store/mode_list.h"
#include "store/timing.h"
#include "support/builders.h"
#include "ui/resource.h"
#include "ui/strings.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char AdaptersKey[] = "Software\\Velmora Simulated Driver\\Adapters";
const char DriverKeyBase[] = "SYSTEM\\CurrentControlSet\\Services\\orvdisp\\Bench";
const char UserKey[] = "Software\\Orvane Technologies\\Velmora";
const char MainCaption[] = CAPTION_MAIN;
const char BareCaption[] = "Velmora Baseline";
const uint32_t StartupModes = 10;
const DWORD WindowTimeoutMs = 60000;
const UINT CommandTimeoutMs = 600000;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

int SetText(HKEY root, const std::string& path, const char* name, const std::string& text) {
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int SetNumber(HKEY root, const std::string& path, const char* name, DWORD number) {
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                 sizeof number);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

std::string DriverKey(int adapter) {
    return DriverKeyBase + std::to_string(adapter);
}

// Replaces the driver key of an adapter with n timing values and their mode list.
int WriteDevice(int adapter, uint32_t n) {
    std::string path = DriverKey(adapter);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return 0;
    std::vector<BYTE> list(static_cast<size_t>(n) * ModeStoredSize);
    int ok = 1;
    for (uint32_t i = 0; i < n && ok; ++i) {
        CustomTiming timing = NumberedTiming(i);
        const std::vector<uint8_t> entry = ModeListBytes({NumberedMode(i)});
        std::memcpy(list.data() + static_cast<size_t>(i) * ModeStoredSize, entry.data(),
                    ModeStoredSize);
        const std::vector<uint8_t> stored = StoredBytes(timing);
        ok = RegSetValueExA(key, TimingValueName(timing).c_str(), 0, REG_BINARY, stored.data(),
                            TimingStoredSize) == ERROR_SUCCESS;
    }
    if (ok)
        ok = RegSetValueExA(key, ModeListValueName, 0, REG_BINARY, list.data(),
                            static_cast<DWORD>(list.size())) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

uint32_t CountValues(const std::string& path) {
    HKEY key;
    DWORD count = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return count;
}

// The file name of a path, for Wine's per-program settings.
std::string ExeName(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

int Prepare(const std::vector<std::string>& exes) {
    int ok = 1;
    for (int adapter = 0; adapter < 2; ++adapter) {
        std::string key = std::string(AdaptersKey) + "\\" + std::to_string(adapter);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
        ok &= SetText(HKEY_LOCAL_MACHINE, key, "DeviceName",
                      "\\\\.\\DISPLAY" + std::to_string(adapter + 1));
        ok &= SetText(HKEY_LOCAL_MACHINE, key, "DriverKey", DriverKey(adapter));
    }
    ok &= WriteDevice(0, StartupModes);
    ok &= WriteDevice(1, 0);
    RegDeleteTreeA(HKEY_CURRENT_USER, UserKey);
    ok &= SetNumber(HKEY_CURRENT_USER, UserKey, "ShowWarning", 1);
    for (const std::string& exe : exes)
        ok &= SetText(HKEY_CURRENT_USER,
                      "Software\\Wine\\AppDefaults\\" + ExeName(exe) + "\\X11 Driver", "Managed",
                      "N");
    return ok;
}

struct Program {
    PROCESS_INFORMATION info = {};
    HWND window = nullptr;

    int Start(const std::string& path) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string line = "\"" + path + "\"";
        if (!CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info))
            return 0;
        return 1;
    }

    // Ends the program through its own exit command, or kills it when it does not end.
    void Stop(WPARAM exitCommand) {
        if (!info.hProcess)
            return;
        if (window)
            PostMessageA(window, WM_COMMAND, exitCommand, 0);
        if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 10000);
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        info = PROCESS_INFORMATION();
        window = nullptr;
    }

    ~Program() { Stop(IDCANCEL); }
};

struct Search {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char caption[64];
    if (owner != search->processId || !IsWindowVisible(window) ||
        GetWindowTextA(window, caption, sizeof caption) <= 0 ||
        std::string(caption) != search->caption)
        return TRUE;
    search->found = window;
    return FALSE;
}

// The number of rows of the main window's list, or -1 while its thread does not answer.
long RowCount(HWND window) {
    DWORD_PTR rows = 0;
    HWND list = GetDlgItem(window, IDC_MODE_LIST);
    if (!list || !SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 1000, &rows))
        return -1;
    return static_cast<long>(rows);
}

// Waits until the program shows its window and its thread answers; with `rows` >= 0, until the
// main window's list holds that many rows. The poll sleeps between looks, so that it takes as
// little as possible of the processor that the program needs.
int WaitShown(Program& program, const char* caption, long rows) {
    double start = Now();
    WaitForInputIdle(program.info.hProcess, WindowTimeoutMs);
    double idle = Now(), found = 0;
    int polls = 0;
    double deadline = Now() + WindowTimeoutMs;
    while (Now() < deadline) {
        ++polls;
        Search search = {program.info.dwProcessId, caption, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            if (!found)
                found = Now();
            DWORD_PTR ignored = 0;
            if (rows < 0 ? SendMessageTimeoutA(search.found, WM_NULL, 0, 0, SMTO_NORMAL, 1000,
                                               &ignored) != 0
                         : RowCount(search.found) == rows) {
                program.window = search.found;
                if (std::getenv("VELMORA_BENCH_VERBOSE"))
                    std::printf("    %s: idle after %.1f, window after %.1f, answered after %.1f "
                                "ms, %d polls\n",
                                caption, idle - start, found - start, Now() - start, polls);
                return 1;
            }
        }
        Sleep(1);
    }
    return 0;
}

// Milliseconds from starting the program until it shows its window (and rows); -1 on failure.
double TimeStart(Program& program, const std::string& path, const char* caption, long rows) {
    double start = Now();
    if (!program.Start(path) || !WaitShown(program, caption, rows))
        return -1;
    return Now() - start;
}

// Milliseconds that the main window takes to carry out a command; -1 when it does not answer.
double TimeCommand(HWND window, WPARAM command) {
    DWORD_PTR ignored = 0;
    double start = Now();
    if (!SendMessageTimeoutA(window, WM_COMMAND, command, 0, SMTO_NORMAL, CommandTimeoutMs,
                             &ignored))
        return -1;
    return Now() - start;
}

// Lets the program paint what its last command left invalid before the next one is timed. A
// switch stops the list's drawing and invalidates it at the end; its painting runs once the
// program's queue is empty, and a command sent before that waits behind it, which added the
// previous device's painting (some 10 ms under Wine) to every timed load but the first.
void Settle(const Program& program) {
    RedrawWindow(program.window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    WaitForInputIdle(program.info.hProcess, 1000);
}

// Wine reports the working set of another process but no private figure (it gives 0), hence
// the host's own reading at the pauses.
struct Memory {
    double workingSetMiB = 0;
};

Memory MemoryOf(const Program& program) {
    Memory memory;
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(program.info.hProcess, &counters, sizeof counters))
        memory.workingSetMiB = static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
    return memory;
}

// Pauses at a measuring point while the host reads the memory of the program (see the top of
// this file); at most 30 seconds.
void MemoryPoint(const char* name, const std::string& exe) {
    const char* folder = std::getenv("VELMORA_BENCH_MARKERS");
    if (!folder || !*folder)
        return;
    std::string path = std::string(folder) + "\\" + name;
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        return;
    std::fputs(ExeName(exe).c_str(), file);
    std::fclose(file);
    for (int i = 0; i < 3000 && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(10);
    DeleteFileA(path.c_str());
}

void PrintMemory(const char* what, const Memory& memory) {
    std::printf("  %-34s working set %7.1f MiB\n", what, memory.workingSetMiB);
}

// A program of the start-up comparison: how to recognise it as started, and how to end it.
struct StartProgram {
    const char* label;
    std::string path;
    const char* caption;
    long rows; // the rows its list must show; -1: no list, an answer from its thread suffices
    WPARAM exitCommand;
    const char* memoryPoint;
    std::vector<double> times;
    Memory memory;
};

void PrintSeries(const StartProgram& program) {
    const std::vector<double>& t = program.times;
    std::printf("  %-30s median %8.1f   min %8.1f   max %8.1f\n", program.label, Median(t),
                *std::min_element(t.begin(), t.end()), *std::max_element(t.begin(), t.end()));
}

// Starts each program `runs` times, in an order that rotates run by run, so that every median
// comes from the same conditions. One start of each comes first and is not counted: it fills
// Wine's caches and takes Velmora's backup.
int RunStartup(std::vector<StartProgram>& programs, int runs) {
    const size_t count = programs.size();
    for (int i = -1; i < runs; ++i) {
        for (size_t k = 0; k < count; ++k) {
            StartProgram& p = programs[(k + static_cast<size_t>(i + 1)) % count];
            Program program;
            double ms = TimeStart(program, p.path, p.caption, p.rows);
            if (ms < 0) {
                std::printf("start-up run %d: %s did not show its window\n", i, p.label);
                return 0;
            }
            if (i == 0) {
                p.memory = MemoryOf(program);
                MemoryPoint(p.memoryPoint, p.path);
            }
            if (i >= 0)
                p.times.push_back(ms);
            program.Stop(p.exitCommand);
        }
    }
    std::printf("Start-up until the window is shown, %d runs each, rotated (ms)\n", runs);
    for (const StartProgram& p : programs)
        PrintSeries(p);
    const double velmora = Median(programs[0].times), bare = Median(programs[1].times),
                 templ = Median(programs[2].times);
    std::printf("  ratios of the medians: velmora / bare %.3f, template / bare %.3f, "
                "velmora / template %.3f\n",
                velmora / bare, templ / bare, velmora / templ);
    std::printf("RESULT startup_ms velmora=%.1f bare=%.1f template=%.1f velmora_bare=%.3f "
                "template_bare=%.3f velmora_template=%.3f\n",
                velmora, bare, templ, velmora / bare, templ / bare, velmora / templ);
    return 1;
}

struct ScaleResult {
    uint32_t size;
    double firstLoad;
    double load;
    double apply;
    double callsLoad;  // the registry and list view calls of a load alone
    double callsApply; // the registry calls of an Apply alone
};

struct StoredValue {
    std::string name;
    std::vector<BYTE> data;
};

// The registry calls that a load makes, made directly: the mode list's size and bytes, then
// every value of the key through the 260-byte buffers. Keeps the timing values for CallsApply.
// Milliseconds, or -1.
double CallsLoadRegistry(const std::string& path, std::vector<StoredValue>* timings) {
    double start = Now();
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return -1;
    DWORD size = 0;
    if (RegQueryValueExA(key, ModeListValueName, nullptr, nullptr, nullptr, &size) ==
        ERROR_SUCCESS) {
        std::vector<BYTE> list(size ? size : 1);
        RegQueryValueExA(key, ModeListValueName, nullptr, nullptr, list.data(), &size);
    }
    RegCloseKey(key);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return -1;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    timings->clear();
    for (DWORD i = 0; i < count; ++i) {
        char name[RegistryBufferSize];
        BYTE data[RegistryBufferSize];
        DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) ==
                ERROR_SUCCESS &&
            IsTimingValueName(name))
            timings->push_back(StoredValue{name, std::vector<BYTE>(data, data + dataLength)});
    }
    RegCloseKey(key);
    return Now() - start;
}

// Lets this thread paint what it has left invalid.
void PaintPending() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

// Appends n rows of three columns as a load does: three messages per row.
void AppendRows(HWND list, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%u", 640 + i / 100);
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = text;
        item.iItem = static_cast<int>(
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        for (int c = 1; c < 3; ++c) {
            item.iSubItem = c;
            SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// The list view calls that a load makes for n rows, on the list of a main window of its own, made
// from the program's template and showing the start-up device's rows, painted, as the program's
// list is when the Device menu switches: drawing stopped, every row deleted, three messages per
// row, drawing resumed. A list of its own in a plain window would not do: resuming the drawing of
// the template's list costs several milliseconds under Wine, and of a lone list almost nothing.
// Milliseconds, or -1 when the window could not be made.
double CallsLoadRows(uint32_t n) {
    HWND dialog =
        CreateDialogParamA(GetModuleHandleA(nullptr), IDD_MAIN, nullptr, QuietDialogProc, 0);
    HWND list = dialog ? GetDlgItem(dialog, IDC_MODE_LIST) : nullptr;
    if (!list)
        return -1;
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = 100;
    column.pszText = const_cast<char*>("column");
    for (int c = 0; c < 3; ++c)
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    AppendRows(list, StartupModes);
    ShowWindow(dialog, SW_SHOW);
    SetFocus(list);
    UpdateWindow(dialog);
    PaintPending();
    double start = Now();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    AppendRows(list, n);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    double ms = Now() - start;
    DestroyWindow(dialog);
    PaintPending();
    return ms;
}

// The registry calls that an Apply makes, made directly: one set per timing, the walk that
// deletes the timing values that no set named, one set of the mode list (its bytes as stored).
// Milliseconds.
double CallsApply(const std::string& path, const std::vector<StoredValue>& timings) {
    HKEY key;
    std::vector<BYTE> list(1);
    DWORD size = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return -1;
    if (RegQueryValueExA(key, ModeListValueName, nullptr, nullptr, nullptr, &size) ==
        ERROR_SUCCESS) {
        list.resize(size ? size : 1);
        RegQueryValueExA(key, ModeListValueName, nullptr, nullptr, list.data(), &size);
    }
    RegCloseKey(key);
    std::vector<std::string> names;
    for (const StoredValue& value : timings)
        names.push_back(value.name);
    std::sort(names.begin(), names.end());

    double start = Now();
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return -1;
    for (const StoredValue& value : timings)
        RegSetValueExA(key, value.name.c_str(), 0, REG_BINARY, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    for (DWORD i = 0; i < count;) {
        char name[RegistryBufferSize];
        BYTE data[RegistryBufferSize];
        DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) ==
                ERROR_SUCCESS &&
            IsTimingValueName(name) && !std::binary_search(names.begin(), names.end(), name) &&
            RegDeleteValueA(key, name) == ERROR_SUCCESS) {
            --count;
            continue;
        }
        ++i;
    }
    RegCloseKey(key);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return -1;
    RegSetValueExA(key, ModeListValueName, 0, REG_BINARY, list.data(), size);
    RegCloseKey(key);
    return Now() - start;
}

// The calls alone, each the median of `repeats`.
void MeasureCalls(uint32_t size, int repeats, ScaleResult* result) {
    std::vector<double> loads, applies;
    for (int i = 0; i < repeats; ++i) {
        std::vector<StoredValue> timings;
        double registry = CallsLoadRegistry(DriverKey(1), &timings);
        double rows = CallsLoadRows(size);
        loads.push_back(registry >= 0 && rows >= 0 ? registry + rows : -1);
        applies.push_back(CallsApply(DriverKey(1), timings));
    }
    result->callsLoad = Median(loads);
    result->callsApply = Median(applies);
}

int RunScale(const std::string& velmora, uint32_t size, int repeats, ScaleResult* result,
             Memory* memory) {
    std::string backup = std::string(UserKey) + "\\DISPLAY2";
    if (!WriteDevice(1, size))
        return 0;
    RegDeleteTreeA(HKEY_CURRENT_USER, backup.c_str());
    Program program;
    if (TimeStart(program, velmora, MainCaption, StartupModes) < 0)
        return 0;
    const WPARAM toSmall = IDM_DEVICE_FIRST, toLarge = IDM_DEVICE_FIRST + 1;
    result->size = size;
    Settle(program);
    result->firstLoad = TimeCommand(program.window, toLarge);
    int ok = result->firstLoad >= 0 && RowCount(program.window) == static_cast<long>(size);
    std::vector<double> loads, applies;
    for (int i = 0; ok && i < repeats; ++i) {
        ok = TimeCommand(program.window, toSmall) >= 0;
        Settle(program);
        double ms = TimeCommand(program.window, toLarge);
        ok = ok && ms >= 0 && RowCount(program.window) == static_cast<long>(size);
        loads.push_back(ms);
    }
    for (int i = 0; ok && i < repeats; ++i) {
        Settle(program);
        double ms = TimeCommand(program.window, IDC_APPLY);
        ok = ms >= 0 && CountValues(DriverKey(1)) == size + 1;
        applies.push_back(ms);
    }
    if (ok) {
        *memory = MemoryOf(program);
        MemoryPoint(("velmora-" + std::to_string(size)).c_str(), velmora);
    }
    program.Stop(IDM_EXIT);
    result->load = Median(loads);
    result->apply = Median(applies);
    if (ok)
        MeasureCalls(size, repeats, result);
    if (!ok)
        std::printf("device of %u modes: a load or Apply failed\n", size);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: velmora_wine_bench VELMORA_SIM_EXE BARE_DIALOG_EXE "
                             "TEMPLATE_DIALOG_EXE [RUNS [REPEATS [SIZE...]]]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    std::string velmora = argv[1];
    int runs = argc > 4 ? std::atoi(argv[4]) : 15;
    int repeats = argc > 5 ? std::atoi(argv[5]) : 5;
    std::vector<uint32_t> sizes;
    for (int i = 6; i < argc; ++i)
        sizes.push_back(static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10)));
    if (sizes.empty())
        sizes = {1000, 2000, 5000};
    if (runs < 1 || repeats < 1) {
        std::fprintf(stderr, "RUNS and REPEATS must be at least 1\n");
        return 2;
    }
    std::vector<StartProgram> programs = {
        {"velmora-sim (10 modes)",
         velmora,
         MainCaption,
         StartupModes,
         IDM_EXIT,
         "velmora-10",
         {},
         {}},
        {"bare dialog", argv[2], BareCaption, -1, IDCANCEL, "bare", {}, {}},
        {"template alone", argv[3], MainCaption, -1, IDM_EXIT, "template", {}, {}},
    };
    std::vector<std::string> exes;
    for (const StartProgram& p : programs)
        exes.push_back(p.path);
    if (!Prepare(exes)) {
        std::fprintf(stderr, "the registry could not be prepared\n");
        return 1;
    }
    if (!RunStartup(programs, runs))
        return 1;

    Memory largeMemory;
    std::vector<ScaleResult> results;
    uint32_t largest = 0;
    for (uint32_t size : sizes) {
        ScaleResult result;
        Memory memory;
        if (!RunScale(velmora, size, repeats, &result, &memory))
            return 1;
        results.push_back(result);
        if (size >= largest) {
            largest = size;
            largeMemory = memory;
        }
    }
    std::printf("\nA device of n timing values (ms; load and Apply: median of %d)\n", repeats);
    std::printf("  The calls alone: the same registry and list view calls made directly by this "
                "harness.\n");
    std::printf("  %8s %12s %10s %12s %10s %10s %12s %10s\n", "n", "first load", "load",
                "calls alone", "velmora/", "apply", "calls alone", "velmora/");
    for (const ScaleResult& r : results)
        std::printf("  %8u %12.1f %10.1f %12.1f %10.2f %10.1f %12.1f %10.2f\n", r.size, r.firstLoad,
                    r.load, r.callsLoad, r.load / r.callsLoad, r.apply, r.callsApply,
                    r.apply / r.callsApply);
    for (const ScaleResult& r : results)
        std::printf("RESULT scale n=%u first_load_ms=%.1f load_ms=%.1f load_calls_ms=%.1f "
                    "apply_ms=%.1f apply_calls_ms=%.1f\n",
                    r.size, r.firstLoad, r.load, r.callsLoad, r.apply, r.callsApply);
    for (const ScaleResult& r : results) {
        if (r.size == results.front().size)
            continue;
        const ScaleResult& base = results.front();
        double linear = static_cast<double>(r.size) / base.size;
        std::printf("  n %u / %u (linear: %.1f): first load %.2f, load %.2f, apply %.2f\n", r.size,
                    base.size, linear, r.firstLoad / base.firstLoad, r.load / base.load,
                    r.apply / base.apply);
        std::printf("RESULT scale_%u_%u first_load_ratio=%.3f load_ratio=%.3f apply_ratio=%.3f\n",
                    r.size, base.size, r.firstLoad / base.firstLoad, r.load / base.load,
                    r.apply / base.apply);
    }
    std::printf("\nMemory of the running programs as Wine reports it\n");
    for (const StartProgram& p : programs)
        PrintMemory(p.label, p.memory);
    char what[64];
    std::snprintf(what, sizeof what, "velmora-sim, %u modes loaded", largest);
    PrintMemory(what, largeMemory);
    std::printf("RESULT working_set_mib velmora_10=%.1f bare=%.1f template=%.1f velmora_%u=%.1f\n",
                programs[0].memory.workingSetMiB, programs[1].memory.workingSetMiB,
                programs[2].memory.workingSetMiB, largest, largeMemory.workingSetMiB);
    return 0;
}
