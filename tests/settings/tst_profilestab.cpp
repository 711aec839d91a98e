// The settings dialog's Profiles tab: its editors, saving the selected
// profile on OK, "&Save as...", and the cases where a save must not happen.

#include "SettingsTestUtil.h"
#include "TestProgram.h"
#include "app/MainForm.h"
#include "profiles/ValueListEditor.h"
#include "settings/Settings.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace {

// The sample profile with the lines OK is expected to change.
QByteArray Edited(QByteArray bytes, const QByteArray &codecIndex, const QByteArray &bitRate,
                  const QByteArray &deinterlaceIndex)
{
    bytes.replace("Index=0\r\ncmd=-vcodec", "Index=" + codecIndex + "\r\ncmd=-vcodec");
    bytes.replace("Caption=800\r\nValue=800", "Caption=" + bitRate + "\r\nValue=" + bitRate);
    bytes.replace("[Deinterlace]\r\n", "[Deinterlace]\r\nIndex=" + deinterlaceIndex + "\r\n");
    return bytes;
}

// Changes every kind of row of the sample profile in the dialog: the codec
// to its third caption, the bit rate to 1200, de-interlacing on, and the two
// read-only parameters (which must never be written).
void EditSample(TSettingForm *dlg)
{
    dlg->vleVideo->SetValues("Video Codec", "Copy");
    dlg->vleVideo->SetValues("Bit Rate", "1200");
    dlg->vleVideo->SetValues("Frame Rate", "30");
    dlg->vleAudio->SetValues("Audio Codec", "AAC");
    dlg->vleAdvanced->SetValues("Deinterlace", "Yes");
}

} // namespace

class TestProfilesTab : public QObject {
    Q_OBJECT
private slots:
    void editorsOfTheTab();
    void headerButtonsCollapse();
    void loadingLeavesTheOutputExtensionAlone();
    void okWritesOnlyTheEditableLines();
    void okReloadsTheMainEditorsOnlyForTheSameName();
    void okWithoutSelectionSavesNoProfile();
    void cancelKeepsEditsUnsaved();
    void saveAsMakesANewProfileListedAfterARestart();
    void saveAsOntoTheProfileItself();
    void saveAsOntoAnUnwritableTarget();
    void saveAsCancelledOrWithoutProfile();
    void valuesAProfileCannotHoldAreRefused();
    void malformedProfileIsNeverSaved();
    void unwritableProfileStopsOk();
};

void TestProfilesTab::editorsOfTheTab()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    TSettingForm *dlg = SettingForm;
    FIND(QScrollArea, dlg, "sbxProfile");
    QCOMPARE(FIND(QLabel, dlg, "panVideo")->text(), QString("      Video"));
    QCOMPARE(FIND(QLabel, dlg, "panAudio")->text(), QString("      Audio"));
    QCOMPARE(FIND(QLabel, dlg, "panAdvanced")->text(), QString("      Advanced"));
    QVERIFY(!dlg->findChild<QWidget *>("panOutput"));
    QVERIFY(!dlg->findChild<QWidget *>("vleOutput"));
    // The dialog's own editors, not the main window's.
    QVERIFY(dlg->vleVideo != form->vleVideo);
    QCOMPARE(FIND(TValueListEditor, dlg, "vleVideo"), dlg->vleVideo);
    // The initial rows, empty.
    QCOMPARE(dlg->vleVideo->RowCount(), 6);
    QCOMPARE(dlg->vleVideo->Key(0), QString("Video Codec"));
    QCOMPARE(dlg->vleVideo->Key(5), QString("Disable Video"));
    QCOMPARE(dlg->vleAudio->RowCount(), 6);
    QCOMPARE(dlg->vleAudio->Key(4), QString("Volumn"));
    QCOMPARE(dlg->vleAdvanced->RowCount(), 2);
    QCOMPARE(dlg->vleAdvanced->Key(0), QString("Bit Exact Algorithms"));
    QCOMPARE(dlg->vleVideo->height(), 108);
    QCOMPARE(dlg->vleAdvanced->height(), 36);
    for (TValueListEditor *vle : {dlg->vleVideo, dlg->vleAudio, dlg->vleAdvanced})
        QCOMPARE(vle->KeyColumnWidth(), 160);
}

void TestProfilesTab::headerButtonsCollapse()
{
    TestProgram prog;
    prog.addProfile("S.vpf", SampleProfile);
    TMainForm *form = prog.start();
    form->bbtnSetting->click();
    TSettingForm *dlg = SettingForm;
    // Loaded: 18 pixels a row.
    QCOMPARE(dlg->vleVideo->RowCount(), 3);
    QCOMPARE(dlg->vleVideo->maximumHeight(), 54);
    QCOMPARE(dlg->btnVideo->text(), QString("-"));
    dlg->btnVideo->click();
    QCOMPARE(dlg->btnVideo->text(), QString("+"));
    QCOMPARE(dlg->vleVideo->maximumHeight(), 1);
    dlg->btnVideo->click();
    QCOMPARE(dlg->btnVideo->text(), QString("-"));
    QCOMPARE(dlg->vleVideo->maximumHeight(), 3 * 18 + 1);
    // A double click on a header does nothing here.
    QTest::mouseDClick(dlg->panAudio, Qt::LeftButton, {}, QPoint(100, 9));
    QCOMPARE(dlg->btnAudio->text(), QString("-"));
    QCOMPARE(dlg->vleAudio->maximumHeight(), 2 * 18);
    dlg->btnAdvanced->click();
    QCOMPARE(dlg->btnAdvanced->text(), QString("+"));
    QCOMPARE(dlg->vleAdvanced->maximumHeight(), 1);
    // The main window's groups are not touched.
    QCOMPARE(form->btnVideo->text(), QString("-"));
    QCOMPARE(form->btnAdvanced->text(), QString("-"));
}

void TestProfilesTab::loadingLeavesTheOutputExtensionAlone()
{
    TestProgram prog;
    prog.addProfile("A.vpf", OtherProfile);  // Type=mpg
    prog.addProfile("B.vpf", SampleProfile); // Type=avi
    TMainForm *form = prog.start();
    QCOMPARE(form->CurrentOutputExt, QString(".mpg"));
    form->tbtnSetting->click();
    SettingForm->cmbProfile->setCurrentIndex(1);
    SettingForm->cmbProfileChange();
    QCOMPARE(SettingForm->vleVideo->Values("Bit Rate"), QString("800"));
    QCOMPARE(SettingForm->vleVideo->Values("Video Codec"), QString("MPEG-4"));
    QCOMPARE(SettingForm->vleAdvanced->Values("Deinterlace"), QString("No"));
    QCOMPARE(form->CurrentOutputExt, QString(".mpg"));
    // The main editors still show their own profile.
    QCOMPARE(form->vleVideo->Values("Video Codec"), QString("MPEG-2"));
}

void TestProfilesTab::okWritesOnlyTheEditableLines()
{
    TestProgram prog;
    prog.addProfile("Sample.vpf", SampleProfile);
    TMainForm *form = prog.start();
    form->bbtnSetting->click();
    TSettingForm *dlg = SettingForm;
    EditSample(dlg);
    dlg->btnOK->click();
    QVERIFY(!dlg->isVisible());
    // Index 2 for the third caption, Caption and Value 1200, the missing
    // Index line under its title; the read-only parameters and every other
    // line unchanged.
    QCOMPARE(prog.readFile("Profiles/Sample.vpf"), Edited(SampleProfile, "2", "1200", "1"));
    QVERIFY(prog.platform.messages.isEmpty());

    // A second OK finds every key in place and changes only values.
    form->bbtnSetting->click();
    QCOMPARE(dlg->vleVideo->Values("Video Codec"), QString("Copy"));
    dlg->vleVideo->SetValues("Video Codec", "H.264");
    dlg->vleAdvanced->SetValues("Deinterlace", "No");
    dlg->btnOK->click();
    QCOMPARE(prog.readFile("Profiles/Sample.vpf"), Edited(SampleProfile, "1", "1200", "0"));
}

void TestProfilesTab::okReloadsTheMainEditorsOnlyForTheSameName()
{
    TestProgram prog;
    prog.addProfile("Fast.vpf", SampleProfile);
    prog.addProfile("fast.vpf", SampleProfile);
    TMainForm *form = prog.start();
    QCOMPARE(form->cmbProfile->currentText(), QString("Fast"));
    // An unsaved edit in the main window.
    form->vleVideo->SetValues("Bit Rate", "999");

    // Another profile (its name differs only in case): the main editors stay.
    form->tbtnSetting->click();
    SettingForm->cmbProfile->setCurrentIndex(SettingForm->cmbProfile->findText("fast", Qt::MatchExactly |
                                                                                       Qt::MatchCaseSensitive));
    QCOMPARE(SettingForm->cmbProfile->currentText(), QString("fast"));
    SettingForm->cmbProfileChange();
    SettingForm->vleVideo->SetValues("Bit Rate", "1200");
    SettingForm->btnOK->click();
    QCOMPARE(prog.readFile("Profiles/fast.vpf"), Edited(SampleProfile, "0", "1200", "0"));
    QCOMPARE(prog.readFile("Profiles/Fast.vpf"), SampleProfile);
    QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("999"));

    // The main window's own profile: reloaded from the file just saved.
    form->bbtnSetting->click();
    QCOMPARE(SettingForm->cmbProfile->currentText(), QString("Fast"));
    SettingForm->vleVideo->SetValues("Bit Rate", "640");
    SettingForm->btnOK->click();
    QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("640"));
    QCOMPARE(form->vleVideo->Values("Video Codec"), QString("MPEG-4"));
}

void TestProfilesTab::okWithoutSelectionSavesNoProfile()
{
    TestProgram prog;
    prog.addProfile("Sample.vpf", SampleProfile);
    TMainForm *form = prog.start();
    const QByteArray before = prog.readFile("Profiles/Sample.vpf");
    form->tbtnSetting->click();
    QCOMPARE(SettingForm->cmbProfile->currentIndex(), -1);
    SettingForm->btnOK->click();
    QVERIFY(!SettingForm->isVisible());
    QCOMPARE(prog.readFile("Profiles/Sample.vpf"), before);
    QVERIFY(prog.platform.messages.isEmpty());
}

void TestProfilesTab::cancelKeepsEditsUnsaved()
{
    TestProgram prog;
    prog.addProfile("Sample.vpf", SampleProfile);
    TMainForm *form = prog.start();
    const QByteArray before = prog.readFile("Profiles/Sample.vpf");
    form->bbtnSetting->click();
    SettingForm->vleVideo->SetValues("Bit Rate", "1200");
    SettingForm->btnCancel->click();
    QCOMPARE(prog.readFile("Profiles/Sample.vpf"), before);
    // The toolbar opens the dialog with the edit still there; OK now saves it.
    form->tbtnSetting->click();
    QCOMPARE(SettingForm->vleVideo->Values("Bit Rate"), QString("1200"));
    SettingForm->btnOK->click();
    QCOMPARE(prog.readFile("Profiles/Sample.vpf"), Edited(SampleProfile, "0", "1200", "0"));
}

void TestProfilesTab::saveAsMakesANewProfileListedAfterARestart()
{
    TestProgram prog;
    prog.addProfile("Sample.vpf", SampleProfile);
    TMainForm *form = prog.start();
    form->bbtnSetting->click();
    TSettingForm *dlg = SettingForm;
    EditSample(dlg);
    prog.platform.saveResults.enqueue(prog.path("Profiles/Mine.vpf"));
    dlg->btnSaveAs->click();
    QCOMPARE(prog.platform.saveFilters, QStringList({"Profiles (*.vpf)|*.vpf#.vpf"}));
    QCOMPARE(prog.platform.saveFolders, QStringList({prog.path("Profiles/")})); // not the working folder
    QVERIFY(prog.platform.messages.isEmpty());
    QCOMPARE(prog.readFile("Profiles/Mine.vpf"), Edited(SampleProfile, "2", "1200", "1"));
    // The source is untouched and stays selected; the catalogue is not
    // refreshed while the program runs.
    QCOMPARE(prog.readFile("Profiles/Sample.vpf"), SampleProfile);
    QCOMPARE(dlg->cmbProfile->currentText(), QString("Sample"));
    QCOMPARE(dlg->cmbProfile->count(), 1);
    QCOMPARE(form->cmbProfile->count(), 1);
    QVERIFY(dlg->isVisible());

    // An existing target is replaced.
    prog.addProfile("Old.vpf", OtherProfile);
    prog.platform.saveResults.enqueue(prog.path("Profiles/Old.vpf"));
    dlg->btnSaveAs->click();
    QCOMPARE(prog.readFile("Profiles/Old.vpf"), Edited(SampleProfile, "2", "1200", "1"));

    dlg->btnCancel->click();
    form->close();
    prog.stop();
    form = prog.start();
    QCOMPARE(form->cmbProfile->count(), 3);
    QCOMPARE(form->cmbProfile->findText("Mine"), 0);
    QCOMPARE(SettingForm->cmbProfile->findText("Mine"), 0);
    // The remembered position 0 now names the new profile.
    QCOMPARE(form->cmbProfile->currentText(), QString("Mine"));
    QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("1200"));
    QCOMPARE(form->vleVideo->Values("Video Codec"), QString("Copy"));
}

void TestProfilesTab::saveAsOntoTheProfileItself()
{
    TestProgram prog;
    prog.addProfile("Sample.vpf", SampleProfile);
    TMainForm *form = prog.start();
    form->bbtnSetting->click();
    EditSample(SettingForm);
    // Spelled differently, the same file.
    prog.platform.saveResults.enqueue(prog.path("Profiles/../Profiles/./Sample.vpf"));
    SettingForm->btnSaveAs->click();
    QVERIFY(prog.platform.messages.isEmpty());
    QCOMPARE(prog.readFile("Profiles/Sample.vpf"), Edited(SampleProfile, "2", "1200", "1"));

    // Through a link to it as well.
    QVERIFY(QFile::link(prog.path("Profiles/Sample.vpf"), prog.path("link.vpf")));
    SettingForm->vleVideo->SetValues("Bit Rate", "64");
    prog.platform.saveResults.enqueue(prog.path("link.vpf"));
    SettingForm->btnSaveAs->click();
    QVERIFY(prog.platform.messages.isEmpty());
    QCOMPARE(prog.readFile("Profiles/Sample.vpf"), Edited(SampleProfile, "2", "64", "1"));
}

void TestProfilesTab::saveAsOntoAnUnwritableTarget()
{
    TestProgram prog;
    prog.addProfile("Sample.vpf", SampleProfile);
    TMainForm *form = prog.start();
    form->bbtnSetting->click();
    EditSample(SettingForm);

    // A folder stands where the file would go.
    QVERIFY(QDir().mkpath(prog.path("Profiles/Blocked.vpf")));
    prog.platform.saveResults.enqueue(prog.path("Profiles/Blocked.vpf"));
    SettingForm->btnSaveAs->click();
    QCOMPARE(prog.platform.messages.size(), 1);
    QVERIFY2(prog.platform.messages[0].text.startsWith("Cannot copy the profile to \"" +
                                                       prog.path("Profiles/Blocked.vpf") + "\""),
             qPrintable(prog.platform.messages[0].text));
    QVERIFY(prog.platform.messages[0].text.contains("was not saved"));
    QCOMPARE(prog.platform.messages[0].caption, QString("Velvo"));
    QVERIFY(QFileInfo(prog.path("Profiles/Blocked.vpf")).isDir());

    // A folder that does not exist.
    prog.platform.saveResults.enqueue(prog.path("missing/New.vpf"));
    SettingForm->btnSaveAs->click();
    QCOMPARE(prog.platform.messages.size(), 2);
    QVERIFY(prog.platform.messages[1].text.startsWith("Cannot copy the profile"));
    QVERIFY(!QFileInfo::exists(prog.path("missing/New.vpf")));

    // A name too long for the file system (with the room a later save
    // needs): refused with a message, and no copy, whole or half, is left.
    const QString longName = QString(250, 'n') + ".vpf";
    prog.platform.saveResults.enqueue(prog.path("Profiles/" + longName));
    SettingForm->btnSaveAs->click();
    QCOMPARE(prog.platform.messages.size(), 3);
    QVERIFY2(prog.platform.messages[2].text.contains("is too long"), qPrintable(prog.platform.messages[2].text));
    QCOMPARE(QDir(prog.path("Profiles")).entryList(QDir::Files), QStringList{"Sample.vpf"});

    // The source is untouched, the edits are still in the dialog.
    QCOMPARE(prog.readFile("Profiles/Sample.vpf"), SampleProfile);
    QCOMPARE(SettingForm->vleVideo->Values("Bit Rate"), QString("1200"));
    QVERIFY(SettingForm->isVisible());
}

void TestProfilesTab::saveAsCancelledOrWithoutProfile()
{
    TestProgram prog;
    prog.addProfile("Sample.vpf", SampleProfile);
    TMainForm *form = prog.start();
    form->tbtnSetting->click();
    // No profile selected: nothing is copied.
    prog.platform.saveResults.enqueue(prog.path("Profiles/New.vpf"));
    SettingForm->btnSaveAs->click();
    QCOMPARE(prog.platform.saveFilters.size(), 1);
    QVERIFY(!QFileInfo::exists(prog.path("Profiles/New.vpf")));
    // Cancelled dialog.
    SettingForm->btnCancel->click();
    form->bbtnSetting->click();
    SettingForm->btnSaveAs->click();
    QCOMPARE(prog.platform.saveFilters.size(), 2);
    QCOMPARE(QDir(prog.path("Profiles")).entryList(QDir::Files), QStringList({"Sample.vpf"}));
    QVERIFY(prog.platform.messages.isEmpty());
}

void TestProfilesTab::valuesAProfileCannotHoldAreRefused()
{
    TestProgram prog;
    prog.addProfile("Sample.vpf", SampleProfile);
    TMainForm *form = prog.start();
    form->bbtnSetting->click();
    TSettingForm *dlg = SettingForm;
    // The last one would be read as the parameter's switch (cmd stands
    // below Caption).
    const QStringList bad = {"12\n00", "12\r00", QString("12") + QChar(0) + "00",
                             "800 cmd=-x"};
    for (const QString &text : bad) {
        prog.platform.messages.clear();
        dlg->vleAudio->SetValues("Volumn", text);
        dlg->vleVideo->SetValues("Bit Rate", "1200");
        dlg->btnOK->click();
        // Named in the message; nothing written; the dialog stays open.
        QCOMPARE(prog.platform.messages.size(), 1);
        QVERIFY2(prog.platform.messages[0].text.contains("\"Volumn\""),
                 qPrintable(prog.platform.messages[0].text));
        QCOMPARE(prog.platform.messages[0].caption, QString("Velvo"));
        QCOMPARE(prog.readFile("Profiles/Sample.vpf"), SampleProfile);
        QVERIFY(dlg->isVisible());
        QVERIFY(!form->centralWidget()->isEnabled());

        // Save as makes no copy either.
        prog.platform.saveResults.enqueue(prog.path("Profiles/Copy.vpf"));
        dlg->btnSaveAs->click();
        QCOMPARE(prog.platform.messages.size(), 2);
        QVERIFY(prog.platform.messages[1].text.contains("\"Volumn\""));
        QVERIFY(!QFileInfo::exists(prog.path("Profiles/Copy.vpf")));
    }
    // A key text is harmless below that key's own line (Sort stands above
    // Caption): only a text read in another key's place is refused.
    dlg->vleAudio->SetValues("Volumn", "Sort=9");
    dlg->btnOK->click();
    QVERIFY(!dlg->isVisible());
    QVERIFY(prog.readFile("Profiles/Sample.vpf").contains("Caption=Sort=9\r\nValue=Sort=9\r\n"));
}

void TestProfilesTab::malformedProfileIsNeverSaved()
{
    TestProgram prog;
    prog.addProfile("Good.vpf", SampleProfile);
    QByteArray broken = SampleProfile;
    broken.replace("Index=0\r\ncmd=-vcodec", "Index=7\r\ncmd=-vcodec");
    prog.addProfile("Broken.vpf", broken);
    TMainForm *form = prog.start();
    // "Broken" sorts first: the main window refuses to load it.
    QCOMPARE(form->cmbProfile->currentText(), QString("Broken"));
    prog.platform.messages.clear();
    form->cmbProfile->setCurrentIndex(1);
    form->bbtnSetting->click(); // Good, loaded in the dialog
    QCOMPARE(SettingForm->vleVideo->Values("Bit Rate"), QString("800"));
    SettingForm->cmbProfile->setCurrentIndex(0);
    SettingForm->cmbProfileChange(); // Broken: refused, the editors keep Good
    QCOMPARE(prog.platform.messages.size(), 1);
    QCOMPARE(SettingForm->vleVideo->Values("Bit Rate"), QString("800"));
    SettingForm->vleVideo->SetValues("Bit Rate", "1200");
    SettingForm->btnOK->click();
    QCOMPARE(prog.platform.messages.size(), 2);
    QVERIFY(prog.platform.messages[1].text.contains("Broken"));
    QCOMPARE(prog.readFile("Profiles/Broken.vpf"), broken);
    QCOMPARE(prog.readFile("Profiles/Good.vpf"), SampleProfile);
    QVERIFY(SettingForm->isVisible());
}

void TestProfilesTab::unwritableProfileStopsOk()
{
    TestProgram prog;
    // A name so long that no file can be written beside it to replace it:
    // the profile reads fine but can never be saved, whoever runs the test.
    const QString name(250, QLatin1Char('L'));
    prog.addProfile(name + ".vpf", SampleProfile);
    TMainForm *form = prog.start();
    QCOMPARE(form->cmbProfile->currentText(), name);
    // Loading only reads it: nothing to report, the rows are shown.
    QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("800"));
    QVERIFY(prog.platform.messages.isEmpty());
    form->vleVideo->SetValues("Bit Rate", "999");
    form->bbtnSetting->click();
    QCOMPARE(SettingForm->vleVideo->Values("Bit Rate"), QString("800"));
    prog.platform.messages.clear();

    SettingForm->vleVideo->SetValues("Bit Rate", "1200");
    SettingForm->edtOutputDir->setText("/new/");
    SettingForm->btnOK->click();
    // The preferences were stored, then the profile's save failed: the error
    // is shown, the main window is not reloaded and the dialog stays open.
    QCOMPARE(form->edtOutputdir->text(), QString("/new/"));
    QCOMPARE(MainValue(prog, "Output Path"), QString("/new/"));
    QCOMPARE(prog.platform.messages.size(), 1);
    const FakePlatform::Message &m = prog.platform.messages[0];
    QVERIFY2(m.text.startsWith("Cannot create file \"" + prog.path("Profiles/" + name + ".vpf") + "\""),
             qPrintable(m.text));
    QCOMPARE(m.caption, QString("Velvo"));
    QCOMPARE(m.icon, Platform::Icon::Error);
    QCOMPARE(prog.readFile("Profiles/" + name + ".vpf"), SampleProfile);
    QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("999"));
    QVERIFY(SettingForm->isVisible());
    QVERIFY(!form->centralWidget()->isEnabled());
    // The edit is still there to be saved another way.
    QCOMPARE(SettingForm->vleVideo->Values("Bit Rate"), QString("1200"));
    prog.platform.saveResults.enqueue(prog.path("Profiles/Short.vpf"));
    SettingForm->btnSaveAs->click();
    QVERIFY(prog.readFile("Profiles/Short.vpf").contains("Caption=1200\r\nValue=1200\r\n"));
}

QTEST_MAIN(TestProfilesTab)
#include "tst_profilestab.moc"
