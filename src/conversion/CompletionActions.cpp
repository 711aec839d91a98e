#include "conversion/CompletionActions.h"

#include "app/MainForm.h"
#include "common/Platform.h"
#include "conversion/PowerOffCountdown.h"
#include "conversion/RunOutcome.h"

#include <QApplication>

namespace {

// A notification for a user who is not looking at the window.
class TNotifyDesktop : public TCompletionAction {
public:
    void Run(const TCompletionContext &context, const std::function<void(bool)> &done) override
    {
        if (!context.Form->isActiveWindow()) {
            const QString folder = context.OutputFolder;
            Platform::Instance().Notify(CompletionNotice(context.Failed, context.Count), folder,
                                        QStringLiteral("Open Folder"),
                                        [folder] { Platform::Instance().OpenDocument(folder); });
        }
        done(true);
    }
};

// Counts down first, so that a user still at the machine can cancel; a
// cancelled countdown goes on as if power-off had not been chosen.
class TPowerOff : public TCompletionAction {
public:
    void Run(const TCompletionContext &context, const std::function<void(bool)> &done) override
    {
        TMainForm *form = context.Form;
        if (!context.Settings.AutoTurnOff) {
            done(true);
            return;
        }
        auto *countdown = new TPowerOffCountdown(form, form->PowerOffSeconds, form->PowerOffTickMs);
        countdown->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(countdown, &QDialog::finished, form, [form, done](int result) {
            if (result != QDialog::Accepted) {
                done(true);
                return;
            }
            // A refusal (already shown) still closes the window.
            form->PowerOffComputer();
            form->CloseAfterRun();
            done(false);
        });
        // Modal for the window alone, and nothing waits in a loop of its own.
        countdown->open();
    }
};

class TExitProgram : public TCompletionAction {
public:
    void Run(const TCompletionContext &context, const std::function<void(bool)> &done) override
    {
        if (!context.Settings.AutoExit) {
            done(true);
            return;
        }
        context.Form->CloseAfterRun();
        done(false);
    }
};

// The closing message; one that names the run's log can open it.
class TShowMessage : public TCompletionAction {
public:
    void Run(const TCompletionContext &context, const std::function<void(bool)> &done) override
    {
        const TCompletionMessage message =
            CompletionMessage(context.Failed, context.Count, context.LogPath, context.Warnings);
        const Platform::Icon icon = message.warning ? Platform::Icon::Warning : Platform::Icon::Information;
        if (message.namesLog) {
            const QString ok = QStringLiteral("OK");
            const QString openLog = QStringLiteral("Open Log");
            if (Platform::Instance().Ask(context.Form, message.text, message.caption, icon, {ok, openLog}, ok)
                == openLog)
                Platform::Instance().OpenDocument(context.LogPath);
        } else {
            Platform::Instance().MessageBox(context.Form, message.text, message.caption, icon);
        }
        done(true);
    }
};

class TOpenOutputFolder : public TCompletionAction {
public:
    void Run(const TCompletionContext &context, const std::function<void(bool)> &done) override
    {
        // Not for a program that is being closed or ended.
        if (context.Settings.AutoOpenDir && !context.Form->CloseRequestedDuringRun && !Platform::SessionEnding())
            Platform::Instance().OpenDocument(context.OutputFolder);
        done(true);
    }
};

} // namespace

QString CompletionNotice(int failed, int count)
{
    if (failed > 0)
        return QStringLiteral("%1 of %2 files could not be converted").arg(failed).arg(count);
    return count == 1 ? QStringLiteral("Velvo: 1 file converted")
                      : QStringLiteral("Velvo: %1 files converted").arg(count);
}

TCompletionActions::TCompletionActions(const TCompletionContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
{
}

TCompletionActions::~TCompletionActions() = default;

TCompletionActions *TCompletionActions::ForCompletedRun(const TCompletionContext &context, QObject *parent)
{
    auto *actions = new TCompletionActions(context, parent);
    actions->Add(std::make_unique<TNotifyDesktop>());
    actions->Add(std::make_unique<TPowerOff>());
    actions->Add(std::make_unique<TExitProgram>());
    actions->Add(std::make_unique<TShowMessage>());
    actions->Add(std::make_unique<TOpenOutputFolder>());
    return actions;
}

void TCompletionActions::Add(std::unique_ptr<TCompletionAction> action)
{
    m_actions.push_back(std::move(action));
}

void TCompletionActions::Start()
{
    m_next = 0;
    Next();
}

void TCompletionActions::Next()
{
    if (m_next >= m_actions.size()) {
        emit Done(false);
        return;
    }
    TCompletionAction &action = *m_actions[m_next++];
    action.Run(m_context, [this](bool goOn) {
        if (goOn)
            Next();
        else
            emit Done(true);
    });
}
