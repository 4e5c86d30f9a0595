// The fake registry: the registry interface (store/registry.h) on an in-memory key tree, for the
// native tests, the fuzzers and the benchmarks (the Windows tests use it where they inject
// failures). These are its controls.
//
// It behaves like the Windows registry wherever the store relies on it: key and value names are
// compared without regard to case and keep the case they were created with; values are numbered
// from 0 without gaps in creation order, and deleting one moves every later value down by one; a
// name or data that does not fit the caller's buffer fails that enumeration or query. On top of
// that a test can make a key unwritable (opening it with full access then fails, as it does for a
// user without administrative rights; opening it for reading still works, and a handle opened for
// reading refuses every set, delete and create) and make any call fail on demand. Only a key or
// value that does not exist is reported as missing; an unwritable key and an injected failure are
// failures of another kind. A deleted key stays valid for the handles still open on it, whose calls
// then fail, as they do on Windows.
#pragma once

#include "store/registry.h"

#include <cstdint>

namespace MemoryRegistry {

enum Operation {
    OpOpen,
    OpCreate,
    OpCount,
    OpEnum,
    OpQuery,
    OpSet,
    OpDelete,
    OpDeleteKey,
    OpEnumKey,
    OpClose, // counted, never failed
    OpAny,   // every operation but close, for failure injection and counting
    OperationCount
};

// Empties both roots, forgets injected failures and zeroes the call counters. Handles still open
// become invalid; tests call it between cases.
void Reset();

// Creates root\path and every missing key on the way. 1 on success.
int CreateKey(RegistryRoot root, const char* path);

// Deletes root\path with everything below it. 1 when it existed.
int DeleteKey(RegistryRoot root, const char* path);

// 1 when root\path exists.
int KeyExists(RegistryRoot root, const char* path);

// Makes root\path (which must exist) refuse or accept opening with full access. 1 on success.
int SetWritable(RegistryRoot root, const char* path, int writable);

// From now on, the call number `index` (counting from 0) of `op` fails; with `persistent` every
// call of `op` from that one on fails too. OpAny counts every operation but close. Replaces any
// earlier injection.
void FailCall(Operation op, uint32_t index, int persistent);

// Removes the injected failure.
void ClearFailures();

// How many calls the injection made fail since the last FailCall, and which operation the first
// of them was (OperationCount while none failed). A test that fails call n, n + 1, ... stops when
// an injection no longer fires, and judges a result by what actually failed.
uint32_t InjectedFailures();
Operation FirstInjectedFailure();

// Number of calls of `op` since the last Reset or ResetCounters (OpAny: all but close).
uint32_t Calls(Operation op);
void ResetCounters();

// Handles opened or created and not yet closed.
int32_t OpenHandles();

} // namespace MemoryRegistry
