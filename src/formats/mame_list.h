// The game list that the arcade emulator writes with -listxml, read as a stream: the caller hands
// the bytes as they come, in chunks of any size, and each machine is handed on as a small record
// once its end tag is read. The reader holds no more than one attribute value (MameValueMax) and
// the machine being read, whatever the size of the list: no memory is taken from the heap.
//
// Read form: UTF-8 XML, lines ending in LF, CRLF or CR. The root element is <mame>, its children
// <machine> elements. Of a machine only its attributes name, runnable ("no": not runnable) and
// isdevice ("yes": a device) are read, and of its first <display> child the attributes type,
// rotate, width, height, refresh, pixclock, htotal and vtotal. Every other element, attribute,
// text, comment, CDATA section, processing instruction and the DOCTYPE with its internal subset
// (<!ELEMENT>, <!ATTLIST>, <!NOTATION>, comments) is skipped, keeping nothing. In attribute values
// &amp; &lt; &gt; &quot; &apos; and numeric character references are decoded.
//
// Refused, with the line (from 1) where it was seen: bytes that are not UTF-8 or control
// characters other than tab, LF and CR; any <!ENTITY declaration and any other entity reference;
// an attribute value longer than MameValueMax bytes, a machine name longer than MameNameMax; a
// broken tag; a root other than <mame>, text or a second element outside it; a first display
// without a type, or of a type other than raster, vector, lcd, svg or unknown; the raster first
// display of a runnable machine that is no device without a whole positive width and height, a
// positive refresh and a rotation of 0, 90, 180 or 270 (a device's screen is sized by the machine
// that holds it: the list gives them of width 0); a number that is given but not numeric; and a
// file that ends before </mame>.
// Line and column rules of XML beyond these are not checked: end tags are matched by depth, and
// by name only for </machine> and </mame>.
#pragma once

#include <cstddef>
#include <cstdint>

const size_t MameNameMax = 63;     // bytes of a machine's name, without its zero
const size_t MameValueMax = 4096;  // bytes of any one attribute value, decoded
const size_t MameTagNameMax = 63;  // bytes of an element or attribute name
const uint32_t MameDepthMax = 256; // elements open at once

enum MameDisplayType {
    MameDisplayNone, // the machine has no display
    MameDisplayRaster,
    MameDisplayVector,
    MameDisplayLcd,
    MameDisplaySvg,
    MameDisplayUnknown,
};

// Why a machine is taken for a mode table or not, in this order: a device, then one that does not
// run, then by its first display. Only MameKindRaster is taken.
enum MameMachineKind {
    MameKindDevice,
    MameKindNotRunnable,
    MameKindNoScreen,
    MameKindLcd,
    MameKindSvg,
    MameKindVector,
    MameKindUnknownScreen,
    MameKindRaster,
    MameKindCount,
};

// The first display of a machine. The figures are zero when not given; for the raster display of
// a runnable machine that is no device, rotate, width, height and refresh are always given.
struct MameDisplay {
    MameDisplayType type;
    uint32_t rotate; // degrees: 0, 90, 180 or 270
    uint32_t width;
    uint32_t height;
    uint64_t refreshMicroHz; // "60.606061" is 60606061; more than six decimals round to nearest
    uint32_t pixclock;       // Hz
    uint32_t htotal;
    uint32_t vtotal;
    int hasRefresh, hasPixclock, hasHtotal, hasVtotal;
};

struct MameMachine {
    char name[MameNameMax + 1];
    uint32_t line; // of its start tag
    int runnable;
    int isDevice;
    MameDisplay display;
    MameMachineKind kind;
};

// Where the machines go. machine returns 1 to go on, 0 to stop the reader with an error.
struct MameMachineSink {
    void* context;
    int (*machine)(void* context, const MameMachine& machine);
};

class MameListReader {
public:
    explicit MameListReader(MameMachineSink sink);

    // Reads the next bytes of the list. 1 while the list reads well; 0 on an error (Error and
    // ErrorLine tell), after which every call returns 0 and nothing more is handed on.
    int Feed(const uint8_t* bytes, size_t size);
    // The end of the list: 1 when it ended whole after </mame>, 0 otherwise.
    int Finish();

    int Failed() const { return error != nullptr; }
    const char* Error() const { return error; }
    uint32_t ErrorLine() const { return errorLine; }
    uint32_t Machines() const { return machines; }

private:
    enum State {
        Text,
        TagOpen,
        Bang,
        Comment,
        Cdata,
        Pi,
        Doctype,
        Quoted,
        Subset,
        SubsetOpen,
        SubsetDecl,
        DoctypeEnd,
        StartName,
        InTag,
        AttrName,
        AfterAttrName,
        BeforeValue,
        Value,
        Entity,
        SelfClose,
        EndName,
        AfterEndName,
        Ended,
    };
    enum Element { OtherElement, MameElement, MachineElement, DisplayElement };

    int Fail(const char* reason, uint32_t line);
    int CheckUtf8(uint8_t byte);
    void OpenQuote(uint8_t byte, State back);
    int Step(uint8_t byte);
    int StepBang(uint8_t byte);
    int StepInTag(uint8_t byte);
    int StartElement();
    int EndStartTag(int selfClosing);
    int EndElement();
    int Attribute();
    int DisplayAttribute();
    int EndEntity();
    int AppendValue(uint8_t byte);
    int Emit();

    MameMachineSink sink;
    State state;
    State after; // where a comment, processing instruction or quoted text returns to
    int inSubset;
    char quote;
    uint32_t run; // dashes, brackets or question mark seen before a closing '>'
    char tagName[MameTagNameMax + 1];
    size_t tagNameLength;
    char attrName[MameTagNameMax + 1];
    size_t attrNameLength;
    char value[MameValueMax + 1];
    size_t valueLength;
    char entity[12];
    size_t entityLength;
    Element element;
    uint32_t depth;
    int rootSeen, rootDone, doctypeSeen, inMachine, haveDisplay;
    int hasType, hasRotate, hasWidth, hasHeight;
    MameMachine machine;
    uint32_t line, tagLine, lastLine;
    int lastWasCr;
    int utf8Left;
    uint8_t utf8Low, utf8High;
    uint32_t machines;
    const char* error;
    uint32_t errorLine;
};
