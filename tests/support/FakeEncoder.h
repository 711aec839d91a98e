#pragma once
// The stand-in encoder for tests: the fakeenc program copied into a program
// folder as vxenc.dll, told what to do by a script file beside it, and
// logging the arguments of every run (see tests/fakes/fakeenc.cpp).

#include <QList>
#include <QString>
#include <QStringList>

class FakeEncoder {
public:
    // Copies fakeenc as programDir + "vxenc.dll" (a "/" is added when
    // programDir lacks it) and removes any script, log or child file left
    // there by an earlier use.
    explicit FakeEncoder(const QString &programDir);

    // Replaces the script; lines under "[measure]" run for "-i <file>",
    // lines under "[convert]" for every other command line.
    void setScript(const QString &script);
    // Removes the script: the fake then prints its built-in report.
    void clearScript();

    // The argument list of every run so far, oldest first.
    QList<QStringList> runs() const;
    // The runs that converted, without the measures (of inputs or outputs).
    QList<QStringList> conversions() const;
    void clearRuns();

    // Pid written by the script command "child", 0 when there is none.
    qint64 childPid() const;

    // Full path of the copied program (programDir + "vxenc.dll").
    QString path() const;
    // True when the copy was made and is executable.
    bool isValid() const { return m_valid; }

private:
    QString m_path;
    bool m_valid = false;
};
