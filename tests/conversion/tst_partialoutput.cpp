// The partial file an item is written to: made exclusively under a name
// nobody can guess, renamed onto its final name only while both names hold
// that very file; and the list that lets the next start remove the partial
// files of a program killed outright, never anything else.

#include "FakeEncoder.h"
#include "conversion/EncoderProcess.h"
#include "conversion/ItemOutput.h"
#include "conversion/PartialOutput.h"
#include "conversion/PartialsList.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

struct stat Stat(const QString &path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

bool WriteThrough(const TPartialOutput &partial, const QByteArray &bytes)
{
    return ::write(partial.Descriptor(), bytes.constData(), size_t(bytes.size())) == bytes.size();
}

qint64 DeadPid()
{
    QProcess p;
    p.start("true", {});
    p.waitForFinished();
    return p.processId();
}

} // namespace

class TestPartialOutput : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_out = m_dir.path() + "/" + QTest::currentTestFunction() + "/";
        QVERIFY(QDir().mkpath(m_out));
    }

    void createdPrivatelyUnderAnUnguessableName()
    {
        TPartialOutput a, b;
        QString error;
        QVERIFY2(a.Create(m_out + "clip.mp4", error), qPrintable(error));
        QVERIFY(b.Create(m_out + "clip.mp4", error));
        static const QRegularExpression shape("^\\.clip\\.mp4\\.part-[a-z2-7]{12}\\.mp4$");
        const QString name = QFileInfo(a.Path()).fileName();
        QVERIFY2(shape.match(name).hasMatch(), qPrintable(name));
        QVERIFY(a.Path() != b.Path());
        QCOMPARE(int(Stat(a.Path()).st_mode & 07777), 0600);
        QCOMPARE(quint64(Stat(a.Path()).st_ino), quint64(a.Inode()));
        // Close-on-exec: no child gets it unless handed over on purpose.
        QVERIFY(::fcntl(a.Descriptor(), F_GETFD) & FD_CLOEXEC);
        QVERIFY(WriteThrough(a, "abc"));
        QCOMPARE(a.Size(), qint64(3));
        // Another process of the user reads it by the descriptor's name.
        QCOMPARE(Read(a.ProcPath()), QByteArray("abc"));

        TPartialOutput none;
        QVERIFY(!none.Create(m_dir.path() + "/missing/clip.mp4", error));
        QVERIFY(!error.isEmpty());
    }

    void renamedWithTheUmasksMode()
    {
        TPartialOutput partial;
        QString error;
        QVERIFY(partial.Create(m_out + "clip.mp4", error));
        QVERIFY(WriteThrough(partial, "video"));
        const mode_t old = ::umask(027);
        QCOMPARE(NewFileMode(), mode_t(0640));
        QCOMPARE(partial.Rename("clip.mp4", false), TPartialOutput::Commit::Done);
        ::umask(old);
        QCOMPARE(Read(m_out + "clip.mp4"), QByteArray("video"));
        QCOMPARE(int(Stat(m_out + "clip.mp4").st_mode & 07777), 0640);
        QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden), QStringList{"clip.mp4"});
        // Once renamed, nothing removes the output.
        partial.Remove();
        QVERIFY(QFileInfo::exists(m_out + "clip.mp4"));
    }

    void aSwappedPartialNeverBecomesTheOutput()
    {
        // Another member of a shared folder replaces the partial name with a
        // link to a file of the user's, or with a file of their own.
        const QString victim = m_dir.path() + "/victim.txt";
        QVERIFY(Write(victim, "precious"));
        for (bool link : {true, false}) {
            TPartialOutput partial;
            QString error;
            QVERIFY(partial.Create(m_out + "one.mp4", error));
            QVERIFY(QFile::remove(partial.Path()));
            QVERIFY(link ? QFile::link(victim, partial.Path()) : Write(partial.Path(), "planted"));
            QCOMPARE(partial.Rename("one.mp4", true), TPartialOutput::Commit::FolderChanged);
            QVERIFY(!QFileInfo::exists(m_out + "one.mp4"));
            partial.Remove(); // not ours: left alone
            QVERIFY(QFileInfo(partial.Path()).isSymLink() == link);
            QFile::remove(partial.Path());
        }
        QCOMPARE(Read(victim), QByteArray("precious"));
    }

    void handedToTheEncoderAlone()
    {
        FakeEncoder fake(m_out);
        QVERIFY(fake.isValid());
        fake.setScript("[convert]\nfds\nwrite through the descriptor\n");
        TPartialOutput partial;
        QString error;
        QVERIFY(partial.Create(m_out + "clip.mp4", error));
        // A descriptor left open to children, as libraries now and then do.
        const int leaked = ::open("/dev/null", O_RDONLY);
        QVERIFY(leaked > 2);
        TEncoderProcess encoder;
        encoder.SetOutputDescriptor(partial.Descriptor());
        QVERIFY(encoder.Start(fake.path(), ConvertCommand(m_out + "in.avi", " -c:v libx264", partial.Path())));
        QByteArray output, chunk;
        while (encoder.ReadChunk(chunk))
            output += chunk;
        ::close(leaked);
        QVERIFY(encoder.ExitedNormally());
        // Nothing but the output file came along.
        QVERIFY2(output.contains("fds:\n"), output.constData());
        QCOMPARE(Read(partial.Path()), QByteArray("through the descriptor"));
        // The last argument still names the file, for the log.
        QCOMPARE(fake.conversions().last().last(), partial.Path());
    }

    void anItemsOutputFromStartToName()
    {
        const QString state = m_dir.path() + "/state-item/velvo";
        TPartialsList list(state);
        QString failure;
        {
            // Rename mode: a file made under the final name meanwhile is kept
            // and the output takes the next free name.
            TItemOutput item(&list);
            QVERIFY(item.Begin(m_out + "clip.mp4", failure));
            QCOMPARE(list.Count(), 1);
            QVERIFY(WriteThrough(item.Partial(), "new"));
            QVERIFY(Write(m_out + "clip.mp4", "made meanwhile"));
            QVERIFY(Write(m_out + "clip_1.mp4", "also taken"));
            QStringList offered{m_out + "clip_1.mp4", m_out + "clip_1_1.mp4"};
            const QString taken = item.Commit(false, [&] { return offered.takeFirst(); }, failure);
            QCOMPARE(taken, m_out + "clip_1_1.mp4");
            QCOMPARE(Read(taken), QByteArray("new"));
            QCOMPARE(Read(m_out + "clip.mp4"), QByteArray("made meanwhile"));
            QCOMPARE(Read(m_out + "clip_1.mp4"), QByteArray("also taken"));
            QCOMPARE(list.Count(), 0);
        }
        QVERIFY(QFileInfo::exists(m_out + "clip_1_1.mp4"));
        {
            // Every name taken: the item fails and leaves nothing.
            TItemOutput item(&list);
            QVERIFY(item.Begin(m_out + "clip.mp4", failure));
            QCOMPARE(item.Commit(false, [] { return QString(); }, failure), QString());
            QCOMPARE(failure, QString("No free output file name was found."));
            QVERIFY(!QFileInfo::exists(item.Partial().Path()));
            QCOMPARE(list.Count(), 0);
        }
        {
            // The partial name swapped by someone else.
            TItemOutput item(&list);
            QVERIFY(item.Begin(m_out + "swap.mp4", failure));
            QVERIFY(QFile::remove(item.Partial().Path()) && Write(item.Partial().Path(), "planted"));
            QCOMPARE(item.Commit(true, {}, failure), QString());
            QCOMPARE(failure, QString("The output folder changed while converting."));
            QVERIFY(!QFileInfo::exists(m_out + "swap.mp4"));
            QCOMPARE(Read(item.Partial().Path()), QByteArray("planted")); // not ours, not removed
            QFile::remove(item.Partial().Path());
        }
        QString partialPath;
        {
            // Stopped or failed: the partial file goes with the item.
            TItemOutput item(&list);
            QVERIFY(item.Begin(m_out + "stopped.mp4", failure));
            partialPath = item.Partial().Path();
            QVERIFY(QFileInfo::exists(partialPath));
        }
        QVERIFY(!QFileInfo::exists(partialPath));
        QCOMPARE(list.Count(), 0);
        TItemOutput nowhere(&list);
        QVERIFY(!nowhere.Begin(m_dir.path() + "/no/such/folder/a.mp4", failure));
        QVERIFY(failure.startsWith("The output file could not be created: "));
    }

    void theListLetsTheNextStartRemoveLeftovers()
    {
        const QString state = m_dir.path() + "/state/velvo";
        TPartialOutput left, renamed;
        QString error;
        QVERIFY(left.Create(m_out + "a b.mp4", error));
        QVERIFY(renamed.Create(m_out + "c.mp4", error));
        {
            TPartialsList list(state);
            QVERIFY(list.Add(left.Path(), left.Device(), left.Inode()));
            QVERIFY(list.Add(renamed.Path(), renamed.Device(), renamed.Inode()));
            QCOMPARE(renamed.Rename("c.mp4", false), TPartialOutput::Commit::Done);
            list.Remove(renamed.Device(), renamed.Inode());
            QCOMPARE(list.Count(), 1);
            // While this program runs, its list is left alone.
            QCOMPARE(RemoveLeftoverPartials(state), 0);
            QVERIFY(QFileInfo::exists(left.Path()));
            // A program that ends with a file still listed leaves the list.
        }
        const QString own = state + QString("/partials-%1.list").arg(::getpid());
        QVERIFY(QFileInfo::exists(own));
        // As if its program had died: the same lines under a gone owner.
        const qint64 dead = DeadPid();
        QByteArray text = Read(own);
        text.replace("Pid=" + QByteArray::number(::getpid()), "Pid=" + QByteArray::number(dead));
        QVERIFY(QFile::remove(own));
        const QString leftover = state + QString("/partials-%1.list").arg(dead);
        QVERIFY(Write(leftover, text));
        QCOMPARE(RemoveLeftoverPartials(state), 1);
        QVERIFY(!QFileInfo::exists(left.Path()));
        QVERIFY(QFileInfo::exists(m_out + "c.mp4"));
        QVERIFY(!QFileInfo::exists(leftover));

        // A path that now holds something else (another file, a link) is
        // not touched.
        TPartialOutput replaced, linked;
        QVERIFY(replaced.Create(m_out + "d.mp4", error));
        QVERIFY(linked.Create(m_out + "e.mp4", error));
        const QString victim = m_dir.path() + "/victim.mp4";
        QVERIFY(Write(victim, "precious"));
        {
            TPartialsList list(state);
            QVERIFY(list.Add(replaced.Path(), replaced.Device(), replaced.Inode()));
            QVERIFY(list.Add(linked.Path(), linked.Device(), linked.Inode()));
            QVERIFY(QFile::remove(replaced.Path()) && Write(replaced.Path(), "someone else's"));
            QVERIFY(QFile::remove(linked.Path()) && QFile::link(victim, linked.Path()));
            text = Read(own).replace("Pid=" + QByteArray::number(::getpid()), "Pid=" + QByteArray::number(dead));
        }
        QVERIFY(QFile::remove(own));
        QVERIFY(Write(leftover, text));
        QCOMPARE(RemoveLeftoverPartials(state), 0);
        QCOMPARE(Read(replaced.Path()), QByteArray("someone else's"));
        QVERIFY(QFileInfo(linked.Path()).isSymLink());
        QCOMPARE(Read(victim), QByteArray("precious"));
    }

private:
    QTemporaryDir m_dir;
    QString m_out;
};

QTEST_GUILESS_MAIN(TestPartialOutput)
#include "tst_partialoutput.moc"
