#pragma once
// Shared pieces of the fault and file-name tests that run the real encoder:
// a program folder with the built vxenc.dll and a profile picked by name,
// input and output folders, rows added through the window's own commands,
// and a poller that acts at chosen moments while a run goes on.

#include "Clips.h"
#include "TestProgram.h"

#include "app/MainForm.h"
#include "settings/Settings.h"
#include "tasks/ItemData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>

namespace realrun {

class Run {
public:
    // extraProfiles are written before the windows exist; the shipped ones
    // are copied as well. The windows are made by start() (at once when
    // startNow is set), and profile is then chosen by its name.
    Run(const QString &profile, const QList<QPair<QString, QByteArray>> &extraProfiles = {},
        const QString &outFolderName = "out", bool startNow = true)
        : m_profile(profile)
    {
        encoderReady = prog.useRealEncoder();
        prog.copyShippedProfiles();
        for (const auto &p : extraProfiles)
            prog.addProfile(p.first, p.second);
        inDir = media.path() + "/in/";
        outDir = media.path() + "/" + outFolderName + "/";
        QDir().mkpath(inDir);
        QDir().mkpath(outDir);
        if (startNow)
            start();
    }

    void start(const QStringList &arguments = {})
    {
        form = prog.start(arguments);
        form->cmbProfile->setCurrentIndex(form->cmbProfile->findText(m_profile));
        profileChosen = form->cmbProfile->currentText() == m_profile && form->CurrentOutputExt == ".mp4";
        form->edtOutputdir->setText(outDir);
        SettingForm->chkOpenDir->setChecked(false);
    }

    // Adds files through the Add button and the open dialog, and waits for
    // their measures.
    void addByDialog(const QStringList &paths)
    {
        prog.platform.openResults.enqueue(paths);
        QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
        WaitUntilMeasured(form);
    }

    int rows() const { return form->ltvTask->topLevelItemCount(); }
    // The row whose caption is path, -1 when there is none.
    int rowOf(const QString &path) const
    {
        for (int i = 0; i < rows(); ++i)
            if (form->ltvTask->topLevelItem(i)->text(0) == path)
                return i;
        return -1;
    }
    ltvItemData item(int i) const
    {
        ltvItemData rec;
        form->ReadItemData(i, sdAll, rec);
        return rec;
    }
    QString status(int i) const { return item(i).Status; }
    QString toolTip(int i) const { return form->ltvTask->topLevelItem(i)->toolTip(0); }
    // Start, and back once the run is over.
    void clickStart() { StartAndWait(form); }

    bool idle() const
    {
        return form->RunState == 0 && form->tbtnStart->isEnabled() && !form->tbtnStop->isEnabled()
            && form->ltvTask->isEnabled();
    }

    TestProgram prog;
    QTemporaryDir media;
    QString inDir, outDir;
    TMainForm *form = nullptr;
    bool encoderReady = false;
    bool profileChosen = false;

private:
    QString m_profile;
};

// Looks every few milliseconds (while the run handles window events) and
// performs the steps given with when() in order, each once its condition
// holds.
class Poller : public QObject {
public:
    Poller()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            while (!m_steps.isEmpty() && m_steps.first().first())
                m_steps.takeFirst().second();
        });
        m_timer.start(2);
    }
    void when(std::function<bool()> condition, std::function<void()> action)
    {
        m_steps.append({std::move(condition), std::move(action)});
    }
    int pending() const { return int(m_steps.size()); }

private:
    QTimer m_timer;
    QList<QPair<std::function<bool()>, std::function<void()>>> m_steps;
};

} // namespace realrun
