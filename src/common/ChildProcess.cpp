#include "common/ChildProcess.h"

#include <csignal>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

void PrepareChildProcess(pid_t parent, int keepFd)
{
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended before the line above took effect.
    if (::getppid() != parent)
        ::_exit(127);
    // Libraries open descriptors without close-on-exec now and then; none
    // of them may reach the encoder or what it starts.
    if (::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        rlimit limit {};
        const rlim_t last = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
            ? limit.rlim_cur
            : 65536;
        for (rlim_t fd = 3; fd < last && fd < 1048576; ++fd)
            ::fcntl(int(fd), F_SETFD, FD_CLOEXEC);
    }
    if (keepFd >= 0)
        ::fcntl(keepFd, F_SETFD, 0);
}
