#pragma once
// Everything that reaches outside the program window: message boxes, file and
// folder dialogs, opening folders and documents, powering off and keeping the
// machine awake. Tests install
// a double so that nothing real is shown, opened or powered off.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

class Platform {
public:
    enum class Icon { Information, Question, Warning, Error };
    enum class Buttons { Ok, YesNo };
    enum Answer { Ok = 1, Yes = 6, No = 7 };

    virtual ~Platform() = default;

    virtual int MessageBox(QWidget *owner, const QString &text, const QString &caption, Icon icon,
                           Buttons buttons = Buttons::Ok) = 0;
    // A question whose buttons carry their own words ("Replace", "Keep Both",
    // "Cancel"). Returns the text of the button chosen, or "" when the box was
    // closed without a choice (Escape, or the session is ending): callers take
    // "" as their most careful answer. defaultButton is the one Return picks.
    virtual QString Ask(QWidget *owner, const QString &text, const QString &caption, Icon icon,
                        const QStringList &buttons, const QString &defaultButton = QString()) = 0;
    // A message box that does not wait to be closed: what called it (a
    // running batch) goes on meanwhile.
    virtual void ShowNotice(QWidget *owner, const QString &text, const QString &caption, Icon icon) = 0;
    // filter is a list of "label|pattern|label|pattern..." pairs; returns the
    // chosen files (empty when cancelled).
    virtual QStringList OpenFiles(QWidget *owner, const QString &filter) = 0;
    // Returns the chosen file name, empty when cancelled. defaultExt is
    // appended when the name given has no extension. The dialog opens in
    // folder (the working folder when it is empty).
    virtual QString SaveFile(QWidget *owner, const QString &filter, const QString &defaultExt,
                             const QString &folder) = 0;
    // folder is in/out; true when the user chose a folder.
    virtual bool SelectFolder(QWidget *owner, const QString &caption, QString &folder) = 0;
    // Opens a folder or document with its associated program.
    virtual bool OpenDocument(const QString &path) = 0;
    // Asks the system to power off (not forced; a desktop may ask the user to
    // authorise it). False when it refused, with its reason.
    virtual bool PowerOff(QString &reason) = 0;
    // Keeps the machine from suspending or idling into sleep until
    // EndSleepInhibit; why is shown by the desktop. False when no lock could
    // be had (no logind): that is not reported.
    virtual bool BeginSleepInhibit(const QString &why) = 0;
    virtual void EndSleepInhibit() = 0;
    // The progress a dock or taskbar shows on the program's launcher:
    // progress from 0 to 1 and a count (files left). Clear takes both away.
    // Nothing happens where no desktop listens.
    virtual void ShowTaskbarProgress(double progress, int count) = 0;
    virtual void ClearTaskbarProgress() = 0;
    // A desktop notification with one action; onAction runs when the user
    // picks it. Without a notification service nothing happens and nothing
    // is reported.
    virtual void Notify(const QString &summary, const QString &body, const QString &actionLabel,
                        const std::function<void()> &onAction) = 0;

    // The colour scheme the desktop prefers, as the XDG desktop portal
    // reports it (org.freedesktop.appearance color-scheme). Asked without
    // waiting: report is called when the answer comes, and again whenever the
    // desktop changes it. Nothing is reported without a portal.
    enum class ColorScheme { NoPreference, Dark, Light };
    virtual void WatchColorScheme(std::function<void(ColorScheme)> report) = 0;

    // Once the program has been asked to end (the desktop session closes),
    // no message box waits for an answer any more: MessageBox returns at
    // once with No (or Ok), so boxes never stack up and hold the exit back.
    static void SetSessionEnding(bool ending);
    static bool SessionEnding();

    static Platform &Instance();
    // Installs another implementation (tests); nullptr restores the real one.
    static void SetInstance(Platform *platform);
};

// Converts a "label|pattern|..." filter into Qt's ";;" form ("label (patterns)").
QString QtFilterFromPairs(const QString &filter);
