// The settings dialog: its design, its lifecycle beside the main window, and
// the General tab's buttons (OK, Cancel, Load Default, browse).

#include "SettingsTestUtil.h"
#include "TestProgram.h"
#include "app/MainForm.h"
#include "profiles/ValueListEditor.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>

class TestSettingForm : public QObject {
    Q_OBJECT
private slots:
    void design();
    void openedFromBothButtons();
    void everyWayOfClosingEnablesTheMainWindow();
    void theMainWindowStaysWhileShown();
    void showCopiesTheMainOutputFolder();
    void okCopiesTheFolderAndSaves();
    void okKeepsTypedFolderAsTyped();
    void cancelWritesNothingButKeepsTheControls();
    void browseChosenAndCancelled();
    void loadDefaultWithoutSection();
    void loadDefaultFromSection();
    void loadDefaultAnsweredNo();
    void loadDefaultThenCancelIsSavedAtClose();
};

void TestSettingForm::design()
{
    TestProgram prog;
    prog.addProfile("One.vpf", OtherProfile);
    prog.addProfile("Two.vpf", SampleProfile);
    TMainForm *form = prog.start();
    TSettingForm *dlg = SettingForm;
    QVERIFY(dlg);
    QCOMPARE(dlg->parentWidget(), form);
    QVERIFY(!dlg->isVisible());
    QVERIFY(!dlg->isModal());
    QCOMPARE(dlg->windowTitle(), QString("Settings"));
    QCOMPARE(dlg->size(), QSize(391, 498));
    QCOMPARE(dlg->minimumSize(), dlg->maximumSize());

    auto *pages = FIND(QTabWidget, dlg, "pgcSetting");
    QCOMPARE(pages->count(), 2);
    QCOMPARE(pages->tabText(0), QString("     General     "));
    QCOMPARE(pages->tabText(1), QString("     Profiles     "));

    // The visible texts as designed; each label has a mnemonic for its field.
    QCOMPARE(FIND(QLabel, dlg, "labOutputDir")->text().remove('&'), QString("Default Output Path:"));
    QCOMPARE(dlg->labOutputDir->buddy(), dlg->edtOutputDir);
    FIND(QLineEdit, dlg, "edtOutputDir");
    FIND(QToolButton, dlg, "sbtnBrowse");
    QCOMPARE(FIND(QLabel, dlg, "labSyn")->text().remove('&'), QString("Synchronization Mode:"));
    QCOMPARE(dlg->labSyn->buddy(), dlg->cmbSyn);
    auto *syn = FIND(QComboBox, dlg, "cmbSyn");
    QVERIFY(!syn->isEditable());
    QCOMPARE(syn->count(), 3);
    QCOMPARE(syn->itemText(0), QString("Auto"));
    QCOMPARE(syn->itemText(1), QString("Force Mode"));
    QCOMPARE(syn->itemText(2), QString("Progressive Mode"));
    QCOMPARE(FIND(QFrame, dlg, "bvlSeparator")->frameShape(), QFrame::HLine);
    QCOMPARE(FIND(QCheckBox, dlg, "chkOpenDir")->text(),
             QString("Open the output directory when the task is completed. "));
    QCOMPARE(FIND(QCheckBox, dlg, "chkExit")->text(), QString("Exit the program when the task is completed."));
    QCOMPARE(FIND(QCheckBox, dlg, "chkTurnoff")->text(),
             QString("Turn off the computer when the task is completed."));
    auto *box = FIND(QGroupBox, dlg, "gpbOverwrite");
    QCOMPARE(box->title(), QString("Output File Overwrite"));
    auto *over = FIND(QRadioButton, dlg, "rdbOverWrite");
    auto *rename = FIND(QRadioButton, dlg, "rdbRename");
    QCOMPARE(over->text(), QString("Overwrite"));
    QCOMPARE(rename->text(), QString("Not overwrite (Rename to <Filename> + Index"));
    QCOMPARE(over->parentWidget(), box);
    QCOMPARE(rename->parentWidget(), box);
    // Shown: the separator stands between the mode and the check boxes, the
    // group box below them.
    dlg->ShowOnGeneralTab();
    QCOMPARE(dlg->size(), QSize(391, 498));
    QVERIFY(syn->geometry().bottom() < dlg->bvlSeparator->geometry().top());
    QVERIFY(dlg->bvlSeparator->geometry().bottom() < dlg->chkOpenDir->geometry().top());
    QVERIFY(dlg->chkOpenDir->geometry().bottom() < dlg->chkExit->geometry().top());
    QVERIFY(dlg->chkExit->geometry().bottom() < dlg->chkTurnoff->geometry().top());
    QVERIFY(dlg->chkTurnoff->geometry().bottom() < box->geometry().top());

    auto *def = FIND(QPushButton, dlg, "btnDefault");
    auto *ok = FIND(QPushButton, dlg, "btnOK");
    auto *cancel = FIND(QPushButton, dlg, "btnCancel");
    QCOMPARE(def->text(), QString("&Load Default"));
    QCOMPARE(ok->text(), QString("&OK"));
    QCOMPARE(cancel->text(), QString("&Cancel"));
    // Below the tabs: Load Default on the left, OK and Cancel on the right.
    QVERIFY(def->geometry().top() > pages->geometry().bottom());
    QVERIFY(def->geometry().right() < ok->geometry().left());
    QVERIFY(ok->geometry().right() < cancel->geometry().left());
    QVERIFY(cancel->geometry().right() <= 391);

    // The Profiles tab's selector holds the catalogue, nothing selected yet.
    auto *profiles = FIND(QComboBox, dlg, "cmbProfile");
    QCOMPARE(profiles->count(), 2);
    QCOMPARE(profiles->itemText(0), QString("One"));
    QCOMPARE(profiles->itemText(1), QString("Two"));
    QCOMPARE(profiles->currentIndex(), -1);
    QCOMPARE(FIND(QPushButton, dlg, "btnSaveAs")->text(), QString("&Save as..."));
}

void TestSettingForm::openedFromBothButtons()
{
    TestProgram prog;
    prog.addProfile("One.vpf", OtherProfile);
    prog.addProfile("Two.vpf", SampleProfile);
    TMainForm *form = prog.start();
    TSettingForm *dlg = SettingForm;

    form->tbtnSetting->click();
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->pgcSetting->currentIndex(), 0);
    // The main window takes no input meanwhile.
    QVERIFY(!form->centralWidget()->isEnabled());
    QVERIFY(!form->tbtnAddFile->isEnabled());
    QVERIFY(!form->ltvTask->isEnabled());
    QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
    QVERIFY(prog.platform.openFilters.isEmpty());
    // Centred on the main window.
    QVERIFY((dlg->frameGeometry().center() - form->frameGeometry().center()).manhattanLength() <= 4);
    dlg->btnCancel->click();
    QVERIFY(!dlg->isVisible());
    QVERIFY(form->centralWidget()->isEnabled());
    QVERIFY(form->tbtnAddFile->isEnabled());
    // Buttons that were off before stay off.
    QVERIFY(!form->tbtnStart->isEnabled());

    // "&Setting": the Profiles tab with the main window's profile.
    form->cmbProfile->setCurrentIndex(1);
    form->bbtnSetting->click();
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->pgcSetting->currentIndex(), 1);
    QCOMPARE(dlg->cmbProfile->currentText(), QString("Two"));
    QCOMPARE(dlg->vleVideo->Values("Bit Rate"), QString("800"));
    dlg->btnCancel->click();

    // The toolbar button leaves the Profiles tab as it was.
    dlg->cmbProfile->setCurrentIndex(0);
    form->tbtnSetting->click();
    QCOMPARE(dlg->pgcSetting->currentIndex(), 0);
    QCOMPARE(dlg->cmbProfile->currentIndex(), 0);
    QCOMPARE(dlg->vleVideo->Values("Bit Rate"), QString("800"));
}

void TestSettingForm::everyWayOfClosingEnablesTheMainWindow()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    TSettingForm *dlg = SettingForm;
    const QList<std::function<void()>> ways = {
        [&] { dlg->btnOK->click(); },
        [&] { dlg->btnCancel->click(); },
        [&] { dlg->close(); }, // the close box
        [&] { QTest::keyClick(dlg, Qt::Key_Escape); },
    };
    for (const auto &close : ways) {
        form->tbtnSetting->click();
        QVERIFY(dlg->isVisible());
        QVERIFY(!form->centralWidget()->isEnabled());
        close();
        QVERIFY(!dlg->isVisible());
        QVERIFY(form->centralWidget()->isEnabled());
    }
    QVERIFY(prog.platform.messages.isEmpty());
}

void TestSettingForm::theMainWindowStaysWhileShown()
{
    // A close request from the main window's title bar is ignored while the
    // dialog is shown: the program does not end with the dialog's edits.
    TestProgram prog;
    TMainForm *form = prog.start();
    form->tbtnSetting->click();
    SettingForm->edtOutputDir->setText("/typed/");
    SettingForm->chkExit->setChecked(true);
    QVERIFY(!form->close());
    QVERIFY(form->isVisible());
    QVERIFY(SettingForm->isVisible());
    QVERIFY(!prog.readFile("Preferences.ini").contains("Auto Exit")); // no close ran
    SettingForm->btnOK->click();
    QVERIFY(form->close());
    QCOMPARE(MainValue(prog, "Output Path"), QString("/typed/"));
    QCOMPARE(MainValue(prog, "Auto Exit"), QString("1"));
}

void TestSettingForm::showCopiesTheMainOutputFolder()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    QDir().mkpath(prog.path("a"));
    prog.platform.folderResults.enqueue(prog.path("a"));
    form->bbtnBrowser->click();
    form->tbtnSetting->click();
    QCOMPARE(SettingForm->edtOutputDir->text(), prog.path("a/"));
    // Typed into the dialog and cancelled: the next opening shows the main
    // window's folder again.
    SettingForm->edtOutputDir->setText("/somewhere/else/");
    SettingForm->btnCancel->click();
    QCOMPARE(form->edtOutputdir->text(), prog.path("a/"));
    form->tbtnSetting->click();
    QCOMPARE(SettingForm->edtOutputDir->text(), prog.path("a/"));
}

void TestSettingForm::okCopiesTheFolderAndSaves()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    QDir().mkpath(prog.path("chosen"));
    form->tbtnSetting->click();
    prog.platform.folderResults.enqueue(prog.path("chosen"));
    SettingForm->sbtnBrowse->click();
    SettingForm->cmbSyn->setCurrentIndex(1);
    SettingForm->chkTurnoff->setChecked(true);
    SettingForm->rdbRename->setChecked(true);
    SettingForm->btnOK->click();
    QVERIFY(!SettingForm->isVisible());
    QCOMPARE(form->edtOutputdir->text(), prog.path("chosen/"));
    QCOMPARE(MainValue(prog, "Output Path"), prog.path("chosen/"));
    QCOMPARE(MainValue(prog, "Syn Mode"), QString("1"));
    QCOMPARE(MainValue(prog, "Auto Turn Off"), QString("1"));
    QCOMPARE(MainValue(prog, "Overwrite"), QString("0"));
    QCOMPARE(MainValue(prog, "Auto Open Dir"), QString("1"));
    // OK does not write the profile position: only the close does.
    QCOMPARE(MainValue(prog, "Profile"), QString("<none>"));
    QVERIFY(prog.platform.messages.isEmpty());
}

void TestSettingForm::okKeepsTypedFolderAsTyped()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    form->tbtnSetting->click();
    // Not checked in any way.
    SettingForm->edtOutputDir->setText("no such folder");
    SettingForm->btnOK->click();
    QCOMPARE(form->edtOutputdir->text(), QString("no such folder"));
    QCOMPARE(MainValue(prog, "Output Path"), QString("no such folder"));
}

void TestSettingForm::cancelWritesNothingButKeepsTheControls()
{
    TestProgram prog;
    prog.writePreferences("[Main]\nAuto Open Dir=1\n");
    TMainForm *form = prog.start();
    const QByteArray before = prog.readFile("Preferences.ini");
    QCOMPARE(before, QByteArray("[Main]\nAuto Open Dir=1\n")); // only read
    form->tbtnSetting->click();
    QVERIFY(SettingForm->chkOpenDir->isChecked());
    SettingForm->chkOpenDir->setChecked(false);
    SettingForm->chkExit->setChecked(true);
    SettingForm->cmbSyn->setCurrentIndex(2);
    SettingForm->edtOutputDir->setText("/not/copied/");
    SettingForm->btnCancel->click();
    QCOMPARE(prog.readFile("Preferences.ini"), before);
    QCOMPARE(form->edtOutputdir->text(), prog.dir());
    // The next opening still shows them.
    form->tbtnSetting->click();
    QVERIFY(!SettingForm->chkOpenDir->isChecked());
    QVERIFY(SettingForm->chkExit->isChecked());
    QCOMPARE(SettingForm->cmbSyn->currentIndex(), 2);
    SettingForm->btnCancel->click();
    // The close saves them as they stand.
    form->close();
    QCOMPARE(MainValue(prog, "Auto Open Dir"), QString("0"));
    QCOMPARE(MainValue(prog, "Auto Exit"), QString("1"));
    QCOMPARE(MainValue(prog, "Syn Mode"), QString("2"));
    QCOMPARE(MainValue(prog, "Output Path"), prog.dir());
}

void TestSettingForm::browseChosenAndCancelled()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    form->tbtnSetting->click();
    SettingForm->edtOutputDir->setText("/kept/");
    prog.platform.folderResults.enqueue(QString()); // cancelled
    SettingForm->sbtnBrowse->click();
    QCOMPARE(prog.platform.folderCaptions, QStringList({"Select the output directory."}));
    QCOMPARE(SettingForm->edtOutputDir->text(), QString("/kept/"));

    // A chosen folder gets its trailing separator, once.
    QDir().mkpath(prog.path("x"));
    prog.platform.folderResults.enqueue(prog.path("x"));
    SettingForm->sbtnBrowse->click();
    QCOMPARE(SettingForm->edtOutputDir->text(), prog.path("x/"));
    prog.platform.folderResults.enqueue("/");
    SettingForm->sbtnBrowse->click();
    QCOMPARE(SettingForm->edtOutputDir->text(), QString("/"));
    // Browsing alone changes neither the main window nor the file.
    QCOMPARE(form->edtOutputdir->text(), prog.dir());
    QCOMPARE(prog.readFile("Preferences.ini"), QByteArray());
}

void TestSettingForm::loadDefaultWithoutSection()
{
    TestProgram prog;
    prog.writePreferences("[Main]\r\nAuto Exit=1\r\nAuto Turn Off=1\r\nOverwrite=0\r\nSyn Mode=2\r\n"
                          "Output Path=/stored/\r\n");
    TMainForm *form = prog.start();
    const QByteArray before = prog.readFile("Preferences.ini");
    form->tbtnSetting->click();
    QCOMPARE(SettingForm->edtOutputDir->text(), QString("/stored/"));
    QVERIFY(SettingForm->chkOpenDir->isChecked());
    SettingForm->btnDefault->click();
    QCOMPARE(prog.platform.messages.size(), 1);
    const FakePlatform::Message &ask = prog.platform.messages[0];
    QCOMPARE(ask.text, QString("Are you sure to load the default preferences?"));
    QCOMPARE(ask.caption, QString("Load Default"));
    QCOMPARE(ask.icon, Platform::Icon::Question);
    QCOMPARE(ask.buttons, Platform::Buttons::YesNo);
    QCOMPARE(SettingForm->edtOutputDir->text(), prog.dir());
    QCOMPARE(SettingForm->cmbSyn->currentText(), QString("Auto"));
    // All three boxes off, "Open the output directory" included.
    QVERIFY(!SettingForm->chkOpenDir->isChecked());
    QVERIFY(!SettingForm->chkExit->isChecked());
    QVERIFY(!SettingForm->chkTurnoff->isChecked());
    QVERIFY(SettingForm->rdbOverWrite->isChecked());
    QVERIFY(!SettingForm->rdbRename->isChecked());
    // Nothing is saved yet, and the dialog stays open.
    QCOMPARE(prog.readFile("Preferences.ini"), before);
    QVERIFY(SettingForm->isVisible());
}

void TestSettingForm::loadDefaultFromSection()
{
    TestProgram prog;
    prog.writePreferences("[Default]\r\nOutput Path=/default/out/\r\nSyn Mode=1\r\nAuto Open Dir=1\r\n"
                          "Auto Exit=True\r\nAuto Turn Off=0\r\nOverwrite=0\r\n[Main]\r\nSyn Mode=2\r\n");
    TMainForm *form = prog.start();
    form->tbtnSetting->click();
    SettingForm->chkTurnoff->setChecked(true);
    SettingForm->btnDefault->click();
    QCOMPARE(SettingForm->edtOutputDir->text(), QString("/default/out/"));
    QCOMPARE(SettingForm->cmbSyn->currentIndex(), 1);
    QVERIFY(SettingForm->chkOpenDir->isChecked());
    QVERIFY(SettingForm->chkExit->isChecked());
    QVERIFY(!SettingForm->chkTurnoff->isChecked());
    QVERIFY(SettingForm->rdbRename->isChecked());
    // OK stores them in [Main]; [Default] is never written.
    SettingForm->btnOK->click();
    QCOMPARE(form->edtOutputdir->text(), QString("/default/out/"));
    QCOMPARE(MainValue(prog, "Syn Mode"), QString("1"));
    QCOMPARE(MainValue(prog, "Auto Exit"), QString("1"));
    QCOMPARE(MainValue(prog, "Overwrite"), QString("0"));
    QVERIFY(prog.readFile("Preferences.ini")
                .startsWith("[Default]\r\nOutput Path=/default/out/\r\nSyn Mode=1\r\nAuto Open Dir=1\r\n"
                            "Auto Exit=True\r\nAuto Turn Off=0\r\nOverwrite=0\r\n[Main]\r\n"));
}

void TestSettingForm::loadDefaultAnsweredNo()
{
    TestProgram prog;
    prog.writePreferences("[Main]\r\nAuto Exit=1\r\nSyn Mode=2\r\n");
    TMainForm *form = prog.start();
    form->tbtnSetting->click();
    SettingForm->edtOutputDir->setText("/typed/");
    prog.platform.answers.enqueue(Platform::No);
    SettingForm->btnDefault->click();
    QCOMPARE(prog.platform.messages.size(), 1);
    QCOMPARE(SettingForm->edtOutputDir->text(), QString("/typed/"));
    QVERIFY(SettingForm->chkExit->isChecked());
    QVERIFY(SettingForm->chkOpenDir->isChecked());
    QCOMPARE(SettingForm->cmbSyn->currentIndex(), 2);
}

void TestSettingForm::loadDefaultThenCancelIsSavedAtClose()
{
    TestProgram prog;
    prog.writePreferences("[Main]\r\nAuto Exit=1\r\nSyn Mode=2\r\n");
    TMainForm *form = prog.start();
    const QByteArray before = prog.readFile("Preferences.ini");
    form->tbtnSetting->click();
    SettingForm->btnDefault->click();
    SettingForm->btnCancel->click();
    QCOMPARE(prog.readFile("Preferences.ini"), before);
    QVERIFY(!SettingForm->chkExit->isChecked());
    form->close();
    QCOMPARE(MainValue(prog, "Auto Exit"), QString("0"));
    QCOMPARE(MainValue(prog, "Auto Open Dir"), QString("0"));
    QCOMPARE(MainValue(prog, "Syn Mode"), QString("0"));
}

QTEST_MAIN(TestSettingForm)
#include "tst_settingform.moc"
