#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into OUTDIR/<target>/.

Small real files: PCM made here, MP3 and compressed WAVE made by lame, sox
and ffmpeg when they are installed. Each target gets them in the layout
its input has (see the comment at the top of each fuzz_*.cpp)."""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile


def pcm_wav(rate, channels, seconds, bits=16):
    frames = int(rate * seconds)
    data = bytearray()
    for i in range(frames):
        v = math.sin(2 * math.pi * 440 * i / rate) * 0.5 + math.sin(2 * math.pi * 1234 * i / rate) * 0.2
        for c in range(channels):
            if bits == 8:
                data.append(int(128 + v * 127) & 0xFF)
            else:
                data += struct.pack("<h", int(v * 32767 * (1 - 0.3 * c)))
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits)
    return riff([(b"fmt ", fmt), (b"data", bytes(data))])


def riff(chunks):
    body = b"WAVE"
    for tag, payload in chunks:
        body += tag + struct.pack("<I", len(payload)) + payload + (b"\0" if len(payload) % 2 else b"")
    return b"RIFF" + struct.pack("<I", len(body)) + body


def chunks(wav):
    """The (tag, body) pairs of a RIFF WAVE file."""
    out, pos = [], 12
    while pos + 8 <= len(wav):
        tag, size = wav[pos:pos + 4], struct.unpack("<I", wav[pos + 4:pos + 8])[0]
        out.append((tag, wav[pos + 8:pos + 8 + size]))
        pos += 8 + size + (size & 1)
    return out


def run(cmd):
    if shutil.which(cmd[0]) is None:
        return False
    return subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def strip_id3v2(mp3):
    if mp3[:3] == b"ID3":
        size = (mp3[6] & 0x7F) << 21 | (mp3[7] & 0x7F) << 14 | (mp3[8] & 0x7F) << 7 | (mp3[9] & 0x7F)
        return mp3[10 + size:]
    return mp3


def main():
    out = sys.argv[1]
    tmp = tempfile.mkdtemp(prefix="sondrel-seeds-")
    seeds = {}

    def add(target, name, data):
        seeds.setdefault(target, []).append((name, data))

    def path(name):
        return os.path.join(tmp, name)

    wavs = {
        "cd.wav": pcm_wav(44100, 2, 0.05),
        "mono22.wav": pcm_wav(22050, 1, 0.05),
        "u8.wav": pcm_wav(8000, 1, 0.05, 8),
    }
    # A LIST chunk of odd size with its pad byte, before the data.
    parts = chunks(wavs["mono22.wav"])
    wavs["list.wav"] = riff([parts[0], (b"LIST", b"INFOISFT\x05\0\0\0sox!"), parts[1]])
    for name, data in wavs.items():
        with open(path(name), "wb") as f:
            f.write(data)

    for name, args in [("adpcm.wav", ["-e", "ms-adpcm"]), ("ima.wav", ["-e", "ima-adpcm"]),
                       ("alaw.wav", ["-e", "a-law"]), ("ulaw.wav", ["-e", "u-law"]),
                       ("gsm.wav", ["-r", "8000", "-c", "1", "-e", "gsm-full-rate"]),
                       ("float.wav", ["-e", "floating-point", "-b", "32"]), ("s24.wav", ["-b", "24"])]:
        src = "mono22.wav" if name != "gsm.wav" else "cd.wav"
        if run(["sox", path(src)] + args + [path(name)]):
            wavs[name] = open(path(name), "rb").read()

    mp3s = {}
    for name, args in [("cbr128.mp3", ["-b", "128", path("cd.wav")]),
                       ("mpeg2.mp3", ["-b", "32", path("mono22.wav")]),
                       ("mpeg25.mp3", ["-b", "8", path("u8.wav")]),
                       ("v1tag.mp3", ["-b", "64", "--id3v1-only", "--tt", "Titel", "--ta", "Interpret",
                                      "--tn", "7", "--tg", "Jazz", path("mono22.wav")]),
                       ("v2tag.mp3", ["-b", "64", "--id3v2-only", "--tt", "Titel", path("mono22.wav")])]:
        if run(["lame", "--quiet", "-t"] + args + [path(name)]):
            mp3s[name] = open(path(name), "rb").read()
    if "cbr128.mp3" in mp3s:
        mp3s["zeros.mp3"] = b"\0" * 300 + mp3s["cbr128.mp3"]
    if run(["ffmpeg", "-v", "error", "-i", path("cd.wav"), "-c:a", "libmp3lame", "-b:a", "96k", "-f", "wav",
            path("wrapped.wav")]):
        mp3s["wrapped.wav"] = open(path("wrapped.wav"), "rb").read()
    # Tagged WAVs as tag editors write them: LIST/INFO, and an "id3 " chunk too.
    meta = ["-metadata", "title=Grüße", "-metadata", "artist=Ärzte", "-metadata", "track=3",
            "-metadata", "genre=Rock", "-metadata", "date=1999"]
    if run(["ffmpeg", "-v", "error", "-i", path("mono22.wav")] + meta + [path("info.wav")]):
        wavs["info.wav"] = open(path("info.wav"), "rb").read()
    if run(["ffmpeg", "-v", "error", "-i", path("mono22.wav")] + meta + ["-write_id3v2", "1", path("id3chunk.wav")]):
        wavs["id3chunk.wav"] = open(path("id3chunk.wav"), "rb").read()
    if run(["ffmpeg", "-v", "error", "-i", path("cd.wav"), "-c:a", "mp2", "-b:a", "128k", path("layer2.mp2")]):
        mp3s["layer2.mp2"] = open(path("layer2.mp2"), "rb").read()

    for name, data in wavs.items():
        add("fuzz_wave", name, data)
        add("fuzz_conversions", "wav2mp3-" + name, bytes([2]) + data)
        add("fuzz_conversions", "wav2wav-" + name, bytes([3 | 0x10]) + data)
        parts = dict(chunks(data))
        fmt, body = parts.get(b"fmt ", b""), parts.get(b"data", b"")
        if struct.unpack("<H", fmt[:2])[0] != 1 or len(fmt) > 16:
            add("fuzz_wave_decoder", name, bytes([0, len(fmt)]) + fmt + body)
            add("fuzz_wave_decoder", "cd-" + name, bytes([1 | 4 * 3, len(fmt)]) + fmt + body)
    for name, data in mp3s.items():
        add("fuzz_frames", name, data)
        add("fuzz_conversions", "mp32wav-" + name, bytes([0]) + data)
        add("fuzz_conversions", "mp3cd-" + name, bytes([1]) + data)
        if name.endswith(".mp3"):
            add("fuzz_mp3_decoder", name, bytes([1 + 2 * 7, 1]) + strip_id3v2(data))
        if name == "v1tag.mp3":
            add("fuzz_tag", name, data)
        if name == "v2tag.mp3":
            add("fuzz_id3v2", name, data)
    for name in ("info.wav", "id3chunk.wav"):
        if name in wavs:
            add("fuzz_riff_info", name, wavs[name])
            for tag, body in chunks(wavs[name]):
                if tag == b"LIST":
                    add("fuzz_riff_info", name + "-list", body)
                if tag in (b"id3 ", b"ID3 "):
                    add("fuzz_id3v2", name + "-id3", body)
    add("fuzz_wave", "truncated.wav", wavs["cd.wav"][:30])
    add("fuzz_frames", "id3-beyond-end.mp3", b"ID3\3\0\0\x7f\x7f\x7f\x7f" + b"\xff\xfb\x90\x64" * 8)
    add("fuzz_tag", "record", b"TAG" + b"Titel".ljust(30, b"\0") + b"A".ljust(30) + b"B".ljust(30) +
        b"1999" + b"Kommentar".ljust(28, b"\0") + b"\0\x07\x08")
    add("fuzz_tag", "short", b"TAG")
    cd = chunks(wavs["cd.wav"])[1][1]
    add("fuzz_pcm_converter", "cd-to-22k-mono", bytes([1, 5, 0, 3, 0, 4]) + cd)
    add("fuzz_pcm_converter", "mono-to-8bit", bytes([0, 3, 8 + 1, 0, 0, 1]) + chunks(wavs["mono22.wav"])[1][1])

    for target, files in seeds.items():
        os.makedirs(os.path.join(out, target), exist_ok=True)
        for name, data in files:
            with open(os.path.join(out, target, name), "wb") as f:
                f.write(data)
    shutil.rmtree(tmp)
    print(" ".join(f"{t}:{len(f)}" for t, f in sorted(seeds.items())))


if __name__ == "__main__":
    main()
