// sondrel-cli as a user runs it: its exit statuses, its output and Ctrl-C.
#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <numeric>
#include <sstream>
#include <thread>

#include "codec/LittleEndian.h"
#include "support/Audio.h"
#include "support/Trees.h"

using namespace testing_support;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs a shell command; stderr joins stdout.
Outcome Command(const std::string& command) {
    Outcome o;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return o;
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) o.out.append(buf.data(), n);
    const int st = pclose(p);
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return o;
}

// Runs the tool with a shell command line of arguments.
Outcome Cli(const std::string& args) { return Command(std::string(SONDREL_CLI) + " " + args); }

// Sample frames of a 16-bit stereo WAV file.
long StereoFrames(const std::filesystem::path& wav) {
    return static_cast<long>(SplitWave(ReadFile(wav)).data.size() / 4);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    return lines;
}

// How far a target has grown: under its name, or (a batch's) under the
// hidden name it is written at until it is whole.
std::uintmax_t Grown(const std::filesystem::path& target) {
    std::error_code ec;
    if (std::filesystem::exists(target, ec)) return std::filesystem::file_size(target, ec);
    const std::string hidden = "." + target.filename().string() + ".sondrel-";
    for (const auto& e : std::filesystem::directory_iterator(target.parent_path(), ec))
        if (e.path().filename().string().rfind(hidden, 0) == 0) return e.file_size(ec);
    return 0;
}

// Starts the tool with args, waits until watched has grown past minBytes,
// interrupts it as Ctrl-C does and returns its exit status (-1 when it did
// not exit by itself). Its stderr goes to errors where that is given.
int InterruptedRun(std::vector<std::string> args, const std::filesystem::path& watched, std::uintmax_t minBytes,
                   int sig = SIGINT, const std::filesystem::path& errors = {}) {
    args.insert(args.begin(), SONDREL_CLI);
    const pid_t pid = fork();
    if (pid < 0) return -2;
    if (pid == 0) {
        if (!errors.empty()) {
            const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) dup2(fd, STDERR_FILENO);
        }
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(SONDREL_CLI, argv.data());
        _exit(99);
    }
    for (int i = 0; i < 400 && Grown(watched) < minBytes; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, sig);
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

TEST(Cli, UsageAndFormats) {
    EXPECT_EQ(Cli("").status, 2);
    const Outcome help = Cli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("batch-wav-to-mp3"), std::string::npos);
    EXPECT_EQ(Cli("frobnicate").status, 2);
    EXPECT_EQ(Cli("mp3-to-wav only-one").status, 2);
    EXPECT_EQ(Cli("wav-to-mp3 --format").status, 2);
    EXPECT_EQ(Cli("mp3-to-wav --format 3 a b").status, 2);
    EXPECT_EQ(Cli("wav-to-mp3 --format '999 kBit/s' a b").status, 2);
    const Outcome version = Cli("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "sondrel-cli 1.1\n");
    const Outcome formats = Cli("formats");
    EXPECT_EQ(formats.status, 0);
    EXPECT_EQ(formats.out.rfind("mp3 0 128 kBit/s, 44.100 Hz, Stereo\n", 0), 0u);
    EXPECT_NE(formats.out.find("\nwav 0 44.100 Hz, 16 Bit, Stereo\n"), std::string::npos);
    EXPECT_NE(formats.out.find("\nwav 27 "), std::string::npos);
}

// Each conversion command takes exactly the options its usage line in
// --help shows: an option taken but not shown is one nobody finds, one
// shown but refused sends the reader into an error.
TEST(Cli, EveryCommandTakesTheOptionsItsUsageShows) {
    std::map<std::string, std::string> usage;  // command: its usage line(s)
    std::map<std::string, std::string> value;  // option: a value for it, "" for none
    std::string command;
    for (const std::string& line : Lines(Cli("--help").out)) {
        if (line.empty()) break;
        std::istringstream in(line);
        const std::vector<std::string> w{std::istream_iterator<std::string>(in), {}};
        if (w.size() > 1 && w[0] == "sondrel-cli") command = w[1];
        if (command == "tag" || line == "Aufruf:") continue;  // tag show/set parse on their own
        usage[command] += line;
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (w[i].rfind("[--", 0) != 0 || w[i] == "[--]") continue;
            const bool valued = w[i].back() != ']';
            const std::string next = valued && i + 1 < w.size() ? w[i + 1] : "";
            value[w[i].substr(1, valued ? std::string::npos : w[i].size() - 2)] =
                !valued ? "" : next == "N]" ? "2" : next == "F]" ? "0" : "/tmp";
        }
    }
    ASSERT_EQ(usage.size(), 6u);
    ASSERT_EQ(value.size(), 7u);
    for (const auto& [cmd, line] : usage) {
        for (const auto& [option, arg] : value) {
            SCOPED_TRACE(cmd + " " + option);
            const Outcome o = Cli(cmd + " " + option + (arg.empty() ? "" : " " + arg));
            const bool refused = o.out.find("gilt nicht für") != std::string::npos ||
                                 o.out.find("Unbekannte oder unvollständige Option") != std::string::npos;
            const bool shown = line.find("[" + option + "]") != std::string::npos ||
                               line.find("[" + option + " ") != std::string::npos;
            EXPECT_EQ(refused, !shown) << o.out;
            EXPECT_NE(o.status, 0);  // no files given
        }
    }
}

TEST(Cli, ConversionsAndTheirMessages) {
    TempDir dir;
    const std::string d = dir.Path().string();
    WriteFile(dir / "a.wav", MakeWav(MakeMusic(22050, 1, 1.0), 22050, 1));
    EXPECT_EQ(Cli("wav-to-mp3 --format '64 kBit/s, 22.050 Hz, Mono' " + d + "/a.wav " + d + "/a.mp3").status, 0);
    EXPECT_GT(std::filesystem::file_size(dir / "a.mp3"), 6000u);
    EXPECT_EQ(Cli("mp3-to-wav --cd " + d + "/a.mp3 " + d + "/cd.wav").status, 0);
    const auto cd = ReadFile(dir / "cd.wav");
    ASSERT_GT(cd.size(), 44u);
    EXPECT_EQ(cd[22], 2);
    EXPECT_EQ(Cli("wav-to-wav --format 1 " + d + "/a.wav " + d + "/low.wav").status, 0);
    const Outcome missing = Cli("mp3-to-wav " + d + "/none.mp3 " + d + "/x.wav");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "Konnte Datei nicht öffnen!\n");
    const Outcome same = Cli("wav-to-wav " + d + "/a.wav " + d + "/a.wav");
    EXPECT_EQ(same.status, 1);
    EXPECT_EQ(same.out, "Quell- und Zieldatei sind dieselbe Datei!\n");
    std::filesystem::create_directory(dir / "out");
    const Outcome batch = Cli("batch-wav-to-mp3 --out-dir " + d + "/out " + d + "/a.wav " + d + "/low.wav");
    EXPECT_EQ(batch.status, 0) << batch.out;
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "a.mp3"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "low.mp3"));
    const Outcome next = Cli("batch-mp3-to-wav " + d + "/out/a.mp3 " + d + "/nothing.mp3");
    EXPECT_EQ(next.status, 1);
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "a.wav"));
}

TEST(Cli, TagShowAndSet) {
    TempDir dir;
    const std::string f = (dir / "t.mp3").string();
    WriteFile(dir / "t.wav", MakeWav(MakeMusic(22050, 1, 0.5), 22050, 1));
    ASSERT_EQ(Cli("wav-to-mp3 " + (dir / "t.wav").string() + " " + f).status, 0);
    const auto size = std::filesystem::file_size(dir / "t.mp3");
    const Outcome none = Cli("tag show " + f);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "Die Datei enthält keine ID3-Tag Informationen!\n");
    EXPECT_EQ(Cli("tag set " + f + " --title 'Schöne Grüße' --genre Rock --track 3 --year 2026").status, 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "t.mp3"), size + 128);
    EXPECT_EQ(Cli("tag set " + f + " --artist Band").status, 0);  // keeps the rest, replaces in place
    EXPECT_EQ(std::filesystem::file_size(dir / "t.mp3"), size + 128);
    const Outcome shown = Cli("tag show " + f);
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, "title=Schöne Grüße\nartist=Band\nalbum=\nyear=2026\ncomment=\ntrack=3\ngenre=Rock\n");
    EXPECT_EQ(Cli("tag set " + (dir / "none.mp3").string() + " --title x").out, "Konnte die Datei nicht öffnen!\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "none.mp3"));
    EXPECT_EQ(Cli("tag set " + f + " --colour blau").status, 2);
    EXPECT_EQ(Cli("tag").status, 2);

    // What cannot be stored as given is refused (2) and nothing written;
    // what the ID3v1.1 tag cannot hold is stored whole in an ID3v2 tag,
    // and said.
    const auto before = ReadFile(dir / "t.mp3");
    struct Row {
        const char* options;
        int status;
        const char* said;  // the start of the first line
        const char* shown;  // the field as tag show then gives it; empty: unchanged file
    } rows[] = {
        {"--year 12345", 2, "--year: nicht speicherbar, erwartet werden höchstens vier Zeichen.\n", ""},
        {"--track 300", 2, "--track:", ""},
        {"--track 0", 2, "--track:", ""},
        {"--track drei", 2, "--track:", ""},
        {"--genre Schlager", 2, "--genre:", ""},
        {"--genre 256", 2, "--genre:", ""},
        {"--genre rock", 0, "", "genre=Rock"},
        {"--genre 'CLASSIC ROCK'", 0, "", "genre=Classic Rock"},
        {"--genre 200", 0, "", "genre=200"},
        {"--genre ''", 0, "", "genre="},  // no genre, shown as none
        // Each text on its own, its neighbours left as they are.
        {"--album Platte", 0, "", "album=Platte"},
        {"--comment Notiz", 0, "", "comment=Notiz"},
        {"--title Neu", 0, "", "title=Neu"},
        {"--artist 'Ein Künstlername mit über dreißig Zeichen'", 0, "--artist: im ID3v1-Tag gekürzt",
         "artist=Ein Künstlername mit über dreißig Zeichen"},
        {"--album 'Ελληνικά'", 0, "--album: im ID3v1-Tag gekürzt", "album=Ελληνικά"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.options);
        WriteFile(dir / "t.mp3", before);
        const Outcome o = Cli("tag set " + f + " " + r.options);
        EXPECT_EQ(o.status, r.status);
        EXPECT_EQ(o.out.substr(0, std::strlen(r.said)), r.said);
        if (!*r.shown) {
            EXPECT_EQ(ReadFile(dir / "t.mp3"), before);
            continue;
        }
        const std::string shown = Cli("tag show " + f).out;
        EXPECT_NE(shown.find(std::string(r.shown) + "\n"), std::string::npos) << shown;
        // The neighbours keep what they held.
        for (const char* kept : {"title=Schöne Grüße\n", "artist=Band\n", "album=\n", "comment=\n", "year=2026\n"}) {
            if (std::string(kept).rfind(std::string(r.shown).substr(0, 4), 0) != 0) {
                EXPECT_NE(shown.find(kept), std::string::npos) << kept << " in " << shown;
            }
        }
    }
    // No MP3 to tag: a WAV file and bytes without a frame stay as they were.
    WriteFile(dir / "x.mp3", std::vector<std::uint8_t>(3000, 0x55));
    for (const char* name : {"t.wav", "x.mp3"}) {
        const auto bytes = ReadFile(dir / name);
        const Outcome o = Cli("tag set " + (dir / name).string() + " --title x");
        EXPECT_EQ(o.out, "Keine gültige MP3-Datei!!!!\n") << name;
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(ReadFile(dir / name), bytes) << name;
    }
}

// A tag save keeps the file the user has: the same inode (so a hard link
// shows the new tag too), owner, group, mode and extended attributes,
// whether the new ID3v2 tag fits its room or the audio has to move. A
// write-protected file is refused, also for the super-user; a writable
// file in a folder the user may not write is saved. An MP3 with only an
// ID3v2 tag shows it and gets the change in both tags.
TEST(Cli, ATagSaveKeepsTheFileItsOwnerAndItsProtection) {
    if (geteuid() != 0 || !HaveTool("setpriv")) GTEST_SKIP() << "needs root and setpriv to act as another user";
    if (!Shell("/usr/bin/python3 -c 'import mutagen' 2>/dev/null")) GTEST_SKIP() << "python3-mutagen not installed";
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    const std::string d = dir.Path().string();
    WriteFile(dir / "t.wav", MakeWav(MakeMusic(22050, 1, 0.5), 22050, 1));
    ASSERT_EQ(Cli("wav-to-mp3 --no-tags " + d + "/t.wav " + d + "/bare.mp3").status, 0);
    // An ID3v2 tag without padding, as some taggers write it, and no
    // ID3v1.1 tag.
    const std::string f = d + "/t.mp3";
    ASSERT_TRUE(Shell("cp " + d + "/bare.mp3 " + f + " && /usr/bin/python3 -c \"import mutagen.id3 as m; t=m.ID3(); "
                      "t.add(m.TIT2(encoding=3,text='Alter Titel')); t.add(m.TPE1(encoding=3,text='Band')); "
                      "t.save('" + f + "', v1=0, padding=lambda info: 0)\""));
    EXPECT_EQ(Cli("tag show " + f).out, "title=Alter Titel\nartist=Band\nalbum=\nyear=\ncomment=\ntrack=\ngenre=\n");
    ASSERT_EQ(link(f.c_str(), (d + "/link.mp3").c_str()), 0);
    ASSERT_EQ(chown(f.c_str(), 1234, 1235), 0);
    ASSERT_EQ(chmod(f.c_str(), 0640), 0);
    const bool xattrs = Shell("/usr/bin/python3 -c \"import os; os.setxattr('" + f + "', 'user.herkunft', b'cd')\"");
    struct stat before {};
    ASSERT_EQ(stat(f.c_str(), &before), 0);
    // First a change that outgrows the tag, then one that fits its room.
    for (const char* change : {"--comment 'ein Kommentar, der Platz hat'", "--title Neu"}) {
        SCOPED_TRACE(change);
        EXPECT_EQ(Cli("tag set " + f + " " + change).status, 0);
        struct stat now {};
        ASSERT_EQ(stat(f.c_str(), &now), 0);
        EXPECT_EQ(now.st_ino, before.st_ino);
        EXPECT_EQ(now.st_nlink, 2u);
        EXPECT_EQ(now.st_uid, 1234u);
        EXPECT_EQ(now.st_gid, 1235u);
        EXPECT_EQ(now.st_mode & 07777, 0640u);
        if (xattrs) {
            EXPECT_TRUE(Shell("/usr/bin/python3 -c \"import os, sys; sys.exit(os.getxattr('" + f +
                              "', 'user.herkunft') != b'cd')\""));
        }
    }
    // Players read the ID3v2 tag: it holds what was saved, and the link
    // shows it too.
    const Outcome v2 = Command("/usr/bin/python3 -c \"import mutagen.id3 as m; t=m.ID3('" + d +
                               "/link.mp3'); print(t['TIT2'].text[0], t['TPE1'].text[0], "
                               "[c.text[0] for k, c in t.items() if k.startswith('COMM')][0], sep='|')\"");
    EXPECT_EQ(v2.out, "Neu|Band|ein Kommentar, der Platz hat\n");
    EXPECT_EQ(Cli("tag show " + d + "/link.mp3").out.substr(0, 20), "title=Neu\nartist=Ban");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 4);

    // Write-protected: refused with the page's message, unchanged.
    ASSERT_EQ(chmod(f.c_str(), 0444), 0);
    const auto kept = ReadFile(f);
    const Outcome ro = Cli("tag set " + f + " --title Nochmal");
    EXPECT_EQ(ro.status, 1);
    EXPECT_EQ(ro.out, "Konnte die Datei nicht öffnen!\n");
    EXPECT_EQ(ReadFile(f), kept);

    // The user's own file in a folder of root's: saved, in its room and
    // moving the audio (the copy then goes where the user may write).
    std::filesystem::create_directory(dir / "fest");
    const std::string g = d + "/fest/g.mp3";
    std::filesystem::copy_file(d + "/bare.mp3", g);
    ASSERT_TRUE(Shell("/usr/bin/python3 -c \"import mutagen.id3 as m; t=m.ID3(); t.add(m.TIT2(encoding=3,text='x')); "
                      "t.save('" + g + "', v1=0, padding=lambda info: 0)\""));
    ASSERT_EQ(chown(g.c_str(), 1234, 1235), 0);
    ASSERT_EQ(chmod((d + "/fest").c_str(), 0555), 0);
    const std::string asUser = "XDG_CACHE_HOME=" + d + "/cache setpriv --reuid=1234 --regid=1235 --clear-groups ";
    std::filesystem::create_directory(dir / "cache");
    ASSERT_EQ(chown((d + "/cache").c_str(), 1234, 1235), 0);
    const Outcome saved = Command(asUser + SONDREL_CLI + " tag set " + g + " --title 'Ein viel längerer Titel'");
    EXPECT_EQ(saved.status, 0) << saved.out;
    EXPECT_EQ(Cli("tag show " + g).out.rfind("title=Ein viel längerer Titel\n", 0), 0u);
    EXPECT_EQ(Command(asUser + SONDREL_CLI + " tag set " + g + " --artist B").status, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "fest"), {}), 1);
    ASSERT_EQ(chmod((d + "/fest").c_str(), 0755), 0);
}

// A conversion that replaces a file survives a power cut: the new file is
// on the disk before it takes the earlier one's place, and the rename is
// before the conversion says it is done. A new name costs no sync.
TEST(Cli, AReplacementIsOnTheDiskBeforeItTakesThePlace) {
    if (!HaveTool("strace")) GTEST_SKIP() << "strace not installed";
    TempDir dir;
    const std::string d = dir.Path().string();
    WriteFile(dir / "src.wav", MakeWav(MakeMusic(22050, 2, 1.0), 22050, 2));
    WriteFile(dir / "old.mp3", {'o', 'l', 'd'});
    for (const char* target : {"old.mp3", "new.mp3"}) {
        SCOPED_TRACE(target);
        // (LeakSanitizer, in the sanitizer build, cannot run under strace.)
        ASSERT_EQ(Command("ASAN_OPTIONS=detect_leaks=0 strace -f -e trace=fsync,fdatasync,rename,renameat,renameat2 -o " +
                          d + "/trace.txt " +
                          SONDREL_CLI + " wav-to-mp3 " + d + "/src.wav " + d + "/" + target).status, 0);
        const auto trace = ReadFile(dir / "trace.txt");
        std::vector<std::string> calls;
        for (const std::string& line : Lines(std::string(trace.begin(), trace.end()))) {
            const std::size_t call = line.find_first_not_of("0123456789 ");
            if (call != std::string::npos && line.compare(call, 3, "---") != 0 && line.compare(call, 3, "+++") != 0)
                calls.push_back(line.substr(call, line.find('(', call) - call));
        }
        if (std::string(target) == "old.mp3") {
            EXPECT_EQ(calls, (std::vector<std::string>{"fsync", "rename", "fsync"}));
        } else {
            EXPECT_TRUE(calls.empty());
        }
        EXPECT_GT(ReadFile(dir / target).size(), 1000u);
    }
}

TEST(Cli, CtrlCStopsWithACompleteTarget) {
    TempDir dir;
    WriteFile(dir / "long.wav", MakeWav(MakeMusic(44100, 2, 60.0), 44100, 2));
    const std::string target = (dir / "long-48.wav").string();
    EXPECT_EQ(InterruptedRun({"wav-to-wav", "--format", "48.000 Hz, 16 Bit, Mono", (dir / "long.wav").string(), target},
                             target, 100000),
              130);
    const auto out = ReadFile(target);
    ASSERT_GE(out.size(), 44u);
    const auto at32 = [&](std::size_t i) {
        return sondrel::GetLe32(&out[i]);
    };
    EXPECT_EQ(at32(4), out.size() - 8);
    EXPECT_EQ(at32(40), out.size() - 44);
    EXPECT_LT(out.size(), 44u + 60 * 96000);

    // Stopped at once (a second Ctrl-C, or killed) while a long file is
    // encoded in blocks: no info frame could be filled in, but the first
    // frame has the stream's bitrate, so that tools reckon its length
    // from the right one.
    const std::string mp3 = (dir / "long.mp3").string();
    EXPECT_EQ(InterruptedRun({"wav-to-mp3", "--format", "64 kBit/s, 44.100 Hz, Stereo", (dir / "long.wav").string(), mp3},
                             mp3, 100, SIGKILL),
              -1);
    const auto cut = ReadFile(mp3);
    ASSERT_GE(cut.size(), 4u);
    EXPECT_EQ(cut[0], 0xFF);
    EXPECT_EQ(cut[2] >> 4, 5);  // 64 kbit/s
    EXPECT_EQ(cut[4 + 32 + 8], 0);  // the placeholder: nothing filled in
}

}  // namespace

namespace {


// A batch on several workers makes the same bytes as on one; a file that
// fails is said, with its name, on a line of its own, and the others are
// made all the same.
TEST(Cli, BatchOnSeveralWorkers) {
    TempDir dir;
    const std::string d = dir.Path().string();
    std::string wavs;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "s" + std::to_string(i) + ".wav";
        WriteFile(dir / name, MakeWav(MakeMusic(22050, 2, 1.5, static_cast<unsigned>(i + 1)), 22050, 2));
        wavs += " " + d + "/" + name;
    }
    WriteFile(dir / "bad.wav", std::vector<std::uint8_t>(300, 'x'));
    const std::string list = wavs + " " + d + "/bad.wav " + d + "/missing.wav";
    for (const char* out : {"one", "three"}) std::filesystem::create_directory(dir / out);
    const Outcome one = Cli("batch-wav-to-mp3 --jobs 1 --out-dir " + d + "/one" + list);
    const Outcome three = Cli("batch-wav-to-mp3 --jobs 3 --out-dir " + d + "/three" + list);
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(three.status, 1);
    for (int i = 0; i < 6; ++i) {
        const std::string name = "s" + std::to_string(i) + ".mp3";
        const auto a = ReadFile(dir / "one" / name);
        EXPECT_GT(a.size(), 10000u) << name;
        EXPECT_EQ(ReadFile(dir / "three" / name), a) << name;
    }
    // Two messages, each a whole line that names its file, and what the
    // batch made of its files.
    auto lines = Lines(three.out);
    ASSERT_EQ(lines.size(), 3u) << three.out;
    EXPECT_EQ(lines.back(), "6 von 8 Dateien konvertiert, 2 fehlgeschlagen. Nicht fertig: " + d + "/bad.wav, " + d + "/missing.wav");
    lines.pop_back();
    bool bad = false, missing = false;
    for (const std::string& line : lines) {
        bad = bad || line == d + "/bad.wav: Keine gültige WAV-Datei!!!!";
        missing = missing || line == d + "/missing.wav: Konnte Datei (" + d + "/missing.wav) nicht öffnen!";
    }
    EXPECT_TRUE(bad) << three.out;
    EXPECT_TRUE(missing) << three.out;

    // MP3 to WAV in CD quality, the same on one worker and on two.
    const Outcome wavOne = Cli("batch-mp3-to-wav --cd --jobs 1 --out-dir " + d + "/one " + d + "/one/s0.mp3 " + d +
                               "/one/s1.mp3 " + d + "/one/s2.mp3");
    EXPECT_EQ(wavOne.status, 0) << wavOne.out;
    EXPECT_EQ(wavOne.out, "Alle 3 Dateien wurden konvertiert.\n");
    const Outcome wavTwo = Cli("batch-mp3-to-wav --cd --jobs 2 --out-dir " + d + "/three " + d + "/one/s0.mp3 " +
                               d + "/one/s1.mp3 " + d + "/one/s2.mp3");
    EXPECT_EQ(wavTwo.status, 0) << wavTwo.out;
    for (const char* name : {"s0.wav", "s1.wav", "s2.wav"}) {
        const auto a = ReadFile(dir / "one" / name);
        EXPECT_EQ(WaveHeaderProblem(a), "") << name;
        EXPECT_EQ(ReadFile(dir / "three" / name), a) << name;
    }
    EXPECT_EQ(Cli("batch-wav-to-mp3 --jobs 0" + wavs).status, 2);
    EXPECT_EQ(Cli("formats --jobs 2").status, 2);
}

// Ctrl-C stops every worker after its current chunk and starts no file
// after it: the files that were done are whole, the ones in work leave no
// target (nothing tells a cut one from a whole one), and stderr names
// every file that was not converted.
TEST(Cli, CtrlCStopsEveryWorker) {
    TempDir dir;
    const std::string d = dir.Path().string();
    WriteFile(dir / "long.wav", MakeWav(MakeMusic(44100, 2, 40.0), 44100, 2));
    WriteFile(dir / "short.wav", MakeWav(MakeMusic(44100, 2, 1.0), 44100, 2));
    for (const char* name : {"long", "short"})
        ASSERT_EQ(Cli("wav-to-mp3 " + d + "/" + name + ".wav " + d + "/" + name + ".mp3").status, 0);
    // Two workers: the short ones first, then both long ones at once.
    const std::vector<std::pair<std::string, double>> files = {
        {"s0", 1.0}, {"s1", 1.0}, {"L0", 40.0}, {"L1", 40.0}, {"s2", 1.0}};
    std::vector<std::string> args = {"batch-mp3-to-wav", "--jobs", "2"};
    for (const auto& [name, seconds] : files) {
        std::filesystem::copy_file(dir / (seconds > 1 ? "long.mp3" : "short.mp3"), dir / (name + ".mp3"));
        args.push_back(d + "/" + name + ".mp3");
    }
    EXPECT_EQ(InterruptedRun(args, dir / "L0.wav", 200000, SIGINT, dir / "err.txt"), 130);
    std::string unfinished;
    int finished = 0;
    for (const auto& [name, seconds] : files) {
        const auto target = dir / (name + ".wav");
        if (!std::filesystem::exists(target)) {
            unfinished += (unfinished.empty() ? "" : ", ") + d + "/" + name + ".mp3";
            continue;
        }
        ++finished;
        EXPECT_EQ(StereoFrames(target), static_cast<long>(seconds * 44100)) << name;
    }
    // L0 starts on the worker whose short file is done; the other short one
    // may still be in work when the signal comes (a busy machine), and is
    // then stopped too.
    const std::string last = d + "/L0.mp3, " + d + "/L1.mp3, " + d + "/s2.mp3";
    EXPECT_TRUE(unfinished == last || unfinished == d + "/s0.mp3, " + last || unfinished == d + "/s1.mp3, " + last)
        << unfinished;
    const auto err = ReadFile(dir / "err.txt");
    EXPECT_EQ(Lines(std::string(err.begin(), err.end())),
              std::vector<std::string>{"Abgebrochen: " + std::to_string(finished) + " von 5 Dateien konvertiert. Nicht fertig: " + unfinished});
    // Nothing hidden left behind either.
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}

}  // namespace

namespace {


// What goes into a batch: a folder stands for the files of the batch's
// kind inside it (in name order); a missing output folder is said once,
// by name, before any file starts.
TEST(Cli, BatchFoldersAndAMissingOutputFolder) {
    TempDir dir;
    const std::string d = dir.Path().string();
    std::filesystem::create_directory(dir / "in");
    for (const char* name : {"b.wav", "a.WAV", "notes.txt"})
        WriteFile(dir / "in" / name, MakeWav(MakeMusic(22050, 1, 0.5), 22050, 1));
    const Outcome missing = Cli("batch-wav-to-mp3 --jobs 2 --out-dir " + d + "/nirgends " + d + "/in");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "Das Ausgabeverzeichnis „" + d + "/nirgends“ existiert nicht.\n"
                           "Eine Datei anderer Art wurde übergangen.\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "in"), {}), 3);
    std::filesystem::create_directory(dir / "out");
    const Outcome run = Cli("batch-wav-to-mp3 --jobs 2 --out-dir " + d + "/out " + d + "/in");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "a.mp3"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "b.mp3"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "out"), {}), 2);
    std::filesystem::create_directory(dir / "leer");
    const Outcome empty = Cli("batch-mp3-to-wav " + d + "/leer");
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.out, "Folgende Dateien wurden nicht übernommen: " + d + "/leer\n");
}

// A batch's options in every order, with the files before, between and
// after them: the same targets each time, in the folder, format and
// without the tags the options ask for.
TEST(Cli, BatchOptionsInEveryOrder) {
    TempDir dir;
    auto wav = MakeWav(MakeMusic(44100, 2, 0.3), 44100, 2);
    const std::uint8_t info[] = {'L', 'I', 'S', 'T', 16, 0, 0, 0, 'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 4, 0, 0, 0, 'T', 'i', 't', 'l'};
    wav.insert(wav.end(), std::begin(info), std::end(info));
    WriteFile(dir / "s.wav", wav);
    std::filesystem::create_directory(dir / "OUT");
    ASSERT_EQ(Cli("wav-to-mp3 " + (dir / "s.wav").string() + " " + (dir / "s.mp3").string()).status, 0);
    for (const bool toMp3 : {true, false}) {
        std::vector<std::string> options = {toMp3 ? "--format '64 kBit/s, 44.100 Hz, Stereo'" : "--cd", "--out-dir OUT",
                                            "--no-tags", "--overwrite"};
        std::sort(options.begin(), options.end());
        do {
            for (const std::size_t at : {std::size_t{0}, std::size_t{2}, options.size()}) {
                std::vector<std::string> args = options;
                args.insert(args.begin() + static_cast<long>(at), toMp3 ? "s.wav" : "s.mp3");
                const std::string line = std::accumulate(args.begin(), args.end(), std::string(toMp3 ? "batch-wav-to-mp3" : "batch-mp3-to-wav"),
                                                         [](const std::string& a, const std::string& b) { return a + " " + b; });
                SCOPED_TRACE(line);
                std::filesystem::remove(dir / "OUT" / (toMp3 ? "s.mp3" : "s.wav"));
                ASSERT_EQ(Command("cd " + dir.Path().string() + " && " + SONDREL_CLI + " " + line).status, 0);
                const auto out = ReadFile(dir / "OUT" / (toMp3 ? "s.mp3" : "s.wav"));
                ASSERT_GT(out.size(), 44u);
                if (toMp3) {
                    EXPECT_EQ(out[0], 0xFF);  // no ID3v2 tag in front
                    EXPECT_EQ(out[2] >> 4, 5);  // 64 kBit/s
                } else {
                    EXPECT_EQ(out.size(), 44 + 4 * static_cast<std::size_t>(0.3 * 44100));  // CD quality, no INFO
                }
            }
        } while (std::next_permutation(options.begin(), options.end()));
    }
}

// Collections kept as trees: each given as a folder comes out as the same
// tree in the output folder; what was left out is said once, under the
// summary. (A folder that cannot be read needs a user who is not root:
// as root, the tool runs as another user.)
TEST(Cli, TreesComeOutAsTheyWentIn) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    const bool root = geteuid() == 0;
    const bool other = root && HaveTool("setpriv");
    for (const Tree& tree : MakeTrees(dir.Path(), MakeWav(MakeMusic(22050, 1, 0.2), 22050, 1), !root || other)) {
        SCOPED_TRACE(tree.name);
        const Outcome o = Command((other ? "setpriv --reuid=4321 --regid=4321 --clear-groups " : "") +
                                  std::string(SONDREL_CLI) + " batch-wav-to-mp3 --out-dir '" + tree.out.string() +
                                  "' '" + tree.given.string() + "'");
        EXPECT_EQ(o.status, tree.failing.empty() && tree.unreadable.empty() ? 0 : 1) << o.out;
        EXPECT_EQ(OutputProblem(tree), "");
        std::vector<std::string> lines = Lines(o.out);
        const std::size_t n = tree.sources.size(), done = n - tree.failing.size();
        const std::string said = std::accumulate(lines.begin(), lines.end(), std::string(),
                                                 [](const std::string& a, const std::string& b) { return a + b + "\n"; });
        const std::string summary =
            done < n ? std::to_string(done) + " von " + std::to_string(n) + " Dateien konvertiert, " +
                           std::to_string(tree.failing.size()) + " fehlgeschlagen."
            : n == 1 ? "Die Datei wurde konvertiert."
                     : "Alle " + std::to_string(n) + " Dateien wurden konvertiert.";
        EXPECT_NE(said.find(summary), std::string::npos) << said;
        for (const auto& folder : tree.unreadable) {
            EXPECT_EQ(std::count(lines.begin(), lines.end(), "Diese Ordner konnten nicht gelesen werden: " + folder.string()), 1)
                << said;
        }
        if (tree.otherKinds > 1) {
            EXPECT_EQ(lines.back(), std::to_string(tree.otherKinds) + " Dateien anderer Art wurden übergangen.");
        }
    }
}

// Same-named sources from three folders into one output folder, and an
// MP3 beside an MP3 in a WAVE wrapper of the same name: every file gets a
// target of its own (named before the batch starts, in list order), whole
// and decoding to its own source's length, with one worker or two; no
// source is touched.
TEST(Cli, BatchTargetsNeverCollideWithEachOtherOrTheSources) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    const std::string d = dir.Path().string();
    const double seconds[] = {1.0, 1.5, 2.0};
    std::string sources;
    for (int i = 0; i < 3; ++i) {
        const std::string folder = std::string(1, static_cast<char>('a' + i));
        std::filesystem::create_directory(dir / folder);
        WriteFile(dir / folder / "Lied.wav",
                  MakeWav(MakeMusic(44100, 2, seconds[i], static_cast<unsigned>(i + 1)), 44100, 2));
        sources += " " + d + "/" + folder + "/Lied.wav";
    }
    const char* names[] = {"Lied.mp3", "Lied (2).mp3", "Lied (3).mp3"};
    std::vector<std::uint8_t> first[3];
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(std::string("--jobs ") + jobs);
        const std::string out = d + "/out" + jobs;
        std::filesystem::create_directory(out);
        const Outcome run = Cli(std::string("batch-wav-to-mp3 --jobs ") + jobs + " --out-dir " + out + sources +
                                " " + d + "/missing.wav");
        EXPECT_EQ(run.status, 1);
        // With one worker as with more, a message names its file.
        EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                      d + "/missing.wav: Konnte Datei (" + d + "/missing.wav) nicht öffnen!",
                                      "3 von 4 Dateien konvertiert, 1 fehlgeschlagen. Nicht fertig: " + d + "/missing.wav"}));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 3);
        for (int i = 0; i < 3; ++i) {
            const std::string mp3 = out + "/" + names[i];
            ASSERT_EQ(Cli("mp3-to-wav '" + mp3 + "' " + d + "/check.wav").status, 0) << names[i];
            EXPECT_EQ(StereoFrames(dir / "check.wav"), static_cast<long>(seconds[i] * 44100)) << names[i];
            const auto bytes = ReadFile(mp3);
            if (first[i].empty())
                first[i] = bytes;
            else
                EXPECT_EQ(bytes, first[i]) << names[i];
        }
    }

    // x.wav is an MP3 in a WAVE wrapper: x.mp3's target must not replace it
    // before it is read.
    std::filesystem::create_directory(dir / "rw");
    std::filesystem::copy_file(d + "/out1/Lied.mp3", dir / "rw" / "x.mp3");
    ASSERT_TRUE(Shell("ffmpeg -v error -i " + d + "/c/Lied.wav -c:a libmp3lame -b:a 128k -f wav " + d + "/rw/x.wav"));
    const auto wrapped = ReadFile(dir / "rw" / "x.wav");
    // The second run finds the first one's results: --overwrite replaces
    // them; without it they stay and the new ones are numbered on.
    const char* runs[] = {"--jobs 1", "--jobs 2 --overwrite", "--jobs 2"};
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(runs[r]);
        const auto earlier = ReadFile(dir / "rw" / "x (2).wav");
        const Outcome run = Cli(std::string("batch-mp3-to-wav ") + runs[r] + " " + d + "/rw/x.mp3 " + d + "/rw/x.wav");
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(ReadFile(dir / "rw" / "x.wav"), wrapped);
        const std::string a = r < 2 ? "x (2).wav" : "x (4).wav", b = r < 2 ? "x (3).wav" : "x (5).wav";
        EXPECT_EQ(WaveHeaderProblem(ReadFile(dir / "rw" / a)), "");
        EXPECT_EQ(StereoFrames(dir / "rw" / a), 44100L);
        // The wrapped stream has no info frame: its decoder delay and
        // padding come with it.
        EXPECT_NEAR(static_cast<double>(StereoFrames(dir / "rw" / b)), 2.0 * 44100, 2 * 1152 + 1105);
        if (r == 2) {
            EXPECT_EQ(ReadFile(dir / "rw" / "x (2).wav"), earlier);
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "rw"), {}), r < 2 ? 4 : 6);
    }
}

}  // namespace

namespace {

// --no-tags gives the bare output of earlier versions; without it the
// source's tags come along, on one worker and several alike.
TEST(Cli, TagsComeAlongUnlessTurnedOff) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    const std::string d = dir.Path().string();
    WriteFile(dir / "plain.wav", MakeWav(MakeMusic(44100, 2, 1.0), 44100, 2));
    ASSERT_TRUE(Shell("ffmpeg -v error -i " + d + "/plain.wav -metadata title=Lied " + d + "/tagged.wav"));
    ASSERT_EQ(Cli("wav-to-mp3 " + d + "/plain.wav " + d + "/plain.mp3").status, 0);
    ASSERT_EQ(Cli("wav-to-mp3 --no-tags " + d + "/tagged.wav " + d + "/bare.mp3").status, 0);
    EXPECT_EQ(ReadFile(dir / "bare.mp3"), ReadFile(dir / "plain.mp3"));
    ASSERT_EQ(Cli("batch-wav-to-mp3 --overwrite --jobs 2 " + d + "/tagged.wav " + d + "/plain.wav").status, 0);
    EXPECT_EQ(ReadFile(dir / "plain.mp3"), ReadFile(dir / "bare.mp3"));
    EXPECT_EQ(Cli("tag show " + d + "/tagged.mp3").out.substr(0, 11), "title=Lied\n");
    ASSERT_EQ(Cli("batch-wav-to-mp3 --no-tags --overwrite --jobs 1 " + d + "/tagged.wav").status, 0);
    EXPECT_EQ(ReadFile(dir / "tagged.mp3"), ReadFile(dir / "bare.mp3"));
}

}  // namespace

namespace {

// count stereo WAVs of music, prefix0.wav onwards; their names, each
// after a blank, for a command line.
std::string StereoWavs(const TempDir& dir, const std::string& prefix, int count, unsigned rate, double seconds) {
    std::string files;
    for (int i = 0; i < count; ++i) {
        const auto name = dir / (prefix + std::to_string(i) + ".wav");
        WriteFile(name, MakeWav(MakeMusic(rate, 2, seconds, static_cast<unsigned>(i + 1)), rate, 2));
        files += " " + name.string();
    }
    return files;
}

// The progress line as a terminal shows it (a pseudo-terminal through
// script(1)): counts from 0 to the number of files, never past it, and an
// overall share that only rises and never passes 100 %.
TEST(Cli, TheProgressLineOnATerminal) {
    if (!HaveTool("script")) GTEST_SKIP() << "script not installed";
    TempDir dir;
    const std::string files = StereoWavs(dir, "p", 3, 44100, 3.0);
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(std::string("--jobs ") + jobs);
        const Outcome o = Command("script -qec \"" + std::string(SONDREL_CLI) + " batch-wav-to-mp3 --jobs " + jobs +
                                  files + "\" /dev/null");
        std::size_t done = 0, lines = 0;
        long overall = 0;
        for (std::size_t at = 0; (at = o.out.find('\r', at)) != std::string::npos; ++at) {
            std::size_t n = 0, total = 0;
            long percent = 0;
            if (std::sscanf(o.out.c_str() + at + 1, "%zu von %zu Dateien fertig, gesamt %ld %%", &n, &total, &percent) != 3)
                continue;
            ++lines;
            EXPECT_EQ(total, 3u);
            EXPECT_GE(n, done);
            EXPECT_GE(percent, overall);
            EXPECT_LE(percent, 100);
            EXPECT_LE(n * 100 / 3, static_cast<std::size_t>(percent) + 1);  // the files done are in the share
            done = n;
            overall = percent;
        }
        EXPECT_GT(lines, 3u) << o.out;
        EXPECT_EQ(done, 3u);
        EXPECT_EQ(overall, 100);
    }
}

// A parallel batch whose writes fail (a file-size limit standing in for a
// full disk) says so, starts no further file, and leaves no cut-off
// target: the files in work when the first write failed are removed.
TEST(Cli, AParallelBatchStopsWhenWritesFail) {
    TempDir dir;
    const std::string files = StereoWavs(dir, "f", 8, 22050, 4.0);
    ASSERT_EQ(Cli("batch-wav-to-mp3 --jobs 2" + files).status, 0);
    std::string mp3s;
    for (int i = 0; i < 8; ++i) mp3s += " " + (dir / ("f" + std::to_string(i) + ".mp3")).string();
    std::filesystem::create_directory(dir / "out");
    // 600 kB: the WAV targets (705 kB each) are all cut there.
    const Outcome o = Command("bash -c \"trap '' XFSZ; ulimit -f 600; " + std::string(SONDREL_CLI) +
                              " batch-mp3-to-wav --jobs 2 --out-dir " + (dir / "out").string() + mp3s + "\"");
    EXPECT_EQ(o.status, 1) << o.out;
    const std::string& out = o.out;
    EXPECT_NE(out.find("Konnte Ausgabedatei nicht schreiben!"), std::string::npos) << out;
    // The other worker's file may fail on the full disk too, or be the
    // one that started no more.
    EXPECT_TRUE(out.find("0 von 8 Dateien konvertiert, 1 fehlgeschlagen. Nicht fertig: ") != std::string::npos ||
                out.find("0 von 8 Dateien konvertiert, 2 fehlgeschlagen. Nicht fertig: ") != std::string::npos)
        << out;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "out"), {}), 0);
}

}  // namespace

namespace {

// The command line's own rules, row by row: options before or after the
// files, "--" before a name that begins with "-", a folder holding one file,
// messages naming the file they are about, files and folders of another
// user. Each row: the command, its exit status, a line it must print.
TEST(Cli, TheCommandLineRules) {
    TempDir dir;
    const std::string d = dir.Path().string();
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    WriteFile(dir / "s.wav", MakeWav(MakeMusic(22050, 1, 0.5), 22050, 1));
    ASSERT_EQ(Cli("wav-to-mp3 " + d + "/s.wav " + d + "/s.mp3").status, 0);
    std::filesystem::copy_file(dir / "s.mp3", dir / "-x.mp3");
    std::filesystem::create_directories(dir / "one");
    std::filesystem::copy_file(dir / "s.wav", dir / "one" / "only.wav");
    std::filesystem::create_directories(dir / "theirs");
    WriteFile(dir / "theirs" / "private.wav", MakeWav(MakeMusic(22050, 1, 0.2), 22050, 1));
    const bool root = geteuid() == 0 && HaveTool("setpriv");
    if (root) {
        // Another user's folder, closed to everyone else, and a file in it.
        ASSERT_EQ(chown((d + "/theirs").c_str(), 1234, 1235), 0);
        ASSERT_EQ(chmod((d + "/theirs").c_str(), 0700), 0);
    }
    const std::string asOther = "setpriv --reuid=4321 --regid=4321 --clear-groups ";
    struct Row {
        std::string command;  // after the tool's name, run in the folder
        int status;
        std::string said;     // a line of its output ("" for none at all)
        bool asOtherUser = false;
    } rows[] = {
        {"wav-to-mp3 --format 64 s.wav a.mp3", 0, ""},
        {"wav-to-mp3 s.wav b.mp3 --format 64", 0, ""},
        {"wav-to-mp3 s.wav --no-tags --format '64 kBit/s, 44.100 Hz, Stereo' c.mp3", 0, ""},
        {"tag set -- -x.mp3 --title Minus", 0, ""},
        {"tag show -- -x.mp3", 0, "title=Minus"},
        {"tag show -- ./-x.mp3", 0, "title="},
        {"tag show ./-x.mp3 s.mp3", 2, "'tag show' nimmt genau eine Datei."},
        {"mp3-to-wav -- -x.mp3 x.wav", 0, ""},
        {"batch-wav-to-mp3 --jobs 1 one", 0, "Die Datei wurde konvertiert."},
        {"batch-wav-to-mp3 one --jobs 2 --out-dir one", 0, "Die Datei wurde konvertiert."},
        {"wav-to-wav missing.wav m.wav", 1, "Konnte Datei (missing.wav) nicht öffnen!"},
        {"batch-wav-to-mp3 s.wav missing.wav --out-dir out", 1, "Das Ausgabeverzeichnis „out“ existiert nicht."},
        {"batch-wav-to-mp3 --jobs 2 s.wav missing.wav", 1, "missing.wav: Konnte Datei (missing.wav) nicht öffnen!"},
        {"batch-mp3-to-wav s.wav", 1, "s.wav: Keine gültige MP3-Datei!!!!"},
    };
    std::vector<Row> all(std::begin(rows), std::end(rows));
    if (root) {
        all.push_back({"wav-to-mp3 theirs/private.wav p.mp3", 1, "Konnte Datei (theirs/private.wav) nicht öffnen!", true});
        all.push_back({"batch-wav-to-mp3 s.wav one --out-dir theirs", 1,
                       "In das Ausgabeverzeichnis „theirs“ kann nicht geschrieben werden.", true});
        all.push_back({"tag show theirs/x.mp3", 1, "Konnte die Datei nicht öffnen!", true});
    }
    for (const Row& r : all) {
        SCOPED_TRACE(r.command);
        // Another user runs it in a folder of their own.
        if (r.asOtherUser) {
            ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
        }
        const Outcome o = Command("cd " + d + " && " + (r.asOtherUser ? asOther : "") + SONDREL_CLI + " " + r.command);
        if (r.asOtherUser) {
            ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
        }
        EXPECT_EQ(o.status, r.status) << o.out;
        const std::vector<std::string> lines = Lines(o.out);
        if (r.said.empty()) {
            EXPECT_TRUE(lines.empty()) << o.out;
        } else {
            // Said once, for a batch of several files too.
            EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(r.said, 0) == 0; }), 1)
                << o.out;
        }
    }
    // The same bytes, whatever the order of options and files.
    EXPECT_EQ(ReadFile(dir / "a.mp3"), ReadFile(dir / "b.mp3"));
    EXPECT_TRUE(std::filesystem::exists(dir / "one" / "only.mp3"));
}

}  // namespace
