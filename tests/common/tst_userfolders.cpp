// Where preferences and profiles live: beside a writable program, or in the
// user's XDG folders when the program folder is installed. The rule, the
// merged profile catalogue, the first per-user start, and a whole session of
// the windows on an installed folder. HOME and XDG_* point at temporary
// folders throughout, so the real user's files are never touched.

#include "../settings/SettingsTestUtil.h"
#include "TestFiles.h"
#include "TestProgram.h"
#include "app/MainForm.h"
#include "common/UserFolders.h"
#include "ini/NewInifiles.h"
#include "profiles/ProfileFiles.h"
#include "profiles/ValueListEditor.h"
#include "settings/Settings.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>
#include <unistd.h>

class TestUserFolders : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void writableProgramFolderKeepsEverythingBeside();
    void installedFolderUsesTheXdgFolders();
    void firstPerUserStartCopiesTheTemplateOnce();
    void catalogueOfUserAndProgramProfiles();
    void installedSession();
    void privateRuntimeFolder();

private:
    QTemporaryDir m_home;
    QString m_config, m_data;
};

void TestUserFolders::init()
{
    QVERIFY(m_home.isValid());
    m_config = m_home.path() + "/config";
    m_data = m_home.path() + "/data";
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", m_config.toUtf8());
    qputenv("XDG_DATA_HOME", m_data.toUtf8());
    // The videos folder as the user's desktop names it.
    WriteBytes(m_config + "/user-dirs.dirs", "XDG_VIDEOS_DIR=\"$HOME/My Clips\"\n");
}

void TestUserFolders::cleanup()
{
    SetProgramFolderWritableForTests(-1);
}

void TestUserFolders::writableProgramFolderKeepsEverythingBeside()
{
    const TFileLocations l = FileLocationsFor("/opt/velvo", true);
    QVERIFY(!l.PerUser);
    QCOMPARE(l.ProgramDir, QString("/opt/velvo/"));
    QCOMPARE(l.PreferencesFile, QString("/opt/velvo/Preferences.ini"));
    QCOMPARE(l.ProfileFolders, QStringList({"/opt/velvo/Profiles/"}));
    QCOMPARE(l.ProfileSaveFolder, QString("/opt/velvo/Profiles/"));
    QCOMPARE(l.DefaultOutputFolder, QString("/opt/velvo/"));
    QCOMPARE(ProfileSaveTarget(l, "/opt/velvo/Profiles/A.vpf"), QString("/opt/velvo/Profiles/A.vpf"));

    // A writable program folder needs no preparing: nothing is created.
    QString error;
    QVERIFY(PrepareUserFiles(l, error));
    QVERIFY(!QFileInfo::exists(m_config + "/velvo"));
    QVERIFY(!QFileInfo::exists(m_data + "/velvo"));

    // The rule is read from the file system unless a test says otherwise.
    QTemporaryDir program;
    QVERIFY(!DecideFileLocations(program.path() + '/').PerUser);
    SetProgramFolderWritableForTests(0);
    QVERIFY(DecideFileLocations(program.path() + '/').PerUser);
}

void TestUserFolders::installedFolderUsesTheXdgFolders()
{
    const TFileLocations l = FileLocationsFor("/opt/velvo/", false);
    QVERIFY(l.PerUser);
    QCOMPARE(l.PreferencesFile, m_config + "/velvo/Preferences.ini");
    QCOMPARE(l.ProfileFolders, QStringList({m_data + "/velvo/Profiles/", "/opt/velvo/Profiles/"}));
    QCOMPARE(l.ProfileSaveFolder, m_data + "/velvo/Profiles/");
    QCOMPARE(l.DefaultOutputFolder, m_home.path() + "/My Clips/");
    // A shipped profile is saved as a file of the same name in the user's
    // folder; the user's own files are saved where they are.
    QCOMPARE(ProfileSaveTarget(l, "/opt/velvo/Profiles/MP4.vpf"), m_data + "/velvo/Profiles/MP4.vpf");
    QCOMPARE(ProfileSaveTarget(l, m_data + "/velvo/Profiles/Mine.vpf"), m_data + "/velvo/Profiles/Mine.vpf");

    // Under /usr the files are the user's even where the folder is writable
    // (root): the package manager owns that folder.
    QVERIFY(FileLocationsFor("/usr/lib/velvo", true).PerUser);
    QVERIFY(!FileLocationsFor("/usrlocal/velvo", true).PerUser);

    // Relative or empty XDG values are ignored, as the XDG rules say.
    qputenv("XDG_CONFIG_HOME", "relative/config");
    qputenv("XDG_DATA_HOME", "");
    const TFileLocations fallback = FileLocationsFor("/opt/velvo/", false);
    QCOMPARE(fallback.PreferencesFile, m_home.path() + "/.config/velvo/Preferences.ini");
    QCOMPARE(fallback.ProfileSaveFolder, m_home.path() + "/.local/share/velvo/Profiles/");
}

void TestUserFolders::firstPerUserStartCopiesTheTemplateOnce()
{
    QTemporaryDir program;
    const QByteArray shipped = "[Main]\r\nProfile=3\r\n[Default]\r\nAuto Exit=1\r\n";
    WriteBytes(program.path() + "/Preferences.ini", shipped);
    QFile::setPermissions(program.path() + "/Preferences.ini", QFile::ReadOwner | QFile::ReadOther);
    const TFileLocations l = FileLocationsFor(program.path(), false);

    QString error;
    QVERIFY2(PrepareUserFiles(l, error), qPrintable(error));
    QCOMPARE(ReadBytes(l.PreferencesFile), shipped);
    // The copy is the user's to write, whatever the template allows.
    QVERIFY(QFileInfo(l.PreferencesFile).permissions() & QFile::WriteOwner);
    QVERIFY(QFileInfo(l.ProfileSaveFolder).isDir());
    QVERIFY(QFileInfo(l.DefaultOutputFolder).isDir());

    // Later starts keep what the user has, and do not bring back a videos
    // folder the user removed.
    WriteBytes(l.PreferencesFile, "[Main]\r\nProfile=1\r\n");
    QVERIFY(QDir(l.DefaultOutputFolder).removeRecursively());
    QVERIFY(PrepareUserFiles(l, error));
    QCOMPARE(ReadBytes(l.PreferencesFile), QByteArray("[Main]\r\nProfile=1\r\n"));
    QVERIFY(!QFileInfo::exists(l.DefaultOutputFolder));

    // Without a template the first save creates the file, as beside the program.
    QTemporaryDir bare;
    QFile::remove(l.PreferencesFile);
    QVERIFY(PrepareUserFiles(FileLocationsFor(bare.path(), false), error));
    QVERIFY(!QFileInfo::exists(l.PreferencesFile));

    // A user folder that cannot be made is said, not ignored.
    WriteBytes(m_home.path() + "/blocked", "a file where a folder should be");
    qputenv("XDG_DATA_HOME", (m_home.path() + "/blocked").toUtf8());
    QVERIFY(!PrepareUserFiles(FileLocationsFor(bare.path(), false), error));
    QVERIFY2(error.contains(m_home.path() + "/blocked/velvo/Profiles/"), qPrintable(error));
}

void TestUserFolders::catalogueOfUserAndProgramProfiles()
{
    QTemporaryDir user, program;
    const QString u = user.path() + '/', p = program.path() + '/';
    for (const QString &name : {"Mine.vpf", "Fast.vpf", "notes.txt"})
        WriteBytes(u + name, "[Main]\r\n");
    for (const QString &name : {"fast.VPF", "Zed.vpf", "b.vpf", "Mine.vpf"})
        WriteBytes(p + name, "[Main]\r\n");

    // One sorted list; a user file hides the shipped one of the same name,
    // whatever the letter case.
    QCOMPARE(CatalogueFiles({u, p}), QStringList({"b.vpf", "Fast.vpf", "Mine.vpf", "Zed.vpf"}));
    QCOMPARE(FindProfileInFolders({u, p}, "Fast"), u + "Fast.vpf");
    QCOMPARE(FindProfileInFolders({u, p}, "Zed"), p + "Zed.vpf");
    QCOMPARE(FindProfileInFolders({u, p}, "B"), p + "b.vpf");
    QCOMPARE(FindProfileInFolders({u, p}, "Gone"), u + "Gone.vpf");
    // A missing user folder leaves the shipped profiles.
    QCOMPARE(CatalogueFiles({u + "missing/", p}), QStringList({"b.vpf", "fast.VPF", "Mine.vpf", "Zed.vpf"}));
    // One folder: exactly the program folder's own listing.
    QCOMPARE(CatalogueFiles({p}), ListFilesWithExtension(p, ".vpf"));
    QCOMPARE(FindProfileInFolders({p}, "Fast"), FindProfileFile(p, "Fast"));
}

void TestUserFolders::installedSession()
{
    TestProgram prog;
    init(); // this test's own home and XDG folders, over the ones TestProgram sets
    prog.addProfile("A - First.vpf", OtherProfile);
    prog.addProfile("Sample.vpf", SampleProfile);
    prog.writePreferences("[Main]\r\nProfile=1\r\n[Default]\r\nSyn Mode=2\r\n");
    SetProgramFolderWritableForTests(0);
    const QMap<QString, QByteArray> before = FolderSnapshot(prog.dir());
    const QString userPrefs = m_config + "/velvo/Preferences.ini";
    const QString userProfiles = m_data + "/velvo/Profiles/";

    TMainForm *form = prog.start();
    QVERIFY(form->Files.PerUser);
    // The template chose the profile; the output folder is the videos folder.
    QCOMPARE(form->cmbProfile->currentText(), QString("Sample"));
    QCOMPARE(form->edtOutputdir->text(), m_home.path() + "/My Clips/");
    QVERIFY(QFileInfo(m_home.path() + "/My Clips").isDir());
    QVERIFY(QFileInfo::exists(userPrefs));

    // OK saves the shipped profile as the user's own copy.
    form->bbtnSetting->click();
    TSettingForm *dlg = SettingForm;
    dlg->vleVideo->SetValues("Bit Rate", "1200");
    dlg->btnOK->click();
    QVERIFY(prog.platform.messages.isEmpty());
    QByteArray edited = SampleProfile;
    edited.replace("Caption=800\r\nValue=800", "Caption=1200\r\nValue=1200");
    edited.replace("[Deinterlace]\r\n", "[Deinterlace]\r\nIndex=0\r\n"); // a missing Index is written
    QCOMPARE(ReadBytes(userProfiles + "Sample.vpf"), edited);
    QCOMPARE(form->ProfilePath("Sample"), userProfiles + "Sample.vpf");
    QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("1200"));
    // A second OK goes to the same copy.
    form->bbtnSetting->click();
    dlg->vleVideo->SetValues("Bit Rate", "900");
    dlg->btnOK->click();
    edited.replace("Caption=1200\r\nValue=1200", "Caption=900\r\nValue=900");
    QCOMPARE(ReadBytes(userProfiles + "Sample.vpf"), edited);

    // "Save as" opens in the user's profile folder.
    form->bbtnSetting->click();
    prog.platform.saveResults.enqueue(userProfiles + "Mine.vpf");
    dlg->btnSaveAs->click();
    QCOMPARE(prog.platform.saveFolders, QStringList({userProfiles}));
    QCOMPARE(ReadBytes(userProfiles + "Mine.vpf"), edited);

    dlg->btnCancel->click();

    form->close();
    prog.stop();
    QCOMPARE(ReadBytes(userPrefs),
             QByteArray("[Main]\r\nOverwrite=1\r\nAuto Turn Off=0\r\nAuto Exit=0\r\nAuto Open Dir=1\r\n"
                        "Syn Mode=0\r\nOutput Path=") +
                 (m_home.path() + "/My Clips/").toUtf8() +
                 "\r\nProfile=1\r\n[Default]\r\nSyn Mode=2\r\n");
    // The program folder is exactly as it was.
    QCOMPARE(FolderSnapshot(prog.dir()), before);

    // The next start lists the user's new profile among the shipped ones.
    form = prog.start();
    QCOMPARE(form->cmbProfile->count(), 3);
    QCOMPARE(form->cmbProfile->itemText(1), QString("Mine"));

    // "Load Default" reads [Default] of the user's file; its output folder
    // defaults to the videos folder too.
    form->tbtnSetting->click();
    SettingForm->cmbSyn->setCurrentIndex(0);
    SettingForm->edtOutputDir->setText("/elsewhere/");
    SettingForm->btnDefault->click();
    QCOMPARE(SettingForm->cmbSyn->currentIndex(), 2);
    QCOMPARE(SettingForm->edtOutputDir->text(), m_home.path() + "/My Clips/");
}

namespace {
int ModeOf(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}
} // namespace

void TestUserFolders::privateRuntimeFolder()
{
    const QString base = m_home.path() + "/tmp";
    QVERIFY(QDir().mkpath(base));
    // Made when missing; made private when ours and open to others.
    QVERIFY(PrivateFolderOfOurs(base + "/velvo-1"));
    QCOMPARE(ModeOf(base + "/velvo-1"), 0700);
    QVERIFY(QDir().mkpath(base + "/velvo-2"));
    QFile::setPermissions(base + "/velvo-2", QFileDevice::Permissions(0x7755));
    QVERIFY(PrivateFolderOfOurs(base + "/velvo-2"));
    QCOMPARE(ModeOf(base + "/velvo-2"), 0700);
    // A link planted under the name: refused, and its target left as it was.
    QVERIFY(QDir().mkpath(base + "/target"));
    ::chmod(QFile::encodeName(base + "/target").constData(), 0755);
    QVERIFY(QFile::link(base + "/target", base + "/velvo-3"));
    QVERIFY(!PrivateFolderOfOurs(base + "/velvo-3"));
    QCOMPARE(ModeOf(base + "/target"), 0755);
    // A plain file of that name, and a folder of another user.
    WriteBytes(base + "/velvo-4", "x");
    QVERIFY(!PrivateFolderOfOurs(base + "/velvo-4"));
    if (::geteuid() == 0) {
        QVERIFY(QDir().mkpath(base + "/velvo-5"));
        ::chmod(QFile::encodeName(base + "/velvo-5").constData(), 0755);
        QCOMPARE(::chown(QFile::encodeName(base + "/velvo-5").constData(), 65534, 65534), 0);
        QVERIFY(!PrivateFolderOfOurs(base + "/velvo-5"));
        QCOMPARE(ModeOf(base + "/velvo-5"), 0755);
    }
}

QTEST_MAIN(TestUserFolders)
#include "tst_userfolders.moc"
