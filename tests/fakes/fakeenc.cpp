// fakeenc: a stand-in for the encoder in tests. Copied beside the program as
// vxenc.dll, it logs its arguments to <binary>.args (one line per run, the
// arguments joined by the byte 0x1F) and then follows <binary>.script:
//
//   [measure]      the lines below run when the arguments are exactly -i <file>
//   [convert]      the lines below run otherwise
//   out <text>     text to stdout; escapes \n \r \t \\, $IN (input), $OUT (last argument)
//                  and $THREADS (the processor share it was given, "-" for none)
//   err <text>     the same on stderr
//   raw <n> <c>    n bytes of the character c to stdout
//   sleep <ms>
//   exit <code>
//   crash          dies by SIGSEGV
//   child          starts a process that sleeps until killed; its pid goes to <binary>.child
//   hang           sleeps until killed
//   write <text>   text (escapes as for out) into $OUT, created or truncated
//   nooutput       the conversion ends without writing $OUT
//
// A conversion that ends normally (the end of its lines, or exit 0) writes
// $OUT, unless it exists, as "fakeenc-output <seconds> <video|novideo>": the
// seconds of -t, or of the input (its content "fakeenc-length <seconds>",
// else 100) less -ss; novideo when -vn was given. Measuring such a file
// reports that length and, unless novideo, a video stream.
//
// Lines before the first section header run in both modes. Without a script
// a measure prints a small report and a conversion a few progress lines.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace {

std::string g_self;
std::string g_in;
std::string g_out;
std::vector<std::string> g_args;
bool g_measure = false;
bool g_writeOutput = true;

std::string SelfPath(const char *argv0)
{
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0)
        return std::string(buffer, size_t(n));
    return argv0;
}

void WriteAll(int fd, const std::string &text)
{
    const char *p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        p += n;
        left -= size_t(n);
    }
}

void AppendFile(const std::string &path, const std::string &text)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    WriteAll(fd, text);
    close(fd);
}

void WriteFile(const std::string &path, const std::string &text)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    WriteAll(fd, text);
    close(fd);
}

bool ReadFile(const std::string &path, std::string &text)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    std::fclose(f);
    return true;
}

std::string ArgAfter(const std::string &option)
{
    for (size_t i = 0; i + 1 < g_args.size(); ++i)
        if (g_args[i] == option)
            return g_args[i + 1];
    return std::string();
}

double LengthOfInput()
{
    std::string content;
    const std::string mark = "fakeenc-length ";
    if (ReadFile(g_in, content) && content.compare(0, mark.size(), mark) == 0)
        return std::atof(content.c_str() + mark.size());
    return 100;
}

// What a real encoder leaves behind after a normal end.
void WriteOutput()
{
    if (g_measure || !g_writeOutput || g_out.empty() || access(g_out.c_str(), F_OK) == 0)
        return;
    double seconds = LengthOfInput() - std::atof(ArgAfter("-ss").c_str());
    const std::string t = ArgAfter("-t");
    if (!t.empty())
        seconds = std::atof(t.c_str());
    bool video = true;
    for (const std::string &a : g_args)
        if (a == "-vn")
            video = false;
    char text[128];
    std::snprintf(text, sizeof text, "fakeenc-output %.2f %s\n", seconds, video ? "video" : "novideo");
    WriteFile(g_out, text);
}

// Measures a file written by WriteOutput; false for any other file.
bool MeasureOwnOutput()
{
    std::string content;
    const std::string mark = "fakeenc-output ";
    if (!ReadFile(g_in, content) || content.compare(0, mark.size(), mark) != 0)
        return false;
    const double seconds = std::atof(content.c_str() + mark.size());
    const long hundredths = std::lround(seconds * 100);
    char duration[64];
    std::snprintf(duration, sizeof duration, "%02ld:%02ld:%02ld.%02ld", hundredths / 360000,
                  hundredths / 6000 % 60, hundredths / 100 % 60, hundredths % 100);
    std::string report = "vxenc fake\nInput #0, mp4, from '" + g_in + "':\n  Duration: " + duration +
                         ", start: 0.000000, bitrate: 1000 kb/s\n";
    if (content.find("novideo") == std::string::npos)
        report += "    Stream #0:0: Video: h264, yuv420p, 320x240, 25 fps\n";
    WriteAll(1, report);
    return true;
}

std::string Expand(const std::string &text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            const char e = text[++i];
            switch (e) {
            case 'n': result += '\n'; break;
            case 'r': result += '\r'; break;
            case 't': result += '\t'; break;
            case '\\': result += '\\'; break;
            default: result += '\\'; result += e; break;
            }
        } else if (text.compare(i, 3, "$IN") == 0) {
            result += g_in;
            i += 2;
        } else if (text.compare(i, 4, "$OUT") == 0) {
            result += g_out;
            i += 3;
        } else if (text.compare(i, 8, "$THREADS") == 0) {
            const char *threads = std::getenv("VXENC_THREADS");
            result += threads ? threads : "-";
            i += 7;
        } else {
            result += c;
        }
    }
    return result;
}

void SleepMs(long ms)
{
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

[[noreturn]] void Hang()
{
    for (;;)
        pause();
}

void StartChild()
{
    const pid_t pid = fork();
    if (pid == 0)
        Hang(); // stays in the group and keeps the output pipe open
    if (pid > 0) {
        // Renamed into place, so a reader never sees half a number.
        WriteFile(g_self + ".child.tmp", std::to_string(long(pid)) + "\n");
        rename((g_self + ".child.tmp").c_str(), (g_self + ".child").c_str());
    }
}

// Runs one script line; exit, crash and hang do not come back.
void RunLine(const std::string &line)
{
    const size_t blank = line.find(' ');
    const std::string command = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    if (command == "out") {
        WriteAll(1, Expand(rest));
    } else if (command == "err") {
        WriteAll(2, Expand(rest));
    } else if (command == "raw") {
        char c = 'x';
        long n = 0;
        const size_t space = rest.find(' ');
        n = std::atol(rest.substr(0, space).c_str());
        if (space != std::string::npos && space + 1 < rest.size())
            c = rest[space + 1];
        WriteAll(1, std::string(size_t(n > 0 ? n : 0), c));
    } else if (command == "sleep") {
        SleepMs(std::atol(rest.c_str()));
    } else if (command == "exit") {
        if (std::atoi(rest.c_str()) == 0)
            WriteOutput();
        std::_Exit(std::atoi(rest.c_str()));
    } else if (command == "write") {
        WriteFile(g_out, Expand(rest));
    } else if (command == "nooutput") {
        g_writeOutput = false;
    } else if (command == "crash") {
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
        std::_Exit(139);
    } else if (command == "child") {
        StartChild();
    } else if (command == "hang") {
        Hang();
    }
}

void DefaultMeasure()
{
    WriteAll(1, "vxenc fake\nInput #0, avi, from '" + g_in + "':\n"
                "  Duration: 00:01:40.00, start: 0.000000, bitrate: 1000 kb/s\n"
                "    Stream #0:0: Video: mpeg4, yuv420p, 320x240, 25 fps\n"
                "    Stream #0:1: Audio: mp3, 44100 Hz, stereo, s16p, 128 kb/s\n");
}

void DefaultConvert()
{
    WriteAll(2, "vxenc fake\nInput #0, avi, from '" + g_in + "':\n"
                "  Duration: 00:01:40.00, start: 0.000000, bitrate: 1000 kb/s\n"
                "Output #0, to '" + g_out + "':\n");
    for (int t = 25; t <= 100; t += 25)
        WriteAll(2, "frame=" + std::to_string(t * 25) + " time=" + std::to_string(t) + ".00 bitrate=1000.0kbits/s\r");
    WriteAll(2, "\n");
}

} // namespace

int main(int argc, char **argv)
{
    // A crash must not leave core files behind.
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    g_self = SelfPath(argv[0]);
    std::vector<std::string> args(argv + 1, argv + argc);
    g_args = args;
    std::string logLine;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0)
            logLine += '\x1f';
        logLine += args[i];
    }
    AppendFile(g_self + ".args", logLine + "\n");

    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-i") {
            g_in = args[i + 1];
            break;
        }
    if (!args.empty())
        g_out = args.back();
    const bool measure = args.size() == 2 && args[0] == "-i";
    g_measure = measure;
    if (measure && MeasureOwnOutput())
        return 0;

    std::string script;
    if (!ReadFile(g_self + ".script", script)) {
        if (measure)
            DefaultMeasure();
        else
            DefaultConvert();
        WriteOutput();
        return 0;
    }

    std::string section; // empty before the first header: both modes
    size_t pos = 0;
    while (pos < script.size()) {
        size_t end = script.find('\n', pos);
        if (end == std::string::npos)
            end = script.size();
        std::string line = script.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "[measure]" || line == "[convert]") {
            section = line;
            continue;
        }
        if (line.empty())
            continue;
        if (section.empty() || (section == "[measure]") == measure)
            RunLine(line);
    }
    WriteOutput();
    return 0;
}
