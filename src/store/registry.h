// The registry interface: the nine operations through which Velmora reads and writes all state
// that outlives the process. One implementation is chosen at link time: registry_win32.cpp
// (advapi32) for the Windows executables and the Windows tests, the fake registry
// (tests/doubles/fake_registry.h, an in-memory key tree) for the native tests, the fuzzers and the
// benchmarks.
//
// Every operation returns 1 on success and 0 on failure and never throws. A key handle belongs to
// the operation that opened or created it, which closes it before returning. The open and the
// query can also tell why they failed: given a `missing` flag, they set it to 1 when the key or
// value does not exist and to 0 otherwise (success, or a failure of another kind: no right, a
// broken registry, data too large for the buffer), so that "could not read" is never taken for
// "not there".
#pragma once

#include <cstdint>

struct RegistryKeyObject;
typedef RegistryKeyObject* RegistryKey;

enum RegistryRoot { RegistryLocalMachine = 0, RegistryCurrentUser = 1 };

const uint32_t RegistryTypeSz = 1;
const uint32_t RegistryTypeBinary = 3;
const uint32_t RegistryTypeDword = 4;

// Size of the name and data buffers with which values are walked.
const uint32_t RegistryBufferSize = 260;

// Opens root\path with full access. 1 and a handle in *key; 0 and no handle on failure
// (missing key, or no right to write it); *missing (when given) tells the two apart.
int RegistryOpenKey(RegistryRoot root, const char* path, RegistryKey* key, int* missing = nullptr);

// Opens root\path for reading only, which a user without administrative rights may do. 1 and a
// handle through which nothing can be set, deleted or created; 0 and no handle on failure;
// *missing (when given) as for RegistryOpenKey.
int RegistryOpenKeyToRead(RegistryRoot root, const char* path, RegistryKey* key,
                          int* missing = nullptr);

// The name of the child key at `index`. On entry *nameLength is the buffer size in bytes with its
// terminating zero; on success it is the name's length without the zero. 0 past the last child,
// and for a name that does not fit.
int RegistryEnumSubkey(RegistryKey key, uint32_t index, char* name, uint32_t* nameLength);

// Creates the child `name` below an open key, or opens it when it exists. 1 and a handle; 0 when
// no key results.
int RegistryCreateSubkey(RegistryKey parent, const char* name, RegistryKey* child);

// Number of values in the key.
int RegistryCountValues(RegistryKey key, uint32_t* count);

// The value at `index`. On entry *nameLength and *dataLength are the buffer sizes in bytes (the
// name's including its terminating zero); on success *nameLength is the name's length without the
// zero and *dataLength the data's length. A name or data that does not fit fails the call. When
// data is null only the name and the data's length are reported, whatever that length.
int RegistryEnumValue(RegistryKey key, uint32_t index, char* name, uint32_t* nameLength,
                      uint32_t* type, uint8_t* data, uint32_t* dataLength);

// The value `name`. On entry *dataLength is the buffer size. On success *dataLength is the data's
// length. When data is null the call only reports the length. When the data does not fit, the
// call fails and, where the platform reports it, leaves the needed length in *dataLength.
// type may be null. *missing (when given) is 1 when the call failed because there is no such
// value, else 0.
int RegistryQueryValue(RegistryKey key, const char* name, uint32_t* type, uint8_t* data,
                       uint32_t* dataLength, int* missing = nullptr);

// Writes the value `name` (replacing one that exists) with exactly `length` bytes, whatever the
// type: text is stored as given, with no terminating zero added. The one exception is REG_SZ on
// Windows 95, 98 and ME, which store text up to its first zero byte and add a zero; no byte
// beyond `length` is read there either.
int RegistrySetValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
                     uint32_t length);

// Deletes the value `name`; 0 when there is none or it cannot be deleted.
int RegistryDeleteValue(RegistryKey key, const char* name);

// Deletes the child key `name` of an open key, with its values. 1 when it was deleted; 0 when it
// does not exist or cannot be deleted. Windows NT refuses a key that has subkeys of its own (and
// so does the in-memory registry); Velmora deletes only keys it made, which have none.
int RegistryDeleteKey(RegistryKey parent, const char* name);

// Closes a handle; closing is never reported as failed.
void RegistryCloseKey(RegistryKey key);
