// The registry interface on an in-memory key tree (see fake_registry.h).
#include "doubles/fake_registry.h"

#include "store/registry_names.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

struct MemoryValue {
    std::string name;
    uint32_t type;
    std::vector<uint8_t> data;
    uint64_t serial; // grows with creation order, so it orders the values as their indexes do
};

// The values are kept in index order with a name index beside them, so that a lookup by name
// costs a hash and a binary search and a delete near either end moves few values: a walk that
// sets or deletes every value of a large key stays linear, as it is on the real registry.
struct MemoryKeyNode {
    std::string name;
    int writable = 1;
    int deleted = 0; // deleted while a handle was open on it: every call through it fails
    std::vector<std::unique_ptr<MemoryKeyNode>> children;
    std::deque<MemoryValue> values;
    std::unordered_map<std::string, uint64_t> serials; // upper-cased name -> serial
    uint64_t nextSerial = 0;
};

struct RegistryKeyObject {
    MemoryKeyNode* node;
    uint32_t generation;
    int readOnly; // opened for reading: every set, delete and create through it fails
};

namespace {

struct MemoryState {
    MemoryKeyNode roots[2];
    std::vector<std::unique_ptr<MemoryKeyNode>> deletedKeys; // kept for the handles open on them
    uint32_t calls[MemoryRegistry::OperationCount] = {};
    int failActive = 0;
    MemoryRegistry::Operation failOp = MemoryRegistry::OpAny;
    uint32_t failIndex = 0;
    int failPersistent = 0;
    uint32_t failSeen = 0;
    uint32_t failed = 0;
    MemoryRegistry::Operation firstFailed = MemoryRegistry::OperationCount;
    int32_t openHandles = 0;
    uint32_t generation = 1;
};

MemoryState& State() {
    static MemoryState state;
    return state;
}

// Counts a call of `op` and tells whether the injected failure hits it.
int CallFails(MemoryRegistry::Operation op) {
    MemoryState& s = State();
    ++s.calls[op];
    if (op == MemoryRegistry::OpClose)
        return 0;
    ++s.calls[MemoryRegistry::OpAny];
    if (!s.failActive || (s.failOp != MemoryRegistry::OpAny && s.failOp != op))
        return 0;
    uint32_t seen = s.failSeen++;
    if (seen != s.failIndex && !(s.failPersistent && seen > s.failIndex))
        return 0;
    if (s.failed++ == 0)
        s.firstFailed = op;
    return 1;
}

MemoryKeyNode* FindChild(MemoryKeyNode* node, const char* name) {
    for (auto& child : node->children)
        if (EqualNoCase(child->name.c_str(), name))
            return child.get();
    return nullptr;
}

// Walks a backslash-separated path below `node`; with `create`, makes what is missing.
MemoryKeyNode* Walk(MemoryKeyNode* node, const char* path, int create) {
    std::string part;
    for (const char* p = path;; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (!part.empty()) {
                MemoryKeyNode* child = FindChild(node, part.c_str());
                if (!child) {
                    if (!create)
                        return nullptr;
                    std::unique_ptr<MemoryKeyNode> made(new (std::nothrow) MemoryKeyNode);
                    if (!made)
                        return nullptr;
                    made->name = part;
                    child = made.get();
                    node->children.push_back(std::move(made));
                }
                node = child;
                part.clear();
            }
            if (*p == '\0')
                return node;
        } else {
            part += *p;
        }
    }
}

MemoryKeyNode* Root(RegistryRoot root) {
    return &State().roots[root == RegistryLocalMachine ? 0 : 1];
}

MemoryKeyNode* Node(RegistryKey key) {
    if (!key || key->generation != State().generation || key->node->deleted)
        return nullptr;
    return key->node;
}

// The node behind a handle that may change it: null for a handle opened for reading.
MemoryKeyNode* WritableNode(RegistryKey key) {
    return key && key->readOnly ? nullptr : Node(key);
}

void SetMissing(int* missing, int value) {
    if (missing)
        *missing = value;
}

int NewHandle(MemoryKeyNode* node, RegistryKey* key, int readOnly = 0) {
    RegistryKeyObject* handle = new (std::nothrow) RegistryKeyObject;
    if (!handle)
        return 0;
    handle->node = node;
    handle->generation = State().generation;
    handle->readOnly = readOnly;
    ++State().openHandles;
    *key = handle;
    return 1;
}

// The name as the index keeps it: names are compared without regard to case (ASCII letters).
std::string FoldName(const char* name) {
    std::string folded(name ? name : "");
    for (char& c : folded)
        c = UpperAscii(c);
    return folded;
}

// The index of the value `name` in node->values, or values.size() when there is none.
size_t FindValueIndex(MemoryKeyNode* node, const char* name) {
    auto found = node->serials.find(FoldName(name));
    if (found == node->serials.end())
        return node->values.size();
    auto at = std::lower_bound(
        node->values.begin(), node->values.end(), found->second,
        [](const MemoryValue& value, uint64_t serial) { return value.serial < serial; });
    return static_cast<size_t>(at - node->values.begin());
}

MemoryValue* FindValue(MemoryKeyNode* node, const char* name) {
    size_t index = FindValueIndex(node, name);
    return index < node->values.size() ? &node->values[index] : nullptr;
}

} // namespace

int RegistryOpenKey(RegistryRoot root, const char* path, RegistryKey* key, int* missing) {
    *key = nullptr;
    SetMissing(missing, 0);
    if (CallFails(MemoryRegistry::OpOpen) || !path)
        return 0;
    MemoryKeyNode* node = Walk(Root(root), path, 0);
    SetMissing(missing, node == nullptr);
    if (!node || !node->writable)
        return 0;
    return NewHandle(node, key);
}

int RegistryOpenKeyToRead(RegistryRoot root, const char* path, RegistryKey* key, int* missing) {
    *key = nullptr;
    SetMissing(missing, 0);
    if (CallFails(MemoryRegistry::OpOpen) || !path)
        return 0;
    MemoryKeyNode* node = Walk(Root(root), path, 0);
    SetMissing(missing, node == nullptr);
    return node ? NewHandle(node, key, 1) : 0;
}

int RegistryEnumSubkey(RegistryKey key, uint32_t index, char* name, uint32_t* nameLength) {
    MemoryKeyNode* node = Node(key);
    if (CallFails(MemoryRegistry::OpEnumKey) || !node || index >= node->children.size())
        return 0;
    const std::string& child = node->children[index]->name;
    if (child.size() + 1 > *nameLength)
        return 0;
    std::memcpy(name, child.c_str(), child.size() + 1);
    *nameLength = static_cast<uint32_t>(child.size());
    return 1;
}

int RegistryCreateSubkey(RegistryKey parent, const char* name, RegistryKey* child) {
    *child = nullptr;
    MemoryKeyNode* node = WritableNode(parent);
    if (CallFails(MemoryRegistry::OpCreate) || !node || !name)
        return 0;
    MemoryKeyNode* made = Walk(node, name, 1);
    if (!made)
        return 0;
    return NewHandle(made, child);
}

int RegistryCountValues(RegistryKey key, uint32_t* count) {
    MemoryKeyNode* node = Node(key);
    if (CallFails(MemoryRegistry::OpCount) || !node)
        return 0;
    *count = static_cast<uint32_t>(node->values.size());
    return 1;
}

int RegistryEnumValue(RegistryKey key, uint32_t index, char* name, uint32_t* nameLength,
                      uint32_t* type, uint8_t* data, uint32_t* dataLength) {
    MemoryKeyNode* node = Node(key);
    if (CallFails(MemoryRegistry::OpEnum) || !node || index >= node->values.size())
        return 0;
    const MemoryValue& value = node->values[index];
    if (value.name.size() + 1 > *nameLength || (data && value.data.size() > *dataLength))
        return 0;
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    if (data && !value.data.empty())
        std::memcpy(data, value.data.data(), value.data.size());
    *nameLength = static_cast<uint32_t>(value.name.size());
    *dataLength = static_cast<uint32_t>(value.data.size());
    if (type)
        *type = value.type;
    return 1;
}

int RegistryQueryValue(RegistryKey key, const char* name, uint32_t* type, uint8_t* data,
                       uint32_t* dataLength, int* missing) {
    MemoryKeyNode* node = Node(key);
    SetMissing(missing, 0);
    if (CallFails(MemoryRegistry::OpQuery) || !node)
        return 0;
    const MemoryValue* value = FindValue(node, name);
    SetMissing(missing, value == nullptr);
    if (!value)
        return 0;
    uint32_t size = static_cast<uint32_t>(value->data.size());
    if (data && size > *dataLength) {
        *dataLength = size;
        return 0;
    }
    if (data && size)
        std::memcpy(data, value->data.data(), size);
    *dataLength = size;
    if (type)
        *type = value->type;
    return 1;
}

int RegistrySetValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
                     uint32_t length) {
    MemoryKeyNode* node = WritableNode(key);
    if (CallFails(MemoryRegistry::OpSet) || !node || (length && !data))
        return 0;
    MemoryValue* value = FindValue(node, name);
    if (!value) {
        uint64_t serial = node->nextSerial++;
        node->values.push_back(MemoryValue{name ? name : "", type, {}, serial});
        node->serials[FoldName(name)] = serial;
        value = &node->values.back();
    }
    value->type = type;
    value->data.assign(data, data + length);
    return 1;
}

int RegistryDeleteValue(RegistryKey key, const char* name) {
    MemoryKeyNode* node = WritableNode(key);
    if (CallFails(MemoryRegistry::OpDelete) || !node)
        return 0;
    size_t index = FindValueIndex(node, name);
    if (index >= node->values.size())
        return 0;
    node->values.erase(node->values.begin() + static_cast<std::ptrdiff_t>(index));
    node->serials.erase(FoldName(name));
    return 1;
}

int RegistryDeleteKey(RegistryKey parent, const char* name) {
    MemoryKeyNode* node = WritableNode(parent);
    if (CallFails(MemoryRegistry::OpDeleteKey) || !node || !name || !*name)
        return 0;
    for (size_t i = 0; i < node->children.size(); ++i) {
        if (!EqualNoCase(node->children[i]->name.c_str(), name))
            continue;
        if (!node->children[i]->children.empty())
            return 0;
        node->children[i]->deleted = 1;
        State().deletedKeys.push_back(std::move(node->children[i]));
        node->children.erase(node->children.begin() + static_cast<std::ptrdiff_t>(i));
        return 1;
    }
    return 0;
}

void RegistryCloseKey(RegistryKey key) {
    CallFails(MemoryRegistry::OpClose);
    if (!key)
        return;
    if (key->generation == State().generation)
        --State().openHandles;
    delete key;
}

namespace MemoryRegistry {

void Reset() {
    MemoryState& s = State();
    for (auto& root : s.roots) {
        root.children.clear();
        root.values.clear();
        root.serials.clear();
        root.writable = 1;
    }
    s.deletedKeys.clear();
    ClearFailures();
    ResetCounters();
    s.openHandles = 0;
    ++s.generation;
}

int CreateKey(RegistryRoot root, const char* path) {
    return Walk(Root(root), path, 1) != nullptr;
}

int DeleteKey(RegistryRoot root, const char* path) {
    std::string text(path);
    size_t cut = text.find_last_of('\\');
    MemoryKeyNode* parent =
        cut == std::string::npos ? Root(root) : Walk(Root(root), text.substr(0, cut).c_str(), 0);
    std::string leaf = cut == std::string::npos ? text : text.substr(cut + 1);
    if (!parent)
        return 0;
    for (size_t i = 0; i < parent->children.size(); ++i) {
        if (EqualNoCase(parent->children[i]->name.c_str(), leaf.c_str())) {
            parent->children.erase(parent->children.begin() + static_cast<std::ptrdiff_t>(i));
            return 1;
        }
    }
    return 0;
}

int KeyExists(RegistryRoot root, const char* path) {
    return Walk(Root(root), path, 0) != nullptr;
}

int SetWritable(RegistryRoot root, const char* path, int writable) {
    MemoryKeyNode* node = Walk(Root(root), path, 0);
    if (!node)
        return 0;
    node->writable = writable;
    return 1;
}

void FailCall(Operation op, uint32_t index, int persistent) {
    MemoryState& s = State();
    s.failActive = 1;
    s.failOp = op;
    s.failIndex = index;
    s.failPersistent = persistent;
    s.failSeen = 0;
    s.failed = 0;
    s.firstFailed = OperationCount;
}

uint32_t InjectedFailures() {
    return State().failed;
}

Operation FirstInjectedFailure() {
    return State().firstFailed;
}

void ClearFailures() {
    State().failActive = 0;
}

uint32_t Calls(Operation op) {
    return State().calls[op];
}

void ResetCounters() {
    for (auto& count : State().calls)
        count = 0;
}

int32_t OpenHandles() {
    return State().openHandles;
}

} // namespace MemoryRegistry
