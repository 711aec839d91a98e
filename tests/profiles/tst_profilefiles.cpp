// Profile files without windows: the catalogue listing, comma lists, the
// case-insensitive profile lookup, reading and checking a profile, and the
// argument text.
#include "TestFiles.h"
#include "ini/NewInifiles.h"
#include "profiles/ProfileFiles.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

// A small sample profile: five parameters in three groups.
const QByteArray ExampleProfile =
    "[Main]\r\nType=avi\r\nPara=5\r\n0=Video Codec\r\n1=Video Size\r\n2=Bit Rate\r\n"
    "3=Disable Audio\r\n4=Deinterlace\r\n\r\n"
    "[Video Codec]\r\nSort=1\r\nList=0\r\nReadOnly=1\r\nCaption=MPEG-4\r\nValue=mp4v\r\ncmd=-vc\r\n\r\n"
    "[Video Size]\r\nSort=1\r\nCaption=Original Size,320x240,640x480,Custom Size,\r\n"
    "Value=,320x240,640x480,,\r\nIndex=0\r\ncmd=-size\r\n\r\n"
    "[Bit Rate]\r\nSort=1\r\nList=0\r\nCaption=800\r\nValue=800\r\ncmd=-rate\r\n\r\n"
    "[Disable Audio]\r\nSort=2\r\nCaption=No,Yes,\r\nValue=,\\,\r\ncmd=-noaudio\r\n\r\n"
    "[Deinterlace]\r\nSort=3\r\nCaption=No,Yes,\r\nValue=,\\,\r\nIndex=0\r\ncmd=-dint\r\n";

// Shown texts keyed by "group/name" with the name lower-cased, as the
// editors look rows up ignoring case.
struct Shown {
    QMap<QString, QString> texts;
    void set(int group, const QString &name, const QString &text)
    {
        texts[QString::number(group) + '/' + name.toLower()] = text;
    }
    ShownTextLookup lookup() const
    {
        return [this](int group, const QString &name) {
            return texts.value(QString::number(group) + '/' + name.toLower());
        };
    }
};

} // namespace

class TestProfileFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString dir() const { return m_dir.path() + '/'; }

    ProfileData read(const QByteArray &bytes, const QString &name = "Test")
    {
        const QString path = dir() + name + ".vpf";
        WriteBytes(path, bytes);
        TNewInifile ini(path);
        return ReadProfile(ini, name);
    }

private slots:
    void listsOnlyFilesWithTheExtensionIgnoringCase()
    {
        const QString folder = dir() + "catalogue/";
        WriteBytes(folder + "Fast.VPF", "x");
        WriteBytes(folder + "a.b.vpf", "x");
        WriteBytes(folder + "notes.txt", "x");
        WriteBytes(folder + "zeta.vpf", "x");
        WriteBytes(folder + "Beta.vpf", "x");
        WriteBytes(folder + ".hidden.vpf", "x");
        WriteBytes(folder + "noext", "x");
        WriteBytes(folder + "vpf", "x");
        WriteBytes(folder + "tail.vpf.bak", "x");
        QVERIFY(QDir().mkpath(folder + "x.vpf"));
        // A FIFO and a dangling link are no profiles; a link to a file is.
        QCOMPARE(::mkfifo(QFile::encodeName(folder + "fifo.vpf").constData(), 0644), 0);
        QVERIFY(QFile::link(folder + "gone", folder + "dangling.vpf"));
        QVERIFY(QFile::link(folder + "zeta.vpf", folder + "link.vpf"));

        const QStringList files = ListFilesWithExtension(folder, ".vpf");
        QCOMPARE(files, QStringList({".hidden.vpf", "a.b.vpf", "Beta.vpf", "Fast.VPF", "link.vpf", "zeta.vpf"}));
        // The wanted extension itself may be given in capitals, the folder
        // without its trailing separator.
        QCOMPARE(ListFilesWithExtension(dir() + "catalogue", ".VPF"), files);
        QCOMPARE(ListFilesWithExtension(folder, ".txt"), QStringList({"notes.txt"}));
        QCOMPARE(ListFilesWithExtension(dir() + "missing/", ".vpf"), QStringList());
    }

    void orderIsStableAndIgnoresCase()
    {
        const QString folder = dir() + "order/";
        for (const char *name : {"b.vpf", "A.vpf", "a.vpf", "C.vpf", "_x.vpf", "10.vpf", "9.vpf"})
            WriteBytes(folder + name, "x");
        QCOMPARE(ListFilesWithExtension(folder, ".vpf"),
                 QStringList({"10.vpf", "9.vpf", "_x.vpf", "A.vpf", "a.vpf", "b.vpf", "C.vpf"}));
    }

    void splitsCommaLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("terminated") << "a,b,c," << QStringList({"a", "b", "c"});
        QTest::newRow("last unterminated") << "a,b,c" << QStringList({"a", "b"});
        QTest::newRow("empty first") << ",x," << QStringList({"", "x"});
        QTest::newRow("no comma") << "abc" << QStringList();
        QTest::newRow("empty") << "" << QStringList();
        QTest::newRow("blanks kept") << " a , b ," << QStringList({" a ", " b "});
        QTest::newRow("only commas") << ",,," << QStringList({"", "", ""});
        QTest::newRow("backslash") << ",\\," << QStringList({"", "\\"});
    }
    void splitsCommaLists()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, items);
        QCOMPARE(SplitCommaList(text), items);
    }

    void findsProfileFilesIgnoringCase()
    {
        const QString folder = dir() + "lookup/";
        WriteBytes(folder + "Fast.VPF", "x");
        WriteBytes(folder + "exact.vpf", "x");
        WriteBytes(folder + "Exact.VPF", "x");
        QVERIFY(QDir().mkpath(folder + "dir.vpf"));
        QCOMPARE(FindProfileFile(folder, "Fast"), folder + "Fast.VPF");
        QCOMPARE(FindProfileFile(folder, "fast"), folder + "Fast.VPF");
        // The exact spelling wins when it exists.
        QCOMPARE(FindProfileFile(folder, "exact"), folder + "exact.vpf");
        QCOMPARE(FindProfileFile(folder, "Exact"), folder + "Exact.VPF");
        // Nothing found: the path built from the name, which does not exist.
        QCOMPARE(FindProfileFile(folder, "Slow"), folder + "Slow.vpf");
        QCOMPARE(FindProfileFile(folder, "dir"), folder + "dir.vpf");
        QVERIFY(!QFileInfo(FindProfileFile(folder, "dir")).isFile());
        QCOMPARE(FindProfileFile(folder, ""), folder + ".vpf");
    }

    void readsTheSampleProfile()
    {
        const ProfileData p = read(ExampleProfile);
        QVERIFY2(p.ok(), qPrintable(p.problem));
        QCOMPARE(p.type, QString("avi"));
        QCOMPARE(p.para, 5);
        QCOMPARE(p.parameters.size(), 5);
        const ProfileParameter &codec = p.parameters[0];
        QCOMPARE(codec.name, QString("Video Codec"));
        QCOMPARE(codec.group, int(pgVideo));
        QVERIFY(codec.readOnly);
        QVERIFY(!codec.isList);
        QCOMPARE(codec.captionText, QString("MPEG-4"));
        QCOMPARE(codec.valueText, QString("mp4v"));
        QCOMPARE(codec.cmd, QString("-vc"));
        const ProfileParameter &size = p.parameters[1];
        QVERIFY(size.isList);
        QVERIFY(!size.readOnly);
        QCOMPARE(size.captions, QStringList({"Original Size", "320x240", "640x480", "Custom Size"}));
        QCOMPARE(size.values, QStringList({"", "320x240", "640x480", ""}));
        QCOMPARE(size.index, 0);
        QCOMPARE(p.parameters[3].group, int(pgAudio));
        QCOMPARE(p.parameters[3].values, QStringList({"", "\\"}));
        QCOMPARE(p.parameters[4].group, int(pgAdvanced));
    }

    void readsDefaultsAndKeepsThePreviousGroup()
    {
        const ProfileData p = read("[Main]\r\nPara=3\r\n0=A\r\n1=B\r\n2=C\r\n"
                                   "[A]\r\nSort=2\r\nCaption=x,\r\nValue=1,\r\n"
                                   "[B]\r\nSort=7\r\nList=0\r\n"
                                   "[C]\r\nSort=abc\r\nCaption=p,q,\r\nValue=1,2,\r\nIndex=1\r\n");
        QVERIFY2(p.ok(), qPrintable(p.problem));
        QCOMPARE(p.type, QString("mp4"));
        QCOMPARE(p.parameters.size(), 3);
        QCOMPARE(p.parameters[0].group, int(pgAudio));
        QCOMPARE(p.parameters[1].sort, 7);
        QCOMPARE(p.parameters[1].group, int(pgAudio));
        QCOMPARE(p.parameters[1].captionText, QString());
        QCOMPARE(p.parameters[2].sort, -1);
        QCOMPARE(p.parameters[2].group, int(pgAudio));
        QCOMPARE(p.parameters[2].index, 1);
    }

    void orderFollowsTheNumberingNotTheSections()
    {
        const ProfileData p = read("[Z]\r\nSort=3\r\nList=0\r\n[Main]\r\nPara=2\r\n0=Y\r\n1=Z\r\n"
                                   "[Y]\r\nSort=1\r\nList=0\r\n");
        QVERIFY2(p.ok(), qPrintable(p.problem));
        QCOMPARE(p.parameters.size(), 2);
        QCOMPARE(p.parameters[0].name, QString("Y"));
        QCOMPARE(p.parameters[1].name, QString("Z"));
    }

    void noParameters_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("missing") << QByteArray("[Main]\r\nType=avi\r\n0=A\r\n[A]\r\nSort=9\r\n");
        QTest::newRow("zero") << QByteArray("[Main]\r\nPara=0\r\n");
        QTest::newRow("negative") << QByteArray("[Main]\r\nPara=-3\r\n");
        QTest::newRow("not a number") << QByteArray("[Main]\r\nPara=many\r\n0=A\r\n");
        QTest::newRow("empty file") << QByteArray();
    }
    void noParameters()
    {
        QFETCH(QByteArray, bytes);
        const ProfileData p = read(bytes);
        QVERIFY2(p.ok(), qPrintable(p.problem));
        QVERIFY(p.parameters.isEmpty());
        QCOMPARE(AssembleArguments(p, Shown().lookup()), QString());
    }

    // Every integrity fault gives a problem naming the profile and the fault.
    void refusesMalformedProfiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fault");
        QTest::newRow("first Sort missing")
            << QByteArray("[Main]\r\nPara=1\r\n0=A\r\n[A]\r\nList=0\r\n") << "Sort";
        QTest::newRow("first Sort 0")
            << QByteArray("[Main]\r\nPara=2\r\n0=A\r\n1=B\r\n[A]\r\nSort=0\r\nList=0\r\n"
                          "[B]\r\nSort=1\r\nList=0\r\n")
            << "Sort";
        QTest::newRow("first Sort 4")
            << QByteArray("[Main]\r\nPara=1\r\n0=A\r\n[A]\r\nSort=4\r\nList=0\r\n") << "Sort";
        QTest::newRow("section missing")
            << QByteArray("[Main]\r\nPara=1\r\n0=A\r\n") << "Sort";
        QTest::newRow("Index beyond captions")
            << QByteArray("[Main]\r\nPara=1\r\n0=A\r\n[A]\r\nSort=1\r\nCaption=x,y,\r\n"
                          "Value=1,2,\r\nIndex=2\r\n")
            << "Index 2";
        QTest::newRow("Index negative")
            << QByteArray("[Main]\r\nPara=1\r\n0=A\r\n[A]\r\nSort=1\r\nCaption=x,y,\r\n"
                          "Value=1,2,\r\nIndex=-1\r\n")
            << "Index -1";
        QTest::newRow("no captions")
            << QByteArray("[Main]\r\nPara=1\r\n0=A\r\n[A]\r\nSort=1\r\nCaption=x\r\n") << "Index 0";
        QTest::newRow("values short")
            << QByteArray("[Main]\r\nPara=1\r\n0=A\r\n[A]\r\nSort=1\r\nCaption=x,y,z,\r\n"
                          "Value=1,2,\r\nIndex=0\r\n")
            << "only 2 values";
        QTest::newRow("Para above names")
            << QByteArray("[Main]\r\nPara=3\r\n0=A\r\n1=B\r\n[A]\r\nSort=1\r\nList=0\r\n"
                          "[B]\r\nList=0\r\n")
            << "only 2";
        QTest::newRow("huge Para")
            << QByteArray("[Main]\r\nPara=2147483647\r\n0=A\r\n[A]\r\nSort=1\r\nList=0\r\n")
            << "only 1";
        QTest::newRow("empty name")
            << QByteArray("[Main]\r\nPara=2\r\n0=A\r\n1=\r\n[A]\r\nSort=1\r\nList=0\r\n")
            << "empty name";
        QTest::newRow("duplicate name")
            << QByteArray("[Main]\r\nPara=2\r\n0=Rate\r\n1=RATE\r\n[Rate]\r\nSort=1\r\nList=0\r\n")
            << "same name";
        {
            // With the line of key 11 above the line of key 1, key 1 reads
            // the name of parameter 11.
            QByteArray bytes = "[Main]\r\nPara=12\r\n0=P0\r\n11=P11\r\n";
            for (int i = 1; i <= 10; ++i)
                bytes += QByteArray::number(i) + "=P" + QByteArray::number(i) + "\r\n";
            for (int i = 0; i <= 11; ++i)
                bytes += "[P" + QByteArray::number(i) + "]\r\nSort=1\r\nList=0\r\n";
            QTest::newRow("key 11 above key 1") << bytes << "same name";
        }
        QTest::newRow("bracket in name")
            << QByteArray("[Main]\r\nPara=1\r\n0=A]b\r\n[A]b]\r\nSort=1\r\nList=0\r\n") << "\"[\"";
        QTest::newRow("NUL byte")
            << QByteArray("[Main]\r\nPara=1\r\n0=A\r\n[A]\r\nSort=1\r\nList=0\r\n") +
                   QByteArray(1, '\0') + QByteArray("tail")
            << "NUL";
    }
    void refusesMalformedProfiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fault);
        const ProfileData p = read(bytes, "Broken One");
        QVERIFY(!p.ok());
        QVERIFY2(p.problem.contains("\"Broken One\""), qPrintable(p.problem));
        QVERIFY2(p.problem.contains(fault), qPrintable(p.problem));
    }

    void laterInvalidSortIsAccepted()
    {
        const ProfileData p = read("[Main]\r\nPara=2\r\n0=A\r\n1=B\r\n[A]\r\nSort=3\r\nList=0\r\n"
                                   "[B]\r\nSort=0\r\nList=0\r\n");
        QVERIFY2(p.ok(), qPrintable(p.problem));
        QCOMPARE(p.parameters[1].group, int(pgAdvanced));
    }

    void freeTextParametersHaveNoCaptionLimits()
    {
        const ProfileData p = read("[Main]\r\nPara=1\r\n0=A\r\n[A]\r\nSort=1\r\nList=0\r\n"
                                   "Caption=a,b,c\r\nIndex=9\r\n");
        QVERIFY2(p.ok(), qPrintable(p.problem));
        QCOMPARE(p.parameters[0].captionText, QString("a,b,c"));
    }

    void assemblesTheSampleProfile()
    {
        const ProfileData p = read(ExampleProfile);
        QVERIFY(p.ok());
        Shown shown;
        shown.set(pgVideo, "Video Codec", "MPEG-4");
        shown.set(pgVideo, "Video Size", "640x360");
        shown.set(pgVideo, "Bit Rate", "1200");
        shown.set(pgAudio, "Disable Audio", "Yes");
        shown.set(pgAdvanced, "Deinterlace", "No");
        QCOMPARE(AssembleArguments(p, shown.lookup()),
                 QString(" -vc mp4v -size 640x360 -rate 1200 -noaudio "));
        // Left at Original Size, with the bit rate cleared.
        shown.set(pgVideo, "Video Size", "Original Size");
        shown.set(pgVideo, "Bit Rate", "");
        QCOMPARE(AssembleArguments(p, shown.lookup()), QString(" -vc mp4v -noaudio "));
    }

    void assemblyEdgeCases()
    {
        const ProfileData p = read(
            "[Main]\r\nPara=7\r\n0=Quiet\r\n1=Flag\r\n2=Twice\r\n3=Typed\r\n4=Fixed\r\n5=Late\r\n"
            "6=Missing Row\r\n"
            "[Quiet]\r\nSort=1\r\nCaption=a,b,\r\nValue=1,2,\r\n"
            "[Flag]\r\nSort=1\r\nCaption=Off,On,\r\nValue=,\\,\r\ncmd=-f\r\n"
            "[Twice]\r\nSort=2\r\nCaption=Same,same,Other,\r\nValue=first,second,third,\r\ncmd=-t\r\n"
            "[Typed]\r\nSort=1\r\nList=0\r\nCaption=x y\r\nValue=stored\r\ncmd=-a -b\r\n"
            "[Fixed]\r\nSort=3\r\nList=0\r\nReadOnly=1\r\nCaption=Shown\r\nValue=a,b\r\ncmd=-r\r\n"
            "[Late]\r\nSort=1\r\nList=1\r\nReadOnly=1\r\nCaption=L,\r\nValue=lv,\r\ncmd=-l\r\n"
            "[Missing Row]\r\nList=0\r\ncmd=-m\r\n");
        QVERIFY2(p.ok(), qPrintable(p.problem));
        Shown shown;
        shown.set(pgVideo, "Quiet", "b");
        shown.set(pgVideo, "Flag", "on");
        shown.set(pgAudio, "Twice", "SAME");
        shown.set(pgVideo, "Typed", "two words");
        shown.set(pgAdvanced, "Fixed", "whatever is shown");
        shown.set(pgVideo, "Late", "L");
        // Empty cmd: nothing; "\" : switch and a trailing blank; equal
        // captions: the first; free text verbatim, several words; read-only
        // free text: the stored Value, not split; a Video parameter after an
        // Advanced one follows the numbering; a missing row: nothing.
        QCOMPARE(AssembleArguments(p, shown.lookup()),
                 QString(" -f  -t first -a -b two words -r a,b -l lv"));

        shown.set(pgVideo, "Flag", "Off");
        shown.set(pgAudio, "Twice", "custom text");
        shown.set(pgVideo, "Typed", "");
        QCOMPARE(AssembleArguments(p, shown.lookup()), QString(" -t custom text -r a,b -l lv"));

        // The Missing Row parameter (no Sort) is looked up in the group of
        // the parameter before it (Video), not in the Advanced group.
        shown.set(pgAdvanced, "missing row", "there");
        QVERIFY(!AssembleArguments(p, shown.lookup()).contains(" -m "));
        shown.set(pgVideo, "missing row", "here");
        QVERIFY(AssembleArguments(p, shown.lookup()).endsWith(" -m here"));
    }
};

QTEST_GUILESS_MAIN(TestProfileFiles)
#include "tst_profilefiles.moc"
