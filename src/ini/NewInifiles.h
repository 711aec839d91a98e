#pragma once
// The INI-style text files of the program (Preferences.ini and the profiles).
// The whole file is held as lines of bytes; lookups are case-insensitive
// substring searches (only A-Z fold) and writes edit the lines in place.
// Nothing reaches the disk before SaveAndFree().

#include <QByteArray>
#include <QList>
#include <QString>
#include <stdexcept>

// Raised for a file that cannot be opened or created. Its text is what the
// user sees in the error message box.
class EFileError : public std::runtime_error {
public:
    explicit EFileError(const QString &message);
    QString message() const;
};

class TNewInifile {
public:
    explicit TNewInifile(const QString &fileName); // throws EFileError
    // Holds text as if fileName had been read and held it; the disk is not
    // touched until SaveAndFree() (cheap checks over many texts).
    TNewInifile(const QString &fileName, const QByteArray &text);
    TNewInifile(const TNewInifile &) = delete;
    TNewInifile &operator=(const TNewInifile &) = delete;

    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    qint32 ReadInteger(const QString &section, const QString &key, qint32 def) const;
    bool ReadBool(const QString &section, const QString &key, bool def) const;
    double ReadFloat(const QString &section, const QString &key, double def) const;

    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, qint32 value);
    void WriteBool(const QString &section, const QString &key, bool value);

    // Writes the whole text back when a write changed it (atomically: a
    // temporary file renamed over the old one, or in place where the folder
    // is read-only or the file has further hard links) and releases the
    // lines. Throws EFileError when the file cannot be written; the lines are
    // then kept, so a later call may try again. After a successful save
    // further calls do nothing.
    void SaveAndFree();

    const QString &FileName() const { return m_fileName; }
    // Whether a write changed the text, and the text SaveAndFree would write.
    bool Changed() const { return m_changed; }
    QByteArray Text() const { return WholeText(); }
    const QList<QByteArray> &Lines() const { return m_lines; }

    // Internal lookups, public for tests.
    QByteArray GetSectionText(const QString &section) const;
    int FindSection(const QString &section) const;
    int FindKey(const QString &section, const QString &key) const;
    // The value of the first section line that holds key + "=", or def.
    static QString FindValue(const QString &key, const QList<QByteArray> &sectionLines,
                             const QString &def);

private:
    QByteArray WholeText() const;
    QList<QByteArray> SectionLines(const QString &section) const;

    QString m_fileName;
    QList<QByteArray> m_lines;
    bool m_changed = false; // a write changed the lines
    bool m_freed = false;   // saved by SaveAndFree; later saves do nothing
};

