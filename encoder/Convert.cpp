#include "Convert.h"

#include "FilterChain.h"
#include "MediaInput.h"
#include "Plan.h"
#include "ProgressText.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace vxenc {

namespace {

volatile sig_atomic_t g_child = 0;

const int ForwardedSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

// A polite stop of ours becomes ffmpeg's, so it can close its output file.
void ForwardSignal(int sig)
{
    pid_t child = g_child;
    if (child > 0)
        kill(child, sig);
}

bool WriteAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Writes one report line (its terminator included), times rewritten. Each
// goes out on its own so the reader sees progress as it happens.
void PassOn(const std::string &text)
{
    const std::string out = RewriteProgressTimes(text);
    WriteAll(STDOUT_FILENO, out.data(), out.size());
}

// Reads ffmpeg's messages until it closes them. Progress reports end in \r,
// other messages in \n; both end a line here.
void Relay(int fd)
{
    // A line this long without a terminator is passed on as it stands.
    const size_t maxPending = 64 * 1024;
    std::string pending;
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (n == 0)
            break;
        pending.append(buf, static_cast<size_t>(n));
        size_t start = 0;
        for (;;) {
            size_t end = pending.find_first_of("\r\n", start);
            if (end == std::string::npos)
                break;
            PassOn(pending.substr(start, end + 1 - start));
            start = end + 1;
        }
        pending.erase(0, start);
        if (pending.size() >= maxPending) {
            PassOn(pending);
            pending.clear();
        }
    }
    if (!pending.empty())
        PassOn(pending);
}

int WaitForChild(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 1;
}

// The processors this encoder may use, as the run shares them out; 0 for
// ffmpeg's own choice.
int ThreadShare()
{
    const char *text = std::getenv("VXENC_THREADS");
    if (!text || !*text)
        return 0;
    char *end = nullptr;
    const long n = std::strtol(text, &end, 10);
    return *end == '\0' && n > 0 && n <= 1024 ? static_cast<int>(n) : 0;
}

void Say(const std::string &line)
{
    const std::string text = "vxenc: " + line + "\n";
    WriteAll(STDOUT_FILENO, text.data(), text.size());
}

// Opens the input and decides the ffmpeg arguments for it. False (with the
// exit status in status) when the input is refused.
bool Prepare(MediaInput &input, const std::vector<std::string> &args, std::vector<std::string> &ffmpegArgs, int &status)
{
    // vxenc's own arguments: [switches] -i <input> <options...> <output>.
    size_t at = 0;
    while (args[at] != "-i")
        ++at;
    const std::string path = args[at + 1];
    const std::vector<std::string> options(args.begin() + static_cast<long>(at) + 2, args.end() - 1);
    const std::string output = args.back();

    av_log_set_level(AV_LOG_QUIET);
    switch (input.Open(path.c_str())) {
    case MediaInput::Outcome::Opened:
        break;
    case MediaInput::Outcome::NotMedia:
        Say("the input is not a media file: " + path + " is " + input.error());
        status = 1;
        return false;
    case MediaInput::Outcome::CannotOpen:
        Say("cannot open " + path + ": " + input.error());
        status = 1;
        return false;
    case MediaInput::Outcome::Unreadable:
        Say("cannot read " + path + ": " + input.error());
        status = 1;
        return false;
    }
    input.FindStreamInfo();
    const SourceFacts facts = input.Facts();
    const ConversionPlan plan = PlanConversion(facts, options, output, ThreadShare());
    for (const std::string &note : plan.notes)
        Say(note);

    // ffmpeg reads the very file measured, through its descriptor, with the
    // demuxer the measure chose: nothing is opened by name again.
    ffmpegArgs.assign(args.begin(), args.begin() + static_cast<long>(at));
    for (const std::string &arg : {std::string("-protocol_whitelist"), std::string("file"), std::string("-f"),
                                   facts.demuxer, std::string("-i"),
                                   "/proc/self/fd/" + std::to_string(input.descriptor())})
        ffmpegArgs.push_back(arg);
    ffmpegArgs.insert(ffmpegArgs.end(), plan.options.begin(), plan.options.end());
    ffmpegArgs.push_back(output);
    // Filters of a profile combine into one chain and every picture keeps its shape.
    ffmpegArgs = ShapeArguments(ffmpegArgs);
    return true;
}

} // namespace

int Convert(int argc, char **argv)
{
    const char *override = std::getenv("VXENC_FFMPEG");
    const char *program = (override && *override) ? override : "ffmpeg";

    MediaInput input;
    std::vector<std::string> shaped;
    int refusal = 0;
    if (!Prepare(input, std::vector<std::string>(argv, argv + argc), shaped, refusal))
        return refusal;
    std::vector<char *> childArgs;
    childArgs.push_back(const_cast<char *>(program));
    // Never wait for keyboard input, skip the banner, always report progress.
    for (const char *extra : {"-nostdin", "-hide_banner", "-stats"})
        childArgs.push_back(const_cast<char *>(extra));
    for (std::string &arg : shaped)
        childArgs.push_back(arg.data());
    childArgs.push_back(nullptr);

    int messages[2];
    int execReport[2];
    if (pipe2(messages, O_CLOEXEC) != 0 || pipe2(execReport, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "vxenc: cannot run ffmpeg: %s\n", std::strerror(errno));
        return 127;
    }

    struct sigaction forward {};
    forward.sa_handler = ForwardSignal;
    sigemptyset(&forward.sa_mask);
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    for (int sig : ForwardedSignals) {
        sigaddset(&blocked, sig);
        sigaction(sig, &forward, nullptr);
    }
    // Held back until the child's pid is known, so none is lost in between.
    sigprocmask(SIG_BLOCK, &blocked, &previous);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        for (int sig : ForwardedSignals)
            signal(sig, SIG_DFL);
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        // ffmpeg must not outlive us, even when we are killed outright.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            if (devNull != STDIN_FILENO)
                close(devNull);
        }
        dup2(messages[1], STDERR_FILENO);
        // The input, which ffmpeg opens as /proc/self/fd/N.
        fcntl(input.descriptor(), F_SETFD, 0);
        execvp(program, childArgs.data());
        int error = errno;
        ssize_t ignored = write(execReport[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    if (pid < 0) {
        int error = errno;
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        std::fprintf(stderr, "vxenc: cannot run ffmpeg: %s\n", std::strerror(error));
        return 127;
    }
    g_child = pid;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    close(messages[1]);
    close(execReport[1]);

    // The report pipe closes on a successful exec; an errno arrives otherwise.
    int execError = 0;
    ssize_t got;
    do {
        got = read(execReport[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    close(execReport[0]);
    if (got == static_cast<ssize_t>(sizeof execError)) {
        close(messages[0]);
        WaitForChild(pid);
        std::fprintf(stderr, "vxenc: cannot run ffmpeg: %s: %s\n", program,
                     std::strerror(execError));
        return 127;
    }

    Relay(messages[0]);
    close(messages[0]);
    const int status = WaitForChild(pid);
    g_child = 0;
    return status;
}

} // namespace vxenc
