#pragma once
// Everything that reaches outside the program window: message boxes, file and
// folder dialogs, opening folders and documents, powering off. Tests install
// a double so that nothing real is shown, opened or powered off.

#include <QString>
#include <QStringList>

class QWidget;

class Platform {
public:
    enum class Icon { Information, Question, Warning, Error };
    enum class Buttons { Ok, YesNo };
    enum Answer { Ok = 1, Yes = 6, No = 7 };

    virtual ~Platform() = default;

    virtual int MessageBox(QWidget *owner, const QString &text, const QString &caption, Icon icon,
                           Buttons buttons = Buttons::Ok) = 0;
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
    // Asks the system to power off (not forced). False when it refused.
    virtual bool PowerOff() = 0;

    static Platform &Instance();
    // Installs another implementation (tests); nullptr restores the real one.
    static void SetInstance(Platform *platform);
};

// Converts a "label|pattern|..." filter into Qt's ";;" form ("label (patterns)").
QString QtFilterFromPairs(const QString &filter);
