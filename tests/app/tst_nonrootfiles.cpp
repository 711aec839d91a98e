// Stored files for a user who is not root (the tests run as root, whom no
// permission stops): each case runs this program again as nobody through
// setpriv, acts there on a program folder of its own, and prints what it saw.
//   - a read-only program folder with a writable Preferences.ini: the close
//     saves in place;
//   - a read-only profile: start-up and a whole batch only read it.

#include "../profiles/ProfileTestUtil.h"
#include "TestProgram.h"

#include "app/MainForm.h"
#include "settings/Settings.h"
#include "tasks/ItemData.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdio>

namespace {

const QString AsNobody = QStringLiteral("--as-nobody");

// The messages shown, one a line, then "file:" and the bytes of the file
// named relative to the program folder.
void Report(const TestProgram &prog, const QString &relative)
{
    QByteArray out;
    for (const FakePlatform::Message &m : prog.platform.messages)
        out += "message: " + m.text.toUtf8() + "\n";
    out += "file:" + prog.readFile(relative);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
}

void SetMode(const QString &path, QFile::Permissions mode)
{
    QFile::setPermissions(path, mode);
}

const QFile::Permissions Folder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
const QFile::Permissions ReadOnlyFolder = QFile::ReadOwner | QFile::ExeOwner;

int ReadOnlyFolderCase()
{
    TestProgram prog;
    prog.addProfile("Example.vpf", ProfileTest::ExampleProfile());
    prog.writePreferences("[Main]\r\nOutput Path=/old/\r\nProfile=0\r\n");
    SetMode(prog.dir(), ReadOnlyFolder);
    TMainForm *form = prog.start();
    form->edtOutputdir->setText("/new/");
    form->close();
    SetMode(prog.dir(), Folder); // so that the folder can be removed
    Report(prog, "Preferences.ini");
    return 0;
}

int ReadOnlyProfileCase()
{
    TestProgram prog;
    // LF line ends: a profile only read keeps them.
    const QByteArray profile = ProfileTest::ExampleProfile().replace("\r\n", "\n");
    prog.addProfile("Example.vpf", profile);
    const QString profilePath = prog.path("Profiles/Example.vpf");
    SetMode(profilePath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    prog.fakeEncoder();
    prog.writeFile("in/a.avi", "x");
    TMainForm *form = prog.start();
    QDir().mkpath(prog.path("out"));
    form->edtOutputdir->setText(prog.path("out/"));
    SettingForm->chkOpenDir->setChecked(false);
    prog.platform.openResults.enqueue({prog.path("in/a.avi")});
    QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
    QTest::mouseClick(form->tbtnStart, Qt::LeftButton);
    QElapsedTimer clock;
    clock.start();
    while (!(form->RunState == 0 && form->tbtnStart->isEnabled()) && clock.elapsed() < 20000)
        QTest::qWait(20);
    ltvItemData rec;
    form->ReadItemData(0, sdAll, rec);
    std::printf("status: %s\n", qPrintable(rec.Status));
    form->close();
    Report(prog, "Profiles/Example.vpf");
    return 0;
}

// Runs this program as nobody on one case; its output, or "" when it could
// not run.
QByteArray RunAsNobody(const QString &caseName)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", QDir::tempPath());
    env.remove("XDG_RUNTIME_DIR");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral("setpriv"),
                {"--reuid=65534", "--regid=65534", "--clear-groups",
                 QCoreApplication::applicationFilePath(), AsNobody, caseName});
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return QByteArray();
    return child.readAllStandardOutput();
}

} // namespace

class TestNonRootFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("setpriv is not installed");
    }

    void readOnlyFolderSavesInPlace()
    {
        const QByteArray out = RunAsNobody("folder");
        QVERIFY2(!out.isEmpty(), "the case did not run");
        // No "Cannot create file", and the close's values are in the file.
        QVERIFY2(!out.contains("message:"), out.constData());
        const QByteArray file = out.mid(out.indexOf("file:") + 5);
        QVERIFY2(file.contains("\r\nOutput Path=/new/\r\n"), file.constData());
        QVERIFY2(file.startsWith("[Main]\r\n"), file.constData());
    }

    void readOnlyProfileIsOnlyRead()
    {
        const QByteArray out = RunAsNobody("profile");
        QVERIFY2(!out.isEmpty(), "the case did not run");
        QVERIFY2(out.startsWith("status: Complete\n"), out.constData());
        // Only the completion message; the profile keeps its bytes.
        QCOMPARE(out.count("message:"), 1);
        QVERIFY2(!out.contains("Cannot create file"), out.constData());
        const QByteArray file = out.mid(out.indexOf("file:") + 5);
        QCOMPARE(file, ProfileTest::ExampleProfile().replace("\r\n", "\n"));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && QString::fromLocal8Bit(argv[1]) == AsNobody) {
        const QString which = QString::fromLocal8Bit(argv[2]);
        return which == "folder" ? ReadOnlyFolderCase() : ReadOnlyProfileCase();
    }
    TestNonRootFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_nonrootfiles.moc"
