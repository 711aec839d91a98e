#pragma once
// Test double for the platform seam: records every call and answers from
// queues the test fills. Installed for its lifetime. It never powers off and
// never takes a real lock.

#include "common/Platform.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>

class FakePlatform : public Platform {
public:
    struct Message {
        QString text;
        QString caption;
        Icon icon;
        Buttons buttons;
    };

    FakePlatform() { Platform::SetInstance(this); }
    ~FakePlatform() override
    {
        Platform::SetInstance(nullptr);
        Platform::SetSessionEnding(false);
    }

    int MessageBox(QWidget *, const QString &text, const QString &caption, Icon icon,
                   Buttons buttons) override
    {
        if (Platform::SessionEnding()) {
            // Nothing would be shown to anybody any more.
            unshownMessages.append({text, caption, icon, buttons});
            return buttons == Buttons::YesNo ? No : Ok;
        }
        messages.append({text, caption, icon, buttons});
        if (onMessage)
            onMessage(messages.last());
        if (!answers.isEmpty())
            return answers.dequeue();
        return buttons == Buttons::YesNo ? Yes : Ok;
    }
    QString Ask(QWidget *, const QString &text, const QString &caption, Icon icon, const QStringList &buttons,
                const QString &defaultButton) override
    {
        if (Platform::SessionEnding())
            return QString();
        questions.append({text, caption, icon, buttons, defaultButton});
        if (onQuestion)
            onQuestion(questions.last());
        // Answered by a button's name; a name the box does not have is a closed box.
        const QString answer = askAnswers.isEmpty() ? (buttons.isEmpty() ? QString() : buttons.first())
                                                    : askAnswers.dequeue();
        return buttons.contains(answer) ? answer : QString();
    }
    void ShowNotice(QWidget *, const QString &text, const QString &caption, Icon icon) override
    {
        notices.append({text, caption, icon, Buttons::Ok});
    }
    QStringList OpenFiles(QWidget *, const QString &filter) override
    {
        openFilters.append(filter);
        return openResults.isEmpty() ? QStringList() : openResults.dequeue();
    }
    QString SaveFile(QWidget *, const QString &filter, const QString &defaultExt,
                     const QString &folder) override
    {
        saveFilters.append(filter + "#" + defaultExt);
        saveFolders.append(folder);
        return saveResults.isEmpty() ? QString() : saveResults.dequeue();
    }
    bool SelectFolder(QWidget *, const QString &caption, QString &folder) override
    {
        folderCaptions.append(caption);
        if (folderResults.isEmpty())
            return false;
        const QString chosen = folderResults.dequeue();
        if (chosen.isEmpty())
            return false;
        folder = chosen;
        return true;
    }
    bool OpenDocument(const QString &path) override
    {
        opened.append(path);
        return openResult;
    }
    bool PowerOff(QString &reason) override
    {
        ++powerOffs;
        if (!powerOffResult)
            reason = powerOffRefusal;
        return powerOffResult;
    }
    bool BeginSleepInhibit(const QString &why) override
    {
        inhibitReasons.append(why);
        inhibitHeld = inhibitResult;
        return inhibitResult;
    }
    void EndSleepInhibit() override
    {
        ++inhibitEnds;
        inhibitHeld = false;
    }
    void ShowTaskbarProgress(double progress, int count) override
    {
        taskbar.append(QStringLiteral("%1/%2").arg(qRound(progress * 100)).arg(count));
    }
    void ClearTaskbarProgress() override { taskbar.append(QStringLiteral("clear")); }
    void Notify(const QString &summary, const QString &body, const QString &actionLabel,
                const std::function<void()> &onAction) override
    {
        notifications.append({summary, body, actionLabel, onAction});
    }

    struct Notification {
        QString summary;
        QString body;
        QString actionLabel;
        std::function<void()> onAction; // what picking the action does
    };

    void WatchColorScheme(std::function<void(ColorScheme)> report) override
    {
        colorSchemeReport = std::move(report);
    }

    struct Question {
        QString text;
        QString caption;
        Icon icon;
        QStringList buttons;
        QString defaultButton;
    };

    QList<Message> messages;
    QList<Question> questions;
    QQueue<QString> askAnswers;          // Ask results by button name, the first button by default
    std::function<void(const Question &)> onQuestion;
    QList<Message> unshownMessages;      // asked for once the session was ending
    QQueue<int> answers;                 // MessageBox results, Ok/Yes by default
    std::function<void(const Message &)> onMessage;
    QList<Message> notices;              // message boxes that were not waited for
    QStringList openFilters;
    QQueue<QStringList> openResults;
    QStringList saveFilters;
    QStringList saveFolders;             // the folder each save dialog opened in
    QQueue<QString> saveResults;
    QStringList folderCaptions;
    QQueue<QString> folderResults;       // "" means cancelled
    QStringList opened;
    bool openResult = true;              // false: as without a program to open it
    int powerOffs = 0;
    bool powerOffResult = true;
    QString powerOffRefusal = QStringLiteral("Interactive authentication required.");
    QStringList inhibitReasons;          // one per lock asked for
    int inhibitEnds = 0;
    bool inhibitHeld = false;
    bool inhibitResult = true;           // false: as without logind
    QStringList taskbar;                 // "<percent>/<files left>" or "clear", one per update
    QList<Notification> notifications;
    std::function<void(ColorScheme)> colorSchemeReport; // what the program follows; tests call it as the portal would
};
