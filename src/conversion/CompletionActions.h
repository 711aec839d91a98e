#pragma once
// What follows a completed run: a list of small actions run one after
// another once the run has finished. An action may take its time (the
// power-off countdown) without holding the window; it says when it is done
// and whether the actions after it still run (not once the window closes).

#include "prefs/Preferences.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TMainForm;

struct TCompletionContext {
    TMainForm *Form = nullptr;
    TGeneralPreferences Settings; // as they stand when the run completed
    QString OutputFolder;
    int Count = 0;
    int Failed = 0;
    QString LogPath;
    QStringList Warnings;
};

class TCompletionAction {
public:
    virtual ~TCompletionAction() = default;
    // Calls done(true) when the next action may run, done(false) once the
    // window has closed; at once or later.
    virtual void Run(const TCompletionContext &context, const std::function<void(bool goOn)> &done) = 0;
};

// The desktop notification and taskbar texts of a completed run.
QString CompletionNotice(int failed, int count);

class TCompletionActions : public QObject {
    Q_OBJECT
public:
    TCompletionActions(const TCompletionContext &context, QObject *parent = nullptr);
    ~TCompletionActions() override;

    // The actions of a completed batch, in their order: tell the desktop,
    // power off (after a countdown), exit, the closing message, open the
    // output folder.
    static TCompletionActions *ForCompletedRun(const TCompletionContext &context, QObject *parent);

    void Add(std::unique_ptr<TCompletionAction> action);
    void Start();

signals:
    // After the last action, or once one has closed the window.
    void Done(bool windowClosed);

private:
    void Next();

    TCompletionContext m_context;
    std::vector<std::unique_ptr<TCompletionAction>> m_actions;
    size_t m_next = 0;
};
