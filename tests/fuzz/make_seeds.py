#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (tests/fuzz/corpus/<target>/).

The targets read their input through libFuzzer's FuzzedDataProvider: strings
from the front (a backslash followed by another byte ends a string, two
backslashes stand for one), numbers and choices from the back. The Input
class below lays out bytes the same way, so each seed is a small, real-looking
case: a Preferences.ini or profile with lookups and writes, encoder reports,
progress lines, time texts.
"""
import os
import struct
import sys


class Input:
    def __init__(self):
        self.front = bytearray()
        self.back = []  # in consumption order, written reversed at the end

    def string(self, data):
        if isinstance(data, str):
            data = data.encode()
        self.front += data.replace(b"\\", b"\\\\") + b"\\\n"
        return self

    def rest(self, data):
        if isinstance(data, str):
            data = data.encode()
        self.front += data
        return self

    def ranged(self, value, low, high):
        span = high - low
        raw = value - low
        count = 0
        while count < 8 and (span >> (8 * count)) > 0:
            count += 1
        # The first byte taken (the last of the input) is the most significant.
        for i in reversed(range(count)):
            self.back.append((raw >> (8 * i)) & 0xFF)
        return self

    def u8(self, value):
        return self.ranged(value, 0, 255)

    def boolean(self, value):
        return self.u8(1 if value else 0)

    def i32(self, value):
        return self.ranged(value, -(1 << 31), (1 << 31) - 1)

    def raw_double(self, value):
        # ConsumeBytes from the front.
        self.front += struct.pack("<d", value)
        return self

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


PREFERENCES = (
    "[Main]\r\nProfile=2\r\nOverwrite=0\r\nAuto Turn Off=0\r\nAuto Exit=0\r\n"
    "Auto Open Dir=1\r\nSyn Mode=0\r\nOutput Path=/home/user/Videos/\r\n"
    "[Default]\r\nOverwrite=0\r\nAuto Open Dir=0\r\nOutput Path=/home/user/\r\n"
)

PROFILE = (
    "[Main]\r\nType=avi\r\nPara=5\r\n0=Video Codec\r\n1=Video Size\r\n2=Bit Rate\r\n"
    "3=Disable Audio\r\n4=Deinterlace\r\n\r\n"
    "[Video Codec]\r\nSort=1\r\nList=0\r\nReadOnly=1\r\nCaption=MPEG-4\r\nValue=mp4v\r\ncmd=-vc\r\n\r\n"
    "[Video Size]\r\nSort=1\r\nCaption=Original Size,320x240,640x480,Custom Size,\r\n"
    "Value=,320x240,640x480,,\r\nIndex=0\r\ncmd=-size\r\n\r\n"
    "[Bit Rate]\r\nSort=1\r\nList=0\r\nCaption=800\r\nValue=800\r\ncmd=-rate\r\n\r\n"
    "[Disable Audio]\r\nSort=2\r\nCaption=No,Yes,\r\nValue=,\\,\r\ncmd=-noaudio\r\n\r\n"
    "[Deinterlace]\r\nSort=3\r\nCaption=No,Yes,\r\nValue=,\\,\r\nIndex=0\r\ncmd=-dint\r\n"
)

REPORT = (
    "vxenc 1.0\nInput #0, avi, from '/home/user/Videos/holiday clip.avi':\n"
    "  Duration: 00:01:23.45, start: 0.000000, bitrate: 1205 kb/s\n"
    "  Stream #0:0: Video: mpeg4 (Simple Profile), yuv420p, 640x480 [SAR 1:1 DAR 4:3], 25 fps\n"
    "  Stream #0:1: Audio: mp3, 44100 Hz, stereo, fltp, 128 kb/s\n"
)


def inifile_seeds():
    def ops(seed, steps):
        for op, section, key, extra in steps:
            seed.ranged(op, 0, 9)
            seed.boolean(False).string(section)
            seed.boolean(False).string(key)
            if op in (4, 5):
                seed.boolean(False).string(extra)
            elif op in (1, 6):
                seed.i32(extra)
            elif op in (2, 7):
                seed.boolean(extra)
        return seed

    yield "preferences", ops(Input().u8(2).string(PREFERENCES), [
        (0, "Main", "Output Path", None), (1, "Main", "Profile", 0), (2, "Default", "Overwrite", True),
        (4, "Main", "Output Path", "/media/disk/out/"), (6, "Main", "Syn Mode", 1),
        (7, "Default", "Auto Exit", True), (3, "Main", "Profile", None)])
    yield "preferences-saved", ops(Input().u8(0).string(PREFERENCES), [
        (4, "Main", "Output Path", "/tmp/"), (6, "Main", "Profile", 3), (7, "New", "Overwrite", True)])
    yield "first-run", ops(Input().u8(32).string(""), [
        (6, "Main", "Profile", 0), (7, "Main", "Overwrite", False), (4, "Main", "Output Path", "/p/")])
    yield "profile", ops(Input().u8(1).string(PROFILE[:PROFILE.index("[Bit Rate]")]), [
        (1, "Main", "Para", 0), (0, "Video Size", "Caption", None), (6, "Video Size", "Index", 2),
        (8, "Bit Rate", "", None), (9, "", "cmd", None), (5, "Bit Rate", "Value", "1200")])
    yield "hand-edited", ops(Input().u8(16).string(
        "; comment\n[main]Profile=1\rauto exit=-1\n\n[MAIN]\nOverwrite=True\n[Other\nx=1"), [
        (1, "Main", "Profile", 0), (2, "Main", "Auto Exit", False), (4, "Main", "Profile", "4"),
        (4, "Other", "x", "2")])


def timetext_seeds():
    for name, text in [("plain", "00:01:23.4"), ("long", "123:59:59.9"), ("hex", "$A:x1F:05"),
                       ("blanks", " 1: 2: 3.5 "), ("exponent", "0:0:1e3"), ("bad", "1:2")]:
        yield "text-" + name, Input().ranged(0, 0, 4).rest(text).bytes()
    for name, value in [("zero", 0.0), ("tenths", 83.45), ("round-up", 59.96), ("hours", 359999.94),
                        ("huge", 1e300), ("negative", -12.25)]:
        yield "seconds-" + name, Input().ranged(1, 0, 4).raw_double(value).bytes()
    yield "scaled", Input().ranged(2, 0, 4).ranged(12, -40, 29).ranged(1 << 62, 0, (1 << 64) - 1).bytes()
    yield "fields", Input().ranged(3, 0, 4).i32(1).i32(59).string("59.95").bytes()
    for name, text, blanks in [("decimal", "12.75", False), ("decimal-blanks", " -1.5e3 ", True),
                               ("decimal-huge", "1e999", False)]:
        yield name, Input().ranged(4, 0, 4).boolean(blanks).rest(text).bytes()


def probe_seeds():
    path = "/home/user/Videos/holiday clip.avi"
    yield "report", Input().boolean(False).string(path).rest(REPORT).bytes()
    yield "no-video", Input().boolean(False).string("/a.mp3").rest(
        "Input #0, mp3, from '/a.mp3':\n  Duration: 00:03:00.02, start: 0.025057, bitrate: 128 kb/s\n"
        "  Stream #0:0: Audio: mp3, 44100 Hz, stereo\n").bytes()
    yield "odd-path", Input().boolean(False).string("/v/Duration: 9, Video: x, y, 1x1, z.avi").rest(
        "from '/v/Duration: 9, Video: x, y, 1x1, z.avi':\n  Duration: 00:00:02.00, start: 0\n"
        "  Stream #0:0: Video: vp9, yuv420p, 160x120, 25 fps\n").bytes()
    yield "shaped", (Input().boolean(True).string("/v/a.avi").string("ffmpeg ").string("avi")
                     .string("00:00:10.50").string("h264").string("yuv420p").string(" 320x240").bytes())


def progress_seeds():
    def run(clip, done, total, current, pieces):
        seed = Input().ranged(0, 0, 3)
        for value in (clip, done, total, current):
            seed.ranged(1, 0, 3).raw_double(value)
        seed.ranged(9, 1, 12)
        for piece in pieces:
            seed.string(piece)
        return seed.bytes()

    yield "run", run(10.5, 0.0, 30.0, 0.0, [
        "vxenc 1.0\nInput #0, avi\n", "  Stream #0:0: Video: mpeg4\n",
        "frame=   50 fps=25 q=2.0 size=  100kB time=2.00 bitrate=409.6kbits/s\r",
        "frame=  100 fps=25 q=2.0 size=  200kB time=4.00 bitrate=409.6kbits/s\r",
        "frame=  262 time=10.48 bitrate=409.6kbits/s\r\n", "video:500kB audio:0kB\n"])
    yield "na-and-negative", run(5.0, 3.0, 8.0, 0.0, [
        "frame=    2 size=N/A time=N/A bitrate=N/A speed=N/A    \r",
        "frame=    4 size=1kB time=-0.02 bitrate=1k\r", "time=1e3 \r", "overtime: time=7.0 "])
    yield "number", Input().ranged(1, 0, 3).rest("-12.5e+3").bytes()
    yield "bars", (Input().ranged(2, 0, 3).ranged(1, 0, 3).raw_double(7.5).ranged(1, 0, 3).raw_double(30.0)
                   .ranged(1, 0, 3).raw_double(7.5).ranged(1, 0, 3).raw_double(10.0)
                   .ranged(1, 0, 3).raw_double(30.0).ranged(1, 0, 3).raw_double(2.5).bytes())
    yield "remaining", Input().ranged(3, 0, 3).i32(125).i32(40).i32(0).bytes()


def profile_seeds():
    yield "commas", Input().ranged(0, 0, 3).rest("Original Size,320x240,640x480,Custom Size,").bytes()
    # Per parameter: the caption picked (-1 for free text, then the text).
    yield "example", (Input().ranged(1, 0, 3).string("Example").string(PROFILE)
                      .ranged(-1, -1, 0).string("").ranged(2, -1, 3).ranged(-1, -1, 0).string("800")
                      .ranged(1, -1, 1).ranged(0, -1, 1).bytes())
    yield "custom-size", (Input().ranged(2, 0, 3).string("Example").string(PROFILE)
                          .ranged(-1, -1, 0).string("").ranged(-1, -1, 3).string("720x576")
                          .ranged(-1, -1, 0).string("1500").ranged(0, -1, 1).ranged(1, -1, 1).bytes())
    yield "bad-index", Input().ranged(1, 0, 3).string("Broken").string(
        "[Main]\r\nPara=1\r\n0=Size\r\n[Size]\r\nSort=1\r\nCaption=a,b,\r\nValue=1,2,\r\nIndex=5\r\n").bytes()


TARGETS = {
    "fuzz_inifile": lambda: ((name, seed.bytes()) for name, seed in inifile_seeds()),
    "fuzz_timetext": timetext_seeds,
    "fuzz_probe": probe_seeds,
    "fuzz_progress": progress_seeds,
    "fuzz_profile": profile_seeds,
}


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    for target, seeds in TARGETS.items():
        folder = os.path.join(root, target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
