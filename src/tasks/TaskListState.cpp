#include "tasks/TaskListState.h"

#include "common/ProcessInfo.h"
#include "common/UserFolders.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Heading = "[Velvo Task List]";
const QByteArray RowHeading = "[Row]";
// The record's fields in row order: the caption, then sub-items 0 to 9.
const char *const RowKeys[TaskRowTexts] = {"InputFile", "LengthText", "FrameSizeText", "Status",
                                           "OutputName", "OutputExt", "SourceStart", "SourceEnd",
                                           "ClipLength", "ClipStart", "ClipEnd"};

// Values stay on one line whatever a file name holds.
void AppendEscaped(QString &out, const QString &value)
{
    const QChar *begin = value.constData();
    const QChar *end = begin + value.size();
    const auto special = [](QChar c) { return c == u'\\' || c == u'\n' || c == u'\r'; };
    if (std::none_of(begin, end, special)) {
        out += value;
        return;
    }
    for (const QChar *c = begin; c != end; ++c) {
        if (*c == u'\\')
            out += QLatin1String("\\\\");
        else if (*c == u'\n')
            out += QLatin1String("\\n");
        else if (*c == u'\r')
            out += QLatin1String("\\r");
        else
            out += *c;
    }
}

bool Unescaped(const QByteArray &text, QString &value)
{
    QByteArray out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= text.size())
            return false;
        switch (text.at(i)) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return false;
        }
    }
    value = QString::fromUtf8(out);
    return true;
}

// The value of a "key=value" line with exactly that key.
bool KeyValue(const QByteArray &line, const char *key, QByteArray &value)
{
    const QByteArray prefix = QByteArray(key) + '=';
    if (!line.startsWith(prefix))
        return false;
    value = line.mid(prefix.size());
    return true;
}

bool Number(const QByteArray &line, const char *key, qint64 &number)
{
    QByteArray value;
    bool ok = false;
    if (KeyValue(line, key, value))
        number = value.toLongLong(&ok);
    return ok;
}

// tasklist-<pid>.ini, or tasklist-<pid>-<n>.ini for a file taken over from
// another program; 0 for any other name.
qint64 OwnerOf(const QString &fileName, bool *taken = nullptr)
{
    static const QRegularExpression name(QStringLiteral("^tasklist-([0-9]{1,18})(-[0-9]+)?\\.ini$"));
    const QRegularExpressionMatch m = name.match(fileName);
    if (!m.hasMatch())
        return 0;
    if (taken)
        *taken = m.capturedLength(2) > 0;
    return m.captured(1).toLongLong();
}

// The owner's start time recorded in a file, -1 when it cannot be read.
qint64 RecordedStart(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> head = file.read(4096).split('\n');
    qint64 start = -1;
    if (head.size() < 4 || head.at(0) != Heading || !Number(head.at(3), "ProcessStart", start))
        return -1;
    return start;
}

} // namespace

QByteArray TaskListText(qint64 pid, qint64 processStart, int rows,
                        const std::function<QString(int row, int text)> &rowText)
{
    // Built as one text and converted once: a list of 10,000 rows is saved
    // while the user works, so this stays well under the time of the adds.
    QString text;
    text.reserve(64 + rows * 300);
    const auto line = [&text](QLatin1String key, qint64 value) {
        text += key;
        text += QString::number(value);
        text += u'\n';
    };
    text += QLatin1String(Heading);
    text += u'\n';
    line(QLatin1String("Version="), 1);
    line(QLatin1String("Pid="), pid);
    line(QLatin1String("ProcessStart="), processStart);
    line(QLatin1String("Rows="), rows);
    for (int r = 0; r < rows; ++r) {
        text += QLatin1String(RowHeading);
        text += u'\n';
        for (int k = 0; k < TaskRowTexts; ++k) {
            text += QLatin1String(RowKeys[k]);
            text += u'=';
            AppendEscaped(text, rowText(r, k));
            text += u'\n';
        }
    }
    return text.toUtf8();
}

QByteArray TaskListText(const TTaskListSnapshot &snapshot)
{
    return TaskListText(snapshot.Pid, snapshot.ProcessStart, int(snapshot.Rows.size()),
                        [&](int row, int k) { return snapshot.Rows.at(row).value(k); });
}

bool ParseTaskList(const QByteArray &text, TTaskListSnapshot &snapshot, QString &error)
{
    QList<QByteArray> lines = text.split('\n');
    // A complete file ends with a line break; anything else was cut short.
    if (lines.isEmpty() || !lines.last().isEmpty()) {
        error = QStringLiteral("the file is incomplete");
        return false;
    }
    lines.removeLast();
    qint64 version = 0, rows = -1;
    TTaskListSnapshot result;
    if (lines.size() < 5 || lines.at(0) != Heading || !Number(lines.at(1), "Version", version)
        || !Number(lines.at(2), "Pid", result.Pid) || !Number(lines.at(3), "ProcessStart", result.ProcessStart)
        || !Number(lines.at(4), "Rows", rows)) {
        error = QStringLiteral("the heading is not that of a task list");
        return false;
    }
    if (version != 1) {
        error = QStringLiteral("version %1 is not known").arg(version);
        return false;
    }
    constexpr int LinesPerRow = 1 + TaskRowTexts;
    if (rows < 0 || (lines.size() - 5) % LinesPerRow != 0 || (lines.size() - 5) / LinesPerRow != rows) {
        error = QStringLiteral("the number of rows does not match");
        return false;
    }
    result.Rows.reserve(int(rows));
    for (int at = 5; at < lines.size(); at += LinesPerRow) {
        if (lines.at(at) != RowHeading) {
            error = QStringLiteral("line %1 should start a row").arg(at + 1);
            return false;
        }
        QStringList row;
        for (int k = 0; k < TaskRowTexts; ++k) {
            QByteArray raw;
            QString value;
            if (!KeyValue(lines.at(at + 1 + k), RowKeys[k], raw) || !Unescaped(raw, value)) {
                error = QStringLiteral("line %1 is not a valid %2").arg(at + 2 + k).arg(RowKeys[k]);
                return false;
            }
            row << value;
        }
        result.Rows << row;
    }
    snapshot = result;
    return true;
}

QString TaskStateFolder()
{
    return VelvoStateFolder();
}

bool MakePrivateFolder(const QString &folder)
{
    // Every folder created on the way is private as well, as the base
    // directory rules ask.
    const QStringList parts = QDir::cleanPath(folder).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    // Our own folder is private even when an older one was made otherwise.
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    return QFileInfo(folder).isDir();
}

QString TaskListPath(const QString &folder, qint64 pid)
{
    return folder + QStringLiteral("/tasklist-%1.ini").arg(pid);
}

QStringList OrphanedTaskLists(const QString &folder)
{
    QDir dir(folder);
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("tasklist-*.ini")}, QDir::Files | QDir::Hidden, QDir::Time | QDir::Reversed);
    QStringList orphans;
    for (const QFileInfo &file : files) {
        bool taken = false;
        const qint64 pid = OwnerOf(file.fileName(), &taken);
        if (pid <= 0)
            continue;
        // A live owner keeps its file, and a file taken over by a live
        // program is being restored by it. When the number now belongs to
        // another process (its start time differs), the owner is gone; a file
        // that cannot be read while its number lives is left alone.
        if (ProcessStartTicks(pid) >= 0 && (taken || RecordedOwnerRuns(pid, RecordedStart(file.filePath()))))
            continue;
        orphans << file.filePath();
    }
    return orphans;
}

QString ClaimTaskList(const QString &orphan)
{
    const QString folder = QFileInfo(orphan).absolutePath();
    for (int n = 1; n < 1000; ++n) {
        const QString claimed = folder + QStringLiteral("/tasklist-%1-%2.ini").arg(::getpid()).arg(n);
        if (QFileInfo::exists(claimed))
            continue;
        // rename() moves the file for exactly one of several programs.
        if (std::rename(QFile::encodeName(orphan).constData(), QFile::encodeName(claimed).constData()) == 0)
            return claimed;
        return {};
    }
    return {};
}

// ---------------------------------------------------------------- keeper

TTaskListKeeper::TTaskListKeeper(QAbstractItemModel *model, const QString &path, QObject *parent)
    : QObject(parent), m_model(model), m_path(path), m_processStart(ProcessStartTicks(::getpid()))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &TTaskListKeeper::SaveNow);
    Watch(true);
}

void TTaskListKeeper::Watch(bool on)
{
    if (on == !m_watches.isEmpty())
        return;
    if (!on) {
        for (const QMetaObject::Connection &c : std::as_const(m_watches))
            disconnect(c);
        m_watches.clear();
        return;
    }
    const auto changed = [this] { Changed(); };
    m_watches << connect(m_model, &QAbstractItemModel::rowsInserted, this, changed)
              << connect(m_model, &QAbstractItemModel::rowsRemoved, this, changed)
              << connect(m_model, &QAbstractItemModel::rowsMoved, this, changed)
              << connect(m_model, &QAbstractItemModel::dataChanged, this, changed)
              << connect(m_model, &QAbstractItemModel::modelReset, this, changed)
              << connect(m_model, &QAbstractItemModel::layoutChanged, this, changed);
}

TTaskListKeeper::~TTaskListKeeper()
{
    // A normal end: nothing is left to restore.
    if (!m_keep)
        QFile::remove(m_path);
}

void TTaskListKeeper::KeepForNextStart()
{
    m_keep = true;
    SaveNow();
}

void TTaskListKeeper::Changed()
{
    // The first change starts the wait; the list is not watched again until
    // the save, so the changes that follow (eleven per added row) cost nothing.
    Watch(false);
    m_timer.start();
}

bool TTaskListKeeper::SaveNow()
{
    m_timer.stop();
    Watch(true);
    const int count = m_model->rowCount();
    if (count == 0)
        return QFile::remove(m_path) || !QFileInfo::exists(m_path);
    const int columns = std::min(m_model->columnCount(), TaskRowTexts);
    const QByteArray text = TaskListText(::getpid(), m_processStart, count, [this, columns](int row, int k) {
        return k < columns ? m_model->index(row, k).data().toString() : QString();
    });

    QString error;
    QSaveFile file(m_path);
    if (!MakePrivateFolder(QFileInfo(m_path).absolutePath()))
        error = QStringLiteral("the folder cannot be created");
    else if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        error = file.errorString();
    if (!error.isEmpty() && !m_reported && OnSaveError) {
        m_reported = true;
        OnSaveError(error);
    }
    return error.isEmpty();
}
