#!/usr/bin/env python3
"""Speed and peak memory of sondrel-cli against the peer tools, same input,
one run. Prints wall-time and peak-memory ratios (sondrel / peer).

    python3 bench/bench.py [--cli build/release/sondrel-cli] [--minutes 1 10]

With the window's benchmark beside the command-line tool (built with the
window), it also times the window's path, Go click to progress window
gone (less its 100 ms close delay), against sondrel-cli on the same job.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time


def clear(paths):
    """Targets of an earlier run removed (a folder emptied), so that every
    run makes new files: writing over one costs each tool differently."""
    for path in paths:
        if os.path.isdir(path):
            shutil.rmtree(path)
            os.makedirs(path)
        elif os.path.exists(path):
            os.remove(path)


def measure(cmd, fresh=()):
    """Wall seconds and peak resident kB of one command, as /usr/bin/time
    sees it (a Python child would count the interpreter's pages too);
    fresh: its targets, removed first."""
    clear(fresh)
    proc = subprocess.run(["/usr/bin/time", "-f", "%e %M"] + cmd, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True)
    if proc.returncode != 0:
        sys.exit("failed: " + " ".join(cmd) + "\n" + proc.stderr)
    wall, peak = proc.stderr.strip().splitlines()[-1].split()
    return float(wall), int(peak)


def paired_median(cmd, yardstick, pairs, fresh=()):
    """The median of cmd's time over yardstick's, run in turn pair by pair
    (a machine whose speed drifts moves both of a pair alike); a finer
    clock than /usr/bin/time's hundredths, for runs of a few tenths."""
    ratios = []
    for _ in range(pairs):
        times = []
        for c in (cmd, yardstick):
            clear(fresh)
            start = time.perf_counter()
            subprocess.run(c, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            times.append(time.perf_counter() - start)
        ratios.append(times[0] / times[1])
    return sorted(ratios)[pairs // 2]


def best_of(cmd, runs, fresh=()):
    results = [measure(cmd, fresh) for _ in range(runs)]
    return min(r[0] for r in results), max(r[1] for r in results)


def window_seconds(bench, job, source, target):
    """The window's own time for one job, as sondrel-window-bench reports it
    (for a batch: source is the output folder, target the list of files)."""
    args = [bench, job, source] + (target if isinstance(target, list) else [target])
    proc = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          text=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    if proc.returncode != 0:
        sys.exit("failed: " + bench + " " + job)
    return float(proc.stdout.strip())


def make_music(path, minutes):
    # Chords with a slow tremolo over a quiet noise floor: something an
    # encoder has to work at, unlike a bare sine.
    seconds = str(minutes * 60)
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth", seconds,
                    "sine", "220", "sine", "277", "sine", "330", "pinknoise", "remix", "1,2v0.05", "2,3,4v0.05",
                    "tremolo", "3", "40", "vol", "0.6"], check=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default="build/release/sondrel-cli")
    ap.add_argument("--minutes", type=int, nargs="+", default=[1, 10])
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--trees-only", action="store_true", help="only the batches of whole folder trees")
    args = ap.parse_args()
    cli = os.path.abspath(args.cli)
    if args.trees_only:
        trees(cli)
        return
    for tool in ("mpg123", "lame", "sox", "/usr/bin/time"):
        if not shutil.which(tool):
            sys.exit(tool + " is needed")
    with tempfile.TemporaryDirectory() as d:
        for minutes in args.minutes:
            wav = os.path.join(d, "music.wav")
            mp3 = os.path.join(d, "music.mp3")
            make_music(wav, minutes)
            subprocess.run(["lame", "--quiet", "-b", "128", wav, mp3], check=True)
            out = lambda name: os.path.join(d, name)
            pairs = [
                ("mp3-to-wav", [cli, "mp3-to-wav", mp3, out("a.wav")], ["mpg123", "-q", "-w", out("b.wav"), mp3],
                 out("b.wav")),
                ("wav-to-mp3", [cli, "wav-to-mp3", wav, out("a.mp3")], ["lame", "--quiet", "-b", "128", "-t", wav, out("b.mp3")],
                 out("b.mp3")),
                ("wav-to-wav", [cli, "wav-to-wav", "--format", "22.050 Hz, 16 Bit, Mono", wav, out("c.wav")],
                 ["sox", wav, "-c", "1", out("d.wav"), "rate", "-v", "22050"], out("d.wav")),
            ]
            print(f"{minutes} min of 44.1 kHz stereo:")
            window = os.path.join(os.path.dirname(cli), "sondrel-window-bench")
            if os.path.exists(window):
                for name, source, target in (("mp3-to-wav", mp3, out("w.wav")), ("wav-to-mp3", wav, out("w.mp3"))):
                    w = min(window_seconds(window, name, source, target) for _ in range(args.runs))
                    c, _ = best_of([cli, name, source, out("c." + target[-3:])], args.runs, [out("c." + target[-3:])])
                    print(f"  {name:11s} window {w:6.2f} s vs sondrel-cli {c:6.2f} s  ratio {w / c:4.2f}")
            for name, ours, peer, theirs in pairs:
                t1, m1 = best_of(ours, args.runs, [ours[-1]])
                t2, m2 = best_of(peer, args.runs, [theirs])
                print(f"  {name:11s} time {t1:6.2f} s vs {t2:6.2f} s  ratio {t1 / t2:4.2f}   "
                      f"peak {m1 / 1024:6.1f} MB vs {m2 / 1024:6.1f} MB  ratio {m1 / m2:4.2f}   ({peer[0]})")
    batch_on_all_cores(cli, args.runs)
    batch_shapes(cli, args.runs, max(args.minutes))
    one_mp3_on_all_cores(cli, args.runs, max(args.minutes))
    window_batches(cli, args.runs)
    long_file_on_all_cores(cli, args.runs, max(args.minutes))
    vbr_on_all_cores(cli, args.runs, max(4, min(args.minutes)))
    trees(cli)


def trees(cli):
    """Collections as trees of short WAVs (ten files a folder, Artist/Album):
    the listing alone (the output folder missing stops the batch after it),
    the whole batch into an output folder, time and peak memory, and the
    window's batch list filled with the tree dropped on it."""
    window = os.path.join(os.path.dirname(cli), "sondrel-window-bench")
    with tempfile.TemporaryDirectory() as d:
        one = os.path.join(d, "one.wav")
        subprocess.run(["sox", "-n", "-r", "22050", "-c", "1", "-b", "16", one, "synth", "0.05", "sine", "440"],
                       check=True)
        print("Folder trees to MP3 (ten 0.05 s files a folder):")
        for files in (200, 2000, 20000):
            root = os.path.join(d, f"t{files}")
            for f in range(files // 10):
                folder = os.path.join(root, f"Künstler {f // 10}", f"Album {f % 10}")
                os.makedirs(folder)
                for i in range(10):
                    os.link(one, os.path.join(folder, f"{i + 1} Titel.wav"))
            listed, listed_peak = measure_any([cli, "batch-wav-to-mp3", "--out-dir", os.path.join(d, "none"), root])
            out = os.path.join(d, f"out{files}")
            os.makedirs(out)
            t, m = measure([cli, "batch-wav-to-mp3", "--out-dir", out, root])
            # The finished tree run again, skipping what is done.
            again, _ = measure([cli, "batch-wav-to-mp3", "--skip-existing", "--out-dir", out, root])
            line = (f"  {files:6d} files: listed in {listed:5.2f} s ({listed_peak / 1024:5.1f} MB), "
                    f"converted in {t:6.2f} s, peak {m / 1024:5.1f} MB, "
                    f"run again skipping what is done {again:5.2f} s (ratio {again / t:5.3f})")
            if os.path.exists(window):
                proc = subprocess.run([window, "list", root], stdout=subprocess.PIPE, text=True,
                                      env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
                seconds, count = proc.stdout.split()
                line += f", window list filled in {float(seconds):5.2f} s ({count} entries)"
            print(line)
            shutil.rmtree(out)
            shutil.rmtree(root)


def measure_any(cmd):
    """measure() for a command that ends with a message (exit status 1)."""
    proc = subprocess.run(["/usr/bin/time", "-f", "%e %M"] + cmd, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True)
    wall, peak = proc.stderr.strip().splitlines()[-1].split()
    return float(wall), int(peak)


def window_batches(cli, runs):
    """The window's batches against sondrel-cli's on the same files: many
    short files and a few long ones, both ways; the same bytes."""
    window = os.path.join(os.path.dirname(cli), "sondrel-window-bench")
    if not os.path.exists(window):
        return
    with tempfile.TemporaryDirectory() as d:
        sets = []
        for name, count, seconds in (("40 x 8 s", 40, 8), ("12 x 3 min", 12, 180)):
            wavs, mp3s = [], []
            for i in range(count):
                wav = os.path.join(d, f"{count}-{i}.wav")
                subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", str(seconds),
                                "sine", str(200 + 7 * i), "pinknoise", "remix", "1,2v0.1", "2,1v0.1", "vol", "0.5"],
                               check=True)
                mp3 = wav[:-4] + ".mp3"
                subprocess.run(["lame", "--quiet", "-b", "128", wav, mp3], check=True)
                wavs.append(wav)
                mp3s.append(mp3)
            sets.append((name, wavs, mp3s))
        print("The window's batches against sondrel-cli's (Go click to progress window gone):")
        for name, wavs, mp3s in sets:
            for job, files, ext in (("batch-mp3-to-wav", mp3s, ".wav"), ("batch-wav-to-mp3", wavs, ".mp3")):
                wout, cout = os.path.join(d, "w"), os.path.join(d, "c")
                w = min(window_seconds(window, job, wout, files) for _ in range(runs))

                def cli_run():
                    shutil.rmtree(cout, ignore_errors=True)
                    os.makedirs(cout)
                    return measure([cli, job, "--out-dir", cout] + files)[0]
                c = min(cli_run() for _ in range(runs))
                same = all(open(os.path.join(wout, os.path.basename(f)[:-4] + ext), "rb").read() ==
                           open(os.path.join(cout, os.path.basename(f)[:-4] + ext), "rb").read() for f in files)
                print(f"  {name:11s} {job:17s} window {w:6.2f} s vs sondrel-cli {c:6.2f} s  ratio {w / c:4.2f}"
                      f"   same bytes: {'yes' if same else 'NO'}")


SIGNALS = ("chords", "dense", "music", "limited", "speech", "piano", "clicks")


def make_signal(kind, path, minutes):
    """The signals one long file is encoded on: the easy one (chords over a
    quiet noise floor), a dense one (pink noise near full scale, alike in
    both channels: a mono recording in a stereo file, which keeps the bit
    reservoir empty), music with a chirp, the same music through a hard
    limiter (a loud modern master), speech over soft chords with a slow
    sine sweep beside it (60 Hz to 9 kHz at -18 dB: the reservoir neither
    full nor empty for long), plucked notes with reverb (a solo piano's
    attacks and decays), and digital silence with a click each second."""
    seconds = str(minutes * 60)
    sox = ["sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16"]
    run = lambda args: subprocess.run(args, check=True, stderr=subprocess.DEVNULL)
    if kind == "speech":
        # A buzz at a wandering pitch through two formants, in syllables of
        # a quarter second and phrases of two seconds with pauses between.
        voice, bed = path + ".voice.wav", path + ".bed.wav"
        run(["sox", "-R", "-n", "-r", "44100", "-c", "1", "-b", "16", voice, "synth", seconds, "sawtooth", "120",
             "sine", "fmod", "0.3", "pinknoise", "mix", "synth", "square", "amod", "3.7", "synth", "square", "amod",
             "0.23", "vol", "0.1", "sinc", "200-3500", "equalizer", "700", "1q", "+8", "equalizer", "1800", "1.5q",
             "+6", "norm", "-6", "channels", "2"])
        run(sox + [bed, "synth", seconds, "sine", "220", "sine", "277", "sine", "330", "sine", "60:9000",
                   "remix", "1v0.03,2v0.03,4v0.126", "2v0.03,3v0.03,4v0.126"])
        run(["sox", "-m", "-v", "1", voice, "-v", "1", bed, path])
        os.remove(voice)
        os.remove(bed)
    elif kind == "piano":
        # Eight notes of a broken chord, struck and left to ring, repeated.
        notes = []
        for i, semitone in enumerate((-9, -5, -2, 3, 7, 3, -2, -5)):
            note = f"{path}.{i}.wav"
            run(sox + [note, "synth", "0.5", "pluck", f"%{semitone}", "pluck", f"%{semitone + 12}", "remix", "1v0.6,2v0.2",
                       "1v0.4,2v0.3", "fade", "0", "0.5", "0.3"])
            notes.append(note)
        phrase = path + ".phrase.wav"
        run(["sox"] + notes + [phrase, "reverb", "40"])
        run(["sox", phrase, path, "repeat", str(max(0, int(minutes * 60 / 4) - 1)), "trim", "0", seconds])
        for f in notes + [phrase]:
            os.remove(f)
    elif kind == "clicks":
        click = path + ".click.wav"
        run(sox + [click, "synth", "0.002", "square", "1000", "vol", "0.8", "pad", "0", "0.998"])
        run(["sox", click, path, "repeat", str(minutes * 60 - 1)])
        os.remove(click)
    elif kind == "chords":
        make_music(path, minutes)
    elif kind == "dense":
        subprocess.run(sox + [path, "synth", seconds, "pinknoise", "vol", "0.9"], check=True, stderr=subprocess.DEVNULL)
    else:
        music = path if kind == "music" else path + ".music.wav"
        subprocess.run(sox + [music, "synth", seconds, "sine", "220", "sine", "277", "sine", "330", "sine", "100:8000",
                              "pinknoise", "remix", "1,2,4v0.5,5v0.05", "2,3,4v0.5,5v0.05", "tremolo", "3", "40",
                              "vol", "0.5"], check=True, stderr=subprocess.DEVNULL)
        if kind == "limited":
            subprocess.run(["sox", music, path, "gain", "-l", "14"], check=True, stderr=subprocess.DEVNULL)
            os.remove(music)


def snr_db(source, mp3, d):
    """Signal-to-noise ratio of an MP3 (as mpg123 decodes it) against its
    source, by sox: the difference's RMS against the source's."""
    decoded = os.path.join(d, "snr.wav")
    subprocess.run(["mpg123", "-q", "-w", decoded, mp3], check=True)

    def rms(args):
        out = subprocess.run(["sox"] + args + ["-n", "stat"], stderr=subprocess.PIPE, text=True).stderr
        return float(next(l for l in out.splitlines() if l.startswith("RMS     amplitude")).split()[-1])
    import math
    return 20 * math.log10(rms([source]) / max(1e-9, rms(["-m", "-v", "1", source, "-v", "-1", decoded])))


def long_file_on_all_cores(cli, runs, minutes):
    """One long WAV to MP3, on each signal: sondrel-cli on every core and on
    one worker, each against lame on the same file; how many blocks had to
    be encoded again; SNR against lame's; the bytes must not differ."""
    cores = os.cpu_count() or 1
    for kind in SIGNALS:
        with tempfile.TemporaryDirectory() as d:
            wav = os.path.join(d, "long.wav")
            make_signal(kind, wav, minutes)
            lame_mp3 = os.path.join(d, "lame.mp3")
            lame, lm = best_of(["lame", "--quiet", "-b", "128", wav, lame_mp3], runs, [lame_mp3])
            print(f"{minutes} min WAV to MP3, one file, {kind}:")
            made = []
            for jobs in (cores, 1):
                target = os.path.join(d, f"j{jobs}.mp3")
                t, m = best_of([cli, "wav-to-mp3", "--jobs", str(jobs), wav, target], runs, [target])
                made.append(open(target, "rb").read())
                print(f"  --jobs {jobs:<3d} time {t:6.2f} s vs lame {lame:6.2f} s  ratio {t / lame:4.2f}   "
                      f"peak {m / 1024:6.1f} MB vs {lm / 1024:6.1f} MB")
            stats = subprocess.run([cli, "wav-to-mp3", wav, os.path.join(d, "s.mp3")], stderr=subprocess.PIPE,
                                   text=True, env=dict(os.environ, SONDREL_BLOCK_STATS="1")).stderr.split()
            ours, theirs = snr_db(wav, os.path.join(d, "j1.mp3"), d), snr_db(wav, lame_mp3, d)
            print(f"  blocks {stats[1]}, seams reached by going on {stats[9]} ({stats[11]} frames), "
                  f"encoded again {stats[3]}, without reservoir {stats[5]};"
                  f"  SNR {ours:6.2f} dB vs lame {theirs:6.2f} dB ({ours - theirs:+.2f})")
            print("  same bytes on one worker and on all: " + ("yes" if made[0] == made[-1] else "NO"))


def vbr_on_all_cores(cli, runs, minutes):
    """One long WAV to VBR quality 2, on every core, against lame -V 2 on
    the same file: time, size and SNR."""
    fmt = "VBR 2 (ca. 190 kBit/s), 44.100 Hz, Stereo"
    for kind in ("music", "dense"):
        with tempfile.TemporaryDirectory() as d:
            wav = os.path.join(d, "long.wav")
            make_signal(kind, wav, minutes)
            lame_mp3, ours_mp3 = os.path.join(d, "lame.mp3"), os.path.join(d, "ours.mp3")
            lame, _ = best_of(["lame", "--quiet", "-V", "2", wav, lame_mp3], runs, [lame_mp3])
            t, m = best_of([cli, "wav-to-mp3", "--format", fmt, wav, ours_mp3], runs, [ours_mp3])
            size, lame_size = os.path.getsize(ours_mp3), os.path.getsize(lame_mp3)
            ours, theirs = snr_db(wav, ours_mp3, d), snr_db(wav, lame_mp3, d)
            print(f"{minutes} min WAV to MP3 VBR quality 2, {kind}: time {t:6.2f} s vs lame -V 2 {lame:6.2f} s"
                  f"  ratio {t / lame:4.2f}   size {size / lame_size:5.3f} of lame's   SNR {ours - theirs:+.2f} dB"
                  f"   peak {m / 1024:6.1f} MB")


def timed(commands, fresh=()):
    """Wall seconds of shell commands run one after the other; fresh: their
    targets, removed first."""
    clear(fresh)
    start = time.monotonic()
    for c in commands:
        subprocess.run(c, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - start


def batch_shapes(cli, runs, minutes):
    """Batches of every shape against the peer run over the same files one
    after the other: ten 10-second WAVs and one long one (first, then last)
    to MP3 against lame, and 24 8-second MP3s to WAV against mpg123."""
    with tempfile.TemporaryDirectory() as d:
        short = []
        for i in range(10):
            path = os.path.join(d, f"s{i}.wav")
            subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth", "10",
                            "sine", str(200 + 30 * i), "pinknoise", "remix", "1,2v0.1", "2,1v0.1", "vol", "0.5"], check=True)
            short.append(path)
        long_wav = os.path.join(d, "long.wav")
        make_signal("music", long_wav, minutes)
        out = os.path.join(d, "out")
        os.makedirs(out)
        print("Batches against the peer run over the files one after the other:")
        for name, files in (("long first", [long_wav] + short), ("long last", short + [long_wav])):
            ours = min(measure([cli, "batch-wav-to-mp3", "--out-dir", out] + files, [out])[0] for _ in range(runs))
            lame = min(timed([["lame", "--quiet", "-b", "128", f, f + ".mp3"] for f in files], [f + ".mp3" for f in files])
                       for _ in range(runs))
            print(f"  10 x 10 s and {minutes} min WAV to MP3, {name}: {ours:6.2f} s vs lame {lame:6.2f} s  ratio {ours / lame:4.2f}")
        mp3s = []
        for i in range(24):
            wav, mp3 = os.path.join(d, f"m{i}.wav"), os.path.join(d, f"m{i}.mp3")
            subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "8",
                            "sine", str(200 + 13 * i), "pinknoise", "remix", "1,2v0.1", "2,1v0.1", "vol", "0.5"], check=True)
            subprocess.run(["lame", "--quiet", "-b", "128", wav, mp3], check=True)
            mp3s.append(mp3)
        ours = min(measure([cli, "batch-mp3-to-wav", "--out-dir", out] + mp3s, [out])[0] for _ in range(runs))
        peer = min(timed([["mpg123", "-q", "-w", m + ".wav", m] for m in mp3s], [m + ".wav" for m in mp3s])
                   for _ in range(runs))
        print(f"  24 x 8 s MP3 to WAV: {ours:6.2f} s vs mpg123 {peer:6.2f} s  ratio {ours / peer:4.2f}")


def one_mp3_on_all_cores(cli, runs, minutes):
    """One long MP3 to WAV on every core and on one worker against mpg123,
    the same bytes either way; and the CD-quality conversion of a 22.05 kHz
    mono one on every core against one worker."""
    with tempfile.TemporaryDirectory() as d:
        wav, mp3 = os.path.join(d, "long.wav"), os.path.join(d, "long.mp3")
        make_signal("music", wav, minutes)
        subprocess.run(["lame", "--quiet", "-b", "128", wav, mp3], check=True)
        peer, pm = best_of(["mpg123", "-q", "-w", os.path.join(d, "p.wav"), mp3], runs, [os.path.join(d, "p.wav")])
        print(f"{minutes} min MP3 to WAV, one file:")
        made = []
        for jobs in (os.cpu_count() or 1, 1):
            target = os.path.join(d, f"j{jobs}.wav")
            t, m = best_of([cli, "mp3-to-wav", "--jobs", str(jobs), mp3, target], runs, [target])
            made.append(open(target, "rb").read())
            print(f"  --jobs {jobs:<3d} time {t:6.2f} s vs mpg123 {peer:6.2f} s  ratio {t / peer:4.2f}   "
                  f"peak {m / 1024:6.1f} MB vs {pm / 1024:6.1f} MB")
        print("  same bytes on one worker and on all: " + ("yes" if made[0] == made[-1] else "NO"))
        low = os.path.join(d, "low.mp3")
        subprocess.run(["lame", "--quiet", "-m", "m", "-b", "64", "--resample", "22.05", wav, low], check=True)
        cd1, cd2 = os.path.join(d, "cd1.wav"), os.path.join(d, "cd2.wav")
        all_cores, _ = best_of([cli, "mp3-to-wav", "--cd", low, cd2], runs, [cd2])
        one, _ = best_of([cli, "mp3-to-wav", "--cd", "--jobs", "1", low, cd1], runs, [cd1])
        same = open(cd1, "rb").read() == open(cd2, "rb").read()
        paired = paired_median([cli, "mp3-to-wav", "--cd", low, cd2], [cli, "mp3-to-wav", "--cd", "--jobs", "1", low, cd1],
                               9, [cd1, cd2])
        print(f"  CD quality from 22.05 kHz mono: every core {all_cores:6.2f} s vs one worker {one:6.2f} s  "
              f"ratio {all_cores / one:4.2f} (paired median of 9: {paired:4.2f})   same bytes: {'yes' if same else 'NO'}")


def batch_on_all_cores(cli, runs):
    """Eight one-minute WAVs to MP3: --jobs 2 against --jobs 1, and two lame
    processes side by side against one after the other, for reference."""
    with tempfile.TemporaryDirectory() as d:
        wavs = []
        for i in range(8):
            path = os.path.join(d, f"p{i}.wav")
            subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth", "60",
                            "sine", str(200 + 30 * i), "pinknoise", "remix", "1,2v0.1", "2,1v0.1", "vol", "0.5"],
                           check=True)
            wavs.append(path)
        os.makedirs(os.path.join(d, "one"))
        os.makedirs(os.path.join(d, "two"))
        one, _ = best_of([cli, "batch-wav-to-mp3", "--jobs", "1", "--out-dir", os.path.join(d, "one")] + wavs, runs,
                         [os.path.join(d, "one")])
        two, m2 = best_of([cli, "batch-wav-to-mp3", "--jobs", "2", "--out-dir", os.path.join(d, "two")] + wavs, runs,
                          [os.path.join(d, "two")])

        def lames(parallel):
            clear([w + ".mp3" for w in wavs])
            start = time.monotonic()
            for group in ([wavs[i:i + 2] for i in range(0, 8, 2)] if parallel else [[w] for w in wavs]):
                procs = [subprocess.Popen(["lame", "--quiet", "-b", "128", w, w + ".mp3"]) for w in group]
                for p in procs:
                    p.wait()
            return time.monotonic() - start
        lame1 = min(lames(False) for _ in range(runs))
        lame2 = min(lames(True) for _ in range(runs))
        print("8 x 1 min WAV to MP3 on two workers:")
        print(f"  --jobs 2 {two:6.2f} s vs --jobs 1 {one:6.2f} s  ratio {two / one:4.2f}   "
              f"(two lame side by side: ratio {lame2 / lame1:4.2f})   peak {m2 / 1024:6.1f} MB")


if __name__ == "__main__":
    main()
