// The footprint of the programs as they ship, read from their files: each needs only the system's
// own DLLs, imports only functions that its oldest system exports (by the table in
// data/win32-imports.tsv), tells the loader that oldest system in its PE header, and stays within
// its size. The imports are read from the PE import directories (the ordinary and the
// delay-loaded ones), not from a tool's listing. The files read are the build's programs stripped
// as the release archive strips them (<build>/stripped, made by tests/app/CMakeLists.txt with the
// toolchain's strip, as `cmake --install --strip` runs it): the sizes are those of what ships, not
// of the build's files with their symbols and debug sections.
//
// A 32-bit program must run on Windows 98 and on Windows 2000; a 64-bit one on 64-bit Windows XP
// and Server 2003.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const SystemDlls[] = {"kernel32.dll", "user32.dll", "gdi32.dll",   "advapi32.dll",
                                  "comctl32.dll", "msvcrt.dll", "ucrtbase.dll"};
// The universal C runtime is also imported through its API sets.
const char UcrtApiSetPrefix[] = "api-ms-win-crt-";

// The size limits of the stripped programs, in bytes (see docs/compatibility.md).
//
// The 32-bit programs are the ones users start, on every system from Windows 98 on: they are
// carried to old and small machines on floppies and small USB sticks and started from there. At
// their limits the four of them still fit one 1.44 MB floppy unpacked, with the README and the
// demo data. velmora.exe (and velmora-sim.exe, of the same objects) at most 256 KiB;
// velmoractl.exe (and velmoractl-sim.exe), which also carries the text formats, the monitor's
// reading and fitting to a CRT, at most 384 KiB. Today they are 178,190 and 254,990 bytes
// (velmora-sim.exe 182,286, velmoractl-sim.exe 259,086): each limit leaves about a third of
// headroom over today's size, for what comes next, before a program must be made smaller.
//
// The 64-bit programs are for 64-bit Windows only, where floppies and small sticks are not the
// point: at most 1 MiB each, a guard against a runaway rather than a budget. Today they are
// smaller than the 32-bit ones (139,776 to 215,552 bytes): their unwind data is two fifths of the
// 32-bit programs' DWARF tables, and they carry almost no base relocations.
const size_t WindowLimit32 = 256 * 1024;
const size_t ConsoleLimit32 = 384 * 1024;
const size_t Limit64 = 1024 * 1024;

const uint32_t MachineI386 = 0x14C;
const uint32_t MachineAmd64 = 0x8664;

// Bounds-checked little-endian reads from a file image: every read of a field that lies outside
// the image fails instead of reading past it.
struct Image {
    const std::vector<uint8_t>& bytes;

    int Read(size_t at, size_t width, uint64_t* value) const {
        if (at > bytes.size() || bytes.size() - at < width)
            return 0;
        *value = 0;
        for (size_t i = width; i-- > 0;)
            *value = *value << 8 | bytes[at + i];
        return 1;
    }
    int U16(size_t at, uint32_t* value) const {
        uint64_t wide = 0;
        int read = Read(at, 2, &wide);
        *value = static_cast<uint32_t>(wide);
        return read;
    }
    int U32(size_t at, uint32_t* value) const {
        uint64_t wide = 0;
        int read = Read(at, 4, &wide);
        *value = static_cast<uint32_t>(wide);
        return read;
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
    uint32_t address, fileOffset, fileSize;
};

// The file offset of a relative virtual address, through the section whose bytes in the file
// hold it.
int FileOffset(const std::vector<Section>& sections, uint32_t rva, size_t* offset) {
    for (const Section& s : sections) {
        if (rva >= s.address && rva - s.address < s.fileSize) {
            *offset = static_cast<size_t>(s.fileOffset) + (rva - s.address);
            return 1;
        }
    }
    return 0;
}

struct Import {
    std::string dll;
    std::string name; // "#n" for an import by ordinal
};

struct PeFile {
    int wide; // PE32+ (64-bit) rather than PE32
    uint32_t machine, osMajor, osMinor, subsystemMajor, subsystemMinor;
    std::vector<Import> imports;
};

// Reads the names of one import lookup table (entries of 4 or 8 bytes ending with 0; the top bit
// marks an ordinal, else the entry is the address of a 2-byte hint and the name).
int ReadLookupTable(const Image& image, const std::vector<Section>& sections, int wide,
                    uint32_t rva, const std::string& dll, std::vector<Import>* imports) {
    size_t at = 0;
    const size_t width = wide ? 8 : 4;
    const uint64_t ordinalFlag = wide ? 1ULL << 63 : 1ULL << 31;
    if (!FileOffset(sections, rva, &at))
        return 0;
    for (;; at += width) {
        uint64_t entry = 0;
        if (!image.Read(at, width, &entry))
            return 0;
        if (entry == 0)
            return 1;
        Import import{dll, ""};
        size_t nameAt = 0;
        if (entry & ordinalFlag)
            import.name = "#" + std::to_string(entry & 0xFFFF);
        else if (!FileOffset(sections, static_cast<uint32_t>(entry & 0x7FFFFFFF), &nameAt) ||
                 !image.Text(nameAt + 2, &import.name))
            return 0;
        imports->push_back(import);
    }
}

// Reads a PE file's header fields and every function it imports through its import directory
// (data directory 1: descriptors of 20 bytes, lookup table at 0 or else at 16, DLL name at 12)
// and its delay-import directory (13: descriptors of 32 bytes, DLL name at 4, lookup table at 16,
// addresses relative to the image unless bit 0 of the attributes at 0 is clear, when they are
// absolute). 1 with the fields; 0 when the file is not a whole PE image or a directory points
// outside it.
int ReadPeFile(const std::vector<uint8_t>& bytes, PeFile* pe) {
    Image image{bytes};
    pe->imports.clear();
    uint32_t mz = 0, header = 0, signature = 0;
    if (!image.U16(0, &mz) || mz != 0x5A4D || !image.U32(0x3C, &header) ||
        !image.U32(header, &signature) || signature != 0x00004550)
        return 0;
    size_t coff = static_cast<size_t>(header) + 4;
    size_t optional = coff + 20;
    uint32_t sectionCount = 0, optionalSize = 0, magic = 0, directoryCount = 0;
    uint64_t imageBase = 0;
    if (!image.U16(coff, &pe->machine) || !image.U16(coff + 2, &sectionCount) ||
        !image.U16(coff + 16, &optionalSize) || !image.U16(optional, &magic) ||
        (magic != 0x10B && magic != 0x20B))
        return 0;
    pe->wide = magic == 0x20B;
    size_t directories = optional + (pe->wide ? 112 : 96);
    if (!image.Read(optional + (pe->wide ? 24 : 28), pe->wide ? 8 : 4, &imageBase) ||
        !image.U16(optional + 40, &pe->osMajor) || !image.U16(optional + 42, &pe->osMinor) ||
        !image.U16(optional + 48, &pe->subsystemMajor) ||
        !image.U16(optional + 50, &pe->subsystemMinor) ||
        !image.U32(directories - 4, &directoryCount))
        return 0;
    std::vector<Section> sections;
    size_t table = optional + optionalSize;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        size_t at = table + 40 * static_cast<size_t>(i);
        Section s;
        if (!image.U32(at + 12, &s.address) || !image.U32(at + 16, &s.fileSize) ||
            !image.U32(at + 20, &s.fileOffset))
            return 0;
        sections.push_back(s);
    }
    const struct {
        uint32_t directory, descriptorSize, nameAt, lookupAt, fallbackAt;
        int delayed;
    } kinds[] = {{1, 20, 12, 0, 16, 0}, {13, 32, 4, 16, 16, 1}};
    for (const auto& kind : kinds) {
        uint32_t rva = 0;
        if (kind.directory >= directoryCount)
            continue;
        if (!image.U32(directories + 8 * kind.directory, &rva))
            return 0;
        if (rva == 0)
            continue;
        size_t at = 0;
        if (!FileOffset(sections, rva, &at))
            return 0;
        for (;; at += kind.descriptorSize) {
            uint32_t attributes = 0, nameRva = 0, lookupRva = 0;
            if (!image.U32(at, &attributes) || !image.U32(at + kind.nameAt, &nameRva) ||
                !image.U32(at + kind.lookupAt, &lookupRva))
                return 0;
            if (nameRva == 0)
                break; // the all-zero descriptor ends the table
            if (lookupRva == 0 && !image.U32(at + kind.fallbackAt, &lookupRva))
                return 0;
            if (kind.delayed && !(attributes & 1)) {
                nameRva -= static_cast<uint32_t>(imageBase);
                lookupRva -= static_cast<uint32_t>(imageBase);
            }
            size_t nameAt = 0;
            std::string dll;
            if (!FileOffset(sections, nameRva, &nameAt) || !image.Text(nameAt, &dll) ||
                !ReadLookupTable(image, sections, pe->wide, lookupRva, dll, &pe->imports))
                return 0;
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

// One row of the import table: the releases that export a function.
struct TableRow {
    std::string dll, function, win9x, nt, x64, note;
};

// Parses the tab-separated table; '#' starts a comment line. 0 for a row with fewer than five
// fields.
int ParseTable(const std::string& text, std::vector<TableRow>* rows) {
    rows->clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        size_t from = 0, tab;
        while ((tab = line.find('\t', from)) != std::string::npos) {
            fields.push_back(line.substr(from, tab - from));
            from = tab + 1;
        }
        fields.push_back(line.substr(from));
        if (fields.size() < 5)
            return 0;
        fields.resize(6);
        rows->push_back(TableRow{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]});
    }
    return 1;
}

int OneOf(const std::string& value, std::initializer_list<const char*> allowed) {
    for (const char* a : allowed)
        if (value == a)
            return 1;
    return 0;
}

// 1 when a program may import the row's function: a 32-bit one when Windows 98 exports it (a stub
// only with the note that says why the program does not depend on it) and Windows 2000 does; a
// 64-bit one when 64-bit Windows XP and Server 2003 do.
int FitsFloor(const TableRow& row, int wide) {
    if (wide)
        return row.x64 == "yes";
    int win98 = OneOf(row.win9x, {"95", "98"}) || (row.win9x == "stub" && !row.note.empty());
    return win98 && OneOf(row.nt, {"3.1", "3.5", "3.51", "4.0", "2000"});
}

const TableRow* FindRow(const std::vector<TableRow>& rows, const Import& import) {
    for (const TableRow& row : rows)
        if (row.dll == Lower(import.dll) && row.function == import.name)
            return &row;
    return nullptr;
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

std::vector<TableRow> LoadTable() {
    std::vector<uint8_t> bytes;
    std::vector<TableRow> rows;
    EXPECT_EQ(1, ReadFile(VELMORA_IMPORT_TABLE_PATH, &bytes));
    EXPECT_EQ(1, ParseTable(std::string(bytes.begin(), bytes.end()), &rows));
    EXPECT_FALSE(rows.empty());
    return rows;
}

// Which size limit a program has: velmora.exe and velmora-sim.exe are window programs,
// velmoractl.exe and velmoractl-sim.exe console ones.
enum ProgramKind { WindowProgram, ConsoleProgram };

size_t SizeLimit(ProgramKind kind, int wide) {
    if (wide)
        return Limit64;
    return kind == WindowProgram ? WindowLimit32 : ConsoleLimit32;
}

// Checks one shipped program against the table and its header, and, when `sized`, against the
// size limit of its kind and width. Adds the program's imports to `seen`.
void CheckProgram(const char* path, ProgramKind kind, int sized, const std::vector<TableRow>& table,
                  std::set<std::string>* seen) {
    SCOPED_TRACE(path);
    std::vector<uint8_t> bytes;
    PeFile pe;
    ASSERT_EQ(1, ReadFile(path, &bytes));
    ASSERT_EQ(1, ReadPeFile(bytes, &pe));
    EXPECT_FALSE(pe.imports.empty());
    // The loader refuses a program whose header asks for a later system than its own.
    const uint32_t machine = pe.wide ? MachineAmd64 : MachineI386;
    const uint32_t major = pe.wide ? 5 : 4, minor = pe.wide ? 2 : 0;
    EXPECT_EQ(machine, pe.machine);
    EXPECT_EQ(major, pe.subsystemMajor);
    EXPECT_EQ(minor, pe.subsystemMinor);
    EXPECT_EQ(major, pe.osMajor);
    EXPECT_EQ(minor, pe.osMinor);
    for (const Import& import : pe.imports) {
        EXPECT_TRUE(IsSystemDll(import.dll)) << import.dll;
        const TableRow* row = FindRow(table, import);
        if (!row) {
            ADD_FAILURE() << import.dll << " " << import.name
                          << " is missing from data/win32-imports.tsv";
            continue;
        }
        EXPECT_TRUE(FitsFloor(*row, pe.wide))
            << import.dll << " " << import.name << " is not exported by the oldest system of a "
            << (pe.wide ? "64-bit" : "32-bit") << " program";
        seen->insert(row->dll + " " + row->function);
    }
    if (sized) {
        const size_t limit = SizeLimit(kind, pe.wide);
        EXPECT_LE(bytes.size(), limit)
            << "bytes, stripped, over the limit of " << limit / 1024 << " KiB";
        std::printf("%s: %zu bytes stripped, limit %zu\n", path, bytes.size(), limit);
    }
}

// A minimal PE image: headers, then one section at file offset and address 0x200 holding the
// descriptors of `dlls` (ordinary or delay-loaded), each importing its one function `names[i]`
// by name, or by ordinal 7 when the name is empty.
std::vector<uint8_t> MakeImage(const std::vector<std::string>& dlls,
                               const std::vector<std::string>& names, int wide, int delayed) {
    std::vector<uint8_t> image(0x200, 0);
    auto put = [](std::vector<uint8_t>& to, size_t at, uint64_t v, size_t width) {
        for (size_t i = 0; i < width; ++i)
            to[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    const size_t pe = 0x40, optional = pe + 24, optionalSize = wide ? 240 : 224;
    const size_t directories = optional + (wide ? 112 : 96), table = optional + optionalSize;
    put(image, 0, 0x5A4D, 2);
    put(image, 0x3C, pe, 4);
    put(image, pe, 0x00004550, 4);
    put(image, pe + 4, wide ? MachineAmd64 : MachineI386, 2);
    put(image, pe + 6, 1, 2); // one section
    put(image, pe + 20, optionalSize, 2);
    put(image, optional, wide ? 0x20B : 0x10B, 2);
    put(image, directories - 4, 16, 4);
    const uint32_t section = 0x200, descriptorSize = delayed ? 32 : 20;
    const size_t entry = wide ? 8 : 4;
    put(image, directories + 8 * (delayed ? 13 : 1), section, 4);
    std::vector<uint8_t> data((dlls.size() + 1) * descriptorSize, 0);
    for (size_t i = 0; i < dlls.size(); ++i) {
        size_t descriptor = i * descriptorSize;
        uint32_t lookup = section + static_cast<uint32_t>(data.size());
        data.resize(data.size() + 2 * entry, 0);
        uint64_t value = 7 | (wide ? 1ULL << 63 : 1ULL << 31);
        if (!names[i].empty()) {
            value = section + data.size();
            data.insert(data.end(), 2, 0); // the hint
            data.insert(data.end(), names[i].begin(), names[i].end());
            data.push_back(0);
        }
        put(data, lookup - section, value, entry);
        put(data, descriptor, delayed ? 1 : lookup, 4); // attributes, or the lookup table
        put(data, descriptor + 16, lookup, 4);          // the lookup table, or the addresses
        put(data, descriptor + (delayed ? 4 : 12), section + data.size(), 4);
        data.insert(data.end(), dlls[i].begin(), dlls[i].end());
        data.push_back(0);
    }
    put(image, table + 8, data.size(), 4);
    put(image, table + 12, section, 4);
    put(image, table + 16, data.size(), 4);
    put(image, table + 20, section, 4);
    image.insert(image.end(), data.begin(), data.end());
    return image;
}

} // namespace

TEST(Footprint, TheReaderFindsEveryImportInBothFormsAndDirectories) {
    for (int wide : {0, 1}) {
        for (int delayed : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "wide " << wide << " delayed " << delayed);
            PeFile pe;
            ASSERT_EQ(1, ReadPeFile(MakeImage({"KERNEL32.dll", "evil.dll"}, {"GetTickCount64", ""},
                                              wide, delayed),
                                    &pe));
            EXPECT_EQ(wide, pe.wide);
            ASSERT_EQ(2u, pe.imports.size());
            EXPECT_EQ("KERNEL32.dll", pe.imports[0].dll);
            EXPECT_EQ("GetTickCount64", pe.imports[0].name);
            EXPECT_EQ("evil.dll", pe.imports[1].dll);
            EXPECT_EQ("#7", pe.imports[1].name);
        }
    }
    EXPECT_EQ(0, IsSystemDll("evil.dll"));
    EXPECT_EQ(1, IsSystemDll("KERNEL32.dll"));
    EXPECT_EQ(1, IsSystemDll("api-ms-win-crt-runtime-l1-1-0.dll"));
    EXPECT_EQ(0, IsSystemDll("kernel32.dll.evil"));
}

// A cut file or a directory that points outside the file is refused, never read past its end,
// and never passed with fewer names than it holds.
TEST(Footprint, TheReaderRefusesCutImages) {
    for (int wide : {0, 1}) {
        std::vector<uint8_t> whole =
            MakeImage({"user32.dll", "libstdc++-6.dll"}, {"MessageBoxA", "_ZSt4cout"}, wide, 0);
        PeFile pe;
        for (size_t length = 0; length < whole.size(); ++length) {
            std::vector<uint8_t> cut(whole.begin(),
                                     whole.begin() + static_cast<std::ptrdiff_t>(length));
            EXPECT_EQ(0, ReadPeFile(cut, &pe)) << length;
        }
        std::vector<uint8_t> astray = whole;
        astray[0x40 + 24 + (wide ? 112 : 96) + 8 + 1] = 0x7F; // the import directory far away
        EXPECT_EQ(0, ReadPeFile(astray, &pe));
    }
}

TEST(Footprint, TheFloorsOfEachKindOfProgram) {
    std::vector<TableRow> rows;
    ASSERT_EQ(1, ParseTable("# comment\n"
                            "kernel32.dll\tGetVersionExA\t95\t3.5\tyes\n"
                            "kernel32.dll\tCreateSemaphoreW\tstub\t3.1\tyes\tnever waited on\r\n"
                            "kernel32.dll\tGetModuleHandleW\tstub\t3.1\tyes\n"
                            "kernel32.dll\tGetTickCount64\t-\tVista\tno\t\n"
                            "kernel32.dll\tRtlCaptureContext\t-\tXP\tyes\n"
                            "user32.dll\tGetMonitorInfoA\t98\t2000\tyes\n"
                            "kernel32.dll\tIsWow64Message\tME\t2000\tyes\n",
                            &rows));
    ASSERT_EQ(7u, rows.size());
    const int fits32[] = {1, 1, 0, 0, 0, 1, 0};
    const int fits64[] = {1, 1, 1, 0, 1, 1, 1};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(fits32[i], FitsFloor(rows[i], 0)) << rows[i].function;
        EXPECT_EQ(fits64[i], FitsFloor(rows[i], 1)) << rows[i].function;
    }
    EXPECT_EQ(rows.data() + 5, FindRow(rows, Import{"USER32.dll", "GetMonitorInfoA"}));
    EXPECT_EQ(nullptr, FindRow(rows, Import{"user32.dll", "GetMonitorInfoW"}));
    EXPECT_EQ(0, ParseTable("user32.dll\tMessageBoxA\t95\t3.1\n", &rows));
}

// This build's own programs.
TEST(Footprint, ProgramsFitTheirOldestSystem) {
    std::vector<TableRow> table = LoadTable();
    std::set<std::string> seen;
    CheckProgram(VELMORA_EXE_PATH, WindowProgram, 1, table, &seen);
    CheckProgram(VELMORA_SIM_EXE_PATH, WindowProgram, 1, table, &seen);
    CheckProgram(VELMORACTL_EXE_PATH, ConsoleProgram, 1, table, &seen);
    CheckProgram(VELMORACTL_SIM_EXE_PATH, ConsoleProgram, 1, table, &seen);
}

#ifdef VELMORA32_EXE_PATH
// The 32-bit programs of the windows32 build, audited from here since this machine may not run
// 32-bit Windows programs. With both builds at hand the table lists nothing that no program
// imports.
TEST(Footprint32, ProgramsOfBothBuildsFitTheirOldestSystem) {
    std::vector<TableRow> table = LoadTable();
    std::set<std::string> seen;
    CheckProgram(VELMORA32_EXE_PATH, WindowProgram, 1, table, &seen);
    CheckProgram(VELMORA32_SIM_EXE_PATH, WindowProgram, 1, table, &seen);
    CheckProgram(VELMORACTL32_EXE_PATH, ConsoleProgram, 1, table, &seen);
    CheckProgram(VELMORACTL32_SIM_EXE_PATH, ConsoleProgram, 1, table, &seen);
    // This build's own programs, already sized by Footprint.ProgramsFitTheirOldestSystem.
    CheckProgram(VELMORA_EXE_PATH, WindowProgram, 0, table, &seen);
    CheckProgram(VELMORA_SIM_EXE_PATH, WindowProgram, 0, table, &seen);
    CheckProgram(VELMORACTL_EXE_PATH, ConsoleProgram, 0, table, &seen);
    CheckProgram(VELMORACTL_SIM_EXE_PATH, ConsoleProgram, 0, table, &seen);
    for (const TableRow& row : table)
        EXPECT_EQ(1u, seen.count(row.dll + " " + row.function))
            << row.dll << " " << row.function << " is imported by no program";
}
#endif
