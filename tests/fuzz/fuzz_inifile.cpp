// TNewInifile: loading arbitrary bytes, lookups and writes chosen by the
// input, and (for some inputs) the save and reload of the result.
//
// Invariants:
// - nothing crashes, whatever the text, sections, keys and values;
// - a text loaded from memory gives the same lines as the same bytes read
//   from a file;
// - a key that FindKey does not see reads as the default;
// - no held line ever holds CR, LF or NUL: written ones turn into blanks;
// - a value written is read back whatever it holds, unless the key line
//   would begin a section (CR, LF and NUL read back as blanks; integers and
//   booleans the same);
// - what SaveAndFree writes (once a write changed the lines) is every line
//   followed by CR LF, and reading the file again gives the lines split from
//   that text.

#include "FuzzCheck.h"
#include "common/Decimal.h"
#include "ini/NewInifiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <unistd.h>

namespace {

// Marks a default that no file provides.
const QString Sentinel = QStringLiteral("\x01no value\x01");

// What a line can hold of a text: line breaks and NUL become blanks.
QString AsHeld(QString text)
{
    for (QChar &c : text)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            c = QLatin1Char(' ');
    return text;
}

// A key whose line would end the section: its first non-blank character
// is "[".
bool OpensSection(const QString &key)
{
    for (const QChar c : AsHeld(key))
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t'))
            return c == QLatin1Char('[');
    return false;
}

// Where saved files go: memory-backed when the system has it, one file per
// fuzzing process.
QString ScratchFile(const char *what)
{
    static const QString folder = QFileInfo(QStringLiteral("/dev/shm")).isDir()
        ? QStringLiteral("/dev/shm")
        : QDir::tempPath();
    return QStringLiteral("%1/velvo-fuzz-ini-%2-%3.ini")
        .arg(folder)
        .arg(::getpid())
        .arg(QLatin1String(what));
}

QByteArray JoinedText(const QList<QByteArray> &lines)
{
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + "\r\n";
    return text;
}

bool HasBreakOrNul(const QList<QByteArray> &lines)
{
    for (const QByteArray &line : lines)
        if (line.contains('\r') || line.contains('\n') || line.contains('\0'))
            return true;
    return false;
}

// A section, key or value: fresh bytes from the input, or a piece of a line
// already in the file (so that lookups hit existing sections and keys).
QString Pick(FuzzedDataProvider &in, const TNewInifile &ini)
{
    const QList<QByteArray> &lines = ini.Lines();
    if (!lines.isEmpty() && in.ConsumeBool()) {
        const QByteArray &line = lines.at(in.ConsumeIntegralInRange<int>(0, int(lines.size()) - 1));
        const int start = in.ConsumeIntegralInRange<int>(0, int(line.size()));
        const int length = in.ConsumeIntegralInRange<int>(0, int(line.size()) - start);
        return QString::fromUtf8(line.mid(start, length));
    }
    return QString::fromUtf8(QByteArray::fromStdString(in.ConsumeRandomLengthString(24)));
}

void CheckReadBack(const TNewInifile &ini, const QString &section, const QString &key,
                   const QString &expected)
{
    FUZZ_CHECK(!HasBreakOrNul(ini.Lines()), Shown(JoinedText(ini.Lines())));
    if (OpensSection(key))
        return;
    const QString back = ini.ReadString(section, key, Sentinel);
    FUZZ_CHECK(back == AsHeld(expected),
               QStringLiteral("[%1] %2 written as %3, read back as %4 from %5")
                   .arg(Shown(section), Shown(key), Shown(expected), Shown(back),
                        Shown(JoinedText(ini.Lines()))));
}

void CheckSave(TNewInifile &ini, const QList<QByteArray> &loaded)
{
    const QList<QByteArray> before = ini.Lines();
    const QByteArray expected = JoinedText(before);
    ini.SaveAndFree();
    FUZZ_CHECK(ini.Lines().isEmpty(), QStringLiteral("lines kept after the save"));

    // Only a file whose lines were changed must be written.
    if (before == loaded && !QFile::exists(ini.FileName()))
        return;
    QFile file(ini.FileName());
    FUZZ_CHECK(file.open(QIODevice::ReadOnly), ini.FileName());
    const QByteArray written = file.readAll();
    file.close();
    FUZZ_CHECK(written == expected, Shown(written) + QStringLiteral(" instead of ") + Shown(expected));

    const TNewInifile reloaded(ini.FileName());
    const TNewInifile fromText(QStringLiteral("unused"), expected);
    FUZZ_CHECK(reloaded.Lines() == fromText.Lines(), Shown(expected));
    FUZZ_CHECK(reloaded.Lines() == before, Shown(expected));

    // A second save does nothing: the file keeps the text.
    ini.SaveAndFree();
    QFile again(ini.FileName());
    FUZZ_CHECK(again.open(QIODevice::ReadOnly) && again.readAll() == expected, ini.FileName());
    again.close();
    QFile::remove(ini.FileName());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int mode = in.ConsumeIntegral<uint8_t>();
    const QByteArray text = QByteArray::fromStdString(in.ConsumeRandomLengthString(4096));

    // The memory path must load exactly what the file path loads (the disk
    // is slow: only some inputs).
    if (mode % 64 == 1) {
        const QString path = ScratchFile("load");
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate), path);
        file.write(text);
        file.close();
        const TNewInifile fromFile(path);
        const TNewInifile fromText(path, text);
        FUZZ_CHECK(fromFile.Lines() == fromText.Lines(), Shown(text));
        QFile::remove(path);
    }

    const bool save = mode % 32 == 0;
    TNewInifile ini(save ? ScratchFile("save") : QStringLiteral("/nonexistent/velvo-fuzz.ini"), text);

    // Loading is stable: the lines joined again load as the same lines (a NUL
    // ends the text, so no loaded line holds one, nor a line break).
    FUZZ_CHECK(!HasBreakOrNul(ini.Lines()), Shown(text));
    FUZZ_CHECK(TNewInifile(QString(), JoinedText(ini.Lines())).Lines() == ini.Lines(), Shown(text));
    const QList<QByteArray> loaded = ini.Lines();

    for (int step = 0; step < 8 && in.remaining_bytes() > 0; ++step) {
        const int op = in.ConsumeIntegralInRange<int>(0, 9);
        const QString section = Pick(in, ini);
        const QString key = Pick(in, ini);
        switch (op) {
        case 0: {
            const QString value = ini.ReadString(section, key, Sentinel);
            if (ini.FindKey(section, key) < 0)
                FUZZ_CHECK(value == Sentinel, Shown(section) + QLatin1Char(' ') + Shown(key));
            break;
        }
        case 1: {
            const qint32 def = in.ConsumeIntegral<qint32>();
            const qint32 value = ini.ReadInteger(section, key, def);
            qint32 parsed = 0;
            const QString stored = ini.ReadString(section, key, Sentinel);
            if (stored == Sentinel || !ParseInt32(stored, parsed))
                FUZZ_CHECK(value == def, Shown(stored));
            else
                FUZZ_CHECK(value == parsed, Shown(stored));
            break;
        }
        case 2:
            ini.ReadBool(section, key, in.ConsumeBool());
            break;
        case 3: {
            const double value = ini.ReadFloat(section, key, 0.5);
            FUZZ_CHECK(std::isfinite(value), Shown(ini.ReadString(section, key, Sentinel)));
            break;
        }
        case 4:
        case 5: {
            const QString value = Pick(in, ini);
            ini.WriteString(section, key, value);
            CheckReadBack(ini, section, key, value);
            break;
        }
        case 6: {
            const qint32 value = in.ConsumeIntegral<qint32>();
            ini.WriteInteger(section, key, value);
            CheckReadBack(ini, section, key, QString::number(value));
            if (!OpensSection(key))
                FUZZ_CHECK(ini.ReadInteger(section, key, value ^ 1) == value, QString::number(value));
            break;
        }
        case 7: {
            const bool value = in.ConsumeBool();
            ini.WriteBool(section, key, value);
            if (!OpensSection(key))
                FUZZ_CHECK(ini.ReadBool(section, key, !value) == value, Shown(key));
            break;
        }
        case 8:
            ini.GetSectionText(section);
            ini.FindSection(section);
            break;
        case 9:
            TNewInifile::FindValue(key, ini.Lines(), Sentinel);
            break;
        }
    }

    if (save)
        CheckSave(ini, loaded);
    return 0;
}
