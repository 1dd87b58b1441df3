#!/usr/bin/env python3
"""Writes the seed corpora under tests/fuzz/corpus/<target>/ from the frames the protocol unit
tests use, the INI files in tests/data/config and the conversion texts of the unit tests.
Run it again after changing a seed; the files it writes are committed. Inputs that fuzzing once
found crashing are kept beside the seeds (named crash-*) and are not touched here."""

import hashlib
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
CORPUS = HERE / "corpus"
CONFIG = HERE.parent / "data" / "config"

SOH, STX, ETX, EOT = b"\x01", b"\x02", b"\x03", b"\x04"


def frame(kind, payload):
    """One frame as an instrument sends it: SOH, one character, the type, STX, payload, ETX, EOT."""
    return SOH + b"1" + kind + STX + payload + ETX + EOT


# ---- fuzz_receive_path: flags, step count, (length, delay, extra) per step, the stream.
# flags: 1 COLUMN layout, 2 debug window open, 4 check-rod ID "100", 8 serial handler,
# 0x80 big arrivals allowed.
# delay codes: < 128 -> code * 10 ms; < 240 -> (code - 128) * 50 ms; else 5 s + (code - 240) s.
# extra: connection = 1 + extra % 3; 0xFE reconnects the connection before the arrival; 0xFF
# (with flag 0x80) makes an arrival without EOT about 600 KiB.

def session(flags, steps, frames):
    header = bytes([flags, (len(steps) - 1) % 8])
    for length, delay, extra in steps:
        header += bytes([length, delay, extra])
    return header + b"".join(frames)


def one_per_arrival(frames, delay=10, extra=0):
    """Steps that deliver the frames one arrival each (at most 8 distinct lengths, cycled)."""
    return [(min(len(f), 255), delay, extra) for f in frames[:8]]


RUN_BATCH = [
    frame(b"IST", b"RUN MODE,a,b,1234567,x"),
    frame(b"STB", b"X100,W1,D1"),
    frame(b"DAT", b"1,0.81,7.8"),
    frame(b"DAT", b"2,0.805,7.79"),
    frame(b"DAT", b"3,0.812,7.80"),
    frame(b"ENB", b""),
]
CAL_CHECK = [
    frame(b"IST", b"CAL. CHECK,a,b,1234"),
    frame(b"STB", b"X100,A1"),
    frame(b"DAT", b"1,0.5"),
    frame(b"DAT", b"2,0.6"),
    frame(b"STB", b"X100,B1"),
    frame(b"DAT", b"1,7"),
    frame(b"ENB", b""),
]
FAST_MODE = [
    frame(b"IST", b"FAST MODE,a,b,5678"),
    frame(b"IDT", b"1,2,3"),
    frame(b"STB", b"X100,W1"),
    frame(b"DAT", b"1,12.34567"),
    frame(b"DAT", b"2,0012.3000"),
    frame(b"ENB", b""),
]
ERR_ENDED = [
    frame(b"IST", b"RUN MODE,a,b,1234"),
    frame(b"STB", b"X100,W1"),
    frame(b"DAT", b"1,0.5"),
    frame(b"ERR", b"A2CD,E17"),
]
UNSAFE_NAMES = [
    frame(b"IST", b"RUN MODE,a,b,../x"),
    frame(b"STB", b"X/:1,W1"),
    frame(b"DAT", b"1,2"),
    frame(b"ENB", b""),
]
ODD_FRAMES = [
    frame(b"ist", b"RUN MODE,a,b,1234"),
    SOH + b"1IST" + STX + b"RUN MODE,a" + EOT,  # no ETX
    SOH + b"1STB" + ETX + b"X100,AB" + STX + EOT,  # ETX before STX
    b"1STB" + ETX + EOT,  # no SOH, no STX
    frame(b"STB", b"X100,AB") + b"tail\x03\x02",
    frame(b"DAT", b"1,0.25,1e3,7"),
    frame(b"RST", b"anything"),
    EOT,
]
STB_MID_BATCH = [
    frame(b"IST", b"RUN MODE,a,b,1234"),
    frame(b"STB", b"X100,W1,D1"),
    frame(b"DAT", b"1,1,2"),
    frame(b"DAT", b"2,3,4"),
    frame(b"STB", b"X100,T1"),
    frame(b"DAT", b"3,5,6,7"),
    frame(b"ENB", b""),
]

RECONNECT = RUN_BATCH[:3] + [RUN_BATCH[0], RUN_BATCH[1], RUN_BATCH[2], RUN_BATCH[5]]

RECEIVE = {
    "run_mode_column": session(1, one_per_arrival(RUN_BATCH), RUN_BATCH),
    "run_mode_row_one_arrival": session(0, [(255, 10, 0)], RUN_BATCH),
    "check_rods": session(5, one_per_arrival(RUN_BATCH), RUN_BATCH),
    "cal_check": session(1, one_per_arrival(CAL_CHECK), CAL_CHECK),
    "fast_mode_row": session(0, one_per_arrival(FAST_MODE), FAST_MODE),
    "err_ended_debug": session(3, one_per_arrival(ERR_ENDED), ERR_ENDED),
    "unsafe_names": session(1, one_per_arrival(UNSAFE_NAMES), UNSAFE_NAMES),
    "odd_frames_serial": session(8, one_per_arrival(ODD_FRAMES), ODD_FRAMES),
    "stb_mid_batch": session(1, one_per_arrival(STB_MID_BATCH), STB_MID_BATCH),
    # A frame split in three within 5 s, then one whose last part comes after 6 s (NAK8).
    "split_frames": session(1, [(5, 10, 0), (4, 100, 0), (len(frame(b"STB", b"X100,W1,D1")) - 9,
                                                          100, 0),
                                (12, 0, 0), (0, 245, 0), (255, 20, 0)],
                            [frame(b"STB", b"X100,W1,D1"), frame(b"STB", b"X100,ZZ")]),
    # Two frames and the start of a third in one arrival; the third ends later.
    "frames_in_one_arrival": session(1, [(60, 10, 0), (255, 10, 0)],
                                     [frame(b"IST", b"RUN MODE,a,b,1234567,x"),
                                      frame(b"STB", b"X100,W1"),
                                      frame(b"DAT", b"1,0.5,7")]),
    # A resent frame after NAK8: the stale start stays before the new SOH.
    "resent_after_nak": session(1, [(8, 10, 0), (0, 250, 0), (255, 10, 0)],
                                [frame(b"STB", b"X100,W1")[:8], frame(b"STB", b"X100,W1,D1")]),
    # Three connections, interleaved.
    "three_connections": session(1, [(len(RUN_BATCH[0]), 10, 0), (len(RUN_BATCH[0]), 10, 1),
                                     (len(RUN_BATCH[1]), 10, 2), (len(RUN_BATCH[1]), 10, 0)],
                                 [RUN_BATCH[0], RUN_BATCH[0], RUN_BATCH[1], RUN_BATCH[1]]),
    # A batch cut off by a reconnect, then a new one on the same connection.
    "reconnect_mid_batch": session(1, [(len(f), 10, 0xFE if i == 3 else 0)
                                       for i, f in enumerate(RECONNECT)], RECONNECT),
    # Two big arrivals without EOT pass the 1 MiB bound; then a frame on the same connection.
    "buffer_overflow": session(0x81, [(16, 10, 0xFF), (16, 10, 0xFF), (255, 10, 0)],
                               [SOH + b"1DAT" + STX + b"1,2,3,4,5,6", b"7,8,9,10,11,12,1",
                                frame(b"RST", b"")]),
}

# ---- fuzz_ini: flags, section choice, key choice, counted section, key, value, the file.
# flags: 1 section taken from the file, 2 key taken from the file, 4 no file at all.

def counted(text):
    assert len(text) < 256
    return bytes([len(text)]) + text


def ini_seed(flags, section, key, value, content, choices=(0, 0)):
    return bytes([flags, choices[0], choices[1]]) + counted(section) + counted(key) + \
        counted(value) + content


AS_INSTALLED = b"".join(line + b"\r\n" for line in [
    b"[DEFAULT]", b"MODE=ETHERNET", b"[DATA LAYOUT]", b"COLUMN=True", b"[ZNR NUM ETHERNET]",
    b"ZNRs= 0", b"[ZNR NUM SERIAL]", b"ZNRs= 0", b"[CHECK RODS]", b"ID=", b"[ARCHIVE RAW FILE]",
    b"SAVE=YES", b"DAYS= 30", b"[ADMIN]", b"PASSWORD=WZc_d", b"[DISCONNECT]",
    b"PASSWORD=Z_iYedd[Yj", b"[RAW DATA TEMP]", b"NUMBER=100", b"[LICENSE]",
    b"COMPANY=ZNR Workstation", b"[FILES]", b"Data=/opt/znr/Data Files/",
    b"Error=/opt/znr/Error Log/", b"RawFile=/opt/znr/Raw Files/"])


def ini_seeds():
    files = {p.stem: p.read_bytes() for p in sorted(CONFIG.glob("*.ini"))}
    files["as-installed"] = AS_INSTALLED
    seeds = {}
    for name, content in files.items():
        seeds[name + "_replace_from_file"] = ini_seed(3, b"", b"", b"x", content, (1, 1))
        seeds[name + "_add_to_section"] = ini_seed(1, b"", b"NewKey", b" v ", content, (2, 0))
        seeds[name + "_new_section"] = ini_seed(0, b" NEW SECTION ", b"Key", b"new", content)
        seeds[name + "_mode"] = ini_seed(0, b"default", b"mode", b"SERIAL", content)
        seeds[name + "_long_value"] = ini_seed(0, b"LICENSE", b"COMPANY", b"c" * 130, content)
        seeds[name + "_refused"] = ini_seed(0, b"FILES", b"Data", b"a\r\nb", content)
    seeds["missing_file"] = ini_seed(4, b"ZNR NUM ETHERNET", b"ZNRs", b" 1", b"")
    seeds["scrambled_password"] = ini_seed(0, b"ADMIN", b"PASSWORD", b"\x01\x1fWZ c", AS_INSTALLED)
    seeds["unterminated_cr"] = ini_seed(0, b"A", b"y", b"2", b"[A]\r\nx=1\r")
    seeds["unterminated"] = ini_seed(0, b"B", b"y", b"2", b"[A]\nx=1")
    return seeds


# ---- fuzz_conversions: the text itself (its first bytes also make a number and a double).
CONVERSIONS = [
    b"2", b" 2", b"\t 2 ", b"2.5", b"3.5", b"2.51", b"2.4999", b"-2.5", b"-3.5", b"0.5", b".5",
    b"1 2", b"- 1 2 . 6", b"12abc", b"1.2.3", b"1E3", b"+7", b"abc", b"-", b".", b"&H10",
    b"-32768", b"32767", b"32767.4", b"-32768.5", b"32768", b"-32769", b"32767.5",
    b"123456789012345678901234567890", b"4001", b"50000", b" 65535", b"80x", b"65535.5",
    b"65536", b"-1", b"True", b"false", b" TRUE ", b"0", b"0.0", b"12.34567", b"0012.3000",
    b"7.000", b"0.125", b"-0.5", b" -.5 ", b"+3.", b"0.0005", b"2.0005", b"-2.0005",
    b"1.0004999", b"-0.0004", b"-0", b"0.9995", b"99999999", b"-1234567", b"1.23456789",
    b"\t5\t", b"12345.6789", b"0.1", b"234.5675", b"34.56749", b"-.999999",
    # serial line settings
    b"9600,n,8,1", b"19200,E,7,2", b"9600,n,8,1.5", b"115200,s,5,1", b"300,m,6,2",
]


def write(target, seeds):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.glob("seed-*"):
        old.unlink()
    for name, data in seeds.items():
        (folder / ("seed-" + name)).write_bytes(data)


def main():
    write("fuzz_receive_path", RECEIVE)
    write("fuzz_ini", ini_seeds())
    write("fuzz_conversions",
          {hashlib.sha1(t).hexdigest()[:12]: t for t in CONVERSIONS})


if __name__ == "__main__":
    main()
