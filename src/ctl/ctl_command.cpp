// The command line: global options, the command, its options and argument, the help texts.
#include "ctl/ctl_command.h"

#include "ctl/ctl_common.h"
#include "ctl/ctl_edit.h"
#include "ctl/ctl_fit.h"
#include "ctl/ctl_monitor.h"
#include "ctl/ctl_show.h"
#include "ctl/ctl_table.h"
#include "ctl/ctl_transfer.h"

#include "formats/decimal.h"

#include <cstring>

namespace {

enum OptionBit {
    OptModelines = 1 << 0,
    OptHFreq = 1 << 1,
    OptVFreq = 1 << 2,
    OptMaxClock = 1 << 3,
    OptGtf = 1 << 4,
    OptCvt = 1 << 5,
    OptCvtReduced = 1 << 6,
    OptModeline = 1 << 7,
    OptReplace = 1 << 8,
    OptForce = 1 << 9,
    OptJson = 1 << 10,
    OptFit = 1 << 11,
    OptMonitor = 1 << 12,
    OptMinClock = 1 << 13,
    OptFrom = 1 << 14,
    OptSkipBad = 1 << 15,
    OptMame = 1 << 16,
    OptMaxModes = 1 << 17,
    OptVertical = 1 << 18,
    OptDryRun = 1 << 19,
    OptSuperWidth = 1 << 20
};

struct OptionSpec {
    const char* name;
    uint32_t bit;
    int takesValue;
};

const OptionSpec Options[] = {
    {"--modelines", OptModelines, 0},
    {"--hfreq", OptHFreq, 1},
    {"--vfreq", OptVFreq, 1},
    {"--max-clock", OptMaxClock, 1},
    {"--gtf", OptGtf, 0},
    {"--cvt", OptCvt, 0},
    {"--cvt-rb", OptCvtReduced, 0},
    {"--modeline", OptModeline, 1},
    {"--replace", OptReplace, 0},
    {"--force", OptForce, 0},
    {"--json", OptJson, 0},
    {"--fit", OptFit, 1},
    {"--monitor", OptMonitor, 1},
    {"--min-clock", OptMinClock, 1},
    {"--from", OptFrom, 1},
    {"--skip-bad", OptSkipBad, 0},
    {"--mame", OptMame, 1},
    {"--max-modes", OptMaxModes, 1},
    {"--vertical", OptVertical, 0},
    {"--dry-run", OptDryRun, 0},
    {"--super-width", OptSuperWidth, 1},
};

enum ArgumentRule { NoArgument, ModeArgument, FileArgument, ManyArguments };

struct CommandSpec {
    const char* name;
    int (*run)(CtlRun& run);
    uint32_t options;
    ArgumentRule argument;
    const char* help;
    int readOnly; // opens every key for reading only, so that a standard user may run it
};

const char GeneralHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] COMMAND [ARGUMENT] [OPTIONS]\n"
    "\n"
    "Lists, checks, adds and removes the custom display modes of an Orvane display device,\n"
    "carries them to other machines and puts the one-time backup back.\n"
    "\n"
    "Commands:\n"
    "  devices                the Orvane display devices, their modes and backups\n"
    "  list                   the device's timings with their frequencies\n"
    "  check                  reports timings that cannot work or that the monitor cannot take\n"
    "  add WxH@R              adds a timing computed by GTF or CVT, or given as an X modeline\n"
    "  remove WxH@R           removes a timing and its non-standard mode\n"
    "  export FILE            writes the device's timings and mode list as a .reg file\n"
    "  import FILE            takes the timings and the mode list of a .reg file\n"
    "  restore                makes the device's modes exactly those of its one-time backup\n"
    "  monitor                what is known of the device's monitor and its limits\n"
    "  fit PRESET WxH@R...    adds modes fitted to a CRT's ranges (see help presets)\n"
    "  table PRESET --mame F  the mode table that serves a game list best (see table --help)\n"
    "  help presets           the monitor presets and the custom monitor text\n"
    "\n"
    "Options:\n"
    "  --device NAME|INDEX    the device by its short name (DISPLAY2, any case) or its index\n"
    "                         in `velmoractl devices`; the first device by default\n"
    "  --help                 this text; `velmoractl COMMAND --help` explains a command\n"
    "  --json                 (devices, list, check, monitor, table) one JSON document instead\n"
    "\n"
    "Every command that writes first checks that the driver key may be written (administrator\n"
    "rights), reads the whole key, keeps the one-time backup of the device if it has none yet,\n"
    "then writes every timing before it deletes any. A command that refuses writes nothing.\n"
    "\n"
    "Exit codes: 0 done (or a clean check), 1 check found problems, 2 usage error, 3 no Orvane\n"
    "device, no write access, or the registry or a file could not be read or written, 4 an\n"
    "input file or modeline refused, or a timing outside the monitor's limits.\n";

const char DevicesHelp[] =
    "Usage: velmoractl devices [--json]\n"
    "\n"
    "Lists every display device that the Orvane driver answers for, in discovery order: its\n"
    "index, its short name, the number of stored timings and of non-standard modes, whether\n"
    "its one-time backup exists, and its driver key (below HKEY_LOCAL_MACHINE).\n"
    "\n"
    "  --json        one JSON document instead (see docs/velmoractl.md)\n";

const char ListHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] list [--modelines | --json]\n"
    "\n"
    "Lists each stored timing of the device in the order the registry keeps them: the mode key,\n"
    "the horizontal and vertical display, sync start, sync width and total, the pixel clock in\n"
    "MHz, the horizontal frequency in kHz (clock / horizontal total) and the vertical refresh in\n"
    "Hz (clock / (horizontal total x vertical total), doubled for interlaced and halved for\n"
    "double-scan modes, as X modelines count them), and the flags. A timing whose checksum fails\n"
    "is marked: the next load drops it. Non-standard modes that no timing answers follow.\n"
    "\n"
    "  --modelines   print each timing as an X modeline instead\n"
    "  --json        one JSON document instead\n";

const char CheckHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] check [--hfreq MIN-MAX] [--vfreq MIN-MAX]\n"
    "                  [--max-clock MHZ] [--json]\n"
    "\n"
    "Reports, for each stored timing: a display beyond its sync start or a sync end beyond its\n"
    "total (horizontal and vertical), a pixel clock or total of 0, a refresh more than 1 Hz away\n"
    "from the mode key's, a checksum that fails, and a missing non-standard mode. With the\n"
    "monitor's limits it also reports every timing outside them:\n"
    "\n"
    "  --hfreq MIN-MAX    horizontal frequency range in kHz, such as 30-96\n"
    "  --vfreq MIN-MAX    vertical refresh range in Hz, such as 50-160\n"
    "  --max-clock MHZ    highest pixel clock in MHz, such as 230\n"
    "  --json             one JSON document instead\n"
    "\n"
    "A limit not given here is the monitor's, from its EDID or its setup file, when the registry\n"
    "keeps it; a first line says which. A number of more than two decimals is widened to the\n"
    "hundredths around it, a minimum rounded down, a maximum and the clock up (15.625-16.2 is\n"
    "taken as 15.62-16.20). Exit code 1 when anything is reported, 0 otherwise.\n";

const char AddHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] add WIDTHxHEIGHT@REFRESH SOURCE [--replace]\n"
    "                  [--force]\n"
    "\n"
    "Writes a timing for the mode, with its checksum, and its non-standard mode unless one of\n"
    "the same resolution with that refresh or with refresh 0 is there. SOURCE is one of:\n"
    "\n"
    "  --gtf                 VESA GTF with its default parameters\n"
    "  --cvt                 VESA CVT\n"
    "  --cvt-rb              VESA CVT with reduced blanking (refresh a multiple of 60 Hz)\n"
    "  --modeline \"TEXT\"     an X modeline: clock in MHz, four horizontal and four vertical\n"
    "                        numbers, flags (+hsync -hsync +vsync -vsync interlace doublescan);\n"
    "                        \"Modeline\" and the name may come first\n"
    "\n"
    "  --fit PRESET          fitted to a CRT's ranges (see velmoractl help presets); REFRESH\n"
    "                        may then have up to three decimals, such as 59.19\n"
    "  --monitor \"TEXT\"      fitted to a custom monitor given as text\n"
    "  --min-clock MHZ       with --fit or --monitor: the card's lowest pixel clock; a mode\n"
    "                        below it is made a whole number of times wider\n"
    "\n"
    "  --replace             replace a timing of that mode key that exists\n"
    "  --force               write a timing outside the monitor's limits\n"
    "\n"
    "The pixel clock is stored in 10 kHz units, rounded. A timing whose refresh is more than\n"
    "1 Hz from REFRESH is refused. Width and height 1 to 9999, refresh 1 to 9999 (GTF and CVT:\n"
    "up to 1000). A timing outside the monitor's known limits (see velmoractl monitor) is\n"
    "refused with exit code 4 unless --force is given. The stored timing is printed as list\n"
    "prints it.\n";

const char RemoveHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] remove WIDTHxHEIGHT@REFRESH\n"
    "\n"
    "Removes the timing of that mode key and the non-standard mode of that resolution and\n"
    "refresh (one with refresh 0 stays, since it serves every refresh).\n";

const char ExportHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] export FILE\n"
    "\n"
    "Writes the device's timings and mode list, as the next load reads them, to FILE as a\n"
    "REGEDIT4 file (ANSI, CRLF line ends) under the device's driver key. Regedit and\n"
    "`reg import` can import it on this machine; `velmoractl import` on any machine.\n";

const char ImportHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] import FILE [--replace] [--force]\n"
    "\n"
    "Reads a REGEDIT4 file or a \"Windows Registry Editor Version 5.00\" file (UTF-16LE, as\n"
    "regedit exports) and takes every timing value and the mode list in it, whatever key they\n"
    "are under. Without --replace the file's timings replace those of the same mode key and the\n"
    "rest are added, and its non-standard modes are added unless one covers them. With\n"
    "--replace the device ends holding exactly the file's timings and mode list.\n"
    "\n"
    "The whole file is refused, naming the line, and nothing is written, for a parse error, a\n"
    "timing value that is not REG_BINARY of 68 bytes, a checksum that fails, a timing value name\n"
    "that does not scan, a mode list that is not REG_BINARY of a multiple of 8 bytes, a number\n"
    "the driver key cannot hold, a deletion of a timing or the mode list, and a file that holds\n"
    "no timing value and no mode list; and, with exit code 4 unless --force is given, for a\n"
    "timing outside the monitor's known limits.\n";

const char RestoreHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] restore [--force]\n"
    "\n"
    "Makes the device's timing values and mode list exactly those of its one-time backup\n"
    "(HKEY_CURRENT_USER\\Software\\Orvane Technologies\\Velmora\\<device>), byte for byte:\n"
    "timing values that the backup lacks are deleted, and so is the mode list when the backup\n"
    "has none. The backup must have been taken from this device's driver key (its value\n"
    "\"Original Registry Path\"); otherwise it is refused unless --force is given.\n";

const char MonitorHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] monitor [--json]\n"
    "\n"
    "Shows what the registry keeps of the device's monitor: where it came from (its EDID\n"
    "override, its EDID or its setup file's MODES, in that order of preference) with the\n"
    "registry path, its name and codes, its ranges and maximum pixel clock, its preferred\n"
    "timing and the modes it lists. No monitor information is no error.\n"
    "\n"
    "  --json        one JSON document instead\n";

const char FitHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] fit PRESET [WIDTHxHEIGHT@REFRESH...]\n"
    "                  [--from FILE] [--min-clock MHZ] [--skip-bad] [--replace] [--force]\n"
    "       velmoractl [--device NAME|INDEX] fit --monitor \"TEXT\" [WIDTHxHEIGHT@REFRESH...] ...\n"
    "\n"
    "Fits every mode to a CRT's ranges (see velmoractl help presets) and writes them all with one\n"
    "load, one backup and one save. REFRESH may have up to three decimals (59.19).\n"
    "\n"
    "  --from FILE        modes from FILE too, one a line; '#' starts a comment\n"
    "  --min-clock MHZ    the card's lowest pixel clock; a mode below it is made a whole\n"
    "                     number of times wider\n"
    "  --skip-bad         write the modes that fit and list those left out; without it one\n"
    "                     mode that cannot fit refuses the set and nothing is written\n"
    "  --replace          replace timings of the same mode keys\n"
    "  --force            write timings outside the monitor's known limits\n"
    "\n"
    "Each mode's key is its width (widened for --min-clock) and height at the refresh rounded,\n"
    "or at the rate fitted when the monitor takes a multiple of the refresh or its limit.\n"
    "Each fit is reported: totals, line rate, the real refresh and its distance from the\n"
    "request. A mode that cannot fit is refused with exit code 2, naming the limit.\n";

const char TableHelp[] =
    "Usage: velmoractl [--device NAME|INDEX] table PRESET (--mame FILE | --from FILE)\n"
    "                  [--max-modes N] [--vertical] [--super-width W] [--min-clock MHZ]\n"
    "                  [--dry-run] [--json] [--replace] [--force]\n"
    "       velmoractl [--device NAME|INDEX] table --monitor \"TEXT\" ...\n"
    "\n"
    "Chooses the mode table that serves a whole game list on a CRT (see velmoractl help\n"
    "presets): each game's picture fitted as fit fits it, the games of one mode key sharing one\n"
    "timing at the middle of their refresh rates, and the keys that serve the most games kept\n"
    "within the cap. A game whose key is left out is served by the kept mode of its height (else\n"
    "the next taller) at least as wide as its picture, with the nearest refresh. Then it writes\n"
    "the table with one load, one backup and one save, and reports how each game is served.\n"
    "\n"
    "  --mame FILE        the emulator's game list, as `mame -listxml` writes it: every\n"
    "                     runnable machine that is not a device and whose first screen is\n"
    "                     raster; the others are counted by reason\n"
    "  --from FILE        one game a line: NAME WIDTHxHEIGHT@REFRESH [ROTATE], the refresh\n"
    "                     with up to six decimals, ROTATE 0, 90, 180 or 270; '#' a comment\n"
    "  --max-modes N      the cap on the modes written (default 32)\n"
    "  --vertical         the monitor is turned: games rotated 0 or 180 are turned instead\n"
    "  --super-width W    every picture drawn W wide (a super resolution, such as 2560)\n"
    "  --min-clock MHZ    the card's lowest pixel clock; a mode below it is made wider\n"
    "  --dry-run          report the table and write nothing\n"
    "  --json             the report as one JSON document, with one record a game\n"
    "  --replace          make the device's modes exactly the table; without it the table is\n"
    "                     added and a key the device holds already keeps its own timing\n"
    "  --force            write timings outside the monitor's known limits\n"
    "\n"
    "A game rotated 90 or 270 is turned on a horizontal monitor. Where the list gives the\n"
    "board's clock and totals, its vertical total is kept when the monitor takes its line rate.\n"
    "A game is served exactly when the refresh is within 0.1 %, else near, by a nearest mode,\n"
    "or unserved when the monitor takes its height in no range. A list that does not read is\n"
    "refused with exit code 4, naming the line, and nothing is written.\n";

int CommandHelp(CtlRun& run);

const char HelpHelp[] = "Usage: velmoractl help [presets]\n";

const CommandSpec Commands[] = {
    {"devices", CommandDevices, OptJson, NoArgument, DevicesHelp, 1},
    {"list", CommandList, OptModelines | OptJson, NoArgument, ListHelp, 1},
    {"check", CommandCheck, OptHFreq | OptVFreq | OptMaxClock | OptJson, NoArgument, CheckHelp, 1},
    {"add", CommandAdd,
     OptGtf | OptCvt | OptCvtReduced | OptModeline | OptReplace | OptForce | OptFit | OptMonitor |
         OptMinClock,
     ModeArgument, AddHelp, 0},
    {"remove", CommandRemove, 0, ModeArgument, RemoveHelp, 0},
    {"export", CommandExport, 0, FileArgument, ExportHelp, 1},
    {"import", CommandImport, OptReplace | OptForce, FileArgument, ImportHelp, 0},
    {"restore", CommandRestore, OptForce, NoArgument, RestoreHelp, 0},
    {"monitor", CommandMonitor, OptJson, NoArgument, MonitorHelp, 1},
    {"fit", CommandFit, OptMonitor | OptMinClock | OptFrom | OptSkipBad | OptReplace | OptForce,
     ManyArguments, FitHelp, 0},
    {"table", CommandTable,
     OptMonitor | OptMinClock | OptFrom | OptMame | OptMaxModes | OptVertical | OptDryRun |
         OptSuperWidth | OptJson | OptReplace | OptForce,
     ManyArguments, TableHelp, 0},
    {"help", CommandHelp, 0, ManyArguments, HelpHelp, 1},
};

const OptionSpec* FindOption(const char* text) {
    for (const OptionSpec& option : Options)
        if (std::strcmp(option.name, text) == 0)
            return &option;
    return nullptr;
}

// A whole number from 1 to `most`. 1 and the number; 0 when it is not one.
int ReadCount(const char* text, uint32_t most, uint32_t* count) {
    Decimal value;
    if (!DecodeDecimal(text, text + std::strlen(text), &value, nullptr) || value.places != 0 ||
        value.digits == 0 || value.digits > most)
        return 0;
    *count = static_cast<uint32_t>(value.digits);
    return 1;
}

// The options of a mode table's game list and size. CtlDone, or CtlUsage after saying why.
int TakeTableOption(CtlRun& run, const OptionSpec& option, const char* value) {
    CtlOptions& o = run.options;
    if (option.bit == OptMame)
        o.mameFile = value;
    else if (option.bit == OptMaxModes && ReadCount(value, 65535, &o.maxModes))
        o.haveMaxModes = 1;
    else if (option.bit == OptMaxModes)
        return run.Fail(CtlUsage, "--max-modes", "expects a number of modes from 1 to 65535");
    else if (!ReadCount(value, 9999, &o.superWidth))
        return run.Fail(CtlUsage, "--super-width", "expects a width from 1 to 9999, such as 2560");
    return CtlDone;
}

// The options of fitting to a CRT. CtlDone, or CtlUsage after saying why. --min-clock is rounded
// up to the 10 kHz steps of a stored clock: the card makes none below the figure given.
int TakeFitOption(CtlRun& run, const OptionSpec& option, const char* value) {
    CtlOptions& o = run.options;
    const char* why = "";
    if (option.bit == OptFit)
        o.fitPreset = value;
    else if (option.bit == OptMonitor)
        o.monitorText = value;
    else if (option.bit == OptFrom)
        o.fromFile = value;
    else if (!DecodeHundredths(value, value + std::strlen(value), DecimalRoundUp, &o.minClock100,
                               &why))
        return run.Fail(CtlUsage, "--min-clock", "expects a clock in MHz, such as 25; ", why);
    else if (o.minClock100 == 0)
        return run.Fail(CtlUsage, "--min-clock", "expects a clock above 0 MHz, such as 25");
    else
        o.haveMinClock = 1;
    return CtlDone;
}

int ShowHelp(CtlRun& run, const char* text) {
    run.out.Text(text);
    return CtlDone;
}

// help alone is --help; help presets documents the presets.
int CommandHelp(CtlRun& run) {
    return run.words.count == 0 ? ShowHelp(run, GeneralHelp) : CommandHelpTopic(run);
}

// The options that take no value and only switch something on, each with the field it sets.
struct Switch {
    uint32_t bit;
    int CtlOptions::*field;
};
const Switch Switches[] = {
    {OptModelines, &CtlOptions::modelines},
    {OptGtf, &CtlOptions::gtf},
    {OptCvt, &CtlOptions::cvt},
    {OptCvtReduced, &CtlOptions::cvtReduced},
    {OptReplace, &CtlOptions::replace},
    {OptForce, &CtlOptions::force},
    {OptJson, &CtlOptions::json},
    {OptSkipBad, &CtlOptions::skipBad},
    {OptVertical, &CtlOptions::vertical},
    {OptDryRun, &CtlOptions::dryRun},
};

// Stores one option of a command. CtlDone, or CtlUsage after saying why.
int TakeOption(CtlRun& run, const OptionSpec& option, const char* value) {
    CtlOptions& o = run.options;
    for (const Switch& on : Switches)
        if (option.bit == on.bit) {
            o.*on.field = 1;
            return CtlDone;
        }
    const char* end = value ? value + std::strlen(value) : nullptr;
    const char* why = "";
    switch (option.bit) {
    case OptHFreq:
        if (!DecodeHundredthsRange(value, end, &o.hFreqMin100, &o.hFreqMax100, &why))
            return run.Fail(CtlUsage, "--hfreq", "expects MIN-MAX in kHz, such as 30-96; ", why);
        o.haveHFreq = 1;
        return CtlDone;
    case OptVFreq:
        if (!DecodeHundredthsRange(value, end, &o.vFreqMin100, &o.vFreqMax100, &why))
            return run.Fail(CtlUsage, "--vfreq", "expects MIN-MAX in Hz, such as 50-160; ", why);
        o.haveVFreq = 1;
        return CtlDone;
    case OptMaxClock:
        if (!DecodeHundredths(value, end, DecimalRoundUp, &o.maxClock100, &why))
            return run.Fail(CtlUsage, "--max-clock", "expects a clock in MHz, such as 230; ", why);
        o.haveMaxClock = 1;
        return CtlDone;
    case OptModeline:
        o.modeline = value;
        return CtlDone;
    case OptMame:
    case OptMaxModes:
    case OptSuperWidth:
        return TakeTableOption(run, option, value);
    default:
        return TakeFitOption(run, option, value);
    }
}

// Not an exit code: the command line is not done with yet.
const int RunGoesOn = -1;

// The walk over the command line: the run it fills, the words and the one it stands on.
struct CommandLine {
    CtlRun& run;
    int argc;
    const char* const* argv;
    int at;
};

int IsOptionWord(const char* word) {
    return word[0] == '-' && word[1] == '-';
}

// The word after the current one, as an option's value, moving onto it; null (nothing moved)
// at the end of the line.
const char* NextWord(CommandLine& line) {
    return line.at + 1 < line.argc ? line.argv[++line.at] : nullptr;
}

// --device and its value, wherever it stands. RunGoesOn, or CtlUsage after saying why.
int TakeDevice(CommandLine& line) {
    const char* value = NextWord(line);
    if (!value)
        return line.run.Fail(CtlUsage, "--device", "expects a device name or index");
    line.run.options.device = value;
    return RunGoesOn;
}

// The options before the command: --help ends the run with the general help, --device is
// taken. RunGoesOn with `at` on the first word that is no option, or the exit code.
int ReadGlobalOptions(CommandLine& line) {
    for (; line.at < line.argc && IsOptionWord(line.argv[line.at]); ++line.at) {
        const char* word = line.argv[line.at];
        if (std::strcmp(word, "--help") == 0)
            return ShowHelp(line.run, GeneralHelp);
        if (std::strcmp(word, "--device") != 0)
            return line.run.Fail(CtlUsage, word, "unknown option (see velmoractl --help)");
        const int taken = TakeDevice(line);
        if (taken != RunGoesOn)
            return taken;
    }
    return RunGoesOn;
}

const CommandSpec* FindCommand(const char* name) {
    for (const CommandSpec& spec : Commands)
        if (std::strcmp(spec.name, name) == 0)
            return &spec;
    return nullptr;
}

// One option word after the command: "--" ends the options, --help ends the run with the
// command's help, --device and the command's own options are taken with their values.
// RunGoesOn, or the exit code.
int ReadCommandOption(CommandLine& line, const CommandSpec& command, int* optionsEnded) {
    const char* word = line.argv[line.at];
    if (std::strcmp(word, "--") == 0) {
        *optionsEnded = 1;
        return RunGoesOn;
    }
    if (std::strcmp(word, "--help") == 0)
        return ShowHelp(line.run, command.help);
    if (std::strcmp(word, "--device") == 0)
        return TakeDevice(line);
    const OptionSpec* option = FindOption(word);
    if (!option || !(command.options & option->bit))
        return line.run.Fail(CtlUsage, word, "not an option of ", command.name);
    const char* value = nullptr;
    if (option->takesValue && !(value = NextWord(line)))
        return line.run.Fail(CtlUsage, word, "expects a value");
    const int taken = TakeOption(line.run, *option, value);
    return taken == CtlDone ? RunGoesOn : taken;
}

// The words after the command up to the end of the line: its options and its one argument,
// which its rule may ask for. RunGoesOn, or the exit code after saying why.
int ReadCommandWords(CommandLine& line, const CommandSpec& command) {
    CtlOptions& options = line.run.options;
    int optionsEnded = 0;
    for (; line.at < line.argc; ++line.at) {
        const char* word = line.argv[line.at];
        if (!optionsEnded && IsOptionWord(word)) {
            const int read = ReadCommandOption(line, command, &optionsEnded);
            if (read != RunGoesOn)
                return read;
            continue;
        }
        if (command.argument == ManyArguments) {
            if (!line.run.words.Push(word))
                return line.run.Fail(CtlSystem, command.name, "not enough memory");
            continue;
        }
        if (command.argument == NoArgument || options.argument)
            return line.run.Fail(CtlUsage, word, "unexpected argument of ", command.name);
        options.argument = word;
    }
    if (command.argument == ModeArgument && !options.argument)
        return line.run.Fail(CtlUsage, command.name, "expects a mode such as 800x600@75");
    if (command.argument == FileArgument && !options.argument)
        return line.run.Fail(CtlUsage, command.name, "expects a file name");
    return RunGoesOn;
}

} // namespace

// Global options come before the command; --device is also taken among the command's options,
// where users tend to put it. "--" ends the options, so that a file name may begin with "-".
int RunVelmoraCtl(int argc, const char* const* argv, CtlStream out, CtlStream err) {
    CtlRun run(out, err);
    CommandLine line = {run, argc, argv, 1};
    const int global = ReadGlobalOptions(line);
    if (global != RunGoesOn)
        return global;
    if (line.at >= argc)
        return run.Fail(CtlUsage, "command", "none given (see velmoractl --help)");
    const char* name = argv[line.at++];
    const CommandSpec* command = FindCommand(name);
    if (!command)
        return run.Fail(CtlUsage, name, "unknown command (see velmoractl --help)");
    const int read = ReadCommandWords(line, *command);
    if (read != RunGoesOn)
        return read;
    if (run.options.json && run.options.modelines)
        return run.Fail(CtlUsage, "--json", "does not go with --modelines");
    run.readOnly = command->readOnly;
    return command->run(run);
}
