#!/usr/bin/env python3
"""A collection of tagged MP3 files as people's collections hold them (long
live titles, other scripts, ID3v1 renderings by other taggers, players'
comment data, damaged frames), and mutagen's reading of files, for the tag
tests. Tab-separated lines; texts hold no tabs.

  tag_collection.py make FOLDER AUDIO.mp3 SEED
      writes FOLDER/<case>.mp3 and prints for each case:
      case <case> <field> <new text>      the change a user makes
      show <case> <field> <text>          what the tag page shows before it
      info <case> <INFO id> <text>        what a conversion's summary holds
      lost <case>                         a conversion says the tag stayed behind
      v1 <case> <offset> <hex>            ID3v1 bytes a save leaves from offset on
      keep <case> <hex>                   bytes a save keeps (a frame no reader decodes)
  tag_collection.py read FILE...
      <file> frame <key> <hash>           every ID3v2 frame as mutagen reads it
      <file> text <key> <text>            its text, for text frames
      <file> v1 <hex>                     the last 128 bytes where they are a tag
"""
import hashlib
import random
import struct
import sys

FIELDS = ["title", "artist", "album", "year", "comment", "track", "genre"]
WORDS = {
    "latin": ["Sonne", "Mond", "Live-Version", "aufgenommen", "im", "Großen", "Saal", "remastered", "2021", "(Live)"],
    "greek": ["Καλημέρα", "κόσμε", "Ελληνικά", "ζωή"],
    "cjk": ["東京", "音楽", "夜明け", "の", "歌"],
    "marks": ["Takk…", "Kaputter", "Rahmen", "–", "Größe", "Łódź", "naïve", "Ærø", "„Zitat“"],
}
SPELLED = {"ä": "ae", "ö": "oe", "ü": "ue", "Ä": "Ae", "Ö": "Oe", "Ü": "Ue", "ß": "ss", "–": "-", "…": "...",
           "Ł": "L", "ł": "l", "ó": "o", "ź": "z", "ï": "i", "Æ": "AE", "ø": "o", "„": '"', "“": '"'}


def text(rng, length):
    words = WORDS[rng.choice(list(WORDS))]
    out = rng.choice(words)
    while len(out) < length:
        out += " " + rng.choice(words)
    return out[:length].rstrip() or "x"


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def encoded(s, version):
    if all(ord(c) < 256 for c in s):
        return b"\x00" + s.encode("latin-1")
    if version == 4:
        return b"\x03" + s.encode("utf-8")
    return b"\x01" + s.encode("utf-16")


def frame(fid, body, version, flags=b"\x00\x00", size=None):
    n = len(body) if size is None else size
    return fid.encode() + (syncsafe(n) if version == 4 else struct.pack(">I", n)) + flags + body


def comment(lang, desc, s, version):
    enc = encoded(desc + s, version)[0:1]
    codec = {0: "latin-1", 1: "utf-16", 3: "utf-8"}[enc[0]]
    term = b"\x00\x00" if enc == b"\x01" else b"\x00"
    return enc + lang.encode() + desc.encode(codec) + term + s.encode(codec)


def fits(s):
    try:
        return len(s) <= 30 and s.encode("cp1252")
    except UnicodeEncodeError:
        return False


def rendered(s, length, spelled):
    if spelled:
        s = "".join(SPELLED.get(c, c) for c in s)
    return s.encode("cp1252", errors="replace")[:length]


def record(f, spelled):
    """An ID3v1.1 record as other taggers render the fields: cut, "?" or
    spelled out, the comment to 28 where a track follows."""
    track = int(f["track"].split("/")[0]) if f["track"] else 0
    r = b"TAG" + rendered(f["title"], 30, spelled).ljust(30, b"\0") + rendered(f["artist"], 30, spelled).ljust(30, b"\0")
    r += rendered(f["album"], 30, spelled).ljust(30, b"\0") + rendered(f["year"], 4, False).ljust(4, b"\0")
    r += rendered(f["comment"], 28 if track else 30, spelled).ljust(28 if track else 30, b"\0")
    if track:
        r += b"\0" + bytes([track])
    return r + bytes([f["genreNumber"]])


def make(folder, audio_path, seed):
    audio = open(audio_path, "rb").read()
    rng = random.Random(seed)
    genres = [("(17)", 17, "Rock"), ("Rock", 17, "Rock"), ("(8)", 8, "Jazz"), ("Alternative Rock", 40, "Alternative Rock"),
              ("Deutschrock", 255, "Deutschrock"), ("(24)", 24, "Soundtrack")]
    damages = ["none", "zero-size frame", "encoding 9", "overrun", "length indicator", "into audio", "empty tag",
               "comment 29", "no id3v2", "itunes first", "itunes only"]
    n = 0
    for version in (3, 4):
        for v1mode in ("none", "rendered", "spelled", "other"):
            for damage in damages:
                for _ in range(2):
                    n += 1
                    name = "c%03d" % n
                    g = rng.choice(genres)
                    f = {"title": text(rng, rng.choice([5, 28, 29, 30, 31, 65])), "artist": text(rng, rng.choice([5, 30, 45])),
                         "album": text(rng, rng.choice([4, 29, 40])), "year": rng.choice(["1998", "2021"]),
                         "comment": text(rng, rng.choice([10, 28, 29, 30, 40])), "track": rng.choice(["4/9", "7", "12"]),
                         "genre": g[0], "genreNumber": g[1]}
                    if damage == "comment 29":
                        f["comment"] = "Aufgenommen live in Köln 1999"
                    if damage == "itunes only":
                        f["comment"] = ""
                    body, shown = b"", {k: f[k] for k in FIELDS}
                    shown["track"] = f["track"].split("/")[0]
                    shown["genre"] = g[2]
                    if damage == "zero-size frame":
                        body += frame("TXXX", b"", version)
                    if damage.startswith("itunes"):
                        body += frame("COMM", comment("eng", "iTunNORM", " 00000318 0000032F", version), version)
                    title = encoded(f["title"], version)
                    if damage == "length indicator" and version == 4:
                        body += frame("TIT2", syncsafe(len(title)) + title, 4, b"\x00\x01")
                    else:
                        body += frame("TIT2", title, version)
                    if damage == "encoding 9":
                        junk = frame("TPE1", b"\x09" + f["artist"].encode("utf-16-le"), version)
                        body += junk
                        shown["artist"] = ""
                    else:
                        body += frame("TPE1", encoded(f["artist"], version), version)
                    body += frame("TALB", encoded(f["album"], version), version)
                    if version == 4:
                        body += frame("TDRC", encoded(f["year"] + "-05-03", 4), 4)
                    else:
                        body += frame("TYER", encoded(f["year"], 3), 3) + frame("TDAT", encoded("0305", 3), 3)
                    body += frame("TRCK", encoded(f["track"], version), version)
                    body += frame("TCON", encoded(f["genre"], version), version)
                    if f["comment"]:
                        body += frame("COMM", comment("deu", "", f["comment"], version), version)
                    body += frame("TXXX", encoded("REPLAYGAIN_TRACK_GAIN", version) + b"\0" + b"-6.50 dB", version)
                    body += frame("APIC", b"\x00image/png\x00\x03Cover\x00" + bytes([0xFF, 0xD8, 0xFF, 0xE0] * 40), version)
                    padding = 0 if damage in ("overrun", "into audio") else rng.choice([0, 100])
                    if damage == "overrun":
                        # The last frame claims 11 bytes more than the tag holds.
                        body += frame("TIT3", encoded("Untertitel", version), version, size=len(encoded("Untertitel", version)) + 11)
                    if damage == "empty tag":
                        body, padding, shown = b"", 200, {k: "" for k in FIELDS}
                    size = len(body) + padding + (2 if damage == "into audio" else 0)
                    tag = b"ID3" + bytes([version, 0, 0]) + syncsafe(size) + body + b"\0" * padding
                    if damage == "no id3v2":
                        tag = b""
                    v1 = b""
                    if v1mode != "none" or damage in ("no id3v2", "encoding 9", "empty tag"):
                        mode = v1mode if v1mode != "none" else "rendered"
                        v1 = record(f, mode == "spelled")
                        if mode == "other":
                            v1 = v1[:3] + b"Alter Titel".ljust(30, b"\0") + v1[33:]
                        if damage == "encoding 9":
                            v1 = v1[:33] + b"Unbekannt".ljust(30, b"\0") + v1[63:]
                            shown["artist"] = "Unbekannt"
                        if damage == "empty tag" or damage == "no id3v2":
                            shown = {k: (v1[o:o + l].split(b"\0")[0].decode("cp1252")) for k, o, l in
                                     (("title", 3, 30), ("artist", 33, 30), ("album", 63, 30), ("year", 93, 4))}
                            shown["comment"] = v1[97:125].split(b"\0")[0].decode("cp1252")
                            shown["track"] = str(v1[126])
                            shown["genre"] = {17: "Rock", 8: "Jazz", 40: "AlternRock", 24: "Soundtrack", 255: "255"}[g[1]]
                        if mode == "other":
                            shown["title"] = "Alter Titel"
                    open("%s/%s.mp3" % (folder, name), "wb").write(tag + audio + v1)
                    # The change: each field in turn, to a new text, or removed.
                    field = FIELDS[n % len(FIELDS)]
                    new = {"year": "2030", "track": str(rng.randint(1, 255)), "genre": "Top 40"}.get(
                        field, text(rng, rng.choice([4, 30, 31, 65])))
                    if n % 11 == 0 and field in ("title", "album", "comment"):
                        new = ""
                    print("case\t%s\t%s\t%s" % (name, field, new))
                    if damage == "encoding 9" and field != "artist":
                        print("keep\t%s\t%s" % (name, junk.hex()))
                    for k in FIELDS:
                        print("show\t%s\t%s\t%s" % (name, k, shown[k]))
                    if damage not in ("empty tag", "no id3v2"):
                        print("info\t%s\tINAM\t%s" % (name, f["title"]))
                        print("info\t%s\tICMT\t%s" % (name, f["comment"]))
                        print("info\t%s\tICRD\t%s" % (name, f["year"] + "-05-03"))
                        # A frame no reader can decode goes into no other tag.
                        print("info\t%s\tIART\t%s" % (name, "" if damage == "encoding 9" else f["artist"]))
                    # What the save leaves in ID3v1: the others as they were,
                    # the changed field as other taggers render it.
                    after = dict(f)
                    after.update({k: shown[k] for k in FIELDS if k not in ("genre",)})
                    if field == "comment" and damage == "no id3v2" and 29 <= len(new) <= 30 and fits(new):
                        # ID3v1 is the comment's only home: it keeps all 30
                        # characters, the track has no room.
                        print("v1\t%s\t97\t%s" % (name, rendered(new, 30, False).ljust(30, b"\0").hex()))
                        continue
                    if field == "genre":
                        after["genreNumber"] = 60
                    elif field == "track":
                        after["track"] = new
                    else:
                        after[field] = new
                    expected = record(after, False)
                    if not v1:
                        print("v1\t%s\t3\t%s" % (name, expected[3:].hex()))
                    elif field == "track":
                        # The comment keeps its bytes; the track takes its place.
                        print("v1\t%s\t97\t%s" % (name, (v1[97:125] + b"\0" + bytes([int(new)])).hex()))
                    else:
                        at, end = {"title": (3, 33), "artist": (33, 63), "album": (63, 93), "year": (93, 97),
                                   "comment": (97, 127), "genre": (127, 128)}[field]
                        print("v1\t%s\t%d\t%s" % (name, at, expected[at:end].hex()))


def read(files):
    import mutagen.id3
    for path in files:
        try:
            tags = mutagen.id3.ID3(path, load_v1=False, translate=False)
            frames = tags.values()
        except mutagen.id3.ID3NoHeaderError:
            frames = []
        for fr in frames:
            key = fr.HashKey
            print("%s\tframe\t%s\t%s" % (path, key, hashlib.md5(repr(fr).encode()).hexdigest()))
            if hasattr(fr, "text"):
                print("%s\ttext\t%s\t%s" % (path, key, "/".join(str(t) for t in fr.text)))
        data = open(path, "rb").read()
        if len(data) >= 128 and data[-128:-125] == b"TAG":
            print("%s\tv1\t%s" % (path, data[-128:].hex()))


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    else:
        read(sys.argv[2:])
