// Renders the windows for review: the main window idle with a few files and
// during a run, the settings dialog on both tabs, the size dialog; then the
// main window and the settings dialog with an 11 pt font and with a dark
// palette.
// Usage: velvo_screenshots <output folder>   (run under a display, e.g. xvfb-run)

#include "Clips.h"
#include "TestProgram.h"
#include "app/MainForm.h"
#include "app/Theme.h"
#include "profiles/CustomSize.h"
#include "profiles/ValueListEditor.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFont>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {

void Save(QWidget *window, const QString &folder, const QString &name)
{
    QApplication::processEvents();
    const QString path = folder + "/" + name + ".png";
    if (window->grab().save(path))
        printf("%s\n", qPrintable(path));
    else
        fprintf(stderr, "could not write %s\n", qPrintable(path));
}

void Settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    QApplication::setFont(font);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("screenshots");
    QDir().mkpath(out);

    TestProgram prog;
    prog.copyShippedProfiles();
    prog.useRealEncoder();
    QDir(prog.dir()).mkpath("clips");
    const QStringList names = {"Holiday at the lake.mp4", "interview-take2.avi", "Birthday party.mov"};
    QStringList files;
    for (int i = 0; i < names.size(); ++i) {
        const QString file = prog.dir() + "clips/" + names[i];
        MakeTestClip(file, 2 + 3 * i, 320 + 160 * (i % 2), 240 + 120 * (i % 2));
        files << file;
    }
    TMainForm *form = prog.start(files);
    int mp4 = form->cmbProfile->findText("MP4 - H.264 Video");
    if (mp4 >= 0)
        form->cmbProfile->setCurrentIndex(mp4);
    form->ltvTask->setCurrentItem(form->ltvTask->topLevelItem(0));
    form->ltvTaskClick();
    Settle(300);
    Save(form, out, "main-idle");

    // A run that takes a while: the fake encoder prints progress slowly.
    FakeEncoder &fake = prog.fakeEncoder();
    fake.setScript("[convert]\nout frame=1\\n\nout frame=2\\n\n"
                   "out time=0.5 \\n\nsleep 400\nout time=1.2 \\n\nsleep 400\nout time=1.6 \\n\nsleep 3000\n");
    form->edtOutputdir->setText(prog.dir() + "clips/");
    QTimer::singleShot(1500, form, [&] {
        Save(form, out, "main-running");
        form->tbtnStopClick();
    });
    form->tbtnStartClick();
    WaitForRunEnd(form);

    SettingForm->ShowOnGeneralTab();
    Settle(200);
    Save(SettingForm, out, "settings-general");
    SettingForm->btnCancelClick();
    SettingForm->ShowOnProfilesTab(form->cmbProfile->currentIndex());
    Settle(200);
    Save(SettingForm, out, "settings-profiles");
    SettingForm->btnCancelClick();

    SizeForm->show();
    Settle(200);
    Save(SizeForm, out, "size-dialog");
    SizeForm->close();

    const auto mainAndSettings = [&](const QString &suffix) {
        Settle(300);
        Save(form, out, "main-idle-" + suffix);
        SettingForm->ShowOnGeneralTab();
        Settle(300);
        Save(SettingForm, out, "settings-general-" + suffix);
        SettingForm->btnCancelClick();
    };
    QApplication::setFont(QFont("DejaVu Sans", 11));
    mainAndSettings("11pt");
    QApplication::setFont(font);
    ApplyColorScheme(Platform::ColorScheme::Dark);
    mainAndSettings("dark");
    return 0;
}
