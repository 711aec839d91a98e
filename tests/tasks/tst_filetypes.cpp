// The file types the task list takes, and what follows from them: the folder
// scan mask, the open dialog's filter and the notice of skipped files.
#include "tasks/FileTypes.h"

#include <QSet>
#include <QtTest>

class TestFileTypes : public QObject {
    Q_OBJECT

private slots:
    void inputTypes()
    {
        const QStringList types = InputExtensionList();
        // The eight of the first design stay first, in their order.
        QCOMPARE(types.mid(0, 8), QStringList({".avi", ".mpg", ".mpeg", ".mp4", ".wmv", ".mov", ".vob", ".asf"}));
        for (const char *type : {".mkv", ".webm", ".m4v", ".ts", ".mts", ".m2ts", ".3gp", ".3g2", ".ogv", ".mp3",
                                 ".m4a", ".aac", ".wav", ".flac", ".ogg", ".opus", ".wma"})
            QVERIFY2(types.contains(type), type);
        QVERIFY(!types.contains(".flv"));
        QCOMPARE(QSet<QString>(types.begin(), types.end()).size(), types.size());
        for (const QString &t : types)
            QVERIFY2(t.startsWith('.') && t == t.toLower() && t.size() > 1, qPrintable(t));
        // Every type a shipped profile writes can be read back in, GIF aside.
        for (const QString &t : OutputTypeExtensionList())
            QVERIFY2(types.contains(t) || t == ".flv" || t == ".swf" || t == ".gif", qPrintable(t));
    }

    void maskAndFilter()
    {
        QCOMPARE(ScanMaskOf({".avi", ".mkv"}), QString("*.avi;*.mkv;"));
        QCOMPARE(ScanMaskOf({}), QString());
        QCOMPARE(OpenDialogFilterOf({".avi", ".m2ts"}),
                 QString("All Support Files(*.avi;*.m2ts;)|*.avi;*.m2ts;|AVI Files (*.avi)|*.avi|"
                         "M2TS Files (*.m2ts)|*.m2ts|All Files (*.*)|*.*"));
        // The first design's filter, exactly as it was.
        QVERIFY(OpenDialogFilterOf(InputExtensionList().mid(0, 8)) ==
                "All Support Files(*.avi;*.mpg;*.mpeg;*.mp4;*.wmv;*.mov;*.vob;*.asf;)|*.avi;*.mpg;*.mpeg;*.mp4;"
                "*.wmv;*.mov;*.vob;*.asf;|AVI Files (*.avi)|*.avi|MPG Files (*.mpg)|*.mpg|MPEG Files (*.mpeg)|"
                "*.mpeg|MP4 Files (*.mp4)|*.mp4|WMV Files (*.wmv)|*.wmv|MOV Files (*.mov)|*.mov|VOB Files "
                "(*.vob)|*.vob|ASF Files (*.asf)|*.asf|All Files (*.*)|*.*");
    }

    void skippedNotice()
    {
        TSkippedFiles none;
        QCOMPARE(none.Count(), 0);
        QVERIFY(none.Notice().isEmpty());

        TSkippedFiles one;
        one.Add("/videos/old.FLV");
        QCOMPARE(one.Notice(), QString("1 file was not added because its type is not supported: .flv."));

        TSkippedFiles many;
        for (const char *name : {"/a/x.flv", "/a/y.txt", "/a.b/README", "/a/z.Flv"})
            many.Add(name);
        QCOMPARE(many.Count(), 4);
        QCOMPARE(many.Notice(),
                 QString("4 files were not added because their types are not supported: .flv, .txt, no extension."));
    }
};

QTEST_MAIN(TestFileTypes)
#include "tst_filetypes.moc"
