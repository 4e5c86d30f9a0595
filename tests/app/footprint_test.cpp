// The footprint of the built programs: each needs only the system's own DLLs, so that it runs
// on any Windows from its one file, and velmora.exe stays within 1 MiB. The imports are read
// from the file's PE import directories (the ordinary and the delay-loaded ones), not from a
// tool's listing.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const size_t MaxProgramSize = 1024 * 1024;
const char* const SystemDlls[] = {"kernel32.dll", "user32.dll", "gdi32.dll",   "advapi32.dll",
                                  "comctl32.dll", "msvcrt.dll", "ucrtbase.dll"};
// The universal C runtime is also imported through its API sets.
const char UcrtApiSetPrefix[] = "api-ms-win-crt-";

// Bounds-checked little-endian reads from a file image: every read of a field that lies outside
// the image fails instead of reading past it.
struct Image {
    const std::vector<uint8_t>& bytes;

    int U16(size_t at, uint32_t* value) const {
        if (at > bytes.size() || bytes.size() - at < 2)
            return 0;
        *value = static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8);
        return 1;
    }
    int U32(size_t at, uint32_t* value) const {
        if (at > bytes.size() || bytes.size() - at < 4)
            return 0;
        *value = static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
                 static_cast<uint32_t>(bytes[at + 2]) << 16 |
                 static_cast<uint32_t>(bytes[at + 3]) << 24;
        return 1;
    }
    // A zero-terminated name of at most 255 characters.
    int Text(size_t at, std::string* text) const {
        text->clear();
        for (size_t i = at; i < bytes.size() && i - at < 256; ++i) {
            if (bytes[i] == 0)
                return 1;
            text->push_back(static_cast<char>(bytes[i]));
        }
        return 0;
    }
};

struct Section {
    uint32_t address, size, fileOffset, fileSize;
};

// The file offset of a relative virtual address, through the section that holds it.
int FileOffset(const std::vector<Section>& sections, uint32_t rva, size_t* offset) {
    for (const Section& s : sections) {
        uint32_t span = s.size > s.fileSize ? s.size : s.fileSize;
        if (rva >= s.address && rva - s.address < span && rva - s.address < s.fileSize) {
            *offset = static_cast<size_t>(s.fileOffset) + (rva - s.address);
            return 1;
        }
    }
    return 0;
}

// Reads the DLL names of a PE image's import directory (data directory 1, descriptors of 20
// bytes with the name at 12) and delay-import directory (13, descriptors of 32 bytes with the
// name at 4). 1 with the names; 0 when the image is not a whole PE file or a directory points
// outside it.
int ReadImportedDlls(const std::vector<uint8_t>& bytes, std::vector<std::string>* dlls) {
    Image image{bytes};
    dlls->clear();
    uint32_t mz = 0, pe = 0, signature = 0;
    if (!image.U16(0, &mz) || mz != 0x5A4D || !image.U32(0x3C, &pe) || !image.U32(pe, &signature) ||
        signature != 0x00004550)
        return 0;
    size_t coff = static_cast<size_t>(pe) + 4;
    uint32_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!image.U16(coff + 2, &sectionCount) || !image.U16(coff + 16, &optionalSize) ||
        !image.U16(coff + 20, &magic))
        return 0;
    size_t optional = coff + 20;
    size_t directories;
    uint32_t directoryCount = 0;
    if (magic == 0x20B) { // PE32+
        directories = optional + 112;
        if (!image.U32(optional + 108, &directoryCount))
            return 0;
    } else if (magic == 0x10B) { // PE32
        directories = optional + 96;
        if (!image.U32(optional + 92, &directoryCount))
            return 0;
    } else {
        return 0;
    }
    std::vector<Section> sections;
    size_t table = optional + optionalSize;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        size_t at = table + 40 * static_cast<size_t>(i);
        Section s;
        if (!image.U32(at + 8, &s.size) || !image.U32(at + 12, &s.address) ||
            !image.U32(at + 16, &s.fileSize) || !image.U32(at + 20, &s.fileOffset))
            return 0;
        sections.push_back(s);
    }
    const struct {
        uint32_t directory, descriptorSize, nameAt;
    } kinds[] = {{1, 20, 12}, {13, 32, 4}};
    for (const auto& kind : kinds) {
        uint32_t rva = 0, size = 0;
        if (kind.directory >= directoryCount)
            continue;
        if (!image.U32(directories + 8 * kind.directory, &rva) ||
            !image.U32(directories + 8 * kind.directory + 4, &size))
            return 0;
        if (rva == 0)
            continue;
        size_t at = 0;
        if (!FileOffset(sections, rva, &at))
            return 0;
        for (;; at += kind.descriptorSize) {
            uint32_t nameRva = 0;
            if (!image.U32(at + kind.nameAt, &nameRva))
                return 0;
            if (nameRva == 0)
                break; // the all-zero descriptor ends the table
            size_t nameAt = 0;
            std::string name;
            if (!FileOffset(sections, nameRva, &nameAt) || !image.Text(nameAt, &name))
                return 0;
            dlls->push_back(name);
        }
    }
    return 1;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int IsSystemDll(const std::string& name) {
    std::string lower = Lower(name);
    for (const char* dll : SystemDlls)
        if (lower == dll)
            return 1;
    return lower.compare(0, sizeof UcrtApiSetPrefix - 1, UcrtApiSetPrefix) == 0;
}

// Under Wine the host's root is drive Z:.
int ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::string local = !path.empty() && path[0] == '/' ? "Z:" + path : path;
    FILE* file = std::fopen(local.c_str(), "rb");
    if (!file)
        return 0;
    bytes->clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    std::fclose(file);
    return 1;
}

// A minimal PE32+ image: headers, then one section at file offset and address 0x200 holding the
// import descriptors of `dlls` and their names.
std::vector<uint8_t> MakeImage(const std::vector<std::string>& dlls) {
    std::vector<uint8_t> image(0x200, 0);
    auto put16 = [&image](size_t at, uint32_t v) {
        image[at] = static_cast<uint8_t>(v);
        image[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto put32 = [&image](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            image[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    const size_t pe = 0x40, optional = pe + 24, optionalSize = 240, table = optional + optionalSize;
    put16(0, 0x5A4D);
    put32(0x3C, pe);
    put32(pe, 0x00004550);
    put16(pe + 4, 0x8664);
    put16(pe + 6, 1); // one section
    put16(pe + 20, optionalSize);
    put16(optional, 0x20B);
    put32(optional + 108, 16);
    const uint32_t section = 0x200;
    uint32_t descriptors = static_cast<uint32_t>(dlls.size() + 1) * 20;
    put32(optional + 112 + 8, section); // import directory
    put32(optional + 112 + 12, descriptors);
    std::vector<uint8_t> data(descriptors, 0);
    for (size_t i = 0; i < dlls.size(); ++i) {
        uint32_t nameRva = section + static_cast<uint32_t>(data.size());
        for (int b = 0; b < 4; ++b)
            data[i * 20 + 12 + b] = static_cast<uint8_t>(nameRva >> (8 * b));
        data.insert(data.end(), dlls[i].begin(), dlls[i].end());
        data.push_back(0);
    }
    put32(table + 8, static_cast<uint32_t>(data.size()));
    put32(table + 12, section);
    put32(table + 16, static_cast<uint32_t>(data.size()));
    put32(table + 20, section);
    image.insert(image.end(), data.begin(), data.end());
    return image;
}

} // namespace

TEST(Footprint, TheReaderFindsEveryImportedDll) {
    std::vector<std::string> dlls;
    ASSERT_EQ(1, ReadImportedDlls(MakeImage({"KERNEL32.dll", "evil.dll"}), &dlls));
    EXPECT_EQ((std::vector<std::string>{"KERNEL32.dll", "evil.dll"}), dlls);
    EXPECT_EQ(0, IsSystemDll("evil.dll"));
    EXPECT_EQ(1, IsSystemDll("KERNEL32.dll"));
    EXPECT_EQ(1, IsSystemDll("api-ms-win-crt-runtime-l1-1-0.dll"));
    EXPECT_EQ(0, IsSystemDll("kernel32.dll.evil"));
}

// A cut file or a directory that points outside the file is refused, never read past its end,
// and never passed with fewer names than it holds.
TEST(Footprint, TheReaderRefusesCutImages) {
    std::vector<uint8_t> whole = MakeImage({"user32.dll", "libstdc++-6.dll"});
    std::vector<std::string> dlls;
    for (size_t length = 0; length < whole.size(); ++length) {
        std::vector<uint8_t> cut(whole.begin(),
                                 whole.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(0, ReadImportedDlls(cut, &dlls)) << length;
    }
    std::vector<uint8_t> astray = whole;
    astray[0x40 + 24 + 112 + 8 + 1] = 0x7F; // the import directory far beyond the section
    EXPECT_EQ(0, ReadImportedDlls(astray, &dlls));
}

TEST(Footprint, ProgramsImportOnlySystemDlls) {
    for (const char* path : {VELMORA_EXE_PATH, VELMORA_SIM_EXE_PATH}) {
        SCOPED_TRACE(path);
        std::vector<uint8_t> bytes;
        ASSERT_EQ(1, ReadFile(path, &bytes));
        std::vector<std::string> dlls;
        ASSERT_EQ(1, ReadImportedDlls(bytes, &dlls));
        EXPECT_FALSE(dlls.empty());
        for (const std::string& dll : dlls)
            EXPECT_TRUE(IsSystemDll(dll)) << dll;
    }
}

TEST(Footprint, VelmoraFitsInOneMebibyte) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(1, ReadFile(VELMORA_EXE_PATH, &bytes));
    EXPECT_LE(bytes.size(), MaxProgramSize);
    std::printf("velmora.exe: %zu bytes\n", bytes.size());
}
