// The emulator's game list, read byte by byte so that a chunk may end anywhere.
#include "formats/mame_list.h"

#include "formats/decimal.h"

#include <cstring>

namespace {

int IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A byte of an element or attribute name. Bytes of other characters than ASCII are taken whole,
// the UTF-8 check has seen to them.
int IsNameByte(int c) {
    return !IsSpace(c) && c != '/' && c != '>' && c != '=' && c != '<' && c != '"' && c != '\'' &&
           c != '&' && c != '!' && c != '?';
}

int Is(const char* text, size_t length, const char* word) {
    return std::strlen(word) == length && std::memcmp(text, word, length) == 0;
}

// "yes" or "no" into *flag; 0 for anything else.
int YesNo(const char* text, size_t length, int* flag) {
    if (Is(text, length, "yes"))
        *flag = 1;
    else if (Is(text, length, "no"))
        *flag = 0;
    else
        return 0;
    return 1;
}

// A whole number without decimals that fits 32 bits.
int WholeNumber(const char* text, size_t length, uint32_t* out) {
    Decimal d;
    if (!DecodeDecimal(text, text + length, &d, nullptr) || d.places != 0 || d.digits > UINT32_MAX)
        return 0;
    *out = static_cast<uint32_t>(d.digits);
    return 1;
}

// A frequency in micro-hertz, below a megahertz: six decimals exactly, more rounded to nearest.
int MicroHertz(const char* text, size_t length, uint64_t* out) {
    const uint64_t limit = 1000000000000ull;
    Decimal d;
    if (!DecodeDecimal(text, text + length, &d, nullptr))
        return 0;
    uint64_t scale = 1;
    for (uint32_t i = d.places < 6 ? d.places : 6; i < (d.places < 6 ? 6 : d.places); ++i)
        scale *= 10;
    uint64_t v;
    if (d.places <= 6) {
        if (d.digits > limit / scale)
            return 0;
        v = d.digits * scale;
    } else {
        v = (d.digits + scale / 2) / scale; // 19 digits and half of 10^13 stay below 2^64
    }
    if (v >= limit)
        return 0;
    *out = v;
    return 1;
}

MameMachineKind KindOf(const MameMachine& m) {
    if (m.isDevice)
        return MameKindDevice;
    if (!m.runnable)
        return MameKindNotRunnable;
    switch (m.display.type) {
    case MameDisplayRaster:
        return MameKindRaster;
    case MameDisplayVector:
        return MameKindVector;
    case MameDisplayLcd:
        return MameKindLcd;
    case MameDisplaySvg:
        return MameKindSvg;
    case MameDisplayUnknown:
        return MameKindUnknownScreen;
    default:
        return MameKindNoScreen;
    }
}

} // namespace

MameListReader::MameListReader(MameMachineSink sink)
    : sink(sink), state(Text), after(Text), inSubset(0), quote(0), run(0), tagNameLength(0),
      attrNameLength(0), valueLength(0), entityLength(0), element(OtherElement), depth(0),
      rootSeen(0), rootDone(0), doctypeSeen(0), inMachine(0), haveDisplay(0), hasType(0),
      hasRotate(0), hasWidth(0), hasHeight(0), machine(), line(1), tagLine(1), lastLine(1),
      lastWasCr(0), utf8Left(0), utf8Low(0x80), utf8High(0xBF), machines(0), error(nullptr),
      errorLine(0) {
    tagName[0] = attrName[0] = value[0] = entity[0] = '\0';
}

int MameListReader::Fail(const char* reason, uint32_t where) {
    if (!error) {
        error = reason;
        errorLine = where;
    }
    return 0;
}

int MameListReader::Feed(const uint8_t* bytes, size_t size) {
    if (error)
        return 0;
    if (state == Ended)
        return size == 0 ? 1 : Fail("bytes after the end of the list", line);
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = bytes[i];
        lastLine = line;
        if (!CheckUtf8(b) || !Step(b))
            return 0;
        if (b == '\r' || (b == '\n' && !lastWasCr))
            ++line;
        lastWasCr = b == '\r';
    }
    return 1;
}

int MameListReader::Finish() {
    if (error)
        return 0;
    if (state == Ended)
        return 1;
    if (utf8Left)
        return Fail("the file ends inside a UTF-8 character", lastLine);
    if (!rootSeen)
        return Fail("the file ends before any <mame> element", lastLine);
    if (!rootDone)
        return Fail(inMachine ? "the file ends inside a machine" : "the file ends before </mame>",
                    lastLine);
    if (state != Text)
        return Fail("the file ends inside markup", lastLine);
    state = Ended;
    return 1;
}

// Follows UTF-8 byte by byte: refuses overlong forms, surrogates and what lies past U+10FFFF.
int MameListReader::CheckUtf8(uint8_t b) {
    if (utf8Left > 0) {
        if (b < utf8Low || b > utf8High)
            return Fail("bytes that are not UTF-8", line);
        utf8Low = 0x80;
        utf8High = 0xBF;
        --utf8Left;
        return 1;
    }
    if (b < 0x80) {
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r')
            return Fail("a control character", line);
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF)
        utf8Left = 1;
    else if (b >= 0xE0 && b <= 0xEF)
        utf8Left = 2;
    else if (b >= 0xF0 && b <= 0xF4)
        utf8Left = 3;
    else
        return Fail("bytes that are not UTF-8", line);
    if (b == 0xE0)
        utf8Low = 0xA0;
    else if (b == 0xED)
        utf8High = 0x9F;
    else if (b == 0xF0)
        utf8Low = 0x90;
    else if (b == 0xF4)
        utf8High = 0x8F;
    return 1;
}

// A quote in a declaration: the quoted text is skipped up to its closing quote, then reading
// goes back to `back`. Any other byte is left as it is.
void MameListReader::OpenQuote(uint8_t b, State back) {
    if (b != '"' && b != '\'')
        return;
    quote = static_cast<char>(b);
    after = back;
    state = Quoted;
}

// One byte of the list, in the state the bytes before it left.
int MameListReader::Step(uint8_t b) {
    switch (state) {
    case Text:
        if (b == '<') {
            state = TagOpen;
            tagLine = line;
        } else if (depth == 0 && !IsSpace(b)) {
            return Fail("text outside the <mame> element", line);
        }
        return 1;
    case TagOpen:
        if (b == '?') {
            state = Pi;
            after = Text;
            run = 0;
        } else if (b == '!') {
            state = Bang;
            tagNameLength = 0;
        } else if (b == '/') {
            state = EndName;
            tagNameLength = 0;
        } else if (IsNameByte(b)) {
            state = StartName;
            tagName[0] = static_cast<char>(b);
            tagNameLength = 1;
        } else {
            return Fail("a '<' that starts no tag", line);
        }
        return 1;
    case Bang:
        return StepBang(b);
    case Comment:
        if (b == '>' && run >= 2)
            state = after;
        run = b == '-' ? run + 1 : 0;
        return 1;
    case Cdata:
        if (b == '>' && run >= 2)
            state = Text;
        run = b == ']' ? run + 1 : 0;
        return 1;
    case Pi:
        if (b == '>' && run)
            state = after;
        run = b == '?';
        return 1;
    case Doctype:
        if (b == '[') {
            state = Subset;
            inSubset = 1;
        } else if (b == '>') {
            state = Text;
        } else {
            OpenQuote(b, Doctype);
        }
        return 1;
    case Quoted:
        if (b == static_cast<uint8_t>(quote))
            state = after;
        return 1;
    case Subset:
        if (b == '<') {
            state = SubsetOpen;
            tagLine = line;
        } else if (b == ']') {
            state = DoctypeEnd;
            inSubset = 0;
        } else if (b == '%') {
            return Fail("a parameter entity reference", line);
        } else if (!IsSpace(b)) {
            return Fail("text inside the DOCTYPE", line);
        }
        return 1;
    case SubsetOpen:
        if (b == '!') {
            state = Bang;
            tagNameLength = 0;
        } else if (b == '?') {
            state = Pi;
            after = Subset;
            run = 0;
        } else {
            return Fail("a '<' that starts no declaration", line);
        }
        return 1;
    case SubsetDecl:
        if (b == '>')
            state = Subset;
        else
            OpenQuote(b, SubsetDecl);
        return 1;
    case DoctypeEnd:
        if (b == '>')
            state = Text;
        else if (!IsSpace(b))
            return Fail("text after the DOCTYPE's ']'", line);
        return 1;
    case StartName:
        if (IsNameByte(b)) {
            if (tagNameLength == MameTagNameMax)
                return Fail("an element name too long", line);
            tagName[tagNameLength++] = static_cast<char>(b);
            return 1;
        }
        if (!StartElement())
            return 0;
        return StepInTag(b);
    case InTag:
        return StepInTag(b);
    case AttrName:
        if (IsNameByte(b)) {
            if (attrNameLength == MameTagNameMax)
                return Fail("an attribute name too long", line);
            attrName[attrNameLength++] = static_cast<char>(b);
        } else if (IsSpace(b)) {
            state = AfterAttrName;
        } else if (b == '=') {
            state = BeforeValue;
        } else {
            return Fail("a broken attribute", line);
        }
        return 1;
    case AfterAttrName:
        if (b == '=')
            state = BeforeValue;
        else if (!IsSpace(b))
            return Fail("an attribute without a value", line);
        return 1;
    case BeforeValue:
        if (b == '"' || b == '\'') {
            quote = static_cast<char>(b);
            valueLength = 0;
            state = Value;
        } else if (!IsSpace(b)) {
            return Fail("an attribute value without quotes", line);
        }
        return 1;
    case Value:
        if (b == static_cast<uint8_t>(quote)) {
            value[valueLength] = '\0';
            state = InTag;
            return Attribute();
        }
        if (b == '<')
            return Fail("a '<' in an attribute value", line);
        if (b == '&') {
            entityLength = 0;
            state = Entity;
            return 1;
        }
        return AppendValue(b);
    case Entity:
        if (b == ';') {
            state = Value;
            return EndEntity();
        }
        if (entityLength + 1 == sizeof entity || !(IsNameByte(b) || b == '#'))
            return Fail("an unknown entity", line);
        entity[entityLength++] = static_cast<char>(b);
        return 1;
    case SelfClose:
        if (b != '>')
            return Fail("a '/' inside a tag", line);
        return EndStartTag(1);
    case EndName:
        if (IsNameByte(b)) {
            if (tagNameLength == MameTagNameMax)
                return Fail("an element name too long", line);
            tagName[tagNameLength++] = static_cast<char>(b);
        } else if (IsSpace(b) && tagNameLength > 0) {
            state = AfterEndName;
        } else if (b == '>' && tagNameLength > 0) {
            return EndElement();
        } else {
            return Fail("a broken end tag", line);
        }
        return 1;
    case AfterEndName:
        if (b == '>')
            return EndElement();
        if (!IsSpace(b))
            return Fail("a broken end tag", line);
        return 1;
    case Ended:
        break;
    }
    return Fail("bytes after the end of the list", line);
}

// After "<!": gathers the keyword until it names what follows. Inside the DOCTYPE only
// declarations and comments; outside, comments, CDATA and the DOCTYPE itself.
int MameListReader::StepBang(uint8_t b) {
    static const char* const keywords[] = {"--",      "[CDATA[", "DOCTYPE", "ENTITY",
                                           "ELEMENT", "ATTLIST", "NOTATION"};
    if (tagNameLength == MameTagNameMax)
        return Fail("an unknown declaration", line);
    tagName[tagNameLength++] = static_cast<char>(b);
    int prefix = 0;
    for (const char* word : keywords) {
        if (std::strlen(word) < tagNameLength || std::memcmp(word, tagName, tagNameLength) != 0)
            continue;
        prefix = 1;
        if (std::strlen(word) != tagNameLength)
            continue;
        if (word[0] == 'E' && word[1] == 'N')
            return Fail("an entity declaration", tagLine);
        if (word[0] == '-') {
            state = Comment;
            after = inSubset ? Subset : Text;
            run = 0;
        } else if (inSubset) {
            if (word[0] == '[' || word[0] == 'D')
                return Fail("an unknown declaration", tagLine);
            state = SubsetDecl;
        } else if (word[0] == '[') {
            if (depth == 0)
                return Fail("a CDATA section outside the <mame> element", tagLine);
            state = Cdata;
            run = 0;
        } else if (word[0] == 'D') {
            if (doctypeSeen || rootSeen)
                return Fail("a DOCTYPE out of place", tagLine);
            doctypeSeen = 1;
            state = Doctype;
        } else {
            return Fail("a declaration outside the DOCTYPE", tagLine);
        }
        return 1;
    }
    return prefix ? 1 : Fail("an unknown declaration", tagLine);
}

// Between a start tag's attributes.
int MameListReader::StepInTag(uint8_t b) {
    if (IsSpace(b)) {
        state = InTag;
    } else if (b == '/') {
        state = SelfClose;
    } else if (b == '>') {
        return EndStartTag(0);
    } else if (IsNameByte(b) && state == InTag) {
        attrName[0] = static_cast<char>(b);
        attrNameLength = 1;
        state = AttrName;
    } else {
        return Fail("a broken tag", line);
    }
    return 1;
}

// A start tag's name is read: what it is decides which of its attributes are kept.
int MameListReader::StartElement() {
    element = OtherElement;
    if (depth == 0) {
        if (rootDone)
            return Fail("an element after </mame>", tagLine);
        if (!Is(tagName, tagNameLength, "mame"))
            return Fail("not a game list: the root element is not <mame>", tagLine);
        rootSeen = 1;
        element = MameElement;
    } else if (depth == 1 && Is(tagName, tagNameLength, "machine")) {
        element = MachineElement;
        std::memset(&machine, 0, sizeof machine);
        machine.line = tagLine;
        machine.runnable = 1;
        haveDisplay = 0;
    } else if (depth == 2 && inMachine && !haveDisplay && Is(tagName, tagNameLength, "display")) {
        element = DisplayElement;
        hasType = hasRotate = hasWidth = hasHeight = 0;
    }
    return 1;
}

// The start tag's '>': checks what the element must hold, then opens it, or closes it at once.
int MameListReader::EndStartTag(int selfClosing) {
    state = Text;
    if (element == MachineElement && machine.name[0] == '\0')
        return Fail("a machine without a name", tagLine);
    if (element == DisplayElement) {
        const MameDisplay& d = machine.display;
        if (!hasType)
            return Fail("a display without a type", tagLine);
        // A device's screen is a template, sized by the machine that holds it (the list gives
        // screens of width 0); only a machine that runs is held to its figures.
        if (d.type == MameDisplayRaster && machine.runnable && !machine.isDevice) {
            if (!hasRotate || !hasWidth || !hasHeight || !d.hasRefresh)
                return Fail("a raster display without its rotate, width, height and refresh",
                            tagLine);
            if (d.width == 0 || d.height == 0 || d.refreshMicroHz == 0)
                return Fail("a raster display of no size or refresh", tagLine);
        }
        haveDisplay = 1;
    }
    if (selfClosing) {
        if (element == MameElement)
            rootDone = 1;
        return element == MachineElement ? Emit() : 1;
    }
    if (depth == MameDepthMax)
        return Fail("elements nested too deep", tagLine);
    ++depth;
    if (element == MachineElement)
        inMachine = 1;
    return 1;
}

// An end tag: closes the deepest open element; </machine> hands the machine on.
int MameListReader::EndElement() {
    state = Text;
    if (depth == 0)
        return Fail("an end tag without its start", line);
    if (depth == 1) {
        if (!Is(tagName, tagNameLength, "mame"))
            return Fail("an end tag that does not match", line);
        rootDone = 1;
    } else if (depth == 2 && inMachine) {
        if (!Is(tagName, tagNameLength, "machine"))
            return Fail("an end tag that does not match", line);
        inMachine = 0;
        --depth;
        return Emit();
    }
    --depth;
    return 1;
}

int MameListReader::Emit() {
    machine.kind = KindOf(machine);
    ++machines;
    if (!sink.machine(sink.context, machine))
        return Fail("the machine was not taken", machine.line);
    return 1;
}

// One attribute read whole: kept when it is one of those the reader takes.
int MameListReader::Attribute() {
    if (element == MachineElement) {
        if (Is(attrName, attrNameLength, "name")) {
            if (valueLength == 0)
                return Fail("a machine without a name", tagLine);
            if (valueLength > MameNameMax)
                return Fail("a machine name too long", tagLine);
            std::memcpy(machine.name, value, valueLength + 1);
        } else if (Is(attrName, attrNameLength, "runnable")) {
            if (!YesNo(value, valueLength, &machine.runnable))
                return Fail("runnable is neither yes nor no", tagLine);
        } else if (Is(attrName, attrNameLength, "isdevice")) {
            if (!YesNo(value, valueLength, &machine.isDevice))
                return Fail("isdevice is neither yes nor no", tagLine);
        }
        return 1;
    }
    return element == DisplayElement ? DisplayAttribute() : 1;
}

int MameListReader::DisplayAttribute() {
    MameDisplay& d = machine.display;
    const char* v = value;
    const size_t n = valueLength;
    if (Is(attrName, attrNameLength, "type")) {
        static const struct {
            const char* text;
            MameDisplayType type;
        } types[] = {{"raster", MameDisplayRaster},
                     {"vector", MameDisplayVector},
                     {"lcd", MameDisplayLcd},
                     {"svg", MameDisplaySvg},
                     {"unknown", MameDisplayUnknown}};
        for (const auto& t : types)
            if (Is(v, n, t.text)) {
                d.type = t.type;
                hasType = 1;
                return 1;
            }
        return Fail("a display of an unknown type", tagLine);
    }
    if (Is(attrName, attrNameLength, "rotate")) {
        if (!WholeNumber(v, n, &d.rotate) || d.rotate % 90 != 0 || d.rotate > 270)
            return Fail("a rotate other than 0, 90, 180 or 270", tagLine);
        hasRotate = 1;
    } else if (Is(attrName, attrNameLength, "width")) {
        if (!WholeNumber(v, n, &d.width))
            return Fail("a width that is not a whole number", tagLine);
        hasWidth = 1;
    } else if (Is(attrName, attrNameLength, "height")) {
        if (!WholeNumber(v, n, &d.height))
            return Fail("a height that is not a whole number", tagLine);
        hasHeight = 1;
    } else if (Is(attrName, attrNameLength, "refresh")) {
        if (!MicroHertz(v, n, &d.refreshMicroHz))
            return Fail("a refresh that is not a number below 1 MHz", tagLine);
        d.hasRefresh = 1;
    } else if (Is(attrName, attrNameLength, "pixclock")) {
        if (!WholeNumber(v, n, &d.pixclock))
            return Fail("a pixclock that is not a whole number", tagLine);
        d.hasPixclock = 1;
    } else if (Is(attrName, attrNameLength, "htotal")) {
        if (!WholeNumber(v, n, &d.htotal))
            return Fail("an htotal that is not a whole number", tagLine);
        d.hasHtotal = 1;
    } else if (Is(attrName, attrNameLength, "vtotal")) {
        if (!WholeNumber(v, n, &d.vtotal))
            return Fail("a vtotal that is not a whole number", tagLine);
        d.hasVtotal = 1;
    }
    return 1;
}

int MameListReader::AppendValue(uint8_t b) {
    if (valueLength == MameValueMax)
        return Fail("an attribute value longer than 4096 bytes", tagLine);
    value[valueLength++] = static_cast<char>(b);
    return 1;
}

// "&name;" in an attribute value: the five predefined entities and character references.
int MameListReader::EndEntity() {
    static const struct {
        const char* name;
        char c;
    } named[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& e : named)
        if (Is(entity, entityLength, e.name))
            return AppendValue(static_cast<uint8_t>(e.c));
    if (entityLength < 2 || entity[0] != '#')
        return Fail("an unknown entity", line);
    const int hex = entity[1] == 'x';
    size_t at = hex ? 2 : 1;
    if (at == entityLength)
        return Fail("a broken character reference", line);
    uint32_t c = 0;
    for (; at < entityLength; ++at) {
        const char x = entity[at];
        uint32_t digit;
        if (x >= '0' && x <= '9')
            digit = static_cast<uint32_t>(x - '0');
        else if (hex && x >= 'a' && x <= 'f')
            digit = static_cast<uint32_t>(x - 'a' + 10);
        else if (hex && x >= 'A' && x <= 'F')
            digit = static_cast<uint32_t>(x - 'A' + 10);
        else
            return Fail("a broken character reference", line);
        c = c * (hex ? 16 : 10) + digit;
        if (c > 0x10FFFF)
            return Fail("a character reference to no character", line);
    }
    const int allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                        (c >= 0xE000 && c <= 0xFFFD) || c >= 0x10000;
    if (!allowed)
        return Fail("a character reference to no character", line);
    if (c < 0x80)
        return AppendValue(static_cast<uint8_t>(c));
    if (c < 0x800)
        return AppendValue(static_cast<uint8_t>(0xC0 | c >> 6)) &&
               AppendValue(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    if (c < 0x10000)
        return AppendValue(static_cast<uint8_t>(0xE0 | c >> 12)) &&
               AppendValue(static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F))) &&
               AppendValue(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    return AppendValue(static_cast<uint8_t>(0xF0 | c >> 18)) &&
           AppendValue(static_cast<uint8_t>(0x80 | (c >> 12 & 0x3F))) &&
           AppendValue(static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F))) &&
           AppendValue(static_cast<uint8_t>(0x80 | (c & 0x3F)));
}
