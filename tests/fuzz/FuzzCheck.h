#pragma once
// Invariant checks for the fuzz targets: a broken invariant is reported like
// a crash, so libFuzzer keeps the input that caused it.

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                             \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "Fuzz invariant broken at %s:%d: %s\n  (%s)\n", __FILE__,      \
                         __LINE__, #condition, QString(what).toUtf8().constData());             \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)

// A readable form of a text for the report of a broken invariant.
inline QString Shown(const QString &text)
{
    QString shown;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

inline QString Shown(const QByteArray &bytes) { return Shown(QString::fromLatin1(bytes)); }
