// The profiles delivered in data/Profiles: each carries the parameters the
// editors show, and each converts a real two-second clip through the real
// vxenc.dll at its loaded choices and with every caption of every pick list
// (one parameter varied at a time) into a file that decodes, in the right
// container and at the right frame size.
#include "ProfileTestUtil.h"
#include "TestProgram.h"

#include "Clips.h"
#include "app/MainForm.h"
#include "conversion/EncoderProcess.h"
#include "ini/NewInifiles.h"
#include "profiles/ProfileFiles.h"
#include "tasks/ItemData.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

const int ClipWidth = 160, ClipHeight = 120;
const QString CustomSize = QStringLiteral("352x288"); // as typed in the size dialog

const QStringList VideoParameters = {"Video Codec", "Video Size", "Bit Rate",
                                     "Frame Rate", "Aspect", "Disable Video"};
const QStringList AudioParameters = {"Audio Codec", "Audio Bitrate", "Sample Rate",
                                     "Channels", "Volumn", "Disable Audio"};
const QStringList AdvancedParameters = {"Bit Exact Algorithms", "Deinterlace"};

QString ShippedFolder() { return QString(VELVO_SOURCE_DIR) + "data/Profiles/"; }

ProfileData ReadShipped(const QString &name)
{
    TNewInifile ini(ShippedFolder() + name + ".vpf");
    return ReadProfile(ini, name);
}

// The container name ffprobe reports for an output type.
QString ContainerOf(const QString &type)
{
    if (type == "mp4" || type == "mov" || type == "3gp" || type == "3g2")
        return "mov,mp4,m4a,3gp,3g2,mj2";
    if (type == "mpg" || type == "vob")
        return "mpeg";
    if (type == "wmv" || type == "asf")
        return "asf";
    return type; // avi, flv
}

// Container name and "WxH" of the first video stream ("" without one), from
// one ffprobe run.
bool Probe(const QString &file, QString &format, QString &frameSize)
{
    QString out;
    const int rc = RunProgram("ffprobe",
                              {"-v", "error", "-show_entries",
                               "format=format_name:stream=codec_type,width,height", "-of",
                               "default=noprint_wrappers=1", file},
                              &out);
    if (rc != 0)
        return false;
    format.clear();
    frameSize.clear();
    QString type, width;
    for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
        const QString key = line.section('=', 0, 0), value = line.section('=', 1).trimmed();
        if (key == "format_name")
            format = value;
        else if (key == "codec_type")
            type = value;
        else if (key == "width")
            width = value;
        else if (key == "height" && type == "video" && frameSize.isEmpty())
            frameSize = width + "x" + value;
    }
    return true;
}

} // namespace

class TestShippedProfiles : public QObject {
    Q_OBJECT

    std::unique_ptr<TestProgram> m_prog;
    TMainForm *m_form = nullptr;
    QString m_clip;

    TValueListEditor *editorOf(int group) const
    {
        return group == pgVideo ? m_form->vleVideo
               : group == pgAudio ? m_form->vleAudio
                                  : m_form->vleAdvanced;
    }

private slots:
    void initTestCase()
    {
        m_prog = std::make_unique<TestProgram>();
        m_prog->copyShippedProfiles();
        QVERIFY(m_prog->useRealEncoder());
        m_form = m_prog->start();
        m_clip = m_prog->path("clip.mp4");
        QVERIFY(MakeTestClip(m_clip, 2, ClipWidth, ClipHeight, true, 25));
        QVERIFY(QDir().mkpath(m_prog->path("out")));
    }
    void cleanupTestCase() { m_prog.reset(); }

    void theSetIsComplete()
    {
        const QStringList files = ListFilesWithExtension(ShippedFolder(), ".vpf");
        QVERIFY2(files.size() >= 12, qPrintable(QString::number(files.size())));
        QCOMPARE(m_form->cmbProfile->count(), files.size());
        QStringList types;
        for (const QString &file : files) {
            const QString name = RemoveExtension(file);
            const ProfileData p = ReadShipped(name);
            QVERIFY2(p.ok(), qPrintable(p.problem));
            QVERIFY2(m_form->OutputTypeExtensions.contains("." + p.type), qPrintable(name));
            types << p.type;
            QStringList names;
            for (const ProfileParameter &param : p.parameters) {
                names << param.name;
                const QStringList &group = param.group == pgVideo   ? VideoParameters
                                           : param.group == pgAudio ? AudioParameters
                                                                    : AdvancedParameters;
                QVERIFY2(group.contains(param.name), qPrintable(name + ": " + param.name));
                QVERIFY2(!param.cmd.isEmpty(), qPrintable(name + ": " + param.name));
                if (param.isList)
                    QVERIFY2(param.values.size() == param.captions.size(),
                             qPrintable(name + ": " + param.name));
                if (param.name == "Video Size") {
                    QVERIFY(param.captions.contains("Original Size"));
                    QVERIFY(param.captions.contains("Custom Size"));
                }
            }
            QCOMPARE(names.size(), 14);
            for (const QString &expected : VideoParameters + AudioParameters + AdvancedParameters)
                QVERIFY2(names.contains(expected), qPrintable(name + ": " + expected));

            // Loaded in the main window without a word, the file unchanged.
            const QByteArray before = m_prog->readFile("Profiles/" + file);
            QVERIFY(before.endsWith("\r\n"));
            m_form->cmbProfile->setCurrentIndex(m_form->cmbProfile->findText(name));
            QCOMPARE(m_form->cmbProfile->currentText(), name);
            QVERIFY(m_prog->platform.messages.isEmpty());
            QCOMPARE(m_form->CurrentOutputExt, "." + p.type);
            QCOMPARE(m_form->vleVideo->RowCount(), 6);
            QCOMPARE(m_form->vleAudio->RowCount(), 6);
            QCOMPARE(m_form->vleAdvanced->RowCount(), 2);
            QString arguments;
            QVERIFY(m_form->AssembleProfileArguments(m_form->ProfilePath(name), arguments));
            QCOMPARE(m_prog->readFile("Profiles/" + file), before);
        }
        for (const char *type : {"mp4", "avi", "mpg", "vob", "wmv", "asf", "mov", "flv", "3gp", "3g2"})
            QVERIFY2(types.contains(type), type);
    }

    void convertsARealClip_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("parameter"); // "" for the loaded choices
        QTest::addColumn<QString>("caption");
        for (const QString &file : ListFilesWithExtension(ShippedFolder(), ".vpf")) {
            const QString name = RemoveExtension(file);
            const ProfileData p = ReadShipped(name);
            QTest::addRow("%s | loaded", qPrintable(name)) << name << 0 << QString() << QString();
            for (const ProfileParameter &param : p.parameters) {
                if (!param.isList)
                    continue;
                for (int i = 0; i < param.captions.size(); ++i) {
                    if (i == param.index)
                        continue; // converted with the loaded choices
                    QTest::addRow("%s | %s = %s", qPrintable(name), qPrintable(param.name),
                                  qPrintable(param.captions[i]))
                        << name << param.group << param.name << param.captions[i];
                }
            }
        }
    }
    void convertsARealClip()
    {
        QFETCH(QString, profile);
        QFETCH(int, group);
        QFETCH(QString, parameter);
        QFETCH(QString, caption);

        m_prog->platform.messages.clear();
        const int at = m_form->cmbProfile->findText(profile);
        QVERIFY(at >= 0);
        // Selecting the profile again reloads it with its stored choices.
        if (m_form->cmbProfile->currentIndex() == at)
            m_form->cmbProfileChange();
        else
            m_form->cmbProfile->setCurrentIndex(at);
        if (!parameter.isEmpty()) {
            TValueListEditor *vle = editorOf(group);
            QVERIFY(vle->FindRow(parameter) >= 0);
            // Custom Size as the size dialog writes it.
            vle->SetValues(parameter, caption == "Custom Size" ? CustomSize : caption);
        }
        QString arguments;
        QVERIFY(m_form->AssembleProfileArguments(m_form->ProfilePath(profile), arguments));
        QVERIFY(m_prog->platform.messages.isEmpty());

        const QString sizeShown = m_form->vleVideo->Values("Video Size");
        const QString expectedSize = m_form->vleVideo->Values("Disable Video") == "Yes" ? QString()
                                     : sizeShown == "Original Size"
                                         ? QString("%1x%2").arg(ClipWidth).arg(ClipHeight)
                                         : sizeShown;
        const QString type = m_form->CurrentOutputExt.mid(1);
        const QString output = m_prog->path("out/converted" + m_form->CurrentOutputExt);
        QFile::remove(output);

        TEncoderProcess encoder;
        QVERIFY(encoder.Start(m_prog->path("vxenc.dll"), ConvertCommand(m_clip, arguments, output)));
        QByteArray log, chunk;
        while (encoder.ReadChunk(chunk, false, 120000))
            log += chunk;
        const QString context = arguments + "\n" + QString::fromLocal8Bit(log.right(1500));
        QVERIFY2(!encoder.TimedOut(), qPrintable(context));
        QVERIFY2(encoder.ExitedNormally() && encoder.ExitCode() == 0, qPrintable(context));
        QVERIFY2(QFileInfo(output).size() > 0, qPrintable(context));
        QVERIFY2(DecodesCleanly(output), qPrintable(context));
        QString format, frameSize;
        QVERIFY(Probe(output, format, frameSize));
        QCOMPARE(format, ContainerOf(type));
        QCOMPARE(frameSize, expectedSize);
    }
};

QTEST_MAIN(TestShippedProfiles)
#include "tst_shipped_profiles.moc"
