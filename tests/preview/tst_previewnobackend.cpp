// Without a usable media backend the program must keep running: Qt
// Multimedia ends the whole process when it finds no backend, so the preview
// looks for one first and disables its buttons with the reason instead.
// This process never gets a backend (it asks for one that does not exist).

#include "TestProgram.h"

#include "app/MainForm.h"
#include "preview/QtMediaGraph.h"

#include <QAction>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

class PreviewNoBackendTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("QT_MEDIA_BACKEND", "nosuchbackend"); }

    void windowDisablesThePreviewButtons()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        QTRY_VERIFY(!form->PreviewUnavailableReason.isEmpty());
        for (QToolButton *b : {form->sbtnPlay, form->sbtnPause, form->sbtnStop}) {
            QVERIFY(!b->isEnabled());
            QVERIFY2(b->toolTip().contains("\"nosuchbackend\" is not installed"), qPrintable(b->toolTip()));
        }
        // Everything else is as usual, and no message was shown.
        QVERIFY(form->ltvTask->isEnabled());
        QVERIFY(form->tbtnAddFile->isEnabled());
        QVERIFY(prog.platform.messages.isEmpty());
        // Nothing tries to play.
        form->AddFile("/videos/a.avi");
        form->ltvTask->topLevelItem(0)->setSelected(true);
        form->ltvTaskDblClick();
        form->mniOpen->trigger();
        form->sbtnPlayClick();
        QVERIFY(form->FilterGraph == nullptr);
        QVERIFY(prog.platform.messages.isEmpty());
    }

    void graphReportsTheMissingBackend()
    {
        QtMediaGraph graph;
        QVERIFY(!graph.Available());
        QVERIFY(graph.UnavailableReason().contains("nosuchbackend"));
        QVERIFY(graph.Player() == nullptr);
        // Its operations do nothing harmful.
        graph.Clear();
        graph.RenderFile("/videos/a.avi");
        graph.Run();
        graph.SeekMs(1000);
        graph.Stop();
        QCOMPARE(graph.DurationMs(), qint64(0));
        QCOMPARE(graph.CurrentPositionMs(), qint64(0));
        QCOMPARE(graph.GetState(), IMediaGraph::Stopped);
    }

    void noPluginAtAll()
    {
        qunsetenv("QT_MEDIA_BACKEND");
        const QStringList paths = QCoreApplication::libraryPaths();
        QTemporaryDir empty;
        QCoreApplication::setLibraryPaths({empty.path()});
        const QString problem = QtMediaGraph::BackendProblem();
        QCoreApplication::setLibraryPaths(paths);
        qputenv("QT_MEDIA_BACKEND", "nosuchbackend");
        QVERIFY2(problem.contains("no media playback backend"), qPrintable(problem));
    }

    void installedBackendIsFound()
    {
        // With the backend Qt would pick by itself, the plugin check passes
        // where the backend is installed (it is on every build machine).
        qunsetenv("QT_MEDIA_BACKEND");
        const QString problem = QtMediaGraph::BackendProblem();
        qputenv("QT_MEDIA_BACKEND", "nosuchbackend");
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
};

QTEST_MAIN(PreviewNoBackendTest)
#include "tst_previewnobackend.moc"
