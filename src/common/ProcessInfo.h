#pragma once
// What /proc tells about a process.

#include <QtGlobal>

// The start time of a running process in clock ticks since boot (field 22 of
// /proc/<pid>/stat); -1 when the process is gone or the file cannot be read.
qint64 ProcessStartTicks(qint64 pid);
