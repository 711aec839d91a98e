#pragma once
// What /proc tells about a process.

#include <QtGlobal>

// The start time of a running process in clock ticks since boot (field 22 of
// /proc/<pid>/stat); -1 when the process is gone or the file cannot be read.
qint64 ProcessStartTicks(qint64 pid);

// Whether the program that recorded itself as pid, started at recordedStart
// (clock ticks, -1 when unknown), may still run: its number is alive and,
// where the start is known, belongs to a process of that start time.
bool RecordedOwnerRuns(qint64 pid, qint64 recordedStart);
