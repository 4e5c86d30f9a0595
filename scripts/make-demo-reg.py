#!/usr/bin/env python3
"""Writes data/demo.reg: two simulated Orvane adapters with a few custom CRT modes each.

The file is REGEDIT4 text for `regedit /S`, which every regedit reads, Windows 98's included,
with the CR LF line ends that regedit itself writes. It holds the simulated driver's two adapters,
the driver key of each with one 68-byte timing value per mode and the matching
"QORNonStandardModesBCD" list, and the empty company key that an installed driver leaves in
HKEY_CURRENT_USER.

The adapters are written twice: under HKEY_LOCAL_MACHINE\Software, where a program of the
system's own width finds them, and under HKEY_LOCAL_MACHINE\Software\Wow6432Node, which 64-bit
Windows shows a 32-bit program as HKEY_LOCAL_MACHINE\Software. So the one file serves the 32-bit
velmora-sim.exe on 32-bit and 64-bit Windows alike, and the 64-bit one. The driver keys below
SYSTEM are the same for both widths and are written once.

Run it from anywhere: python3 scripts/make-demo-reg.py [output path]
With --check it writes nothing and exits 1 when the file on disk differs from what it would write.
"""
import os
import sys

# Timing words in stored order.
FLAGS, H_TOTAL, H_DISPLAY, H_SYNC_START, H_SYNC_WIDTH = range(5)
V_TOTAL, V_DISPLAY, V_SYNC_START, V_SYNC_WIDTH, PIXEL_CLOCK = range(5, 10)

# Flag bits of word 0.
DOUBLE_SCAN, INTERLACED, HSYNC_NEGATIVE, VSYNC_NEGATIVE = 1, 2, 4, 8


def mode(width, height, refresh, flags, h_total, h_sync_start, h_sync_width, v_total,
         v_sync_start, v_sync_width, pixel_clock):
    """A custom mode: its key and its sixteen timing words (the six overscans are 0)."""
    words = [flags, h_total, width, h_sync_start, h_sync_width, v_total, height, v_sync_start,
             v_sync_width, pixel_clock] + [0] * 6
    return {"width": width, "height": height, "refresh": refresh, "words": words}


# VESA monitor timings; the pixel clock is in units of 10 kHz.
VGA_640_480_60 = mode(640, 480, 60, HSYNC_NEGATIVE | VSYNC_NEGATIVE, 800, 656, 96, 525, 490, 2,
                      2518)
SVGA_800_600_75 = mode(800, 600, 75, 0, 1056, 816, 80, 625, 601, 3, 4950)
XGA_1024_768_85 = mode(1024, 768, 85, 0, 1376, 1072, 96, 808, 769, 3, 9450)
XGA_1152_864_75 = mode(1152, 864, 75, 0, 1600, 1216, 128, 900, 865, 3, 10800)
SXGA_1280_1024_60 = mode(1280, 1024, 60, 0, 1688, 1328, 112, 1066, 1025, 3, 10800)

# The CRT on DISPLAY1: the model its DeviceID names, and the monitor driver instance (the class
# key's number) that the system gave it. DISPLAY2 has no monitor information.
MONITOR_MODEL = "VLM1701"
MONITOR_CLASS = "{4d36e96e-e325-11ce-bfc1-08002be10318}"
MONITOR_NUMBER = "0001"

ADAPTERS = [
    {"device": r"\\.\DISPLAY1", "driver_key": r"SYSTEM\CurrentControlSet\Services\orvdisp\Device0",
     "modes": [VGA_640_480_60, SVGA_800_600_75, XGA_1024_768_85],
     "monitor": f"MONITOR\\{MONITOR_MODEL}\\{MONITOR_CLASS}\\{MONITOR_NUMBER}"},
    {"device": r"\\.\DISPLAY2", "driver_key": r"SYSTEM\CurrentControlSet\Services\orvdisp\Device1",
     "modes": [XGA_1152_864_75, SXGA_1280_1024_60]},
]

# Where each width of program looks for the simulated adapters.
SIMULATOR_KEYS = [r"HKEY_LOCAL_MACHINE\Software\Velmora Simulated Driver\Adapters",
                  r"HKEY_LOCAL_MACHINE\Software\Wow6432Node\Velmora Simulated Driver\Adapters"]
COMPANY_KEY = r"HKEY_CURRENT_USER\Software\Orvane Technologies"
MODE_LIST_VALUE = "QORNonStandardModesBCD"


def edid_text(tag, text):
    """An 18-byte text descriptor: up to 13 bytes, a line end, spaces after it."""
    data = text.encode("ascii")[:13]
    if len(data) < 13:
        data += b"\n" + b" " * (12 - len(data))
    return bytes([0, 0, 0, tag, 0]) + data


def demo_edid():
    """The CRT's 128-byte EDID 1.3: analog input, 1024x768 at 85 Hz preferred, a few established
    and standard timings, its name and serial, and range limits 50-120 Hz, 30-83 kHz, 140 MHz
    with the default GTF."""
    vendor = sum((ord(c) - 64) << (10 - 5 * i) for i, c in enumerate("VLM"))
    head = bytes([0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0]) + vendor.to_bytes(2, "big")
    head += (1701).to_bytes(2, "little") + (4242).to_bytes(4, "little") + bytes([12, 11, 1, 3])
    head += bytes([0x0E, 32, 24, 0x78, 0xEA]) + bytes(10)  # features, then colour left at 0
    established = bytes([0x25, 0x4A, 0x00])  # 640x480@60 and @75, 800x600@60 and @75, 1024x768@60, @75
    standard = bytes([1024 // 8 - 31, 0x40 | 25, 1280 // 8 - 31, 0x80 | 0, 1152 // 8 - 31, 0x40 | 15])
    standard += bytes([1, 1] * 5)
    clock = 9450  # 94.50 MHz: 1024x768 at 85 Hz, 1376 x 808 total, +hsync +vsync
    dtd = clock.to_bytes(2, "little") + bytes([0x00, 0x60, 0x41, 0x00, 0x28, 0x30, 0x30, 0x60,
                                               0x13, 0x00, 0x40, 0x2C, 0x11, 0x00, 0x00, 0x1E])
    ranges = bytes([0, 0, 0, 0xFD, 0, 50, 120, 30, 83, 14, 0, 0x0A]) + b" " * 6
    block = head + established + standard + dtd + ranges
    block += edid_text(0xFC, "VLM CRT 17") + edid_text(0xFF, "V17A0042") + bytes([0])
    assert len(block) == 127
    return block + bytes([-sum(block) & 0xFF])


def monitor_keys():
    """DISPLAY1's monitor where each version class keeps it: an earlier monitor's instance first
    (every monitor ever attached keeps one), then the CRT's with its EDID, and its setup file's
    MODES in the class key."""
    edid = demo_edid()
    mode = '"Mode1"="30.0-83.0,50.0-120.0,+,+"'
    nt = f"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\{MONITOR_MODEL}"
    ninex = f"HKEY_LOCAL_MACHINE\\Enum\\Monitor\\{MONITOR_MODEL}"
    return [f"[{nt}\\4&1d2e3f&0&UID0]", f'"Driver"={reg_string(MONITOR_CLASS + chr(92) + "0000")}', "",
            f"[{nt}\\5&2a3b4c&0&UID1]",
            f'"Driver"={reg_string(MONITOR_CLASS + chr(92) + MONITOR_NUMBER)}', "",
            f"[{nt}\\5&2a3b4c&0&UID1\\Device Parameters]", reg_binary("EDID", edid), "",
            f"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
            f"{MONITOR_CLASS.upper()}\\{MONITOR_NUMBER}\\MODES\\1280,1024]", mode, "",
            f"[{ninex}\\0000]", f'"Driver"={reg_string("Monitor" + chr(92) + "0000")}', "",
            f"[{ninex}\\{MONITOR_NUMBER}]",
            f'"Driver"={reg_string("Monitor" + chr(92) + MONITOR_NUMBER)}', reg_binary("EDID", edid), "",
            f"[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Monitor\\"
            f"{MONITOR_NUMBER}\\MODES\\1280,1024]", mode, ""]


def bcd(number, digits):
    """Packed BCD, most significant digit first; refuses what does not fit."""
    if not 0 <= number < 10 ** digits:
        raise ValueError(f"{number} does not fit {digits} BCD digits")
    text = f"{number:0{digits}d}"
    return bytes(int(text[i]) << 4 | int(text[i + 1]) for i in range(0, digits, 2))


def timing_checksum(words):
    """Ones'-complement fold of the 32-bit sum of the sixteen timing words to 16 bits."""
    s = sum(words) & 0xFFFFFFFF
    t = (s >> 16) + (s & 0xFFFF)
    u = t + (t >> 16)
    return ~u & 0xFFFF


def timing_value(m):
    """The 68 stored bytes: sixteen 8-digit BCD words, then the checksum big-endian."""
    data = b"".join(bcd(w, 8) for w in m["words"])
    return data + timing_checksum(m["words"]).to_bytes(4, "big")


def timing_value_name(m):
    return "QORDTMCRTBCD%04uX%04uX0X%u" % (m["width"], m["height"], m["refresh"])


def mode_list_value(modes):
    """Eight bytes per mode: width, height, reserved 0, refresh, four BCD digits each."""
    return b"".join(bcd(m["width"], 4) + bcd(m["height"], 4) + bcd(0, 4) + bcd(m["refresh"], 4)
                    for m in modes)


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def reg_binary(name, data):
    """A hex: value, wrapped with backslash continuations the way regedit exports it."""
    head = f"{reg_string(name)}=hex:"
    items = [f"{b:02x}" for b in data]
    lines, line = [], head
    for i, item in enumerate(items):
        piece = item + ("," if i < len(items) - 1 else "")
        if len(line) + len(piece) > 76:
            lines.append(line + "\\")
            line = "  "
        line += piece
    lines.append(line)
    return "\n".join(lines)


def demo_reg():
    out = ["REGEDIT4", ""]
    for simulator_key in SIMULATOR_KEYS:
        for index, adapter in enumerate(ADAPTERS):
            out += [f"[{simulator_key}\\{index}]",
                    f'"DeviceName"={reg_string(adapter["device"])}',
                    f'"DriverKey"={reg_string(adapter["driver_key"])}']
            if "monitor" in adapter:
                out.append(f'"MonitorDeviceID"={reg_string(adapter["monitor"])}')
            out.append("")
    for adapter in ADAPTERS:
        out.append(f"[HKEY_LOCAL_MACHINE\\{adapter['driver_key']}]")
        for m in adapter["modes"]:
            out.append(reg_binary(timing_value_name(m), timing_value(m)))
        out.append(reg_binary(MODE_LIST_VALUE, mode_list_value(adapter["modes"])))
        out.append("")
    out += monitor_keys()
    out += [f"[{COMPANY_KEY}]", ""]
    return "\n".join(out).replace("\n", "\r\n")


def self_check():
    """The worked examples that the stored forms must reproduce."""
    assert sum(demo_edid()) % 256 == 0 and demo_edid()[:8] == bytes.fromhex("00ffffffffffff00")
    expected = bytes.fromhex("00000012 00000800 00000640 00000656 00000096 00000525 00000480"
                             " 00000490 00000002 00002518" + " 00000000" * 6 + " 0000E7B4")
    assert timing_value(VGA_640_480_60) == expected, "640x480 stored form"
    assert timing_value_name(VGA_640_480_60) == "QORDTMCRTBCD0640X0480X0X60"
    assert mode_list_value([SVGA_800_600_75]) == bytes.fromhex("0800060000000075")
    for adapter in ADAPTERS:
        for m in adapter["modes"]:
            w = m["words"]
            hz = m["refresh"]
            actual = w[PIXEL_CLOCK] * 10000 / (w[H_TOTAL] * w[V_TOTAL])
            assert abs(actual - hz) < 0.5, f"{timing_value_name(m)} refreshes at {actual:.2f} Hz"
            assert w[H_DISPLAY] < w[H_SYNC_START] < w[H_SYNC_START] + w[H_SYNC_WIDTH] <= w[H_TOTAL]
            assert w[V_DISPLAY] < w[V_SYNC_START] < w[V_SYNC_START] + w[V_SYNC_WIDTH] <= w[V_TOTAL]


def main(argv):
    self_check()
    check = "--check" in argv
    args = [a for a in argv if a != "--check"]
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = args[0] if args else os.path.join(root, "data", "demo.reg")
    text = demo_reg()
    if check:
        try:
            with open(path, newline="") as f:
                current = f.read()
        except OSError:
            current = None
        if current != text:
            print(f"{path} is out of date: run python3 scripts/make-demo-reg.py", file=sys.stderr)
            return 1
        return 0
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w", newline="") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
