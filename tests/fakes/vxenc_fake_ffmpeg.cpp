// Stands in for ffmpeg behind vxenc (VXENC_FFMPEG). What it does is chosen by
// the environment, so the tests control it without touching vxenc's arguments:
//   FAKE_FFMPEG_MODE=args      report stdin state and every argument; an
//                              output /proc/self/fd/<n> (the last argument)
//                              is written to ("fake output") and reported
//                              as WROTE[...]
//   FAKE_FFMPEG_MODE=progress  print a fixed set of progress reports
//   FAKE_FFMPEG_MODE=hold      print one report, then wait for the file named
//                              by FAKE_FFMPEG_RELEASE (at most 120 s)
//   FAKE_FFMPEG_MODE=signal    end by SIGUSR1
//   FAKE_FFMPEG_EXIT=<n>       exit status (default 0)
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

static void Say(const std::string &text)
{
    const char *p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = write(STDERR_FILENO, p, left);
        if (n <= 0)
            return;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

static void OnTerm(int)
{
    const char msg[] = "GOT SIGTERM\n";
    ssize_t ignored = write(STDERR_FILENO, msg, sizeof msg - 1);
    (void)ignored;
    _exit(255);
}

int main(int argc, char **argv)
{
    const char *modeEnv = std::getenv("FAKE_FFMPEG_MODE");
    const std::string mode = modeEnv ? modeEnv : "";
    const char *exitEnv = std::getenv("FAKE_FFMPEG_EXIT");
    const int status = exitEnv ? std::atoi(exitEnv) : 0;

    if (mode == "args") {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        char c;
        const bool eof = poll(&in, 1, 200) == 1 && read(STDIN_FILENO, &c, 1) == 0;
        Say(eof ? "STDIN:EOF\n" : "STDIN:OPEN\n");
        for (int i = 1; i < argc; ++i) {
            Say(std::string("ARG[") + argv[i] + "]\n");
            if (i == argc - 1 && std::strncmp(argv[i], "/proc/self/fd/", 14) == 0) {
                const int fd = open(argv[i], O_WRONLY | O_TRUNC);
                if (fd >= 0 && write(fd, "fake output", 11) == 11)
                    Say(std::string("WROTE[") + argv[i] + "]\n");
            }
        }
    } else if (mode == "progress") {
        Say("Input #0, lavfi, from 'x':\n  Duration: N/A, start: 0.000000, bitrate: N/A\n");
        Say("    creation_time   : 2020-01-01T00:00:00.000000Z\n");
        Say("frame=    1 fps=0.0 q=0.0 size=       0kB time=00:00:01.50 bitrate=   8.3kbits/s speed=9.98x    \r");
        Say("frame=    2 size=N/A time=N/A bitrate=N/A speed=N/A    \r");
        Say("frame=    3 size=1kB time=01:02:03.04 bitrate=1k\r");
        Say("frame=    4 size=1kB time=-00:00:00.02 bitrate=1k\r");
        Say("frame=    5 size=1kB time=123:00:00.00\r");
        // One report arriving in two pieces.
        Say("frame=    6 size=1kB ti");
        usleep(100 * 1000);
        Say("me=00:00:07.25 bitrate=1k\r");
        Say("frame=    7 size=1kB time=00:00:09 bitrate=1k\n");
        Say("last words without an end");
    } else if (mode == "hold") {
        signal(SIGTERM, OnTerm);
        Say("frame=    1 size=1kB time=00:00:01.50 bitrate=1k\r");
        Say("HOLDING\n");
        const char *release = std::getenv("FAKE_FFMPEG_RELEASE");
        struct stat st;
        for (int i = 0; i < 12000 && !(release && stat(release, &st) == 0); ++i)
            usleep(10 * 1000);
        Say("RELEASED\n");
    } else if (mode == "signal") {
        signal(SIGUSR1, SIG_DFL);
        raise(SIGUSR1);
    }
    return status;
}
