#include "preview/QtMediaGraph.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QMediaFormat>
#include <QMediaPlayer>
#include <QPluginLoader>
#include <QUrl>
#include <QVideoWidget>

namespace {

const QString Unavailable = QStringLiteral("The preview is unavailable: ");

} // namespace

QString QtMediaGraph::BackendProblem()
{
    // Backend name -> plugin file, read from the plugins' metadata (no loading).
    QMap<QString, QString> plugins;
    QStringList order;
    const QStringList roots = QCoreApplication::libraryPaths();
    for (const QString &root : roots) {
        const QFileInfoList files = QDir(root + "/multimedia").entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo &file : files) {
            const QJsonObject meta = QPluginLoader(file.absoluteFilePath()).metaData();
            if (!meta.value("IID").toString().startsWith("org.qt-project.Qt.QPlatformMediaPlugin"))
                continue;
            const QJsonArray keys = meta.value("MetaData").toObject().value("Keys").toArray();
            for (const auto &key : keys) {
                if (!plugins.contains(key.toString())) {
                    plugins.insert(key.toString(), file.absoluteFilePath());
                    order << key.toString();
                }
            }
        }
    }
    if (plugins.isEmpty())
        return Unavailable + "no media playback backend (Qt Multimedia plugin) is installed.";

    // The backend Qt Multimedia is going to load.
    QString backend = qEnvironmentVariable("QT_MEDIA_BACKEND");
    if (backend.isEmpty())
        backend = plugins.contains("gstreamer") ? QStringLiteral("gstreamer")
                  : plugins.contains("ffmpeg")  ? QStringLiteral("ffmpeg")
                                                : order.first();
    if (!plugins.contains(backend))
        return Unavailable + "the media playback backend \"" + backend + "\" is not installed.";
    QPluginLoader loader(plugins.value(backend));
    if (!loader.load())
        return Unavailable + "the media playback backend \"" + backend + "\" cannot be loaded (" +
               loader.errorString() + ").";
    return QString();
}

QString QtMediaGraph::ServiceProblem()
{
    static bool checked = false;
    static QString problem;
    if (checked)
        return problem;
    checked = true;
    problem = BackendProblem();
    if (!problem.isEmpty())
        return problem;
    if (QMediaFormat().supportedVideoCodecs(QMediaFormat::Decode).isEmpty()) {
        problem = Unavailable + "the media playback service has no video decoder (GStreamer plugins "
                                "missing: gstreamer1.0-plugins-good, gstreamer1.0-libav).";
        return problem;
    }
    QMediaPlayer probe;
    if (!probe.isAvailable())
        problem = Unavailable + "the media player cannot be created" +
                  (probe.errorString().isEmpty() ? QString(".") : " (" + probe.errorString() + ").");
    return problem;
}

QtMediaGraph::QtMediaGraph()
{
    m_problem = BackendProblem();
    if (!m_problem.isEmpty())
        return;
    m_player = new QMediaPlayer(this);
    if (!m_player->isAvailable()) {
        m_problem = Unavailable + "the media player cannot be created" +
                    (m_player->errorString().isEmpty() ? QString(".")
                                                       : " (" + m_player->errorString() + ").");
        delete m_player;
        return;
    }
    // Always an audio output, even without a sound device or server: a file
    // whose sound has nowhere to go fails to play at all (a sound-only file
    // never leaves 00:00:00). Without a device the backend's automatic sink
    // ends in a null sink that keeps the file's pace.
    m_audio = new QAudioOutput(m_player);
    m_player->setAudioOutput(m_audio);
    m_video = new QVideoWidget;
    m_video->setObjectName("PreviewVideo");
    m_video->setAspectRatioMode(Qt::IgnoreAspectRatio);
    m_video->hide();
    m_player->setVideoOutput(m_video);
    // A video area deleted before the graph takes the picture with it.
    connect(m_video, &QObject::destroyed, m_player, [this] {
        if (m_player) {
            m_player->stop();
            m_player->setVideoOutput(nullptr);
        }
    });
    connect(m_player, &QMediaPlayer::hasVideoChanged, this, &QtMediaGraph::FollowVideo);
    // Errors are not reported: an unplayable file just leaves the area black.
}

QtMediaGraph::~QtMediaGraph()
{
    if (m_player) {
        m_player->stop();
        delete m_player;
    }
    delete m_video;
}

QMediaPlayer *QtMediaGraph::Player() const { return m_player; }
QVideoWidget *QtMediaGraph::VideoWidget() const { return m_video; }

bool QtMediaGraph::AtEnd() const
{
    return m_player && m_player->mediaStatus() == QMediaPlayer::EndOfMedia;
}

// The video widget covers the black area only while there is a picture.
void QtMediaGraph::FollowVideo()
{
    if (m_video && m_video->parentWidget())
        m_video->setVisible(m_player && m_player->hasVideo() && !m_player->source().isEmpty());
}

void QtMediaGraph::Clear()
{
    m_state = Stopped;
    if (!m_player)
        return;
    m_player->stop();
    m_player->setSource(QUrl());
    if (m_video)
        m_video->hide();
}

void QtMediaGraph::RenderFile(const QString &path)
{
    if (!m_player || path.isEmpty())
        return;
    m_player->setSource(QUrl::fromLocalFile(path));
}

void QtMediaGraph::Run()
{
    m_state = Running;
    // At the end of the file a running graph just stays there.
    if (!m_player || m_player->source().isEmpty() || AtEnd())
        return;
    m_player->play();
}

void QtMediaGraph::Pause()
{
    m_state = Paused;
    if (!m_player || m_player->source().isEmpty() || AtEnd())
        return;
    m_player->pause();
}

void QtMediaGraph::Stop()
{
    m_state = Stopped;
    // Holding the player keeps the position and the picture where they are.
    if (m_player && m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
}

qint64 QtMediaGraph::DurationMs() const { return m_player ? qMax<qint64>(m_player->duration(), 0) : 0; }

// The stop position is never moved, so it stays at the end of the file.
qint64 QtMediaGraph::StopPositionMs() const { return DurationMs(); }

qint64 QtMediaGraph::CurrentPositionMs() const
{
    return m_player ? qMax<qint64>(m_player->position(), 0) : 0;
}

void QtMediaGraph::SeekMs(qint64 position)
{
    if (!m_player || m_player->source().isEmpty())
        return;
    const qint64 duration = DurationMs();
    if (duration > 0)
        position = qBound<qint64>(0, position, duration);
    m_player->setPosition(qMax<qint64>(position, 0));
    // Leaving the end of the file: a running graph plays on from there, a
    // paused or stopped one shows the picture at the new position.
    if (m_state == Running) {
        if (m_player->playbackState() != QMediaPlayer::PlayingState)
            m_player->play();
    } else if (m_player->playbackState() == QMediaPlayer::StoppedState) {
        m_player->pause();
    }
}

void QtMediaGraph::ShowIn(QWidget *videoArea)
{
    if (!m_video || !videoArea)
        return;
    QLayout *layout = videoArea->layout();
    if (!layout) {
        layout = new QHBoxLayout(videoArea);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    m_video->setParent(videoArea);
    layout->addWidget(m_video);
    FollowVideo();
}
