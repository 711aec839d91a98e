#pragma once
// What every encoder and measure process gets between fork and exec: its own
// process group (so that ending it reaches whatever it starts), an end of its
// own when this program ends however it ends, and no descriptor of this
// program's but the one meant for it. Only async-signal-safe calls.

#include <sys/types.h>

// Call from QProcess's child modifier. parent: this program's pid, taken
// before the fork. keepFd: a descriptor the child inherits (-1 for none);
// every other one above standard error is closed at its exec.
void PrepareChildProcess(pid_t parent, int keepFd);
