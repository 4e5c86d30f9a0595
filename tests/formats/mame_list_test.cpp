#include "formats/mame_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The head of a list as the emulator writes it, with an internal subset whose declarations hold
// quoted defaults, '>' inside quotes and a comment.
const std::string Head = "<?xml version=\"1.0\"?>\n"
                         "<!DOCTYPE mame [\n"
                         "<!ELEMENT mame (machine+)>\n"
                         "\t<!ATTLIST mame build CDATA #IMPLIED>\n"
                         "\t<!ATTLIST machine runnable (yes|no) \"yes\">\n"
                         "\t<!ATTLIST display type (raster|vector|lcd|svg|unknown) #REQUIRED>\n"
                         "\t<!ATTLIST odd note CDATA \"a > b ]\">\n"
                         "<!-- a <comment> -->\n"
                         "]>\n\n"
                         "<mame build=\"0.251 (unknown)\" debug=\"no\" mameconfig=\"10\">\n";

std::string Machine(const std::string& attributes, const std::string& body) {
    return "\t<machine " + attributes + ">\n\t\t<description>Some &amp; game</description>\n" +
           body + "\t</machine>\n";
}

std::string Display(const std::string& attributes) {
    return "\t\t<display tag=\"screen\" " + attributes + " />\n";
}

const char* const Kinds[] = {"device", "not-runnable", "no-screen", "lcd",
                             "svg",    "vector",       "unknown",   "raster"};

// Each machine as one line: name, line, kind, rotation, size, refresh and the board's figures.
int Collect(void* context, const MameMachine& m) {
    const MameDisplay& d = m.display;
    std::string& out = *static_cast<std::string*>(context);
    out += std::string(m.name) + " " + std::to_string(m.line) + " " + Kinds[m.kind] + " " +
           std::to_string(d.rotate) + " " + std::to_string(d.width) + "x" +
           std::to_string(d.height) + "@" + std::to_string(d.refreshMicroHz);
    if (d.hasPixclock)
        out += " clock " + std::to_string(d.pixclock);
    if (d.hasHtotal)
        out += " htotal " + std::to_string(d.htotal);
    if (d.hasVtotal)
        out += " vtotal " + std::to_string(d.vtotal);
    out += "\n";
    return 1;
}

// The machines read, then "error LINE: reason" when the reader stopped on one; the text is fed in
// chunks of `chunk` bytes (0: whole).
std::string Read(const std::string& text, size_t chunk) {
    std::string out;
    MameListReader reader(MameMachineSink{&out, Collect});
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.data());
    size_t step = chunk == 0 ? text.size() : chunk;
    int ok = 1;
    for (size_t at = 0; ok && at < text.size(); at += step)
        ok = reader.Feed(bytes + at, text.size() - at < step ? text.size() - at : step);
    if (ok)
        ok = reader.Finish();
    EXPECT_EQ(ok, !reader.Failed());
    if (reader.Failed())
        out += "error " + std::to_string(reader.ErrorLine()) + ": " + reader.Error();
    return out;
}

const std::string Raster = "type=\"raster\" rotate=\"0\" width=\"256\" height=\"224\" "
                           "refresh=\"60.000000\"";

// A list of every kind of machine; Head ends on line 11, so the first machine starts on 12.
const std::string Every =
    Head +
    Machine("name=\"pacman\" sourcefile=\"pacman.cpp\" runnable=\"yes\"",
            Display("type=\"raster\" rotate=\"90\" width=\"288\" height=\"224\" "
                    "refresh=\"60.606061\" pixclock=\"6144000\" htotal=\"384\" hbend=\"0\" "
                    "vtotal=\"264\"") +
                "\t\t<sound channels=\"1\"/>\n") +
    Machine("name=\"tall\" cloneof=\"x\"", Display("type='raster' rotate='270' width='224' "
                                                   "height='288' refresh='59.185606123'")) +
    Machine("name=\"asteroid\"", Display("type=\"vector\" rotate=\"0\" refresh=\"60.000000\"")) +
    Machine("name=\"gnw\"",
            Display("type=\"lcd\" rotate=\"0\" width=\"100\" height=\"60\" refresh=\"60\"")) +
    Machine("name=\"hh\"", Display("type=\"svg\" rotate=\"0\" width=\"1\" height=\"1\" "
                                   "refresh=\"60\"")) +
    Machine("name=\"slot\"", "\t\t<sound channels=\"0\"/>\n") +
    "\t<machine name=\"z80\" isdevice=\"yes\" runnable=\"no\"/>\n" +
    // A machine that does not run may leave its screen unsized, as devices do.
    Machine("name=\"bios\" runnable=\"no\"",
            Display("type=\"raster\" rotate=\"0\" width=\"0\" height=\"224\" refresh=\"60\"")) +
    Machine("name=\"two\"", "\t\t<!-- <display type=\"lcd\"/> -->\n\t\t<![CDATA[ <x> ]]>\n" +
                                Display("type=\"raster\" rotate=\"180\" width=\"320\" "
                                        "height=\"240\" refresh=\"50\"") +
                                Display("type=\"lcd\"")) +
    Machine("name=\"a&amp;b&#x41;&#66;&lt;&gt;&quot;&apos;\"", Display(Raster)) + "</mame>\n";

} // namespace

TEST(MameList, ReadsEveryKindOfMachine) {
    EXPECT_EQ("pacman 12 raster 90 288x224@60606061 clock 6144000 htotal 384 vtotal 264\n"
              "tall 17 raster 270 224x288@59185606\n"
              "asteroid 21 vector 0 0x0@60000000\n"
              "gnw 25 lcd 0 100x60@60000000\n"
              "hh 29 svg 0 1x1@60000000\n"
              "slot 33 no-screen 0 0x0@0\n"
              "z80 37 device 0 0x0@0\n"
              "bios 38 not-runnable 0 0x224@60000000\n"
              "two 42 raster 180 320x240@50000000\n"
              "a&bAB<>\"' 49 raster 0 256x224@60000000\n",
              Read(Every, 0));
}

// Whatever the chunks, the same machines, or the same error on the same line.
TEST(MameList, AnyChunkingReadsTheSame) {
    const std::string cases[] = {
        Every, Every.substr(0, Every.size() - 30),
        Head + Machine("name=\"x\"", Display("type=\"raster\" width=\"1\" height=\"1\" "
                                             "refresh=\"60\" rotate=\"45\"")),
        "<mame>\n<machine name=\"\xC3\xA9\xE2\x82\xAC\"/>\n</mame>\n\xF0\x9F\x98"};
    for (const std::string& text : cases) {
        const std::string whole = Read(text, 0);
        for (size_t chunk : {1, 2, 3, 7})
            EXPECT_EQ(whole, Read(text, chunk)) << "chunks of " << chunk;
    }
}

TEST(MameList, RefusesHostileFiles) {
    const std::string list = "<mame>\n";
    const std::string huge(MameValueMax + 1, 'a');
    // A runnable game on line 2 whose raster screen, on line 4, has these attributes.
    auto Game = [&list](const std::string& display) {
        return list + Machine("name=\"w\"", Display("type=\"raster\" " + display));
    };
    const struct {
        std::string text;
        std::string result;
    } cases[] = {
        {"", "error 1: the file ends before any <mame> element"},
        {Every.substr(0, Every.size() - 8),
         Read(Every, 0) + "error 52: the file ends before </mame>"},
        {Head + "\t<machine name=\"cut\">\n\t\t<display type=\"ras",
         "error 13: the file ends inside a machine"},
        {list + "<machine name=\"" + huge + "\"/>",
         "error 2: an attribute value longer than 4096 bytes"},
        {list + "<machine\nname=\"" + std::string(MameNameMax + 1, 'n') + "\"/>",
         "error 2: a machine name too long"},
        {Game("rotate=\"0\" height=\"1\" refresh=\"60\""),
         "error 4: a raster display without its rotate, width, height and refresh"},
        {Game("rotate=\"0\" width=\"1x\" height=\"1\" refresh=\"60\""),
         "error 4: a width that is not a whole number"},
        {Game("rotate=\"0\" width=\"1\" height=\"1\" refresh=\"sixty\""),
         "error 4: a refresh that is not a number below 1 MHz"},
        {Game("rotate=\"-90\" width=\"1\" height=\"1\" refresh=\"60\""),
         "error 4: a rotate other than 0, 90, 180 or 270"},
        {"<!DOCTYPE mame [\n<!ENTITY big \"x\">\n]>\n<mame/>", "error 2: an entity declaration"},
        {list + "<!ENTITY x \"y\">\n</mame>", "error 2: an entity declaration"},
        {list + "<machine name=\"&big;\"/>\n</mame>", "error 2: an unknown entity"},
        {list + "<machine name=\"&#0;\"/>\n</mame>", "error 2: a character reference to no "
                                                     "character"},
        {list + "<machine name=\"a\xC0\xAF\"/>\n</mame>", "error 2: bytes that are not UTF-8"},
        {list + "<machine name=\"a\xED\xA0\x80\"/>\n</mame>", "error 2: bytes that are not UTF-8"},
        {list + "\n\n<machine name=\"a\"/>\n</mame>\n\xFF",
         "a 4 no-screen 0 0x0@0\nerror 6: bytes that are not UTF-8"},
        {"<mam/>", "error 1: not a game list: the root element is not <mame>"},
        {list + "<machine name=\"a\">\n</mame>", "error 3: an end tag that does not match"},
        {"<mame/>\n<mame/>", "error 2: an element after </mame>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.result, Read(c.text, 0)) << c.text.substr(0, 200);
}

TEST(MameList, StopsWhenTheSinkRefuses) {
    MameListReader reader(MameMachineSink{nullptr, [](void*, const MameMachine&) { return 0; }});
    const std::string text = "<mame>\n<machine name=\"a\"/>\n<machine name=\"b\"/>\n</mame>\n";
    EXPECT_EQ(0, reader.Feed(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    EXPECT_EQ(0, reader.Finish());
    EXPECT_EQ(2u, reader.ErrorLine());
    EXPECT_EQ(1u, reader.Machines());
}
