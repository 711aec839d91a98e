#pragma once
// Shared pieces of the settings dialog and preferences tests.

#include "TestProgram.h"
#include "ini/NewInifiles.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <csignal>
#include <sys/resource.h>

// Six parameters in three groups: an editable list, an editable free text,
// a read-only free text, a read-only list, a second free text and a list
// without an Index line.
inline const QByteArray SampleProfile =
    "[Main]\r\nType=avi\r\nPara=6\r\n0=Video Codec\r\n1=Bit Rate\r\n2=Frame Rate\r\n"
    "3=Audio Codec\r\n4=Volumn\r\n5=Deinterlace\r\n"
    "[Video Codec]\r\nSort=1\r\nCaption=MPEG-4,H.264,Copy,\r\nValue=mpeg4,libx264,copy,\r\n"
    "Index=0\r\ncmd=-vcodec\r\n"
    "[Bit Rate]\r\nSort=1\r\nList=0\r\nCaption=800\r\nValue=800\r\ncmd=-b\r\n"
    "[Frame Rate]\r\nSort=1\r\nList=0\r\nReadOnly=1\r\nCaption=25\r\nValue=25\r\ncmd=-r\r\n"
    "[Audio Codec]\r\nSort=2\r\nReadOnly=1\r\nCaption=MP3,AAC,\r\nValue=mp3,aac,\r\nIndex=0\r\n"
    "cmd=-acodec\r\n"
    "[Volumn]\r\nSort=2\r\nList=0\r\nCaption=256\r\nValue=256\r\ncmd=-vol\r\n"
    "[Deinterlace]\r\nSort=3\r\nCaption=No,Yes,\r\nValue=,\\,\r\ncmd=-deinterlace\r\n";

// A second, smaller profile: two parameters.
inline const QByteArray OtherProfile =
    "[Main]\r\nType=mpg\r\nPara=2\r\n0=Video Codec\r\n1=Audio Bitrate\r\n"
    "[Video Codec]\r\nSort=1\r\nCaption=MPEG-1,MPEG-2,\r\nValue=mpeg1video,mpeg2video,\r\nIndex=1\r\n"
    "cmd=-vcodec\r\n"
    "[Audio Bitrate]\r\nSort=2\r\nList=0\r\nCaption=128\r\nValue=128\r\ncmd=-ab\r\n";

// A value of [Main] in the program folder's Preferences.ini, "<none>" when
// the key is missing.
inline QString MainValue(const TestProgram &prog, const QString &key)
{
    TNewInifile ini(prog.path("Preferences.ini"));
    return ini.ReadString("Main", key, "<none>");
}

// While it lives, files cannot grow beyond limit bytes: a save of a larger
// file fails the way a full or protected disk makes it fail, even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        struct rlimit lower = m_old;
        lower.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct rlimit m_old {};
};

// Makes path a link into a folder that does not exist: reading finds no
// file, and every save fails with the file-creation error.
inline bool MakeUnwritable(const QString &path)
{
    QFile::remove(path);
    return QFile::link("/nonexistent-velvo-folder/" + QFileInfo(path).fileName(), path);
}
