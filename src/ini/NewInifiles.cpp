#include "ini/NewInifiles.h"

#include "common/Decimal.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

EFileError::EFileError(const QString &message)
    : std::runtime_error(message.toUtf8().toStdString())
{
}

QString EFileError::message() const
{
    return QString::fromUtf8(what());
}

namespace {

// Values are bytes in the file name encoding of the system, so that a folder
// name read from a file reaches the disk as the same name.
QString Decode(const QByteArray &bytes)
{
    return QFile::decodeName(bytes);
}

// Only A-Z fold; every other byte (UTF-8 or ANSI high bytes included) stays.
QByteArray Fold(QByteArray text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

// A line can hold no line break (it would split into more lines, and the
// line numbers found in the section text would no longer be those of the held
// lines) and no NUL (it ends the text when the file is read again, dropping
// everything after it). Writes and lookups alike turn them into blanks.
QByteArray Bytes(const QString &text)
{
    QByteArray bytes = QFile::encodeName(text);
    for (char &c : bytes)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    return bytes;
}

// Lines end at CR LF, a lone CR or a lone LF; a NUL byte ends the text. A last
// line without terminator counts only when it is not empty.
QList<QByteArray> SplitLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    const char *p = text.constData();
    const char *end = p + text.size();
    while (p < end && *p != '\0') {
        const char *start = p;
        while (p < end && *p != '\0' && *p != '\r' && *p != '\n')
            ++p;
        lines.append(QByteArray(start, int(p - start)));
        if (p < end && *p == '\r')
            ++p;
        if (p < end && *p == '\n')
            ++p;
    }
    return lines;
}

QByteArray SectionHeader(const QString &section)
{
    return Fold(Bytes(QLatin1Char('[') + section + QLatin1Char(']')));
}

QByteArray KeyMarker(const QString &key)
{
    return Fold(Bytes(key + QLatin1Char('=')));
}

// Index of the first entry whose folded form contains marker, or -1; pos gets
// the marker's position in that entry.
int FindEntry(const QList<QByteArray> &entries, const QByteArray &marker, int *pos = nullptr)
{
    for (int i = 0; i < entries.size(); ++i) {
        const int at = Fold(entries.at(i)).indexOf(marker);
        if (at >= 0) {
            if (pos)
                *pos = at;
            return i;
        }
    }
    return -1;
}

// A decimal number in the user's locale: no group separators, nothing that
// is not finite.
bool ParseLocaleDouble(const QString &text, double &value)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = locale.toDouble(text, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

} // namespace

TNewInifile::TNewInifile(const QString &fileName)
    : m_fileName(fileName)
{
    QFileInfo info(fileName);
    if (!info.exists())
        return;
    // A folder of that name cannot be read as the file; say so in the
    // system's words.
    if (info.isDir())
        throw EFileError(QStringLiteral("Cannot open file \"%1\". %2")
                             .arg(fileName, QString::fromLocal8Bit(std::strerror(EISDIR))));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFileError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    m_lines = SplitLines(text);
}

TNewInifile::TNewInifile(const QString &fileName, const QByteArray &text)
    : m_fileName(fileName)
    , m_lines(SplitLines(text))
{
}

QByteArray TNewInifile::WholeText() const
{
    QByteArray text;
    qsizetype size = 0;
    for (const QByteArray &line : m_lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QByteArray &line : m_lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

QByteArray TNewInifile::GetSectionText(const QString &section) const
{
    const QByteArray text = WholeText();
    const QByteArray header = SectionHeader(section);
    const int at = Fold(text).indexOf(header);
    if (at < 0)
        return QByteArray();
    QByteArray part = text.mid(at + header.size());
    // The text ends at the next line whose first non-blank character is "[":
    // a "[" inside a value (a folder such as "Videos [2024]") belongs to it.
    int lineStart = part.indexOf('\n');
    while (lineStart >= 0) {
        int first = lineStart + 1;
        while (first < part.size() && (part.at(first) == ' ' || part.at(first) == '\t'))
            ++first;
        if (first < part.size() && part.at(first) == '[') {
            part.truncate(first);
            break;
        }
        lineStart = part.indexOf('\n', first);
    }
    return part;
}

QList<QByteArray> TNewInifile::SectionLines(const QString &section) const
{
    return SplitLines(GetSectionText(section));
}

QString TNewInifile::FindValue(const QString &key, const QList<QByteArray> &sectionLines,
                               const QString &def)
{
    const QByteArray marker = KeyMarker(key);
    int pos = 0;
    const int entry = FindEntry(sectionLines, marker, &pos);
    if (entry < 0)
        return def;
    return Decode(sectionLines.at(entry).mid(pos + marker.size()));
}

int TNewInifile::FindSection(const QString &section) const
{
    return FindEntry(m_lines, SectionHeader(section));
}

int TNewInifile::FindKey(const QString &section, const QString &key) const
{
    return FindEntry(SectionLines(section), KeyMarker(key));
}

QString TNewInifile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    return FindValue(key, SectionLines(section), def);
}

qint32 TNewInifile::ReadInteger(const QString &section, const QString &key, qint32 def) const
{
    qint32 value = 0;
    if (ParseInt32(ReadString(section, key, QString::number(def)), value))
        return value;
    return def;
}

bool TNewInifile::ReadBool(const QString &section, const QString &key, bool def) const
{
    const QString text = ReadString(section, key, def ? QStringLiteral("-1") : QStringLiteral("0"));
    qint32 number = 0;
    if (ParseInt32(text, number))
        return number != 0;
    double real = 0;
    if (ParseLocaleDouble(text, real))
        return real != 0;
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return def;
}

double TNewInifile::ReadFloat(const QString &section, const QString &key, double def) const
{
    // The default goes back unformatted so that it keeps every digit.
    const QList<QByteArray> lines = SectionLines(section);
    if (FindEntry(lines, KeyMarker(key)) < 0)
        return def;
    double value = 0;
    if (ParseLocaleDouble(FindValue(key, lines, QString()), value))
        return value;
    return def;
}

void TNewInifile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const int h = FindSection(section);
    const int k = h < 0 ? -1 : FindKey(section, key);
    const QByteArray line = Bytes(key) + '=' + Bytes(value);
    if (h < 0) {
        m_lines.append(Bytes(QLatin1Char('[') + section + QLatin1Char(']')));
        m_lines.append(line);
    } else if (k < 0) {
        m_lines.insert(h + 1, line);
    } else {
        // A line that already says this (its bytes perhaps not valid in the
        // encoding, read back with replacement characters) stays as it is.
        QByteArray &old = m_lines[h + k];
        const QByteArray header = SectionHeader(section);
        // The key may stand on the header line behind "]" (a hand-edited
        // file); replacing that whole line would drop the section header, so
        // only the text behind the header is replaced.
        const int keep = k == 0 ? Fold(old).indexOf(header) + header.size() : 0;
        const QByteArray replaced = old.left(keep) + line;
        if (old == replaced || Decode(old.mid(keep)) == Decode(line))
            return;
        old = replaced;
    }
    m_changed = true;
}

void TNewInifile::WriteInteger(const QString &section, const QString &key, qint32 value)
{
    WriteString(section, key, QString::number(value));
}

void TNewInifile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

namespace {

// More than one name for the file: replacing it would cut the others off.
bool HasHardLinks(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode)
        && info.st_nlink > 1;
}

} // namespace

void TNewInifile::SaveAndFree()
{
    if (m_freed)
        return;
    // A file only read, or written with the values it held, stays untouched:
    // a read-only profile must not block the work that merely reads it.
    if (m_changed) {
        // Written beside the old file and renamed over it, so a failed or
        // interrupted save leaves the old text whole; in place where the
        // folder takes no new file (the file itself being writable) and where
        // the file has further hard links. Unbuffered, so a short write on a
        // full disk is seen here rather than lost in a buffer flush.
        QSaveFile file(m_fileName);
        file.setDirectWriteFallback(true);
        QFile direct(m_fileName);
        QFileDevice &out = HasHardLinks(m_fileName) ? static_cast<QFileDevice &>(direct) : file;
        const QByteArray text = WholeText();
        if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || out.write(text) != text.size()
            || (&out == &file ? !file.commit() : !direct.flush())) {
            const QString reason = out.errorString();
            file.cancelWriting();
            throw EFileError(QStringLiteral("Cannot create file \"%1\". %2").arg(m_fileName, reason));
        }
    }
    m_lines.clear();
    m_freed = true;
}
