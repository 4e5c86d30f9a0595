#include "e2e/driver.h"

#include <commctrl.h>

#include <cstring>

namespace e2e {

namespace {

const uint32_t PollIntervalMs = 10;
const uint32_t KillWaitMs = 5000;
// The text of the message box's message; the dialog manager may keep a control identifier of
// 0xFFFF as -1.
const int MessageTextId = 0xFFFF;
// The longest text we read from another process: far beyond anything a test looks at, but a
// bound all the same.
const size_t MaxRemoteText = 65536;
// The window class of an open popup menu.
const char MenuPopupClass[] = "#32768";

uint64_t Now() {
    return GetTickCount64();
}

// Remaining milliseconds until a deadline, at least 1 so that a last attempt is still made.
uint32_t Remaining(uint64_t deadline) {
    uint64_t now = Now();
    return now >= deadline ? 1 : static_cast<uint32_t>(deadline - now);
}

struct WindowSearch {
    DWORD processId;
    const char* caption;
    const char* className;
    int controlId;
    int visibleOnly;
    std::vector<HWND> found;
};

// The window text as the window system keeps it. For another process's top-level window this
// does not send a message, so a hung program cannot block the search.
std::string StoredCaption(HWND window) {
    for (size_t capacity = 256; capacity <= MaxRemoteText; capacity *= 4) {
        std::vector<char> buffer(capacity);
        int length = GetWindowTextA(window, buffer.data(), static_cast<int>(capacity));
        if (length < 0) {
            return std::string();
        }
        if (static_cast<size_t>(length) < capacity - 1) {
            return std::string(buffer.data(), static_cast<size_t>(length));
        }
    }
    return std::string();
}

std::string ClassOf(HWND window) {
    char name[256];
    int length = GetClassNameA(window, name, sizeof name);
    return length > 0 ? std::string(name, static_cast<size_t>(length)) : std::string();
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) {
        return TRUE;
    }
    if (search->visibleOnly && !IsWindowVisible(window)) {
        return TRUE;
    }
    if (search->className && ClassOf(window) != search->className) {
        return TRUE;
    }
    if (search->caption && StoredCaption(window) != search->caption) {
        return TRUE;
    }
    if (search->controlId != 0 && !GetDlgItem(window, search->controlId)) {
        return TRUE;
    }
    search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> TopWindows(uint32_t processId, const char* caption, const char* className,
                             int controlId, int visibleOnly) {
    WindowSearch search{processId, caption, className, controlId, visibleOnly, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK TakeFirstWindow(HWND window, LPARAM parameter) {
    *reinterpret_cast<HWND*>(parameter) = window;
    return FALSE;
}

// A window of the thread through which its queue can be reached, or null when it has none.
HWND WindowOfThread(DWORD threadId) {
    HWND window = nullptr;
    EnumThreadWindows(threadId, TakeFirstWindow, reinterpret_cast<LPARAM>(&window));
    return window;
}

// Sent messages are handled before posted ones, so one answered WM_NULL only proves that the
// thread has reached its queue; each further round trip needs the thread to come back to the
// queue, which it does after dispatching (or while dispatching, in a modal loop) the next posted
// message. `rounds` round trips therefore cover rounds - 1 posted messages. That holds only when
// the next WM_NULL arrives after the thread has taken its next posted message: one sent sooner
// is handled within the same wait for messages. A slow program (a 32-bit one under an emulator)
// loses that race to a fast caller, so each round trip gives the thread a moment first. That
// moment also lets a posted command end the program: a send that fails before the deadline (its
// window destroyed, its thread ending) is tried again through another window of the thread, and a
// thread with no window left has handled everything.
int RoundTrips(DWORD threadId, int rounds, uint32_t timeoutMs) {
    uint64_t deadline = Now() + timeoutMs;
    int done = 0;
    int failed = 0;
    while (done < rounds) {
        if (done > 0 || failed) {
            Sleep(PollIntervalMs);
        }
        HWND window = WindowOfThread(threadId);
        if (!window) {
            return 1;
        }
        DWORD_PTR result = 0;
        failed =
            !SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, Remaining(deadline), &result);
        if (!failed) {
            ++done;
        } else if (Now() >= deadline) {
            return 0;
        }
    }
    return 1;
}

// What a user can act on: the window exists and is shown and enabled, and so is its top-level
// window (a modal dialog disables its owner).
int UserCanReach(HWND window) {
    if (!window || !IsWindow(window) || !IsWindowVisible(window) || !IsWindowEnabled(window)) {
        return 0;
    }
    HWND top = GetAncestor(window, GA_ROOT);
    return top && IsWindowEnabled(top) ? 1 : 0;
}

struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Posts the messages in order and waits until the window's thread has handled them, and the
// messages that handling them may have posted in turn (a dialog's WM_CLOSE posts its cancel
// command, a key posts its character).
int PostAndSync(HWND target, const PostedMessage* messages, int count) {
    DWORD threadId = GetWindowThreadProcessId(target, nullptr);
    if (!threadId) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        if (!PostMessageA(target, messages[i].message, messages[i].wParam, messages[i].lParam)) {
            return 0;
        }
    }
    return RoundTrips(threadId, count + 3, DefaultTimeoutMs);
}

// Reads a window's text with WM_GETTEXT, which the window system copies across processes.
int ReadWindowText(HWND window, std::string* text) {
    if (!text || !window || !IsWindow(window)) {
        return 0;
    }
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, DefaultTimeoutMs,
                             &length)) {
        return 0;
    }
    // The length is a hint: the text may change in between, so grow until it fits.
    for (size_t capacity = length + 2; capacity <= MaxRemoteText; capacity *= 4) {
        std::vector<char> buffer(capacity);
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutA(window, WM_GETTEXT, capacity,
                                 reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL,
                                 DefaultTimeoutMs, &copied)) {
            return 0;
        }
        if (copied < capacity - 1) {
            text->assign(buffer.data(), copied);
            return 1;
        }
    }
    return 0;
}

int SendTimed(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, DefaultTimeoutMs,
                               result ? result : &ignored)
               ? 1
               : 0;
}

// A block of memory inside the process that owns a window, for messages whose parameters point
// to structures (the list view's). Freed with the object.
class RemoteBlock {
public:
    RemoteBlock() : process(nullptr), address(nullptr), size(0) {}
    ~RemoteBlock() {
        if (address) {
            VirtualFreeEx(process, address, 0, MEM_RELEASE);
        }
        if (process) {
            CloseHandle(process);
        }
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    // 1 when `bytes` bytes are reserved in the window's process.
    int Open(HWND window, size_t bytes) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (!processId || address) {
            return 0;
        }
        process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                              processId);
        if (!process) {
            return 0;
        }
        address = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        size = address ? bytes : 0;
        return address ? 1 : 0;
    }

    int Write(size_t offset, const void* data, size_t length) {
        if (!address || offset > size || length > size - offset) {
            return 0;
        }
        SIZE_T written = 0;
        return WriteProcessMemory(process, At(offset), data, length, &written) && written == length
                   ? 1
                   : 0;
    }

    int Read(size_t offset, void* data, size_t length) {
        if (!address || offset > size || length > size - offset) {
            return 0;
        }
        SIZE_T read = 0;
        return ReadProcessMemory(process, At(offset), data, length, &read) && read == length ? 1
                                                                                             : 0;
    }

    // The address as the other process sees it.
    char* At(size_t offset) const { return static_cast<char*>(address) + offset; }

private:
    HANDLE process;
    void* address;
    size_t size;
};

// Reads a zero-terminated text of at most `capacity` bytes at `offset`. 1 when the terminator
// was found, so the text is whole.
int ReadRemoteText(RemoteBlock& block, size_t offset, size_t capacity, std::string* text) {
    std::vector<char> buffer(capacity);
    if (!block.Read(offset, buffer.data(), capacity)) {
        return 0;
    }
    const void* end = memchr(buffer.data(), 0, capacity);
    if (!end) {
        return 0;
    }
    text->assign(buffer.data(), static_cast<size_t>(static_cast<const char*>(end) - buffer.data()));
    return 1;
}

// The rectangle of a row part (LVIR_BOUNDS, LVIR_LABEL...) in list client coordinates.
int RowRect(HWND list, int row, int part, RECT* rect) {
    RemoteBlock block;
    RECT request{};
    request.left = part;
    DWORD_PTR ok = 0;
    if (!block.Open(list, sizeof(RECT)) || !block.Write(0, &request, sizeof request) ||
        !SendTimed(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(block.At(0)), &ok) ||
        !ok) {
        return 0;
    }
    return block.Read(0, rect, sizeof(RECT));
}

// The bottom of the list's column header in list client coordinates (0 without a header).
int HeaderBottom(HWND list) {
    DWORD_PTR header = 0;
    RECT rect{};
    if (!SendTimed(list, LVM_GETHEADER, 0, 0, &header) || !header ||
        !IsWindowVisible(reinterpret_cast<HWND>(header)) ||
        !GetWindowRect(reinterpret_cast<HWND>(header), &rect)) {
        return 0;
    }
    MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&rect), 2);
    return rect.bottom;
}

// Presses the left button at a point of the list's client area and releases it there.
int ClickAt(HWND list, int x, int y) {
    RECT client{};
    if (!GetClientRect(list, &client) || x < client.left || x >= client.right || y < client.top ||
        y >= client.bottom) {
        return 0;
    }
    LPARAM point = MAKELPARAM(x, y);
    PostedMessage click[] = {{WM_LBUTTONDOWN, MK_LBUTTON, point}, {WM_LBUTTONUP, 0, point}};
    return PostAndSync(list, click, 2);
}

int IsExtendedKey(int virtualKey) {
    switch (virtualKey) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE:
        return 1;
    default:
        return 0;
    }
}

// Under Wine on a display without a window manager (Xvfb), hiding a window that Wine leaves to
// the window manager waits two seconds for an answer that never comes, so every dialog that ends
// would cost two seconds. Wine can keep the windows of one program to itself instead; it reads
// that per-program setting when the program starts. Only the programs we start get it: a window
// that Wine manages itself takes the display's input focus, and other tests that show dialogs
// in their own process at the same time rely on keeping theirs. Nothing is done outside Wine.
void LeaveWindowsUnmanagedUnderWine(const char* exePath) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) {
        return;
    }
    std::string path(exePath);
    size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        return;
    }
    std::string keyPath = "Software\\Wine\\AppDefaults\\" + name + "\\X11 Driver";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(key);
    }
}

} // namespace

AppProcess::AppProcess() : process(nullptr), job(nullptr), processId(0), exitCode(0), exited(0) {}

AppProcess::~AppProcess() {
    Kill();
    if (process) {
        CloseHandle(process);
    }
    if (job) {
        CloseHandle(job);
    }
}

// The process starts suspended so that it is in the job before it can run (and start anything
// of its own); the job ends it should the test executable die without running our destructor.
int AppProcess::Start(const char* exePath, const char* workingDirectory, const char* arguments) {
    if (process || !exePath) {
        return 0;
    }
    // Wine reads the window setting while it creates the process, so it is written first, and
    // only for a program file that exists.
    char found[MAX_PATH];
    DWORD length = SearchPathA(nullptr, exePath, nullptr, sizeof found, found, nullptr);
    if (length > 0 && length < sizeof found) {
        LeaveWindowsUnmanagedUnderWine(found);
    }
    std::string commandLine = std::string("\"") + exePath + "\"";
    if (arguments && *arguments) {
        commandLine += " ";
        commandLine += arguments;
    }
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, workingDirectory, &startup, &started)) {
        return 0;
    }
    job = CreateJobObjectA(nullptr, nullptr);
    if (job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                     sizeof limits) ||
            !AssignProcessToJobObject(job, started.hProcess)) {
            CloseHandle(job);
            job = nullptr;
        }
    }
    process = started.hProcess;
    processId = started.dwProcessId;
    exited = 0;
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    return 1;
}

int AppProcess::WaitForExit(uint32_t timeoutMs, uint32_t* code) {
    if (!process) {
        return 0;
    }
    if (!exited) {
        if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
            Kill();
            return 0;
        }
        DWORD value = 0;
        if (!GetExitCodeProcess(process, &value)) {
            return 0;
        }
        exitCode = value;
        exited = 1;
    } else if (exited == 2) {
        return 0; // we killed it: there is no exit code of its own
    }
    if (code) {
        *code = exitCode;
    }
    return 1;
}

int AppProcess::IsRunning() const {
    return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT ? 1 : 0;
}

void AppProcess::Kill() {
    if (!IsRunning()) {
        return;
    }
    TerminateProcess(process, 1);
    WaitForSingleObject(process, KillWaitMs);
    exited = 2;
}

int RunToExit(const char* exePath, const char* arguments, uint32_t timeoutMs, uint32_t* exitCode) {
    AppProcess program;
    return program.Start(exePath, nullptr, arguments) && program.WaitForExit(timeoutMs, exitCode);
}

namespace {

// A new temporary file that a child process inherits, deleted when the last handle closes.
HANDLE InheritedTempFile() {
    char folder[MAX_PATH];
    char path[MAX_PATH];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder || !GetTempFileNameA(folder, "vct", 0, path)) {
        return INVALID_HANDLE_VALUE;
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string ReadFromStart(HANDLE file) {
    std::string text;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        text.append(chunk, got);
    }
    return text;
}

} // namespace

int RunCaptured(const char* exePath, const char* arguments, uint32_t timeoutMs, uint32_t* exitCode,
                std::string* out, std::string* err) {
    HANDLE files[2] = {InheritedTempFile(), InheritedTempFile()};
    int done = 0;
    if (files[0] != INVALID_HANDLE_VALUE && files[1] != INVALID_HANDLE_VALUE) {
        std::string commandLine =
            std::string("\"") + exePath + "\" " + (arguments ? arguments : "");
        std::vector<char> writable(commandLine.begin(), commandLine.end());
        writable.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = files[0];
        startup.hStdError = files[1];
        PROCESS_INFORMATION started{};
        if (CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &started)) {
            CloseHandle(started.hThread);
            DWORD code = 0;
            if (WaitForSingleObject(started.hProcess, timeoutMs) == WAIT_OBJECT_0 &&
                GetExitCodeProcess(started.hProcess, &code)) {
                *exitCode = code;
                *out = ReadFromStart(files[0]);
                *err = ReadFromStart(files[1]);
                done = 1;
            } else {
                TerminateProcess(started.hProcess, 1);
                WaitForSingleObject(started.hProcess, KillWaitMs);
            }
            CloseHandle(started.hProcess);
        }
    }
    for (HANDLE file : files) {
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
    return done;
}

int ImportRegFile(const char* path, uint32_t timeoutMs) {
    if (!path) {
        return 0;
    }
    std::string arguments = std::string("/S \"") + path + "\"";
    uint32_t exitCode = 1;
    return RunToExit("regedit.exe", arguments.c_str(), timeoutMs, &exitCode) && exitCode == 0;
}

std::string ExeDirectory() {
    for (DWORD capacity = MAX_PATH; capacity <= 32768; capacity *= 2) {
        std::vector<char> buffer(capacity);
        DWORD length = GetModuleFileNameA(nullptr, buffer.data(), capacity);
        if (length == 0) {
            return std::string();
        }
        if (length < capacity) {
            std::string path(buffer.data(), length);
            size_t slash = path.find_last_of("\\/");
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
    }
    return std::string();
}

std::string BesideExe(const char* fileName) {
    return ExeDirectory() + (fileName ? fileName : "");
}

HWND FindTopWindow(uint32_t processId, const char* caption, const char* className, int controlId) {
    std::vector<HWND> found = TopWindows(processId, caption, className, controlId, 1);
    return found.empty() ? nullptr : found.front();
}

int CountTopWindows(uint32_t processId, const char* caption, const char* className, int controlId) {
    return static_cast<int>(TopWindows(processId, caption, className, controlId, 1).size());
}

HWND WaitForTopWindow(uint32_t processId, const char* caption, uint32_t timeoutMs,
                      const char* className, int controlId) {
    HWND window = nullptr;
    WaitUntil(
        [&] {
            window = FindTopWindow(processId, caption, className, controlId);
            return window != nullptr;
        },
        timeoutMs);
    return window;
}

int WaitForTopWindowGone(uint32_t processId, const char* caption, uint32_t timeoutMs) {
    return WaitUntil([&] { return FindTopWindow(processId, caption) == nullptr; }, timeoutMs);
}

int WaitForHidden(HWND window, uint32_t timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

std::string DescribeTopWindows(uint32_t processId) {
    std::string description;
    for (HWND window : TopWindows(processId, nullptr, nullptr, 0, 0)) {
        description += ClassOf(window) + " \"" + StoredCaption(window) + "\"";
        description += IsWindowVisible(window) ? "\n" : " (hidden)\n";
    }
    return description;
}

int GetWindowCaption(HWND window, std::string* text) {
    if (!text || !window || !IsWindow(window)) {
        return 0;
    }
    *text = StoredCaption(window);
    return 1;
}

int GetText(HWND window, int controlId, std::string* text) {
    return ReadWindowText(Control(window, controlId), text);
}

std::string ReadText(HWND window, int controlId) {
    std::string text;
    if (!GetText(window, controlId, &text)) {
        return "<text of control " + std::to_string(controlId) + " not readable>";
    }
    return text;
}

HWND Control(HWND window, int controlId) {
    return window && IsWindow(window) ? GetDlgItem(window, controlId) : nullptr;
}

int IsEnabled(HWND window, int controlId) {
    HWND control = Control(window, controlId);
    return control ? (IsWindowEnabled(control) ? 1 : 0) : -1;
}

int IsVisible(HWND window, int controlId) {
    HWND control = Control(window, controlId);
    return control ? (IsWindowVisible(control) ? 1 : 0) : -1;
}

int GetCheck(HWND window, int controlId) {
    HWND control = Control(window, controlId);
    DWORD_PTR state = 0;
    if (!control || !SendTimed(control, BM_GETCHECK, 0, 0, &state)) {
        return -1;
    }
    return static_cast<int>(state);
}

int SetCheck(HWND window, int controlId, int state) {
    HWND control = Control(window, controlId);
    if (!UserCanReach(control) || state < 0 ||
        !SendTimed(control, BM_SETCHECK, static_cast<WPARAM>(state), 0, nullptr)) {
        return 0;
    }
    return GetCheck(window, controlId) == state ? 1 : 0;
}

int ClickButton(HWND window, int controlId) {
    HWND button = Control(window, controlId);
    if (!UserCanReach(button)) {
        return 0;
    }
    PostedMessage click[] = {{BM_CLICK, 0, 0}};
    return PostAndSync(button, click, 1);
}

int SetText(HWND window, int controlId, const char* text) {
    HWND edit = Control(window, controlId);
    DWORD_PTR taken = 0;
    if (!text || !UserCanReach(edit) || (GetWindowLongA(edit, GWL_STYLE) & ES_READONLY) ||
        !SendTimed(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), &taken)) {
        return 0;
    }
    return taken ? 1 : 0;
}

int TypeText(HWND window, int controlId, const char* text) {
    HWND edit = Control(window, controlId);
    if (!text || !UserCanReach(edit) || (GetWindowLongA(edit, GWL_STYLE) & ES_READONLY) ||
        !SendTimed(edit, EM_SETSEL, 0, -1, nullptr)) {
        return 0;
    }
    // Backspace on the whole selection empties the edit, as a user clears it before typing.
    std::vector<PostedMessage> keys = {{WM_CHAR, VK_BACK, 1}};
    for (const char* c = text; *c; ++c) {
        keys.push_back({WM_CHAR, static_cast<unsigned char>(*c), 1});
    }
    return PostAndSync(edit, keys.data(), static_cast<int>(keys.size()));
}

int PressKey(HWND target, int virtualKey) {
    if (!UserCanReach(target)) {
        return 0;
    }
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(virtualKey), 0)) << 16;
    LPARAM down = 1 | scan | (IsExtendedKey(virtualKey) ? LPARAM(1) << 24 : 0);
    LPARAM up = down | (LPARAM(1) << 30) | (LPARAM(1) << 31);
    PostedMessage press[] = {{WM_KEYDOWN, static_cast<WPARAM>(virtualKey), down},
                             {WM_KEYUP, static_cast<WPARAM>(virtualKey), up}};
    return PostAndSync(target, press, 2);
}

int PressKeyOnFocus(HWND window, int virtualKey) {
    DWORD threadId = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    if (!threadId) {
        return 0;
    }
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    HWND target = window;
    if (GetGUIThreadInfo(threadId, &thread) && thread.hwndFocus) {
        target = thread.hwndFocus;
    }
    return PressKey(target, virtualKey);
}

int SendCommand(HWND window, int commandId) {
    if (!UserCanReach(window)) {
        return 0;
    }
    PostedMessage command[] = {{WM_COMMAND, MAKEWPARAM(commandId, 0), 0}};
    return PostAndSync(window, command, 1);
}

int CloseFromCaption(HWND window) {
    if (!UserCanReach(window)) {
        return 0;
    }
    PostedMessage close[] = {{WM_SYSCOMMAND, SC_CLOSE, 0}};
    return PostAndSync(window, close, 1);
}

int ChooseMenuItem(HWND window, char mnemonic, int item) {
    DWORD processId = 0;
    if (!UserCanReach(window) || item < 0 || !GetWindowThreadProcessId(window, &processId)) {
        return 0;
    }
    // A popup that opens under the mouse pointer selects the item below it as the pointer's
    // position is reported to it: the pointer goes out of the way first.
    SetCursorPos(0, 0);
    // The menu runs a loop of its own, which looks at each message twice, so round trips through
    // the queue do not tell how far it has got: its popup window does. The popup shows once the
    // menu has handled the Enter that it posts itself to open it; it is gone once the menu has
    // ended and posted the chosen command, which a last round trip then sees handled.
    const LPARAM altDown = LPARAM(1) << 29;
    if (!PostMessageA(window, WM_SYSCHAR, static_cast<WPARAM>(mnemonic), 1 | altDown) ||
        !WaitForTopWindow(processId, nullptr, DefaultTimeoutMs, MenuPopupClass)) {
        return 0;
    }
    for (int i = 0; i < item; ++i) {
        if (!PostMessageA(window, WM_KEYDOWN, VK_DOWN, 1)) {
            return 0;
        }
    }
    return PostMessageA(window, WM_KEYDOWN, VK_RETURN, 1) &&
           WaitUntil([processId] { return !FindTopWindow(processId, nullptr, MenuPopupClass); }) &&
           Sync(window);
}

int ListRowCount(HWND list) {
    DWORD_PTR count = 0;
    if (!list || !SendTimed(list, LVM_GETITEMCOUNT, 0, 0, &count)) {
        return -1;
    }
    return static_cast<int>(count);
}

int ListColumnCount(HWND list) {
    DWORD_PTR header = 0;
    DWORD_PTR count = 0;
    if (!list || !SendTimed(list, LVM_GETHEADER, 0, 0, &header) || !header ||
        !SendTimed(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &count)) {
        return -1;
    }
    return static_cast<int>(count);
}

int ListColumnWidth(HWND list, int column) {
    DWORD_PTR width = 0;
    if (!list || column < 0 || column >= ListColumnCount(list) ||
        !SendTimed(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0, &width)) {
        return -1;
    }
    return static_cast<int>(width);
}

int ListColumn(HWND list, int column, std::string* title, int* width) {
    if (!list || !title || !width || column < 0 || column >= ListColumnCount(list)) {
        return 0;
    }
    for (size_t capacity = 256; capacity <= MaxRemoteText; capacity *= 16) {
        RemoteBlock block;
        if (!block.Open(list, sizeof(LVCOLUMNA) + capacity)) {
            return 0;
        }
        LVCOLUMNA request{};
        request.mask = LVCF_TEXT | LVCF_WIDTH;
        request.pszText = block.At(sizeof(LVCOLUMNA));
        request.cchTextMax = static_cast<int>(capacity);
        char zero = 0;
        DWORD_PTR ok = 0;
        if (!block.Write(0, &request, sizeof request) ||
            !block.Write(sizeof(LVCOLUMNA) + capacity - 1, &zero, 1) ||
            !SendTimed(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column),
                       reinterpret_cast<LPARAM>(block.At(0)), &ok) ||
            !ok) {
            return 0;
        }
        LVCOLUMNA answer{};
        std::string text;
        if (!block.Read(0, &answer, sizeof answer) ||
            !ReadRemoteText(block, sizeof(LVCOLUMNA), capacity, &text)) {
            return 0;
        }
        // A title that fills the buffer may have been cut: try a larger one.
        if (text.size() < capacity - 1) {
            *title = text;
            *width = answer.cx;
            return 1;
        }
    }
    return 0;
}

int ListCellText(HWND list, int row, int column, std::string* text) {
    if (!list || !text || row < 0 || row >= ListRowCount(list) || column < 0 ||
        column >= ListColumnCount(list)) {
        return 0;
    }
    for (size_t capacity = 256; capacity <= MaxRemoteText; capacity *= 16) {
        RemoteBlock block;
        if (!block.Open(list, sizeof(LVITEMA) + capacity)) {
            return 0;
        }
        LVITEMA request{};
        request.iSubItem = column;
        request.pszText = block.At(sizeof(LVITEMA));
        request.cchTextMax = static_cast<int>(capacity);
        DWORD_PTR copied = 0;
        if (!block.Write(0, &request, sizeof request) ||
            !SendTimed(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                       reinterpret_cast<LPARAM>(block.At(0)), &copied)) {
            return 0;
        }
        if (copied < capacity - 1) {
            std::vector<char> buffer(copied);
            if (copied && !block.Read(sizeof(LVITEMA), buffer.data(), copied)) {
                return 0;
            }
            text->assign(buffer.begin(), buffer.end());
            return 1;
        }
    }
    return 0;
}

int ListContents(HWND list, std::vector<std::vector<std::string>>* rows) {
    int rowCount = ListRowCount(list);
    int columnCount = ListColumnCount(list);
    if (!rows || rowCount < 0 || columnCount < 0) {
        return 0;
    }
    rows->assign(static_cast<size_t>(rowCount), std::vector<std::string>());
    for (int row = 0; row < rowCount; ++row) {
        for (int column = 0; column < columnCount; ++column) {
            std::string text;
            if (!ListCellText(list, row, column, &text)) {
                return 0;
            }
            (*rows)[static_cast<size_t>(row)].push_back(text);
        }
    }
    return 1;
}

int ListRowRect(HWND list, int row, RECT* rect) {
    if (!list || !rect || row < 0 || row >= ListRowCount(list)) {
        return 0;
    }
    return RowRect(list, row, LVIR_BOUNDS, rect);
}

int ListSelectedRow(HWND list) {
    DWORD_PTR row = 0;
    if (!list || !SendTimed(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, &row)) {
        return -1;
    }
    return static_cast<int>(static_cast<LRESULT>(row));
}

// Without full-row selection only the item's own label in column 0 answers a click in report
// view, so the click goes near the left end of that label, on the text.
int ClickListRow(HWND list, int row) {
    RECT label{};
    if (!UserCanReach(list) || row < 0 || row >= ListRowCount(list) ||
        !SendTimed(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE, nullptr) ||
        !RowRect(list, row, LVIR_LABEL, &label) || label.right <= label.left ||
        label.bottom <= label.top || label.top < HeaderBottom(list)) {
        return 0;
    }
    int x = label.left + (label.right - label.left < 8 ? (label.right - label.left) / 2 : 4);
    int y = (label.top + label.bottom) / 2;
    return ClickAt(list, x, y);
}

int ClickListBelowRows(HWND list) {
    int count = ListRowCount(list);
    if (!UserCanReach(list) || count < 0) {
        return 0;
    }
    int y = HeaderBottom(list);
    if (count > 0) {
        RECT last{};
        if (!SendTimed(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(count - 1), FALSE, nullptr) ||
            !RowRect(list, count - 1, LVIR_BOUNDS, &last)) {
            return 0;
        }
        y = last.bottom;
    }
    return ClickAt(list, 4, y + 4);
}

HWND FindMessageBox(uint32_t processId, const char* caption) {
    for (HWND box : TopWindows(processId, caption, "#32770", 0, 1)) {
        if (!GetDlgItem(box, MessageTextId) && !GetDlgItem(box, -1)) {
            continue;
        }
        for (int button : {IDOK, IDCANCEL, IDYES, IDNO}) {
            if (GetDlgItem(box, button)) {
                return box;
            }
        }
    }
    return nullptr;
}

HWND WaitForMessageBox(uint32_t processId, const char* caption, uint32_t timeoutMs) {
    HWND box = nullptr;
    WaitUntil(
        [&] {
            box = FindMessageBox(processId, caption);
            return box != nullptr;
        },
        timeoutMs);
    return box;
}

int MessageBoxText(HWND box, std::string* text) {
    HWND control = Control(box, MessageTextId);
    if (!control) {
        control = Control(box, -1);
    }
    return ReadWindowText(control, text);
}

int AnswerMessageBox(HWND box, int buttonId, uint32_t timeoutMs) {
    return ClickButton(box, buttonId) && WaitForHidden(box, timeoutMs);
}

int Sync(HWND window, uint32_t timeoutMs) {
    DWORD threadId = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    return threadId ? RoundTrips(threadId, 3, timeoutMs) : 0;
}

int WaitUntil(const std::function<bool()>& condition, uint32_t timeoutMs) {
    uint64_t deadline = Now() + timeoutMs;
    for (;;) {
        if (condition()) {
            return 1;
        }
        if (Now() >= deadline) {
            return 0;
        }
        Sleep(PollIntervalMs);
    }
}

} // namespace e2e
