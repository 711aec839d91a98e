#pragma once
// A throw-away program folder for one GUI test: a temporary folder used as
// the program folder, the platform double installed, an encoder (the fake or
// the real one) as vxenc.dll, profiles and Preferences.ini as the test needs,
// and the program's windows created on it.

#include "FakeEncoder.h"
#include "FakePlatform.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class TMainForm;

class TestProgram {
public:
    TestProgram();
    ~TestProgram();
    TestProgram(const TestProgram &) = delete;
    TestProgram &operator=(const TestProgram &) = delete;

    // The program folder, with a trailing "/".
    QString dir() const;
    QString path(const QString &relative) const { return dir() + relative; }
    // The program's per-user state folder for this test ($XDG_STATE_HOME/velvo/).
    QString stateDir() const;

    // The fake encoder as vxenc.dll (created on first use).
    FakeEncoder &fakeEncoder();
    // The real vxenc.dll of the build, copied in.
    bool useRealEncoder();

    void addProfile(const QString &fileName, const QByteArray &content);
    // Copies every shipped profile (data/Profiles) into Profiles/.
    void copyShippedProfiles();
    void writePreferences(const QByteArray &content);
    // Copies the shipped data/Preferences.ini in.
    void copyShippedPreferences();
    QByteArray readFile(const QString &relative) const;
    void writeFile(const QString &relative, const QByteArray &content);

    // Creates the windows (CreateForms) and, when show is set, shows the
    // main window and processes events so its show handler has run; with
    // settle, waits until the files given are added and measured.
    TMainForm *start(const QStringList &arguments = {}, bool show = true, bool settle = true);
    // Deletes the windows (also done by the destructor).
    void stop();

    FakePlatform platform;

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_home; // the XDG folders
    std::unique_ptr<FakeEncoder> m_fake;
    bool m_started = false;
};

// Waits (handling events) until every file on its way into form's task list
// is added and measured; false when that takes longer than timeoutMs.
bool WaitUntilMeasured(TMainForm *form, int timeoutMs = 30000);
// Handles window events until the run started by Start is over (one that
// waits for measures first included), its closing actions included (the
// window is idle again, or closed), or timeoutMs passed.
void WaitForRunEnd(TMainForm *form, int timeoutMs = 120000);
// Clicks Start and waits for the run to end.
void StartAndWait(TMainForm *form, int timeoutMs = 120000);

// Child lookup by objectName that fails the calling test when absent.
#define FIND(Type, root, name)                                                                     \
    ([&]() {                                                                                       \
        Type *found_ = (root)->findChild<Type *>(QStringLiteral(name));                            \
        if (!found_)                                                                               \
            qFatal("missing child %s", name);                                                      \
        return found_;                                                                             \
    }())
