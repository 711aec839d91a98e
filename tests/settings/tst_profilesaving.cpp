// Writing edited profile values without windows: what is written, what is
// refused, and the file operations of "Save as".

#include "SettingsTestUtil.h"
#include "ini/NewInifiles.h"
#include "settings/ProfileSaving.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Rows {
    // "group/name" (name lower-cased) -> row
    QMap<QString, TShownValue> rows;
    void set(int group, const QString &name, const QString &text, const QStringList &pick = {})
    {
        TShownValue v;
        v.Found = true;
        v.Text = text;
        v.PickList = pick;
        rows[QString::number(group) + '/' + name.toLower()] = v;
    }
    ShownValueLookup lookup() const
    {
        return [this](int group, const QString &name) {
            return rows.value(QString::number(group) + '/' + name.toLower());
        };
    }
};

// The rows the sample profile loads into the editors.
Rows SampleRows()
{
    Rows r;
    r.set(1, "Video Codec", "MPEG-4", {"MPEG-4", "H.264", "Copy"});
    r.set(1, "Bit Rate", "800");
    r.set(1, "Frame Rate", "25");
    r.set(2, "Audio Codec", "MP3", {"MP3", "AAC"});
    r.set(2, "Volumn", "256");
    r.set(3, "Deinterlace", "No", {"No", "Yes"});
    return r;
}

} // namespace

class TestProfileSaving : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.path() + '/' + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Applies rows to the bytes; the saved text, or "" when refused.
    QByteArray apply(const QByteArray &bytes, const Rows &rows, QString *problem = nullptr)
    {
        const QString path = write("p.vpf", bytes);
        TNewInifile ini(path);
        QString why;
        if (!ApplyShownValues(ini, "p", rows.lookup(), why)) {
            if (problem)
                *problem = why;
            return QByteArray();
        }
        ini.SaveAndFree();
        return read(path);
    }

private slots:
    void writesIndexCaptionAndValueOnly();
    void caseOfPickListIgnored();
    void keyLinesFoundInsideOtherLinesStayCorrect();
    void refusals_data();
    void refusals();
    void valueFitsProfile();
    void sameFile();
    void copyReplacesWholeOrNotAtAll();
};

void TestProfileSaving::writesIndexCaptionAndValueOnly()
{
    Rows r = SampleRows();
    // Unchanged rows still write their (equal) values: the text is the same.
    QCOMPARE(apply(SampleProfile, r),
             QByteArray(SampleProfile).replace("[Deinterlace]\r\n", "[Deinterlace]\r\nIndex=0\r\n"));
    r.set(1, "Video Codec", "Copy", {"MPEG-4", "H.264", "Copy"});
    r.set(1, "Bit Rate", "");
    r.set(1, "Frame Rate", "30");              // read-only: never written
    r.set(2, "Audio Codec", "AAC", {"MP3", "AAC"}); // read-only list: never written
    QByteArray expected = SampleProfile;
    expected.replace("Index=0\r\ncmd=-vcodec", "Index=2\r\ncmd=-vcodec");
    expected.replace("Caption=800\r\nValue=800", "Caption=\r\nValue=");
    expected.replace("[Deinterlace]\r\n", "[Deinterlace]\r\nIndex=0\r\n");
    QCOMPARE(apply(SampleProfile, r), expected);
    // A "[" inside a value is stored, and the profile reads the same.
    r.set(1, "Bit Rate", "[800]");
    expected.replace("Caption=\r\nValue=", "Caption=[800]\r\nValue=[800]");
    QCOMPARE(apply(SampleProfile, r), expected);
}

void TestProfileSaving::caseOfPickListIgnored()
{
    Rows r = SampleRows();
    r.set(3, "deinterlace", "yes", {"No", "Yes"});
    QVERIFY(apply(SampleProfile, r).contains("[Deinterlace]\r\nIndex=1\r\n"));
}

void TestProfileSaving::keyLinesFoundInsideOtherLinesStayCorrect()
{
    // Missing Caption and Value lines are added under the title, above the
    // others: a text holding "cmd=" there would be read as the switch.
    const QByteArray bare = "[Main]\r\nPara=1\r\n0=Gain\r\n[Gain]\r\nSort=2\r\nList=0\r\ncmd=-g\r\n";
    Rows r;
    r.set(2, "Gain", "3");
    QCOMPARE(apply(bare, r),
             QByteArray("[Main]\r\nPara=1\r\n0=Gain\r\n[Gain]\r\nValue=3\r\nCaption=3\r\nSort=2\r\n"
                        "List=0\r\ncmd=-g\r\n"));
    r.set(2, "Gain", "3 cmd=-rm");
    QString problem;
    QCOMPARE(apply(bare, r, &problem), QByteArray());
    QVERIFY(problem.contains("\"Gain\""));
}

void TestProfileSaving::refusals_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mentioned");
    QTest::newRow("line feed") << SampleProfile << "Bit Rate" << "1\n2" << "\"Bit Rate\"";
    QTest::newRow("carriage return") << SampleProfile << "Volumn" << "1\r" << "\"Volumn\"";
    QTest::newRow("not a choice") << SampleProfile << "Video Codec" << "VP9" << "\"Video Codec\"";
    QTest::newRow("no row") << SampleProfile << "Deinterlace" << QString() << "\"Deinterlace\"";
    QByteArray malformed = SampleProfile;
    malformed.replace("Para=6", "Para=7");
    QTest::newRow("malformed") << malformed << "Bit Rate" << "900" << "\"p\"";
}

void TestProfileSaving::refusals()
{
    QFETCH(QByteArray, profile);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, mentioned);
    Rows r = SampleRows();
    const int group = name == "Volumn" ? 2 : name == "Deinterlace" ? 3 : 1;
    const QString key = QString::number(group) + '/' + name.toLower();
    if (text.isNull())
        r.rows.remove(key);
    else
        r.rows[key].Text = text;
    QString problem;
    QCOMPARE(apply(profile, r, &problem), QByteArray());
    QVERIFY2(problem.contains(mentioned), qPrintable(problem));
    QVERIFY2(problem.contains("not saved"), qPrintable(problem));
    // Nothing reached the file.
    QCOMPARE(read(m_dir.path() + "/p.vpf"), profile);
}

void TestProfileSaving::valueFitsProfile()
{
    QVERIFY(ValueFitsProfile(""));
    QVERIFY(ValueFitsProfile("640x480"));
    QVERIFY(ValueFitsProfile("a]b=c;d,e"));
    QVERIFY(ValueFitsProfile("a[b"));
    QVERIFY(!ValueFitsProfile("a\nb"));
    QVERIFY(!ValueFitsProfile("a\rb"));
    QVERIFY(!ValueFitsProfile(QString("a") + QChar(0)));
}

void TestProfileSaving::sameFile()
{
    const QString a = write("a.vpf", "x");
    write("b.vpf", "x");
    QVERIFY(SameFile(a, a));
    QVERIFY(SameFile(a, m_dir.path() + "/./sub/../a.vpf") == false); // sub does not exist
    QVERIFY(QDir().mkpath(m_dir.path() + "/sub"));
    QVERIFY(SameFile(a, m_dir.path() + "/./sub/../a.vpf"));
    QVERIFY(!SameFile(a, m_dir.path() + "/b.vpf"));
    QVERIFY(!SameFile(a, m_dir.path() + "/missing.vpf"));
    QVERIFY(QFile::link(a, m_dir.path() + "/soft.vpf"));
    QVERIFY(SameFile(a, m_dir.path() + "/soft.vpf"));
    QVERIFY(::link(QFile::encodeName(a).constData(),
                   QFile::encodeName(m_dir.path() + "/hard.vpf").constData()) == 0);
    QVERIFY(SameFile(m_dir.path() + "/hard.vpf", a));
}

void TestProfileSaving::copyReplacesWholeOrNotAtAll()
{
    const QString source = write("src.vpf", SampleProfile);
    const QString target = write("dst.vpf", "old text");
    QString error;
    QVERIFY(CopyProfileFile(source, target, error));
    QCOMPARE(read(target), SampleProfile);
    QCOMPARE(read(source), SampleProfile);

    // A folder in the way, a missing folder, a missing source: false with a
    // reason, nothing changed.
    QVERIFY(QDir().mkpath(m_dir.path() + "/dir.vpf"));
    QVERIFY(!CopyProfileFile(source, m_dir.path() + "/dir.vpf", error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(m_dir.path() + "/dir.vpf").isDir());
    error.clear();
    QVERIFY(!CopyProfileFile(source, m_dir.path() + "/none/x.vpf", error));
    QVERIFY(!error.isEmpty());
    error.clear();
    QVERIFY(!CopyProfileFile(m_dir.path() + "/nothing.vpf", target, error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(read(target), SampleProfile);

    // A target that cannot be written whole keeps its old text.
    const QString kept = write("kept.vpf", "keep");
    {
        FileSizeLimit limit(16);
        QVERIFY(!CopyProfileFile(source, kept, error));
    }
    QCOMPARE(read(kept), QByteArray("keep"));
    // No half-written file is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList({"kept*"}, QDir::Files | QDir::Hidden), QStringList({"kept.vpf"}));
}

QTEST_MAIN(TestProfileSaving)
#include "tst_profilesaving.moc"
