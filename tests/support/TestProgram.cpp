#include "TestProgram.h"
#include "app/Theme.h"

#include "app/Forms.h"
#include "app/MainForm.h"
#include "common/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QToolButton>

TestProgram::TestProgram()
{
    SetApplicationFolder(dir());
    // Per-user files of a test go to its own folders, never the real home.
    for (const char *name : {"XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        qputenv(name, QFile::encodeName(m_home.path() + '/' + QString::fromLatin1(name).toLower()));
}

QString TestProgram::stateDir() const
{
    return m_home.path() + "/xdg_state_home/velvo/";
}

TestProgram::~TestProgram()
{
    stop();
    SetApplicationFolder(QString());
}

QString TestProgram::dir() const
{
    return m_dir.path() + '/';
}

FakeEncoder &TestProgram::fakeEncoder()
{
    if (!m_fake)
        m_fake = std::make_unique<FakeEncoder>(dir());
    return *m_fake;
}

bool TestProgram::useRealEncoder()
{
    const QString target = dir() + "vxenc.dll";
    QFile::remove(target);
    return QFile::copy(QString(VELVO_PROGRAM_DIR) + "vxenc.dll", target) &&
           QFile::setPermissions(target, QFile::permissions(target) | QFile::ExeOwner | QFile::ExeUser);
}

void TestProgram::addProfile(const QString &fileName, const QByteArray &content)
{
    writeFile("Profiles/" + fileName, content);
}

void TestProgram::copyShippedProfiles()
{
    QDir().mkpath(dir() + "Profiles");
    QDirIterator it(QString(VELVO_SOURCE_DIR) + "data/Profiles", {"*.vpf"}, QDir::Files);
    while (it.hasNext()) {
        it.next();
        QFile::copy(it.filePath(), dir() + "Profiles/" + it.fileName());
    }
}

void TestProgram::copyShippedPreferences()
{
    QFile::copy(QString(VELVO_SOURCE_DIR) + "data/Preferences.ini", dir() + "Preferences.ini");
}

void TestProgram::writePreferences(const QByteArray &content)
{
    writeFile("Preferences.ini", content);
}

QByteArray TestProgram::readFile(const QString &relative) const
{
    QFile file(dir() + relative);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void TestProgram::writeFile(const QString &relative, const QByteArray &content)
{
    const QString full = dir() + relative;
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

TMainForm *TestProgram::start(const QStringList &arguments, bool show, bool settle)
{
    stop();
    // The font the program chooses: the designed one unless a test set its own.
    UseDesktopFont();
    TMainForm *form = CreateForms(arguments);
    m_started = true;
    if (show) {
        form->show();
        QCoreApplication::processEvents();
    }
    if (settle)
        WaitUntilMeasured(form);
    return form;
}

bool WaitUntilMeasured(TMainForm *form, int timeoutMs)
{
    return QTest::qWaitFor([form] { return form->AddsPending() == 0 && form->MeasuresPending() == 0; },
                           timeoutMs);
}

void TestProgram::stop()
{
    if (m_started) {
        DestroyForms();
        m_started = false;
    }
}

void WaitForRunEnd(TMainForm *form, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    // Each wait below returns at least this often.
    QTimer wake;
    wake.start(5);
    while ((form->RunState != 0 || form->WaitingToStart()) && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void StartAndWait(TMainForm *form, int timeoutMs)
{
    QTest::mouseClick(form->tbtnStart, Qt::LeftButton);
    WaitForRunEnd(form, timeoutMs);
}
