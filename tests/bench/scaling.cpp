// Runs one store or editor operation once on a device of n modes, for instruction counts under
// callgrind (scripts/bench): collection is switched on only inside MeasuredOperation, and
// switching it off again inside the Registry* calls leaves Velmora's own instructions.
//
//   velmora_scaling OPERATION N
//   OPERATION: timing-load, mode-load, save (both lists in their one write), editor-load,
//              editor-apply, ctl-list (velmoractl list, its output counted and dropped)
//
// The device's backup is whole before the operation, as it is at every load and Apply but the
// first: the editor's operations then count its check, not the one-time copy.
#include "bench/bench_data.h"

#include "ctl/ctl_command.h"
#include "doubles/fake_display_services.h"
#include "doubles/fake_window_ops.h"
#include "editor/editor.h"
#include "store/backup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum Operation { TimingLoad, ModeLoad, Save, EditorLoad, EditorApply, CtlList, Unknown };

Operation Parse(const char* text) {
    const char* const names[] = {"timing-load", "mode-load",    "save",
                                 "editor-load", "editor-apply", "ctl-list"};
    for (int i = 0; i < Unknown; ++i)
        if (std::strcmp(text, names[i]) == 0)
            return static_cast<Operation>(i);
    return Unknown;
}

size_t OutputBytes = 0;

int CountOutput(void*, const char*, size_t length) {
    OutputBytes += length;
    return 1;
}

// Kept out of line and named, so that callgrind can switch collection on at its entry.
__attribute__((noinline)) int MeasuredOperation(Operation op, EditorState& editor) {
    switch (op) {
    case TimingLoad:
        return editor.edit.timings.LoadFromDevice(editor.edit.Key(), editor.edit.modes);
    case ModeLoad:
        return editor.edit.modes.LoadFromDevice(editor.edit.Key());
    case Save:
        return WriteStoredModes(editor.edit.Key(), editor.edit.timings, editor.edit.modes);
    case EditorLoad:
        editor.LoadDevice();
        return 1;
    case EditorApply:
        return editor.ApplyChanges();
    case CtlList: {
        const char* const arguments[] = {"velmoractl", "list"};
        const CtlStream sink = {CountOutput, nullptr};
        return RunVelmoraCtl(2, arguments, sink, sink) == CtlDone;
    }
    default:
        return 0;
    }
}

} // namespace

int main(int argc, char** argv) {
    Operation op = argc == 3 ? Parse(argv[1]) : Unknown;
    long n = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
    if (op == Unknown || n < 0 || n > 100000) {
        std::fprintf(stderr, "usage: velmora_scaling OPERATION N (0 to 100000)\n");
        return 2;
    }
    WindowStub::Reset();
    EditorState editor;
    editor.mainWindow = WindowStub::MainWindow();
    DriverKey driver;
    if (!bench::MakeDevice(static_cast<uint32_t>(n), &driver) ||
        !MemoryRegistry::CreateKey(RegistryCurrentUser, CompanyKeyPath) ||
        !editor.edit.Open("DISPLAY1", driver.path, 0) || !editor.edit.TakeBackup())
        return 1;
    ScriptedDisplay::Reset();
    ScriptedDisplay::Device device;
    device.systemName = "\\\\.\\DISPLAY1";
    device.answer = std::string(bench::DriverKeyPath) + std::string(1, '\0');
    ScriptedDisplay::AddDevice(device);
    // The saves start from the loaded lists, as an Apply after a load does.
    if ((op == Save || op == EditorApply) && !editor.edit.Load())
        return 1;
    int result = MeasuredOperation(op, editor);
    std::printf("%s %ld: %d, %zu rows, %zu bytes of output\n", argv[1], n, result,
                WindowStub::Rows().size(), OutputBytes);
    return result ? 0 : 1;
}
