#pragma once
class QWidget;

// Start-up timing for the bench. With VELVO_REPORT_STARTUP=1 in the
// environment, prints "startup-ms <n>" on standard output (milliseconds since
// the process began) once the window's first paint has reached the screen;
// with VELVO_EXIT_AFTER_STARTUP=1 as well, the window then closes. Without
// the variable nothing is installed. Call before the window is shown.
void InstallStartupReport(QWidget *window);

// Milliseconds since this process began, from its start time in /proc
// (clock-tick resolution); -1 when that cannot be read.
double MillisecondsSinceProcessStart();
