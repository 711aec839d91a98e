#pragma once
// An input file opened for reading by FFmpeg's demuxers (linked in
// statically), refusing anything that is not a local media file: what is
// not a regular file (FIFOs, devices, folders; links to files pass), and a
// file whose demuxer would go on to open other files or URLs (playlists,
// concat lists, image sequences, session descriptions). The library reads
// through the descriptor opened here, so it never opens anything by name.
#include "SourceFacts.h"

#include <string>

struct AVFormatContext;
struct AVIOContext;

namespace vxenc {

class MediaInput {
public:
    enum class Outcome {
        Opened,
        CannotOpen,  // the path cannot be opened at all (missing, no permission)
        NotMedia,    // refused: not a regular file, or a demuxer that opens others
        Unreadable,  // no demuxer reads it
    };

    MediaInput() = default;
    MediaInput(const MediaInput &) = delete;
    MediaInput &operator=(const MediaInput &) = delete;
    ~MediaInput();

    // Opens path and reads its header; error() says why not.
    Outcome Open(const char *path);
    // Reads the streams' parameters as ffmpeg does before converting.
    // Returns FFmpeg's error code; < 0 leaves some parameters unknown.
    int FindStreamInfo();
    // What a conversion decides by; reads the first picture of an HDR
    // stream whose mastering data only its pictures carry.
    SourceFacts Facts();

    AVFormatContext *context() const { return m_ctx; }
    // The open file; it stays open as long as this object.
    int descriptor() const { return m_fd; }
    const std::string &error() const { return m_error; }

private:
    int m_fd = -1;
    AVIOContext *m_io = nullptr;
    AVFormatContext *m_ctx = nullptr;
    std::string m_error;
};

} // namespace vxenc
