// The .reg reader over any bytes, fed in chunks of 1 to 7 bytes and again all at once.
//
// Laws: both feeds give the same items, or stop with the same error on the same line; the line
// of an item or error never passes the number of line ends plus one (two bytes a character in
// UTF-16), and item lines never go back; names, key paths and data stay within their limits;
// what was read whole, written again with the writer (binary values under their keys), reads
// back as the same keys, names and bytes.
#include "formats/reg_file.h"
#include "fuzz/fuzz_support.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Item {
    int kind;
    uint32_t line, type;
    std::string key, name, data;
    bool operator==(const Item& o) const {
        return kind == o.kind && line == o.line && type == o.type && key == o.key &&
               name == o.name && data == o.data;
    }
};

struct Result {
    std::vector<Item> items;
    std::string error;
    uint32_t errorLine;
};

struct Chunked {
    const uint8_t* data;
    size_t size, at;
};

int ReadChunked(void* context, uint8_t* buffer, size_t capacity, size_t* got) {
    Chunked* c = static_cast<Chunked*>(context);
    size_t n = 1 + c->at % 7;
    n = n < capacity ? n : capacity;
    n = n < c->size - c->at ? n : c->size - c->at;
    std::memcpy(buffer, c->data + c->at, n);
    c->at += n;
    *got = n;
    return 1;
}

Result Read(RegSource source) {
    Result r{{}, "", 0};
    RegReader reader;
    FUZZ_CHECK(reader.Open(source) == 1);
    RegItem item;
    while (reader.Next(&item)) {
        Item copy{item.kind, item.line, item.type, item.keyPath, item.name ? item.name : "", ""};
        FUZZ_CHECK(copy.key.size() <= RegKeyPathMax && copy.name.size() <= RegNameMax);
        if (item.kind == RegValueItem) {
            FUZZ_CHECK(item.length <= RegDataMax);
            copy.data.assign(reinterpret_cast<const char*>(item.data), item.length);
        }
        FUZZ_CHECK(r.items.empty() || r.items.back().line <= copy.line);
        r.items.push_back(copy);
    }
    FUZZ_CHECK(reader.Next(&item) == 0); // stays at its end
    if (reader.Failed()) {
        r.error = reader.Error();
        r.errorLine = reader.ErrorLine();
        FUZZ_CHECK(r.errorLine >= 1);
    }
    return r;
}

int HasControl(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return 1;
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 200000)
        return 0;
    Chunked chunked{data, size, 0};
    const Result a = Read(RegSource{ReadChunked, &chunked});
    RegMemory memory{data, size, 0};
    const Result b = Read(RegSource{RegReadMemory, &memory});
    FUZZ_CHECK(a.error == b.error && a.errorLine == b.errorLine);
    FUZZ_CHECK(a.items.size() == b.items.size());
    for (size_t i = 0; i < a.items.size(); ++i)
        FUZZ_CHECK(a.items[i] == b.items[i]);

    size_t lineEnds = 0;
    for (size_t i = 0; i < size; ++i)
        lineEnds += data[i] == '\n' || data[i] == '\r';
    for (const Item& item : a.items)
        FUZZ_CHECK(item.line <= lineEnds + 1);
    FUZZ_CHECK(a.errorLine <= lineEnds + 1);

    if (!a.error.empty())
        return 0;
    // Write the binary values again and read them back.
    RegWriter w;
    FUZZ_CHECK(w.Begin() == 1);
    std::vector<Item> written;
    std::string key;
    for (const Item& item : a.items) {
        if (item.kind != RegValueItem || item.type != 3 || HasControl(item.key) ||
            HasControl(item.name))
            continue;
        if (item.key != key) {
            FUZZ_CHECK(w.Key(item.key.c_str()) == 1);
            key = item.key;
            written.push_back(Item{RegKeyItem, 0, 0, key, "", ""});
        }
        FUZZ_CHECK(w.Binary(item.name.c_str(), reinterpret_cast<const uint8_t*>(item.data.data()),
                            static_cast<uint32_t>(item.data.size())) == 1);
        written.push_back(item);
    }
    FUZZ_CHECK(w.End() == 1);
    RegMemory again{w.Data(), w.Length(), 0};
    const Result c = Read(RegSource{RegReadMemory, &again});
    FUZZ_CHECK(c.error.empty());
    FUZZ_CHECK(c.items.size() == written.size());
    for (size_t i = 0; i < c.items.size(); ++i) {
        FUZZ_CHECK(c.items[i].kind == written[i].kind && c.items[i].key == written[i].key);
        FUZZ_CHECK(c.items[i].name == written[i].name && c.items[i].data == written[i].data);
    }
    return 0;
}
