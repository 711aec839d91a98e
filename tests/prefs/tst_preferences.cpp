// Preferences.ini: what is read and written when, the exact layout a first
// close leaves, the remembered profile position, and a program folder whose
// preferences cannot be written.

#include "../settings/SettingsTestUtil.h"
#include "TestProgram.h"
#include "app/Forms.h"
#include "app/MainForm.h"
#include "ini/NewInifiles.h"
#include "prefs/Preferences.h"
#include "profiles/ProfileFiles.h"
#include "profiles/ValueListEditor.h"
#include "settings/Settings.h"
#include "tasks/ItemData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

class TestPreferences : public QObject {
    Q_OBJECT
private slots:
    void generalKeysWrittenUnderTheHeader();
    void defaultsOfBothSections();
    void storedValuesRead();
    void firstStartAndClose();
    void firstStartWithTheShippedFile();
    void okBeforeTheFirstClose();
    void settingsSurviveARestart();
    void rememberedProfilePosition();
    void positionOutsideTheListsSelectsNothing();
    void mainOutputFolderSavedAtClose();
    void otherLinesSurviveAndDefaultIsNeverWritten();
    void bracketInAValueKeepsTheSection();
    void unwritableProgramFolder();
    void unreadablePreferences();
    void terminationSignalWritesTheSameLayout();
    void conversionsAtOnce();
};

void TestPreferences::generalKeysWrittenUnderTheHeader()
{
    QTemporaryDir dir;
    const QString path = PreferencesFile(dir.path() + '/');
    QCOMPARE(path, dir.path() + "/Preferences.ini");
    TGeneralPreferences prefs;
    prefs.OutputPath = "/out/";
    prefs.SynMode = 2;
    prefs.AutoOpenDir = false;
    prefs.AutoExit = true;
    prefs.AutoTurnOff = false;
    prefs.Overwrite = false;
    {
        TNewInifile ini(path);
        WriteGeneralPreferences(ini, prefs);
        ini.SaveAndFree();
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[Main]\r\nOverwrite=0\r\nAuto Turn Off=0\r\nAuto Exit=1\r\n"
                                        "Auto Open Dir=0\r\nSyn Mode=2\r\nOutput Path=/out/\r\n"));
    file.close();

    // The close writes "Profile" first, so it ends up last; keys that exist
    // keep their lines.
    {
        TNewInifile ini(path);
        prefs.SynMode = 1;
        WriteMainPreferences(ini, 3, prefs);
        ini.SaveAndFree();
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[Main]\r\nProfile=3\r\nOverwrite=0\r\nAuto Turn Off=0\r\n"
                                        "Auto Exit=1\r\nAuto Open Dir=0\r\nSyn Mode=1\r\n"
                                        "Output Path=/out/\r\n"));
    file.close();

    TNewInifile ini(path);
    const TGeneralPreferences back = ReadGeneralPreferences(ini, "Main", MainDefaults("/p/"));
    QCOMPARE(back.OutputPath, QString("/out/"));
    QCOMPARE(back.SynMode, 1);
    QCOMPARE(back.AutoOpenDir, false);
    QCOMPARE(back.AutoExit, true);
    QCOMPARE(back.AutoTurnOff, false);
    QCOMPARE(back.Overwrite, false);
}

void TestPreferences::defaultsOfBothSections()
{
    QTemporaryDir dir;
    TNewInifile ini(dir.path() + "/missing.ini");
    const TGeneralPreferences main = ReadGeneralPreferences(ini, "Main", MainDefaults("/prog/"));
    const TGeneralPreferences def = ReadGeneralPreferences(ini, "Default", DefaultSectionDefaults("/prog/"));
    for (const TGeneralPreferences &p : {main, def}) {
        QCOMPARE(p.OutputPath, QString("/prog/"));
        QCOMPARE(p.SynMode, 0);
        QCOMPARE(p.AutoExit, false);
        QCOMPARE(p.AutoTurnOff, false);
        QCOMPARE(p.Overwrite, true);
    }
    // Only "Auto Open Dir" differs: on in [Main], off in [Default].
    QCOMPARE(main.AutoOpenDir, true);
    QCOMPARE(def.AutoOpenDir, false);
}

void TestPreferences::storedValuesRead()
{
    QTemporaryDir dir;
    QFile file(dir.path() + "/p.ini");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[MAIN]\r\nauto exit=-1\r\nAuto Turn Off=True\r\nAuto Open Dir=maybe\r\nSyn Mode=x\r\n"
               "Overwrite=0\r\nOutput Path=C:/Videos\r\n");
    file.close();
    TNewInifile ini(file.fileName());
    const TGeneralPreferences p = ReadGeneralPreferences(ini, "Main", MainDefaults("/prog/"));
    QCOMPARE(p.AutoExit, true);
    QCOMPARE(p.AutoTurnOff, true);
    QCOMPARE(p.AutoOpenDir, true); // not a boolean: the default
    QCOMPARE(p.SynMode, 0);        // not a number: the default
    QCOMPARE(p.Overwrite, false);
    QCOMPARE(p.OutputPath, QString("C:/Videos")); // taken as stored
}

namespace {
// The General settings a first start shows, whether or not a shipped file exists.
void CheckBuiltInGeneralSettings(TestProgram &prog)
{
    QCOMPARE(SettingForm->edtOutputDir->text(), prog.dir());
    QCOMPARE(SettingForm->cmbSyn->currentText(), QString("Auto"));
    QVERIFY(SettingForm->chkOpenDir->isChecked());
    QVERIFY(!SettingForm->chkExit->isChecked());
    QVERIFY(!SettingForm->chkTurnoff->isChecked());
    QVERIFY(SettingForm->rdbOverWrite->isChecked());
    QVERIFY(!SettingForm->rdbRename->isChecked());
    QVERIFY(prog.platform.messages.isEmpty());
}
} // namespace

void TestPreferences::firstStartAndClose()
{
    TestProgram prog;
    prog.addProfile("First.vpf", SampleProfile);
    prog.addProfile("Second.vpf", OtherProfile);
    TMainForm *form = prog.start();

    // Built-in defaults everywhere; the loads only read, so no file yet.
    QVERIFY(!QFileInfo::exists(prog.path("Preferences.ini")));
    QCOMPARE(form->edtOutputdir->text(), prog.dir());
    QCOMPARE(form->cmbProfile->currentIndex(), 0);
    QCOMPARE(form->cmbProfile->currentText(), QString("First"));
    QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("800")); // the first profile is loaded
    QCOMPARE(form->CurrentOutputExt, QString(".avi"));
    CheckBuiltInGeneralSettings(prog);
    if (QTest::currentTestFailed())
        return;

    form->close();
    QCOMPARE(prog.readFile("Preferences.ini"),
             QByteArray("[Main]\r\nOverwrite=1\r\nAuto Turn Off=0\r\nAuto Exit=0\r\nAuto Open Dir=1\r\n"
                        "Syn Mode=0\r\nOutput Path=" + prog.dir().toUtf8() + "\r\nProfile=0\r\n"));
}

// The delivered Preferences.ini picks "MP4 - H.264 Video" by its position in
// the sorted catalogue, so adding a profile cannot silently move the choice;
// everything else starts as without the file.
void TestPreferences::firstStartWithTheShippedFile()
{
    const QString wanted = "MP4 - H.264 Video";
    const QStringList catalogue = ListFilesWithExtension(QString(VELVO_SOURCE_DIR) + "data/Profiles", ".vpf");
    {
        QTemporaryDir copy;
        QVERIFY(QFile::copy(QString(VELVO_SOURCE_DIR) + "data/Preferences.ini", copy.path() + "/p.ini"));
        TNewInifile ini(copy.path() + "/p.ini");
        for (const char *section : {"Main", "Default"}) {
            const int at = ini.ReadInteger(section, "Profile", -1);
            QVERIFY2(at >= 0 && at < catalogue.size(), section);
            QCOMPARE(RemoveExtension(catalogue[at]), wanted);
        }
    }

    TestProgram prog;
    prog.copyShippedProfiles();
    prog.copyShippedPreferences();
    prog.fakeEncoder();
    TMainForm *form = prog.start();
    QCOMPARE(form->cmbProfile->currentText(), wanted);
    QCOMPARE(form->CurrentOutputExt, QString(".mp4"));
    QCOMPARE(form->vleVideo->Values("Quality"), QString("Good"));
    QCOMPARE(form->edtOutputdir->text(), prog.dir());
    CheckBuiltInGeneralSettings(prog);
    if (QTest::currentTestFailed())
        return;
}

void TestPreferences::okBeforeTheFirstClose()
{
    TestProgram prog;
    prog.addProfile("First.vpf", SampleProfile);
    TMainForm *form = prog.start();
    form->tbtnSetting->click();
    SettingForm->chkExit->setChecked(true);
    SettingForm->btnOK->click();
    // OK writes the six General keys, each new one under the header.
    const QByteArray afterOk = "[Main]\r\nOverwrite=1\r\nAuto Turn Off=0\r\nAuto Exit=1\r\nAuto Open Dir=1\r\n"
                               "Syn Mode=0\r\nOutput Path=" + prog.dir().toUtf8() + "\r\n";
    QCOMPARE(prog.readFile("Preferences.ini"), afterOk);
    // The close adds "Profile" directly under the header.
    form->close();
    QCOMPARE(prog.readFile("Preferences.ini"), "[Main]\r\nProfile=0\r\n" + afterOk.mid(8));
}

void TestPreferences::settingsSurviveARestart()
{
    TestProgram prog;
    prog.addProfile("First.vpf", SampleProfile);
    prog.addProfile("Second.vpf", OtherProfile);
    QDir().mkpath(prog.path("out"));
    prog.writePreferences("[Main]\r\nVersion=1.8\r\nOverwrite=0\r\nAuto Turn Off=-1\r\nAuto Exit=True\r\n"
                          "Auto Open Dir=0\r\nSyn Mode=2\r\nOutput Path=" + prog.path("out/").toUtf8() +
                          "\r\nProfile=1\r\n");
    TMainForm *form = prog.start();
    QCOMPARE(form->edtOutputdir->text(), prog.path("out/"));
    QCOMPARE(form->cmbProfile->currentText(), QString("Second"));
    QCOMPARE(SettingForm->edtOutputDir->text(), prog.path("out/"));
    QCOMPARE(SettingForm->cmbSyn->currentText(), QString("Progressive Mode"));
    QVERIFY(!SettingForm->chkOpenDir->isChecked());
    QVERIFY(SettingForm->chkExit->isChecked());
    QVERIFY(SettingForm->chkTurnoff->isChecked());
    // A stored 0 selects "Not overwrite".
    QVERIFY(SettingForm->rdbRename->isChecked());
    QVERIFY(!SettingForm->rdbOverWrite->isChecked());

    // Close and start again: everything comes back; -1 and True are now 1.
    form->close();
    QCOMPARE(MainValue(prog, "Auto Turn Off"), QString("1"));
    QCOMPARE(MainValue(prog, "Auto Exit"), QString("1"));
    QCOMPARE(MainValue(prog, "Version"), QString("1.8")); // never written, kept
    prog.stop();
    form = prog.start();
    QCOMPARE(form->cmbProfile->currentIndex(), 1);
    QCOMPARE(form->edtOutputdir->text(), prog.path("out/"));
    QCOMPARE(SettingForm->cmbSyn->currentIndex(), 2);
    QVERIFY(SettingForm->chkExit->isChecked() && SettingForm->chkTurnoff->isChecked());
    QVERIFY(!SettingForm->chkOpenDir->isChecked());
    QVERIFY(SettingForm->rdbRename->isChecked());
}

void TestPreferences::rememberedProfilePosition()
{
    TestProgram prog;
    prog.addProfile("A.vpf", OtherProfile);
    prog.addProfile("B.vpf", SampleProfile);
    prog.writePreferences("[Main]\r\nProfile=1\r\n");
    TMainForm *form = prog.start();
    // The position, not the name: the second profile is selected and loaded.
    QCOMPARE(form->cmbProfile->currentText(), QString("B"));
    QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("800"));
    QCOMPARE(form->vleAudio->Values("Volumn"), QString("256"));
    QCOMPARE(form->CurrentOutputExt, QString(".avi"));
    // Loaded once: a loaded profile is written back once, not twice, and
    // nothing was reported.
    QVERIFY(prog.platform.messages.isEmpty());

    // A profile added before the next start shifts the positions.
    form->close();
    QCOMPARE(MainValue(prog, "Profile"), QString("1"));
    prog.stop();
    prog.addProfile("0.vpf", OtherProfile);
    form = prog.start();
    QCOMPARE(form->cmbProfile->currentText(), QString("A"));
}

void TestPreferences::positionOutsideTheListsSelectsNothing()
{
    TestProgram prog;
    prog.addProfile("A.vpf", SampleProfile);
    prog.writePreferences("[Main]\r\nProfile=5\r\nSyn Mode=7\r\n");
    TMainForm *form = prog.start();
    QCOMPARE(form->cmbProfile->currentIndex(), -1);
    QCOMPARE(SettingForm->cmbSyn->currentIndex(), -1);
    // No profile was loaded: the editors keep their first rows, empty.
    QCOMPARE(form->vleVideo->RowCount(), 6);
    QCOMPARE(form->vleVideo->Key(1), QString("Video Size"));
    QCOMPARE(form->vleVideo->Value(0), QString());
    QVERIFY(form->CurrentOutputExt.isEmpty());
    form->close();
    QCOMPARE(MainValue(prog, "Profile"), QString("-1"));
    QCOMPARE(MainValue(prog, "Syn Mode"), QString("-1"));

    // Without any profile "Profile" is not read, and -1 is written at close.
    TestProgram empty;
    empty.writePreferences("[Main]\r\nProfile=0\r\n");
    form = empty.start();
    QCOMPARE(form->cmbProfile->count(), 0);
    form->close();
    QCOMPARE(MainValue(empty, "Profile"), QString("-1"));
}

void TestPreferences::mainOutputFolderSavedAtClose()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    QDir().mkpath(prog.path("elsewhere"));
    prog.platform.folderResults.enqueue(prog.path("elsewhere"));
    form->bbtnBrowser->click();
    QCOMPARE(form->edtOutputdir->text(), prog.path("elsewhere/"));
    form->close();
    QCOMPARE(MainValue(prog, "Output Path"), prog.path("elsewhere/"));
    prog.stop();

    form = prog.start();
    QCOMPARE(form->edtOutputdir->text(), prog.path("elsewhere/"));
    // The dialog shows the main window's folder when it opens.
    form->edtOutputdir->setText("/typed/by/hand/");
    form->tbtnSetting->click();
    QCOMPARE(SettingForm->edtOutputDir->text(), QString("/typed/by/hand/"));
}

void TestPreferences::otherLinesSurviveAndDefaultIsNeverWritten()
{
    TestProgram prog;
    const QByteArray before = "; kept as it is\r\n[Default]\r\nAuto Open Dir=1\r\nSyn Mode=1\r\n"
                              "[Main]\r\nVersion=1.8\r\nSyn Mode=1\r\nExtra=keep me\r\n[Other]\r\nA=b\r\n";
    prog.writePreferences(before);
    TMainForm *form = prog.start();
    QCOMPARE(SettingForm->cmbSyn->currentIndex(), 1);
    form->close();
    QCOMPARE(prog.readFile("Preferences.ini"),
             QByteArray("; kept as it is\r\n[Default]\r\nAuto Open Dir=1\r\nSyn Mode=1\r\n"
                        "[Main]\r\nOverwrite=1\r\nAuto Turn Off=0\r\nAuto Exit=0\r\n"
                        "Auto Open Dir=1\r\nOutput Path=" + prog.dir().toUtf8() +
                        "\r\nProfile=-1\r\nVersion=1.8\r\nSyn Mode=1\r\nExtra=keep me\r\n"
                        "[Other]\r\nA=b\r\n"));
}

void TestPreferences::bracketInAValueKeepsTheSection()
{
    // Folder names such as "out [HD]" are common: the "[" inside the value
    // neither cuts it nor hides the keys below it.
    TestProgram prog;
    for (const QString name : {"A", "B", "C", "D", "E", "F"})
        prog.addProfile(name + ".vpf", SampleProfile);
    prog.writePreferences("[Main]\r\nOutput Path=/tmp/out [HD]/\r\nProfile=5\r\n");
    TMainForm *form = prog.start();
    QCOMPARE(form->edtOutputdir->text(), QString("/tmp/out [HD]/"));
    QCOMPARE(form->cmbProfile->currentIndex(), 5);
    form->close();
    QCOMPARE(prog.readFile("Preferences.ini"),
             QByteArray("[Main]\r\nOverwrite=1\r\nAuto Turn Off=0\r\nAuto Exit=0\r\nAuto Open Dir=1\r\n"
                        "Syn Mode=0\r\nOutput Path=/tmp/out [HD]/\r\nProfile=5\r\n"));
}

void TestPreferences::unwritableProgramFolder()
{
    TestProgram prog;
    prog.addProfile("A.vpf", SampleProfile);
    QVERIFY(MakeUnwritable(prog.path("Preferences.ini")));
    TMainForm *form = prog.start();
    // The version read and the loads only read: the start is quiet.
    QVERIFY(prog.platform.messages.isEmpty());
    QCOMPARE(form->cmbProfile->currentText(), QString("A"));
    QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("800"));
    QVERIFY(SettingForm->chkOpenDir->isChecked());
    QVERIFY(SettingForm->rdbOverWrite->isChecked());

    // OK: the folder reaches the main window, then the save fails, nothing
    // else runs and the dialog stays open over the disabled main window.
    prog.platform.messages.clear();
    form->tbtnSetting->click();
    SettingForm->edtOutputDir->setText("/new/out/");
    form->edtOutputdir->setText("/old/");
    SettingForm->btnOK->click();
    QCOMPARE(form->edtOutputdir->text(), QString("/new/out/"));
    QCOMPARE(prog.platform.messages.size(), 1);
    QCOMPARE(prog.platform.messages[0].caption, QString("Velvo"));
    QCOMPARE(prog.platform.messages[0].icon, Platform::Icon::Error);
    QVERIFY2(prog.platform.messages[0].text.startsWith("Cannot create file \"" + prog.path("Preferences.ini") + "\""),
             qPrintable(prog.platform.messages[0].text));
    QVERIFY(SettingForm->isVisible());
    QVERIFY(!form->centralWidget()->isEnabled());

    // Load Default only reads: it fills the controls without an error.
    prog.platform.messages.clear();
    SettingForm->chkExit->setChecked(true);
    SettingForm->btnDefault->click();
    QCOMPARE(prog.platform.messages.size(), 1); // the question
    QVERIFY(!SettingForm->chkExit->isChecked());
    SettingForm->btnCancel->click();
    QVERIFY(form->centralWidget()->isEnabled());

    // The close reports the error and still closes.
    prog.platform.messages.clear();
    form->close();
    QCOMPARE(prog.platform.messages.size(), 1);
    QVERIFY(prog.platform.messages[0].text.startsWith("Cannot create file"));
    QVERIFY(!form->isVisible());
    QVERIFY(QFileInfo(prog.path("Preferences.ini")).isSymLink());
}

void TestPreferences::unreadablePreferences()
{
    TestProgram prog;
    prog.addProfile("A.vpf", SampleProfile);
    // A folder where the file should be: it can be neither read nor written.
    QVERIFY(QDir().mkpath(prog.path("Preferences.ini")));
    TMainForm *form = prog.start();
    QVERIFY(!prog.platform.messages.isEmpty());
    for (const FakePlatform::Message &m : prog.platform.messages)
        QVERIFY2(m.text.startsWith("Cannot open file \"" + prog.path("Preferences.ini") + "\""),
                 qPrintable(m.text));
    // The built-in defaults apply.
    QCOMPARE(form->edtOutputdir->text(), prog.dir());
    QCOMPARE(form->cmbProfile->currentIndex(), 0);
    QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("800"));
    QVERIFY(SettingForm->chkOpenDir->isChecked());
    QCOMPARE(SettingForm->cmbSyn->currentIndex(), 0);
    QVERIFY(SettingForm->rdbOverWrite->isChecked());
    prog.platform.messages.clear();
    form->close();
    QCOMPARE(prog.platform.messages.size(), 1);
    QVERIFY(QFileInfo(prog.path("Preferences.ini")).isDir());
}

void TestPreferences::terminationSignalWritesTheSameLayout()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    const QString program = folder + "velvo";
    QVERIFY(QFile::copy(QString(VELVO_PROGRAM_DIR) + "velvo", program));
    QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
    QVERIFY(QDir().mkpath(folder + "Profiles"));
    {
        QFile profile(folder + "Profiles/Only.vpf");
        QVERIFY(profile.open(QIODevice::WriteOnly));
        profile.write(OtherProfile);
    }
    const QString prefs = folder + "Preferences.ini";

    QProcess velvo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // The start-up report tells when the window is up (the start only reads
    // the preferences).
    env.insert("VELVO_REPORT_STARTUP", "1");
    env.remove("VELVO_EXIT_AFTER_STARTUP");
    velvo.setProcessEnvironment(env);
    velvo.start(program, {});
    QVERIFY(velvo.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(velvo.canReadLine(), 30000);
    QVERIFY(!QFileInfo::exists(prefs));
    QTest::qWait(300);
    ::kill(velvo.processId(), SIGTERM);
    QVERIFY(velvo.waitForFinished(10000));
    QCOMPARE(velvo.exitStatus(), QProcess::NormalExit);
    QFile file(prefs);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("[Main]\r\nOverwrite=1\r\nAuto Turn Off=0\r\nAuto Exit=0\r\nAuto Open Dir=1\r\n"
                        "Syn Mode=0\r\nOutput Path=" + folder.toUtf8() + "\r\nProfile=0\r\n"));
}

void TestPreferences::conversionsAtOnce()
{
    // The shipped file chooses "Automatic" in both sections.
    {
        QTemporaryDir copy;
        QVERIFY(QFile::copy(QString(VELVO_SOURCE_DIR) + "data/Preferences.ini", copy.path() + "/p.ini"));
        TNewInifile ini(copy.path() + "/p.ini");
        for (const char *section : {"Main", "Default"})
            QCOMPARE(ReadGeneralPreferences(ini, section, MainDefaults("/p/")).Simultaneous, 0);
    }
    // Without the key: one at a time, and a close leaves no key behind.
    {
        TestProgram prog;
        prog.addProfile("First.vpf", SampleProfile);
        prog.start();
        QCOMPARE(SettingForm->cmbSimultaneous->currentText(), QString("1"));
        QCOMPARE(SettingForm->cmbSimultaneous->itemText(0), QString("Automatic"));
        QVERIFY(SettingForm->labSimultaneous->buddy() == SettingForm->cmbSimultaneous);
        prog.stop();
        QVERIFY(!prog.readFile("Preferences.ini").contains("Simultaneous"));
    }
    // A number from a larger machine stays; OK stores the choice; "Load
    // Default" takes [Default]'s.
    TestProgram prog;
    prog.addProfile("First.vpf", SampleProfile);
    prog.writePreferences("[Main]\r\nSimultaneous=40\r\n\r\n[Default]\r\nSimultaneous=0\r\n");
    TMainForm *form = prog.start();
    const auto stored = [&prog] {
        TNewInifile ini(prog.path("Preferences.ini"));
        return ReadGeneralPreferences(ini, "Main", MainDefaults("/p/")).Simultaneous;
    };
    QCOMPARE(SettingForm->cmbSimultaneous->currentText(), QString("40"));
    QCOMPARE(SettingForm->CurrentGeneralPreferences().Simultaneous, 40);
    form->tbtnSetting->click();
    SettingForm->cmbSimultaneous->setCurrentIndex(1);
    SettingForm->btnOK->click();
    QCOMPARE(stored(), 1);
    form->tbtnSetting->click();
    SettingForm->btnDefault->click();
    QCOMPARE(SettingForm->cmbSimultaneous->currentText(), QString("Automatic"));
    SettingForm->btnOK->click();
    QCOMPARE(stored(), 0);
}

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
