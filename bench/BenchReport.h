#pragma once
// One machine-readable result line per measure, collected by
// scripts/bench-summary into the table `make bench` ends with:
//   BENCH|<measure>|<value>|<unit>|<baseline or ->|<target or ->|PASS, FAIL or INFO
// The baseline is in the same unit as the value; a target starting with
// "ratio" applies to value / baseline, any other to the value itself.

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdio>
#include <sys/resource.h>

inline const char *BenchVerdict(bool pass)
{
    return pass ? "PASS" : "FAIL";
}

inline void BenchLine(const QString &measure, double value, const QString &unit, double baseline,
                      const QString &target, const char *verdict)
{
    auto field = [](QString text) { return text.replace('|', '/').replace('\n', ' ').toUtf8(); };
    const QByteArray base = std::isnan(baseline) ? QByteArray("-") : QByteArray::number(baseline, 'f', 3);
    std::printf("BENCH|%s|%.3f|%s|%s|%s|%s\n", field(measure).constData(), value, field(unit).constData(),
                base.constData(), target.isEmpty() ? "-" : field(target).constData(), verdict);
    std::fflush(stdout);
}

constexpr double NoBaseline = NAN;

// Processor time (user and system) in milliseconds that this process
// (RUSAGE_SELF) or its finished and reaped children (RUSAGE_CHILDREN) used
// so far. Unlike elapsed time it does not grow while other work on the
// machine holds the processor.
inline double CpuMs(int who)
{
    rusage ru{};
    getrusage(who, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}
