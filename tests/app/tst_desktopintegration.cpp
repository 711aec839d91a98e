// Velvo as an installed desktop application: the desktop entry and the
// AppStream metainfo pass their validators, the entry offers every input
// type, and the Debian package holds the expected tree, depends on what the
// program runs, passes lintian and, installed, keeps a user's files in the
// user's home folder.

#include "TestFiles.h"
#include "TestProgram.h"
#include "app/MainForm.h"

#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString AppId = "org.velvo.Velvo";

QString BuildDir()
{
    return QDir::cleanPath(QString(VELVO_PROGRAM_DIR) + "..") + '/';
}

// The value of key in the desktop entry (QSettings would stop at a ";").
QString EntryValue(const QString &path, const QString &key)
{
    for (const QByteArray &line : ReadBytes(path).split('\n'))
        if (line.startsWith(key.toUtf8() + "="))
            return QString::fromUtf8(line.mid(key.size() + 1));
    return QString();
}

struct Run {
    int code = -1;
    QString output; // standard output and error together
};

Run RunTool(const QString &program, const QStringList &arguments, int timeoutMs = 120000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.output = program + " did not finish";
        return run;
    }
    run.output = QString::fromLocal8Bit(process.readAll());
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

bool HasTool(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

} // namespace

class TestDesktopIntegration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void entryAndMetainfoValidate();
    void entryOffersEveryInputType();
    void debianPackage();

private:
    QString m_desktop, m_metainfo;
};

void TestDesktopIntegration::initTestCase()
{
    m_desktop = BuildDir() + "linux/" + AppId + ".desktop";
    m_metainfo = BuildDir() + "linux/" + AppId + ".metainfo.xml";
    QVERIFY2(QFileInfo::exists(m_desktop), qPrintable(m_desktop));
    QVERIFY2(QFileInfo::exists(m_metainfo), qPrintable(m_metainfo));
}

void TestDesktopIntegration::entryAndMetainfoValidate()
{
    // No errors, and no warnings either: the validators print nothing then.
    const Run desktop = RunTool("desktop-file-validate", {m_desktop});
    QVERIFY2(desktop.code == 0 && desktop.output.trimmed().isEmpty(), qPrintable(desktop.output));
    const Run metainfo = RunTool("appstreamcli", {"validate", "--no-net", m_metainfo});
    QVERIFY2(metainfo.code == 0, qPrintable(metainfo.output));
    QVERIFY2(!metainfo.output.contains(QRegularExpression("^[EW]:", QRegularExpression::MultilineOption)),
             qPrintable(metainfo.output));

    QCOMPARE(EntryValue(m_desktop, "Exec"), QString("velvo %F"));
    QCOMPARE(EntryValue(m_desktop, "Icon"), AppId);
    QCOMPARE(EntryValue(m_desktop, "GenericName"), QString("Video Converter"));
    QCOMPARE(EntryValue(m_desktop, "Categories"), QString("AudioVideo;Video;AudioVideoEditing;"));
}

void TestDesktopIntegration::entryOffersEveryInputType()
{
    TestProgram prog;
    TMainForm *form = prog.start({}, false);
    const QStringList offered = EntryValue(m_desktop, "MimeType").split(';', Qt::SkipEmptyParts);
    QMimeDatabase mime;
    for (const QString &ext : form->InputExtensions) {
        // ".ts" is also a translation file: any type the name may have counts.
        QStringList names;
        for (const QMimeType &type : mime.mimeTypesForFileName("clip" + ext))
            names << type.name() << type.aliases();
        bool listed = false;
        for (const QString &name : names)
            listed = listed || offered.contains(name);
        QVERIFY2(listed, qPrintable(ext + " (" + names.join(", ") + ") is not in the desktop entry's MimeType"));
    }
}

void TestDesktopIntegration::debianPackage()
{
    if (!HasTool("dpkg-deb") || !HasTool("cpack"))
        QSKIP("dpkg-deb or cpack is not installed");
    QTemporaryDir work;
    QVERIFY(work.isValid());
    // Others must reach the tree: the installed program is run as another user below.
    ::chmod(QFile::encodeName(work.path()).constData(), 0755);
    const Run cpack = RunTool("cpack", {"-G", "DEB", "--config", BuildDir() + "CPackConfig.cmake", "-B",
                                        work.path() + "/out"});
    QVERIFY2(cpack.code == 0, qPrintable(cpack.output));
    const QStringList debs = QDir(work.path() + "/out").entryList({"*.deb"}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const QString deb = work.path() + "/out/" + debs.first();

    // One version everywhere: the package, its file name and the program's title.
    TestProgram prog;
    const QString version = prog.start({}, false)->VersionText;
    prog.stop();
    const QString arch = RunTool("dpkg", {"--print-architecture"}).output.trimmed();
    QCOMPARE(debs.first(), "velvo_" + version + "_" + arch + ".deb");
    QCOMPARE(RunTool("dpkg-deb", {"-f", deb, "Version"}).output.trimmed(), version);
    QVERIFY(ReadBytes(m_metainfo).contains("<release version=\"" + version.toUtf8() + "\""));
    const QString depends = RunTool("dpkg-deb", {"-f", deb, "Depends"}).output;
    for (const QString &package : {"ffmpeg", "libqt6widgets6", "libqt6multimedia6", "gstreamer1.0-plugins-good",
                                   "gstreamer1.0-libav", "libqt6svg6"})
        QVERIFY2(depends.contains(QRegularExpression("(^|, )" + QRegularExpression::escape(package) + "( |,|$)")),
                 qPrintable(package + " missing in " + depends));

    const QString tree = work.path() + "/tree";
    const Run unpack = RunTool("dpkg-deb", {"-x", deb, tree});
    QVERIFY2(unpack.code == 0, qPrintable(unpack.output));
    const QString lib = tree + "/usr/lib/velvo/";
    QCOMPARE(QFileInfo(tree + "/usr/bin/velvo").symLinkTarget(), QFileInfo(lib + "velvo").absoluteFilePath());
    QCOMPARE(QFile::symLinkTarget(tree + "/usr/bin/velvo"), lib + "velvo");
    for (const QString &program : {"velvo", "vxenc.dll"})
        QVERIFY2(QFileInfo(lib + program).isExecutable(), qPrintable(program));
    QVERIFY(QFileInfo::exists(lib + "VelvoHelp.html"));
    QVERIFY(QFileInfo::exists(lib + "icons/velvo.svg"));
    QCOMPARE(QDir(lib + "Profiles").entryList({"*.vpf"}, QDir::Files),
             QDir(QString(VELVO_SOURCE_DIR) + "data/Profiles").entryList({"*.vpf"}, QDir::Files));
    QCOMPARE(ReadBytes(tree + "/usr/share/applications/" + AppId + ".desktop"), ReadBytes(m_desktop));
    QCOMPARE(ReadBytes(tree + "/usr/share/metainfo/" + AppId + ".metainfo.xml"), ReadBytes(m_metainfo));
    QVERIFY(QFileInfo::exists(tree + "/usr/share/icons/hicolor/scalable/apps/" + AppId + ".svg"));
    for (int size : {48, 64, 128, 256}) {
        const QImage icon(tree + QString("/usr/share/icons/hicolor/%1x%1/apps/").arg(size) + AppId + ".png");
        QCOMPARE(icon.size(), QSize(size, size));
    }
    QVERIFY(QFileInfo::exists(tree + "/usr/share/doc/velvo/copyright"));

    if (HasTool("lintian")) {
        const Run lintian = RunTool("lintian", {"--allow-root", deb});
        QVERIFY2(!lintian.output.contains(QRegularExpression("^E:", QRegularExpression::MultilineOption)),
                 qPrintable(lintian.output));
    }

    // Installed, run by a user who cannot write the program folder: the
    // user's files go to the home folder and the program folder stays as it was.
    if (::geteuid() != 0 || !HasTool("setpriv"))
        QSKIP("running as another user needs root and setpriv");
    const uid_t nobody = 65534;
    const QString home = work.path() + "/home";
    QVERIFY(QDir().mkpath(home + "/runtime"));
    for (const QString &folder : {home, home + "/runtime"})
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), nobody, nobody), 0);
    const QMap<QString, QByteArray> before = FolderSnapshot(lib);
    QStringList environment = {"HOME=" + home, "XDG_RUNTIME_DIR=" + home + "/runtime", "QT_QPA_PLATFORM=offscreen",
                               "VELVO_REPORT_STARTUP=1", "VELVO_EXIT_AFTER_STARTUP=1"};
    // A sanitizer build's program follows the suite's sanitizer options.
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (qEnvironmentVariableIsSet(name))
            environment << QString(name) + "=" + qEnvironmentVariable(name);
    const Run velvo = RunTool("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "env", "-i"}
                                             + environment + QStringList{tree + "/usr/bin/velvo"},
                              60000);
    QVERIFY2(velvo.code == 0, qPrintable(velvo.output));
    const QByteArray prefs = ReadBytes(home + "/.config/velvo/Preferences.ini");
    QVERIFY2(prefs.startsWith("[Main]\r\n"), prefs.constData());
    QVERIFY2(prefs.contains("\r\nOutput Path=" + home.toUtf8() + "/Videos/\r\n"), prefs.constData());
    if (!QFileInfo::exists(lib + "Preferences.ini"))
        QCOMPARE(prefs, "[Main]\r\nOverwrite=1\r\nAuto Turn Off=0\r\nAuto Exit=0\r\nAuto Open Dir=1\r\n"
                        "Syn Mode=0\r\nOutput Path=" + home.toUtf8() + "/Videos/\r\nProfile=0\r\n");
    QVERIFY(QFileInfo(home + "/.local/share/velvo/Profiles").isDir());
    QVERIFY(QFileInfo(home + "/Videos").isDir());
    QCOMPARE(FolderSnapshot(lib), before);
}

QTEST_MAIN(TestDesktopIntegration)
#include "tst_desktopintegration.moc"
