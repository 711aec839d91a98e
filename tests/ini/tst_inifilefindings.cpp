// INI file cases found by fuzzing: values, keys and sections holding line
// breaks or NUL, a header line holding "[" behind the header, and the memory
// load the fuzz target uses, which must load exactly what the file load does.
#include "TestFiles.h"
#include "ini/NewInifiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Main = QStringLiteral("Main");

} // namespace

class TestInifileFindings : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString Path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void lineBreakInValueKeepsOtherKeys();
    void lineBreakBeforeKeyWritesThatKey();
    void nulInValueKeepsRestOfFile();
    void lineBreaksInSectionAndKey();
    void bracketBehindHeaderKeepsNewKey_data();
    void bracketBehindHeaderKeepsNewKey();
    void memoryLoadMatchesFileLoad_data();
    void memoryLoadMatchesFileLoad();
    void memoryLoadTouchesDiskOnlyOnSave();
};

void TestInifileFindings::lineBreakInValueKeepsOtherKeys()
{
    // An output folder whose name holds a line break (legal on Linux),
    // written the way the preferences are: the keys written after it must
    // land on their own lines, not on the line before.
    const QString path = Path(QStringLiteral("prefs.ini"));
    WriteBytes(path, "[Main]\r\nProfile=1\r\nOutput Path=/old/\r\nSyn Mode=0\r\nOverwrite=0\r\n");
    TNewInifile ini(path);
    ini.WriteString(Main, QStringLiteral("Output Path"), QStringLiteral("/media/two\nlines/"));
    ini.WriteInteger(Main, QStringLiteral("Syn Mode"), 2);
    ini.WriteBool(Main, QStringLiteral("Overwrite"), true);

    QCOMPARE(ini.Lines().size(), 5);
    QCOMPARE(ini.ReadInteger(Main, QStringLiteral("Profile"), -1), 1);
    QCOMPARE(ini.ReadString(Main, QStringLiteral("Output Path"), QString()), QStringLiteral("/media/two lines/"));
    QCOMPARE(ini.ReadInteger(Main, QStringLiteral("Syn Mode"), -1), 2);
    QCOMPARE(ini.ReadBool(Main, QStringLiteral("Overwrite"), false), true);

    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[Main]\r\nProfile=1\r\nOutput Path=/media/two lines/\r\n"
                                         "Syn Mode=2\r\nOverwrite=1\r\n"));
}

void TestInifileFindings::lineBreakBeforeKeyWritesThatKey()
{
    // A break inside a line above the key once shifted the line numbers:
    // the write of C went past the end of the list.
    TNewInifile ini(Path(QStringLiteral("shift.ini")), "[S]\r\nC=0\r\n");
    ini.WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("x\r\ny\rz"));
    ini.WriteString(QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("2"));
    QCOMPARE(ini.Lines(), (QList<QByteArray>{"[S]", "A=x  y z", "C=2"}));
    QCOMPARE(ini.ReadString(QStringLiteral("S"), QStringLiteral("C"), QString()), QStringLiteral("2"));
    QCOMPARE(ini.ReadString(QStringLiteral("S"), QStringLiteral("A"), QString()), QStringLiteral("x  y z"));
}

void TestInifileFindings::nulInValueKeepsRestOfFile()
{
    // A NUL ends the text when the file is read: saved as it is, it would
    // drop every line after it.
    const QString path = Path(QStringLiteral("nul.ini"));
    TNewInifile ini(path, "[Main]\r\nA=1\r\n[Other]\r\nB=2\r\n");
    ini.WriteString(Main, QStringLiteral("A"), QStringLiteral("one") + QChar(0) + QStringLiteral("two"));
    ini.SaveAndFree();
    QVERIFY(!ReadBytes(path).contains('\0'));
    TNewInifile back(path);
    QCOMPARE(back.ReadString(Main, QStringLiteral("A"), QString()), QStringLiteral("one two"));
    QCOMPARE(back.ReadString(QStringLiteral("Other"), QStringLiteral("B"), QString()), QStringLiteral("2"));
}

void TestInifileFindings::lineBreaksInSectionAndKey()
{
    TNewInifile ini(Path(QStringLiteral("names.ini")), QByteArray());
    ini.WriteString(QStringLiteral("a\nb"), QStringLiteral("k\r\nl"), QStringLiteral("v"));
    ini.WriteString(QStringLiteral("a\nb"), QStringLiteral("k\r\nl"), QStringLiteral("w"));
    QCOMPARE(ini.Lines(), (QList<QByteArray>{"[a b]", "k  l=w"}));
    QCOMPARE(ini.ReadString(QStringLiteral("a\nb"), QStringLiteral("k\r\nl"), QString()), QStringLiteral("w"));
    QCOMPARE(ini.ReadString(QStringLiteral("a b"), QStringLiteral("k  l"), QString()), QStringLiteral("w"));
}

void TestInifileFindings::bracketBehindHeaderKeepsNewKey_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("second header on the line")
        << QByteArray("[Main][Old]\r\nx=1\r\n")
        << QByteArray("[Main][Old]\r\nProfile=3\r\nx=1\r\n");
    QTest::newRow("key and bracket behind the header")
        << QByteArray("; comment\r\n[main]Pro[p=ofile=1\r\nProfile= Other\r\n")
        << QByteArray("; comment\r\n[main]Pro[p=ofile=1\r\nProfile=3\r\n");
}

void TestInifileFindings::bracketBehindHeaderKeepsNewKey()
{
    // A "[" behind the header once ended the section on the header line, so
    // the key inserted below it could never be read back.
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, saved);
    const QString path = Path(QStringLiteral("bracket.ini"));
    TNewInifile ini(path, text);
    const QString oldX = ini.ReadString(QStringLiteral("Old"), QStringLiteral("x"), QStringLiteral("none"));
    ini.WriteInteger(Main, QStringLiteral("Profile"), 3);
    QCOMPARE(ini.ReadInteger(Main, QStringLiteral("Profile"), -1), 3);
    QCOMPARE(ini.ReadString(QStringLiteral("Old"), QStringLiteral("x"), QStringLiteral("none")), oldX);
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), saved);
    TNewInifile back(path);
    QCOMPARE(back.ReadInteger(Main, QStringLiteral("Profile"), -1), 3);
}

void TestInifileFindings::memoryLoadMatchesFileLoad_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("crlf") << QByteArray("[Main]\r\nA=1\r\n");
    QTest::newRow("lf, cr and no end") << QByteArray("[Main]\nA=1\rB=2\n\nC");
    QTest::newRow("lf cr is two ends") << QByteArray("a\n\rb");
    QTest::newRow("nul ends the text") << QByteArray("[Main]\r\nA=1\0B=2\r\n", 18);
    QTest::newRow("leading nul") << QByteArray("\0[Main]", 7);
}

void TestInifileFindings::memoryLoadMatchesFileLoad()
{
    QFETCH(QByteArray, text);
    const QString path = Path(QStringLiteral("same.ini"));
    WriteBytes(path, text);
    const TNewInifile fromFile(path);
    const TNewInifile fromText(path, text);
    QCOMPARE(fromText.Lines(), fromFile.Lines());
    QCOMPARE(fromText.FileName(), path);
}

void TestInifileFindings::memoryLoadTouchesDiskOnlyOnSave()
{
    const QString path = Path(QStringLiteral("later.ini"));
    TNewInifile ini(path, "[Main]\nA=1\n");
    QVERIFY(!QFile::exists(path));
    ini.WriteString(Main, QStringLiteral("B"), QStringLiteral("2"));
    QVERIFY(!QFile::exists(path));
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[Main]\r\nB=2\r\nA=1\r\n"));
}

QTEST_MAIN(TestInifileFindings)
#include "tst_inifilefindings.moc"
