// The INI-style text files: lookups, placement of writes, parsing of values,
// loading and saving, and the file errors.
#include "TestFiles.h"
#include "common/Decimal.h"
#include "ini/NewInifiles.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

} // namespace

class TestNewInifile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString Path(const QString &name) const { return m_dir.filePath(name); }
    // A file holding bytes, ready to be opened.
    QString Given(const QString &name, const QByteArray &bytes)
    {
        const QString path = Path(name);
        WriteBytes(path, bytes);
        return path;
    }

private slots:
    void initTestCase();

    // Loading
    void loadsLineEnds_data();
    void loadsLineEnds();
    void nulEndsText();
    void missingFileIsEmpty();
    void readerLeavesFileAlone();
    void lfFileWrittenBackWithCrLf();

    // Lookups
    void foldsSectionAndKeyNames();
    void foldsOnlyAsciiLetters();
    void headerFoundAfterOtherBytes();
    void keyMatchesInsideLongerName();
    void upperDuplicateWins();
    void blankBeforeEqualsDoesNotMatch();
    void emptyValue();
    void sectionTextRules();
    void bracketInValueBelongsToIt();
    void findSectionAndKey();
    void keyOnHeaderLine();
    void missingSectionGivesDefaults();

    // Parsing of values
    void readsIntegers_data();
    void readsIntegers();
    void parseInt32_data();
    void parseInt32();
    void readsBools_data();
    void readsBools();
    void readsFloats();

    // Writes
    void newSectionKeysInReverseOrder();
    void rewriteKeepsPosition();
    void rewriteReplacesWholeLine();
    void newKeyGoesBelowHeader();
    void writesIntegersAndBools();
    void unchangedValueLeavesFileAlone();
    void valuesKeepTheirBytes();
    void unchangedLinesKeepInvalidBytes();

    // Errors and atomic saving
    void unreadableFileRaisesOpenError_data();
    void unreadableFileRaisesOpenError();
    void saveIntoMissingFolderRaisesCreateError();
    void saveBelowRegularFileRaisesCreateError();
    void failedSaveLeavesOldText();
    void saveReplacesWholeFile();
    void secondSaveDoesNothing();
    void hardLinkKeptBySave();
};

void TestNewInifile::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestNewInifile::loadsLineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QByteArray>>("lines");
    const QList<QByteArray> three{"[S]", "a=1", "b=2"};
    QTest::newRow("crlf") << QByteArray("[S]\r\na=1\r\nb=2\r\n") << three;
    QTest::newRow("lf") << QByteArray("[S]\na=1\nb=2\n") << three;
    QTest::newRow("cr") << QByteArray("[S]\ra=1\rb=2\r") << three;
    QTest::newRow("mixed") << QByteArray("[S]\na=1\rb=2\r\n") << three;
    QTest::newRow("no final end") << QByteArray("[S]\r\na=1\r\nb=2") << three;
    QTest::newRow("lf cr is two ends") << QByteArray("[S]\n\ra=1\r\nb=2")
                                       << QList<QByteArray>{"[S]", "", "a=1", "b=2"};
    QTest::newRow("blank lines") << QByteArray("\r\n\r\n[S]\r\n\r\n")
                                 << QList<QByteArray>{"", "", "[S]", ""};
    QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
}

void TestNewInifile::loadsLineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QByteArray>, lines);
    TNewInifile ini(Given(QStringLiteral("ends.ini"), bytes));
    QCOMPARE(ini.Lines(), lines);
    if (!lines.isEmpty()) {
        QCOMPARE(ini.ReadString(QStringLiteral("S"), QStringLiteral("b"), QStringLiteral("?")),
                 lines.last() == "b=2" ? QStringLiteral("2") : QStringLiteral("?"));
    }
}

void TestNewInifile::nulEndsText()
{
    const QString path = Given(QStringLiteral("nul.ini"), QByteArray("[S]\r\na=1\r\nb=2\0\r\nc=3\r\n", 20));
    TNewInifile ini(path);
    QCOMPARE(ini.Lines(), (QList<QByteArray>{"[S]", "a=1", "b=2"}));
    QCOMPARE(ini.ReadString(QStringLiteral("S"), QStringLiteral("c"), QStringLiteral("none")),
             QStringLiteral("none"));
    // Only read, the file keeps everything; written, it holds what was read.
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[S]\r\na=1\r\nb=2\0\r\nc=3\r\n", 20));
    TNewInifile writer(path);
    writer.WriteString(QStringLiteral("S"), QStringLiteral("a"), QStringLiteral("9"));
    writer.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[S]\r\na=9\r\nb=2\r\n"));
}

void TestNewInifile::missingFileIsEmpty()
{
    const QString path = Path(QStringLiteral("missing.ini"));
    TNewInifile ini(path);
    QCOMPARE(ini.FileName(), path);
    QVERIFY(ini.Lines().isEmpty());
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("Key"), QStringLiteral("def")),
             QStringLiteral("def"));
    QCOMPARE(ini.ReadInteger(QStringLiteral("Main"), QStringLiteral("Key"), 42), 42);
    QVERIFY(!QFile::exists(path)); // nothing reaches the disk before the save
}

void TestNewInifile::readerLeavesFileAlone()
{
    // Nothing written: a missing file is not created, and an existing one
    // keeps its bytes (LF line ends and a missing last line end included).
    const QString path = Path(QStringLiteral("created.ini"));
    QFile::remove(path);
    TNewInifile ini(path);
    ini.SaveAndFree();
    QVERIFY(!QFile::exists(path));
    const QString lf = Given(QStringLiteral("reader.ini"), "[Main]\rA=1\nB=2");
    TNewInifile reader(lf);
    QCOMPARE(reader.ReadString(QStringLiteral("Main"), QStringLiteral("B"), QString()), QStringLiteral("2"));
    reader.SaveAndFree();
    QCOMPARE(ReadBytes(lf), QByteArray("[Main]\rA=1\nB=2"));
}

void TestNewInifile::lfFileWrittenBackWithCrLf()
{
    const QString path = Given(QStringLiteral("lf.ini"), "[Main]\nA=1\nB=x y\n");
    const QString crlfPath = Given(QStringLiteral("crlf.ini"), "[Main]\r\nA=1\r\nB=x y\r\n");
    TNewInifile lf(path);
    TNewInifile crlf(crlfPath);
    QCOMPARE(lf.Lines(), crlf.Lines());
    QCOMPARE(lf.ReadString(QStringLiteral("Main"), QStringLiteral("B"), QString()), QStringLiteral("x y"));
    lf.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("2"));
    crlf.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("2"));
    lf.SaveAndFree();
    crlf.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[Main]\r\nA=2\r\nB=x y\r\n"));
    QCOMPARE(ReadBytes(path), ReadBytes(crlfPath));
}

void TestNewInifile::foldsSectionAndKeyNames()
{
    TNewInifile ini(Given(QStringLiteral("fold.ini"), "[MAIN]\r\noutput path=/Home/Videos\r\n"));
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("Output Path"), QString()),
             QStringLiteral("/Home/Videos"));
    QCOMPARE(ini.ReadString(QStringLiteral("main"), QStringLiteral("OUTPUT PATH"), QString()),
             QStringLiteral("/Home/Videos"));
}

void TestNewInifile::foldsOnlyAsciiLetters()
{
    // "É" (UTF-8 C3 89) and "é" (C3 A9) are different bytes; only A-Z fold.
    TNewInifile ini(Given(QStringLiteral("ascii.ini"),
                          QByteArray("[Caf\xc3\xa9]\r\nK\xc3\xa9y=1\r\n")));
    QCOMPARE(ini.ReadString(QStringLiteral("CAF\u00e9"), QStringLiteral("k\u00e9Y"), QStringLiteral("no")),
             QStringLiteral("1"));
    QCOMPARE(ini.ReadString(QStringLiteral("CAF\u00c9"), QStringLiteral("k\u00e9y"), QStringLiteral("no")),
             QStringLiteral("no"));
    QCOMPARE(ini.ReadString(QStringLiteral("Caf\u00e9"), QStringLiteral("K\u00c9y"), QStringLiteral("no")),
             QStringLiteral("no"));
}

void TestNewInifile::headerFoundAfterOtherBytes()
{
    TNewInifile ini(Given(QStringLiteral("bom.ini"), "\xef\xbb\xbf[Main]\r\nA=1\r\n  [Other]\r\nB=2\r\n"));
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("A"), QString()), QStringLiteral("1"));
    QCOMPARE(ini.ReadString(QStringLiteral("Other"), QStringLiteral("B"), QString()), QStringLiteral("2"));
    QCOMPARE(ini.FindSection(QStringLiteral("Main")), 0);
    QCOMPARE(ini.FindSection(QStringLiteral("Other")), 2);
}

void TestNewInifile::keyMatchesInsideLongerName()
{
    TNewInifile ini(Given(QStringLiteral("inside.ini"),
                          "[Main]\r\nAuto Exit=yes\r\n[Keys]\r\n11=eleven\r\n1=one\r\n"));
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("Exit"), QString()), QStringLiteral("yes"));
    QCOMPARE(ini.ReadString(QStringLiteral("Keys"), QStringLiteral("1"), QString()), QStringLiteral("eleven"));
    // Any tail of a longer name matches as well.
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("it"), QString()), QStringLiteral("yes"));
}

void TestNewInifile::upperDuplicateWins()
{
    const QString path = Given(QStringLiteral("dup.ini"), "[Main]\r\nProfile=upper\r\nProfile=lower\r\n");
    TNewInifile ini(path);
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("Profile"), QString()), QStringLiteral("upper"));
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("Profile"), QStringLiteral("new"));
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[Main]\r\nProfile=new\r\nProfile=lower\r\n"));
}

void TestNewInifile::blankBeforeEqualsDoesNotMatch()
{
    TNewInifile ini(Given(QStringLiteral("blank.ini"), "[Main]\r\nKey =1\r\nOther= 2 \r\n"));
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("Key"), QStringLiteral("def")),
             QStringLiteral("def"));
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("Key "), QStringLiteral("def")),
             QStringLiteral("1"));
    // Nothing is trimmed around values.
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("Other"), QString()), QStringLiteral(" 2 "));
}

void TestNewInifile::emptyValue()
{
    TNewInifile ini(Given(QStringLiteral("empty.ini"), "[Main]\r\nA=\r\n"));
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("def")), QString());
    QCOMPARE(ini.ReadInteger(QStringLiteral("Main"), QStringLiteral("A"), 7), 7);
    QCOMPARE(ini.ReadBool(QStringLiteral("Main"), QStringLiteral("A"), true), true);
    QCOMPARE(ini.ReadBool(QStringLiteral("Main"), QStringLiteral("A"), false), false);
    QCOMPARE(ini.ReadFloat(QStringLiteral("Main"), QStringLiteral("A"), 2.5), 2.5);
}

void TestNewInifile::sectionTextRules()
{
    TNewInifile ini(Given(QStringLiteral("text.ini"), "x[A]tail\r\nk=v\r\n[B]\r\nm=n\r\n"));
    QCOMPARE(ini.GetSectionText(QStringLiteral("a")), QByteArray("tail\r\nk=v\r\n"));
    QCOMPARE(ini.GetSectionText(QStringLiteral("B")), QByteArray("\r\nm=n\r\n"));
    QCOMPARE(ini.GetSectionText(QStringLiteral("C")), QByteArray());
    // The first header wins, and the next "[" ends its text even when that
    // "[" opens a header of the same name.
    TNewInifile two(Given(QStringLiteral("text2.ini"), "[A]\r\n[A]\r\nk=second\r\n"));
    QCOMPARE(two.GetSectionText(QStringLiteral("A")), QByteArray("\r\n"));
    QCOMPARE(two.ReadString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("def")),
             QStringLiteral("def"));
}

void TestNewInifile::bracketInValueBelongsToIt()
{
    // Only a line whose first non-blank character is "[" ends a section.
    TNewInifile ini(Given(QStringLiteral("bracket.ini"),
                          "[Main]\r\nA=x[1]y\r\nB=2\r\n \t[Next]\r\nC=3\r\n"));
    QCOMPARE(ini.GetSectionText(QStringLiteral("Main")), QByteArray("\r\nA=x[1]y\r\nB=2\r\n \t"));
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("A"), QString()), QStringLiteral("x[1]y"));
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("B"), QString()), QStringLiteral("2"));
    QCOMPARE(ini.FindKey(QStringLiteral("Main"), QStringLiteral("B")), 2);
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("C"), QStringLiteral("def")),
             QStringLiteral("def"));
    QCOMPARE(ini.ReadString(QStringLiteral("Next"), QStringLiteral("C"), QString()), QStringLiteral("3"));
    // A "[" behind the header on its own line does not end the section.
    TNewInifile header(Given(QStringLiteral("bracket2.ini"), "[Main] [x]\r\nA=1\r\n"));
    QCOMPARE(header.ReadString(QStringLiteral("Main"), QStringLiteral("A"), QString()), QStringLiteral("1"));
    header.WriteString(QStringLiteral("Main"), QStringLiteral("B"), QStringLiteral("[2]"));
    QCOMPARE(header.Lines(), (QList<QByteArray>{"[Main] [x]", "B=[2]", "A=1"}));
    QCOMPARE(header.ReadString(QStringLiteral("Main"), QStringLiteral("B"), QString()), QStringLiteral("[2]"));
    QCOMPARE(header.ReadString(QStringLiteral("Main"), QStringLiteral("A"), QString()), QStringLiteral("1"));
}

void TestNewInifile::findSectionAndKey()
{
    TNewInifile ini(Given(QStringLiteral("find.ini"), "[One]\r\na=1\r\n\r\n[Two]\r\nb=2\r\nc=3\r\n"));
    QCOMPARE(ini.FindSection(QStringLiteral("one")), 0);
    QCOMPARE(ini.FindSection(QStringLiteral("TWO")), 3);
    QCOMPARE(ini.FindSection(QStringLiteral("Three")), -1);
    QCOMPARE(ini.FindKey(QStringLiteral("Two"), QStringLiteral("b")), 1);
    QCOMPARE(ini.FindKey(QStringLiteral("Two"), QStringLiteral("C")), 2);
    QCOMPARE(ini.FindKey(QStringLiteral("Two"), QStringLiteral("a")), -1);
    QCOMPARE(ini.FindKey(QStringLiteral("Three"), QStringLiteral("a")), -1);
    // Entry k of a section is whole-file line h + k.
    const int h = ini.FindSection(QStringLiteral("Two"));
    QCOMPARE(ini.Lines().at(h + ini.FindKey(QStringLiteral("Two"), QStringLiteral("c"))), QByteArray("c=3"));
    const QList<QByteArray> lines{"", "b=2", "c=3"};
    QCOMPARE(TNewInifile::FindValue(QStringLiteral("C"), lines, QStringLiteral("d")), QStringLiteral("3"));
    QCOMPARE(TNewInifile::FindValue(QStringLiteral("x"), lines, QStringLiteral("d")), QStringLiteral("d"));
}

void TestNewInifile::keyOnHeaderLine()
{
    const QString path = Given(QStringLiteral("header.ini"), "[Main]A=1\r\nB=2\r\n");
    TNewInifile ini(path);
    QCOMPARE(ini.FindKey(QStringLiteral("Main"), QStringLiteral("A")), 0);
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("A"), QString()), QStringLiteral("1"));
    // The header stays; only the text behind it is replaced.
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("9"));
    QCOMPARE(ini.Lines(), (QList<QByteArray>{"[Main]A=9", "B=2"}));
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("A"), QString()), QStringLiteral("9"));
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("B"), QString()), QStringLiteral("2"));
}

void TestNewInifile::missingSectionGivesDefaults()
{
    TNewInifile ini(Given(QStringLiteral("nosect.ini"), "[Main]\r\nA=1\r\n"));
    QCOMPARE(ini.ReadString(QStringLiteral("Other"), QStringLiteral("A"), QStringLiteral("def")),
             QStringLiteral("def"));
    QCOMPARE(ini.ReadInteger(QStringLiteral("Other"), QStringLiteral("A"), -5), -5);
    QCOMPARE(ini.ReadBool(QStringLiteral("Other"), QStringLiteral("A"), true), true);
    QCOMPARE(ini.ReadFloat(QStringLiteral("Other"), QStringLiteral("A"), 0.1), 0.1);
}

void TestNewInifile::readsIntegers_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");
    const int def = -77;
    QTest::newRow("plain") << QByteArray("123") << 123;
    QTest::newRow("negative") << QByteArray("-1") << -1;
    QTest::newRow("plus") << QByteArray("+5") << 5;
    QTest::newRow("leading blanks") << QByteArray("   42") << 42;
    QTest::newRow("trailing blank") << QByteArray("42 ") << def;
    QTest::newRow("dollar hex") << QByteArray("$1F") << 31;
    QTest::newRow("x hex") << QByteArray("xff") << 255;
    QTest::newRow("X hex") << QByteArray("XFF") << 255;
    QTest::newRow("0x hex") << QByteArray("0x10") << 16;
    QTest::newRow("0X hex") << QByteArray("0X10") << 16;
    QTest::newRow("negative hex") << QByteArray("-$10") << -16;
    QTest::newRow("hex letters without prefix") << QByteArray("1F") << def;
    QTest::newRow("max") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("min") << QByteArray("-2147483648") << int(-2147483647 - 1);
    QTest::newRow("beyond max") << QByteArray("2147483648") << def;
    QTest::newRow("beyond min") << QByteArray("-2147483649") << def;
    QTest::newRow("far beyond") << QByteArray("99999999999999999999") << def;
    QTest::newRow("leading zeros") << QByteArray("0000000000000000007") << 7;
    QTest::newRow("decimal point") << QByteArray("1.5") << def;
    QTest::newRow("word") << QByteArray("ten") << def;
    QTest::newRow("sign only") << QByteArray("-") << def;
    QTest::newRow("dollar only") << QByteArray("$") << def;
    QTest::newRow("blank then sign blank") << QByteArray(" - 1") << def;
    QTest::newRow("tab is no blank") << QByteArray("\t1") << def;
}

void TestNewInifile::readsIntegers()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    TNewInifile ini(Given(QStringLiteral("int.ini"), "[Main]\r\nN=" + value + "\r\n"));
    QCOMPARE(ini.ReadInteger(QStringLiteral("Main"), QStringLiteral("N"), -77), expected);
}

void TestNewInifile::parseInt32_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("blanks") << QStringLiteral("   ") << false << 0;
    QTest::newRow("zero") << QStringLiteral("0") << true << 0;
    QTest::newRow("0x only") << QStringLiteral("0x") << false << 0;
    QTest::newRow("hex max") << QStringLiteral("$7FFFFFFF") << true << 2147483647;
    QTest::newRow("hex beyond") << QStringLiteral("$80000000") << false << 0;
    QTest::newRow("hex negative min") << QStringLiteral("-$80000000") << true << int(-2147483647 - 1);
    QTest::newRow("non-ASCII digit") << QStringLiteral("\u0661") << false << 0;
    QTest::newRow("double sign") << QStringLiteral("--1") << false << 0;
}

void TestNewInifile::parseInt32()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    qint32 parsed = 12345;
    QCOMPARE(ParseInt32(text, parsed), ok);
    QCOMPARE(parsed, ok ? value : 12345);
}

void TestNewInifile::readsBools_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("whenDefaultFalse");
    QTest::addColumn<int>("whenDefaultTrue");
    QTest::newRow("1") << QByteArray("1") << 1 << 1;
    QTest::newRow("-1") << QByteArray("-1") << 1 << 1;
    QTest::newRow("2") << QByteArray("2") << 1 << 1;
    QTest::newRow("0") << QByteArray("0") << 0 << 0;
    QTest::newRow("hex zero") << QByteArray("$0") << 0 << 0;
    QTest::newRow("True") << QByteArray("True") << 1 << 1;
    QTest::newRow("tRUE") << QByteArray("tRUE") << 1 << 1;
    QTest::newRow("False") << QByteArray("False") << 0 << 0;
    QTest::newRow("FALSE") << QByteArray("FALSE") << 0 << 0;
    QTest::newRow("yes") << QByteArray("yes") << 0 << 1;
    QTest::newRow("True with blank") << QByteArray("True ") << 0 << 1;
    QTest::newRow("empty") << QByteArray() << 0 << 1;
}

void TestNewInifile::readsBools()
{
    QFETCH(QByteArray, value);
    QFETCH(int, whenDefaultFalse);
    QFETCH(int, whenDefaultTrue);
    TNewInifile ini(Given(QStringLiteral("bool.ini"), "[Main]\r\nB=" + value + "\r\n"));
    QCOMPARE(ini.ReadBool(QStringLiteral("Main"), QStringLiteral("B"), false), bool(whenDefaultFalse));
    QCOMPARE(ini.ReadBool(QStringLiteral("Main"), QStringLiteral("B"), true), bool(whenDefaultTrue));
}

void TestNewInifile::readsFloats()
{
    const QLocale saved;
    QLocale::setDefault(QLocale::c());
    {
        TNewInifile ini(Given(QStringLiteral("float.ini"), "[Main]\r\nA=2.5\r\nB=abc\r\nC=-0.125\r\nD=1,5\r\nE=inf\r\n"));
        QCOMPARE(ini.ReadFloat(QStringLiteral("Main"), QStringLiteral("A"), 9.0), 2.5);
        QCOMPARE(ini.ReadFloat(QStringLiteral("Main"), QStringLiteral("B"), 9.0), 9.0);
        QCOMPARE(ini.ReadFloat(QStringLiteral("Main"), QStringLiteral("C"), 9.0), -0.125);
        QCOMPARE(ini.ReadFloat(QStringLiteral("Main"), QStringLiteral("D"), 9.0), 9.0);
        QCOMPARE(ini.ReadFloat(QStringLiteral("Main"), QStringLiteral("E"), 9.0), 9.0);
        QCOMPARE(ini.ReadFloat(QStringLiteral("Main"), QStringLiteral("Z"), 0.1 + 0.2), 0.1 + 0.2);
    }
    // In a locale with a decimal comma the comma is the point.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    {
        TNewInifile ini(Given(QStringLiteral("float.ini"), "[Main]\r\nA=2,5\r\nB=1.000\r\n"));
        QCOMPARE(ini.ReadFloat(QStringLiteral("Main"), QStringLiteral("A"), 9.0), 2.5);
        QCOMPARE(ini.ReadFloat(QStringLiteral("Main"), QStringLiteral("B"), 9.0), 9.0);
    }
    QLocale::setDefault(saved);
}

void TestNewInifile::newSectionKeysInReverseOrder()
{
    const QString path = Path(QStringLiteral("new.ini"));
    QFile::remove(path);
    TNewInifile ini(path);
    ini.WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("1"));
    ini.WriteString(QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("2"));
    QCOMPARE(ini.Lines(), (QList<QByteArray>{"[S]", "B=2", "A=1"}));
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[S]\r\nB=2\r\nA=1\r\n"));

    // A further section is appended directly, without a blank line.
    TNewInifile again(path);
    again.WriteString(QStringLiteral("T"), QStringLiteral("C"), QStringLiteral("3"));
    again.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[S]\r\nB=2\r\nA=1\r\n[T]\r\nC=3\r\n"));
}

void TestNewInifile::rewriteKeepsPosition()
{
    const QString path = Given(QStringLiteral("pos.ini"), "[Main]\r\nA=1\r\nB=2\r\nC=3\r\n[Next]\r\nB=x\r\n");
    TNewInifile ini(path);
    ini.WriteString(QStringLiteral("main"), QStringLiteral("b"), QStringLiteral("Two"));
    ini.SaveAndFree();
    // The key is spelled as the caller gives it.
    QCOMPARE(ReadBytes(path), QByteArray("[Main]\r\nA=1\r\nb=Two\r\nC=3\r\n[Next]\r\nB=x\r\n"));
}

void TestNewInifile::rewriteReplacesWholeLine()
{
    TNewInifile ini(Given(QStringLiteral("whole.ini"), "[Main]\r\nAuto Exit=1\r\n"));
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("Exit"), QStringLiteral("0"));
    QCOMPARE(ini.Lines(), (QList<QByteArray>{"[Main]", "Exit=0"}));
}

void TestNewInifile::newKeyGoesBelowHeader()
{
    TNewInifile ini(Given(QStringLiteral("below.ini"), "[One]\r\na=1\r\n[Two]\r\nb=2\r\n"));
    ini.WriteString(QStringLiteral("Two"), QStringLiteral("c"), QStringLiteral("3"));
    ini.WriteString(QStringLiteral("One"), QStringLiteral("d"), QStringLiteral("4"));
    QCOMPARE(ini.Lines(), (QList<QByteArray>{"[One]", "d=4", "a=1", "[Two]", "c=3", "b=2"}));
}

void TestNewInifile::writesIntegersAndBools()
{
    TNewInifile ini(Path(QStringLiteral("numbers.ini")));
    ini.WriteInteger(QStringLiteral("N"), QStringLiteral("zero"), 0);
    ini.WriteInteger(QStringLiteral("N"), QStringLiteral("neg"), -1);
    ini.WriteInteger(QStringLiteral("N"), QStringLiteral("min"), -2147483647 - 1);
    ini.WriteBool(QStringLiteral("N"), QStringLiteral("yes"), true);
    ini.WriteBool(QStringLiteral("N"), QStringLiteral("no"), false);
    QCOMPARE(ini.Lines(), (QList<QByteArray>{"[N]", "no=0", "yes=1", "min=-2147483648", "neg=-1", "zero=0"}));
    QCOMPARE(ini.ReadBool(QStringLiteral("N"), QStringLiteral("yes"), false), true);
    QCOMPARE(ini.ReadBool(QStringLiteral("N"), QStringLiteral("no"), true), false);
    QCOMPARE(ini.ReadInteger(QStringLiteral("N"), QStringLiteral("min"), 0), -2147483647 - 1);
}

void TestNewInifile::unchangedValueLeavesFileAlone()
{
    const QString path = Given(QStringLiteral("same.ini"), "[Main]\nA=1");
    TNewInifile ini(path);
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("1"));
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[Main]\nA=1"));
    // A changed value rewrites the whole file by the usual rules.
    TNewInifile writer(path);
    writer.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("1"));
    writer.WriteString(QStringLiteral("Main"), QStringLiteral("a"), QStringLiteral("2"));
    writer.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[Main]\r\na=2\r\n"));
}

void TestNewInifile::valuesKeepTheirBytes()
{
    const QString path = Path(QStringLiteral("bytes.ini"));
    QFile::remove(path);
    TNewInifile ini(path);
    const QString value = QStringLiteral("C:/V\u00eddeos/\u65e5\u672c ; =x");
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("Path"), value);
    QCOMPARE(ini.ReadString(QStringLiteral("Main"), QStringLiteral("Path"), QString()), value);
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), "[Main]\r\nPath=" + value.toUtf8() + "\r\n");
    TNewInifile back(path);
    QCOMPARE(back.ReadString(QStringLiteral("Main"), QStringLiteral("Path"), QString()), value);
    // A line that begins with ";" is an ordinary key line.
    TNewInifile semi(Given(QStringLiteral("semi.ini"), "[Main]\r\n;A=1\r\n"));
    QCOMPARE(semi.ReadString(QStringLiteral("Main"), QStringLiteral("A"), QString()), QStringLiteral("1"));
}

void TestNewInifile::unchangedLinesKeepInvalidBytes()
{
    // A Latin-1 folder name: read with a replacement character, written back
    // unchanged beside another key, it keeps its bytes.
    const QString path = Given(QStringLiteral("latin1.ini"), "[Main]\r\nOutput Path=/v/caf\xe9/\r\nProfile=1\r\n");
    TNewInifile ini(path);
    const QString folder = ini.ReadString(QStringLiteral("Main"), QStringLiteral("Output Path"), QString());
    QCOMPARE(folder, QFile::decodeName("/v/caf\xe9/"));
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("Output Path"), folder);
    ini.WriteInteger(QStringLiteral("Main"), QStringLiteral("Profile"), 2);
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[Main]\r\nOutput Path=/v/caf\xe9/\r\nProfile=2\r\n"));
    // A value the program writes is stored in the file name encoding.
    TNewInifile names(path);
    names.WriteString(QStringLiteral("Main"), QStringLiteral("Output Path"), QStringLiteral("/v/\u00e9t\u00e9/"));
    names.SaveAndFree();
    QCOMPARE(ReadBytes(path), "[Main]\r\nOutput Path=" + QFile::encodeName(QStringLiteral("/v/\u00e9t\u00e9/"))
                                 + "\r\nProfile=2\r\n");
}

void TestNewInifile::unreadableFileRaisesOpenError_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    // The tests run as root, so permissions alone would not stop the read:
    // a folder of that name, and a file that opens but fails to read.
    const QString folder = Path(QStringLiteral("folder.ini"));
    QVERIFY(QDir().mkpath(folder));
    QTest::newRow("folder") << folder << QString::fromLocal8Bit(std::strerror(EISDIR));
    QTest::newRow("read fails") << QStringLiteral("/proc/self/mem") << QString::fromLocal8Bit(std::strerror(EIO));
}

void TestNewInifile::unreadableFileRaisesOpenError()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    QVERIFY(QFileInfo::exists(path));
    try {
        TNewInifile ini(path);
        QFAIL("no error raised");
    } catch (const EFileError &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
    }
}

void TestNewInifile::saveIntoMissingFolderRaisesCreateError()
{
    const QString path = Path(QStringLiteral("no/such/folder/Preferences.ini"));
    TNewInifile ini(path);
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("1"));
    try {
        ini.SaveAndFree();
        QFAIL("no error raised");
    } catch (const EFileError &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot create file \"%1\". %2")
                                  .arg(path, QString::fromLocal8Bit(std::strerror(ENOENT))));
        QCOMPARE(QString::fromUtf8(e.what()), e.message());
    }
    QVERIFY(!QFile::exists(path));
    // The lines are kept after a failed save.
    QCOMPARE(ini.Lines(), (QList<QByteArray>{"[Main]", "A=1"}));
}

void TestNewInifile::saveBelowRegularFileRaisesCreateError()
{
    const QString plain = Given(QStringLiteral("plainfile"), "not a folder");
    const QString path = plain + QStringLiteral("/x.ini");
    TNewInifile ini(path);
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("1"));
    try {
        ini.SaveAndFree();
        QFAIL("no error raised");
    } catch (const EFileError &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot create file \"%1\". %2")
                                  .arg(path, QString::fromLocal8Bit(std::strerror(ENOTDIR))));
    }
    QCOMPARE(ReadBytes(plain), QByteArray("not a folder"));
}

void TestNewInifile::failedSaveLeavesOldText()
{
    // The file stands in a folder that is replaced by a regular file between
    // loading and saving: the save must fail and change nothing.
    const QString folder = Path(QStringLiteral("vanishing"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/p.ini");
    WriteBytes(path, "[Main]\r\nA=old\r\n");
    TNewInifile ini(path);
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("new"));

    const QString moved = Path(QStringLiteral("moved"));
    QVERIFY(QDir().rename(folder, moved));
    WriteBytes(folder, "blocker");
    QVERIFY_THROWS_EXCEPTION(EFileError, ini.SaveAndFree());
    QCOMPARE(ReadBytes(moved + QStringLiteral("/p.ini")), QByteArray("[Main]\r\nA=old\r\n"));
    QCOMPARE(QDir(moved).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("p.ini")});

    // Once the folder is back, the same object saves its new text.
    QVERIFY(QFile::remove(folder));
    QVERIFY(QDir().rename(moved, folder));
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[Main]\r\nA=new\r\n"));
}

void TestNewInifile::saveReplacesWholeFile()
{
    // A longer old text is replaced entirely, and no temporary file stays.
    const QString folder = Path(QStringLiteral("replace"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/r.ini");
    WriteBytes(path, "[Main]\r\nA=1\r\n" + QByteArray(5000, 'z') + "\r\n");
    TNewInifile ini(path);
    QCOMPARE(ini.Lines().size(), 3);
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("2"));
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), "[Main]\r\nA=2\r\n" + QByteArray(5000, 'z') + "\r\n");
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("r.ini")});
}

void TestNewInifile::secondSaveDoesNothing()
{
    const QString path = Path(QStringLiteral("twice.ini"));
    QFile::remove(path);
    TNewInifile ini(path);
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("1"));
    ini.SaveAndFree();
    QVERIFY(ini.Lines().isEmpty());
    WriteBytes(path, "changed elsewhere");
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("changed elsewhere"));
}

void TestNewInifile::hardLinkKeptBySave()
{
    // Saved in place, so both names still show one file.
    const QString path = Given(QStringLiteral("linked.ini"), "[Main]\r\nA=1\r\n");
    const QString other = Path(QStringLiteral("link.ini"));
    QFile::remove(other);
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    TNewInifile ini(path);
    ini.WriteString(QStringLiteral("Main"), QStringLiteral("A"), QStringLiteral("2"));
    ini.SaveAndFree();
    QCOMPARE(ReadBytes(path), QByteArray("[Main]\r\nA=2\r\n"));
    QCOMPARE(ReadBytes(other), QByteArray("[Main]\r\nA=2\r\n"));
}

QTEST_MAIN(TestNewInifile)
#include "tst_newinifile.moc"
