#include "MediaInput.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

namespace vxenc {

namespace {

constexpr int IoBufferSize = 32 * 1024;

int ReadPacket(void *opaque, uint8_t *buf, int size)
{
    const int fd = *static_cast<int *>(opaque);
    for (;;) {
        const ssize_t n = read(fd, buf, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return AVERROR(errno);
        return n == 0 ? AVERROR_EOF : static_cast<int>(n);
    }
}

int64_t Seek(void *opaque, int64_t offset, int whence)
{
    const int fd = *static_cast<int *>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat st;
        return fstat(fd, &st) == 0 ? st.st_size : AVERROR(errno);
    }
    const off_t at = lseek(fd, offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : at;
}

// Whatever a demuxer would open besides the file itself stays closed.
int RefuseOpen(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **)
{
    return AVERROR(EPERM);
}

std::string ErrorText(int code)
{
    char buf[256];
    if (av_strerror(code, buf, sizeof buf) < 0)
        std::snprintf(buf, sizeof buf, "error %d", code);
    return buf;
}

const char *KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a regular file";
}

std::string FirstName(const char *names)
{
    const std::string all = names ? names : "";
    return all.substr(0, all.find(','));
}

int BitDepth(const AVCodecParameters *par, HdrTransfer hdr)
{
    if (const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(par->format)))
        return desc->comp[0].depth;
    if (par->bits_per_raw_sample > 0)
        return par->bits_per_raw_sample;
    // Without a decoder the pixel format may stay open: VP9's profiles 2
    // and 3 and every HDR transfer mean more than 8 bits.
    if ((par->codec_id == AV_CODEC_ID_VP9 && par->profile >= 2) || hdr != HdrTransfer::None)
        return 10;
    return 8;
}

void TakeMastering(const AVMasteringDisplayMetadata *m, MasteringDisplay &out)
{
    if (!m || !m->has_primaries || !m->has_luminance)
        return;
    out.present = true;
    for (int c = 0; c < 2; ++c) {
        out.red[c] = av_q2d(m->display_primaries[0][c]);
        out.green[c] = av_q2d(m->display_primaries[1][c]);
        out.blue[c] = av_q2d(m->display_primaries[2][c]);
        out.white[c] = av_q2d(m->white_point[c]);
    }
    out.maxLuminance = av_q2d(m->max_luminance);
    out.minLuminance = av_q2d(m->min_luminance);
}

void TakeLightLevel(const AVContentLightMetadata *l, LightLevel &out)
{
    if (!l)
        return;
    out.present = true;
    out.maxCll = l->MaxCLL;
    out.maxFall = l->MaxFALL;
}

// HEVC and H.264 carry HDR10's mastering data in the pictures themselves
// when the container has no place for it: decode the first one.
void ReadFromFirstPicture(AVFormatContext *ctx, const AVStream *st, StreamFacts &facts)
{
    const AVCodec *decoder = avcodec_find_decoder(st->codecpar->codec_id);
    if (!decoder)
        return;
    AVCodecContext *cc = avcodec_alloc_context3(decoder);
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    if (cc && pkt && frame && avcodec_parameters_to_context(cc, st->codecpar) >= 0) {
        cc->thread_count = 1;
        if (avcodec_open2(cc, decoder, nullptr) >= 0) {
            // A few pictures' worth of packets at most, of any stream.
            bool got = false;
            for (int packets = 0, read = 0; !got && packets < 64 && read < 1024; ++read) {
                const int rc = av_read_frame(ctx, pkt);
                if (rc >= 0 && pkt->stream_index != st->index) {
                    av_packet_unref(pkt);
                    continue;
                }
                ++packets;
                avcodec_send_packet(cc, rc >= 0 ? pkt : nullptr);
                av_packet_unref(pkt);
                if (avcodec_receive_frame(cc, frame) >= 0) {
                    got = true;
                    if (const AVFrameSideData *sd =
                            av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA))
                        TakeMastering(reinterpret_cast<const AVMasteringDisplayMetadata *>(sd->data),
                                      facts.mastering);
                    if (const AVFrameSideData *sd = av_frame_get_side_data(frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL))
                        TakeLightLevel(reinterpret_cast<const AVContentLightMetadata *>(sd->data), facts.lightLevel);
                }
                if (rc < 0)
                    break;
            }
        }
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&cc);
}

class BitReader {
public:
    BitReader(const uint8_t *data, int size) : m_data(data), m_bits(data ? size * 8 : 0) {}
    unsigned Get(int n)
    {
        unsigned v = 0;
        for (int i = 0; i < n; ++i, ++m_at)
            v = (v << 1) | (m_at < m_bits ? (m_data[m_at / 8] >> (7 - m_at % 8)) & 1 : 0);
        return v;
    }
    bool Overrun() const { return m_at > m_bits; }

private:
    const uint8_t *m_data;
    int m_bits;
    int m_at = 0;
};

unsigned AudioObjectType(BitReader &r)
{
    const unsigned type = r.Get(5);
    return type == 31 ? 32 + r.Get(6) : type;
}

// An AAC track's channels from its AudioSpecificConfig, which the
// demuxer leaves to the decoder: the channel configuration (1 to 7, each a
// fixed layout) or, with configuration 0, the count of the channels its
// program config element lists, in no layout the encoders know.
void ReadAacChannels(const AVCodecParameters *par, StreamFacts &f)
{
    static const struct {
        int channels;
        const char *layout;
    } configurations[] = {{1, "mono"}, {2, "stereo"}, {3, "3.0"}, {4, "4.0"}, {5, "5.0"}, {6, "5.1"}, {8, "7.1(wide)"}};
    BitReader r(par->extradata, par->extradata_size);
    unsigned type = AudioObjectType(r);
    if (r.Get(4) == 15)
        r.Get(24);
    const unsigned config = r.Get(4);
    if (type == 5 || type == 29) { // SBR or PS: the core type follows
        if (r.Get(4) == 15)
            r.Get(24);
        type = AudioObjectType(r);
    }
    if (r.Overrun())
        return;
    if (config >= 1 && config <= 7) {
        f.channels = configurations[config - 1].channels;
        f.layout = configurations[config - 1].layout;
        return;
    }
    const bool generalAudio = (type >= 1 && type <= 4) || type == 6 || type == 7 || (type >= 17 && type <= 23);
    if (config != 0 || !generalAudio)
        return;
    r.Get(1); // frame length
    if (r.Get(1))
        r.Get(14); // core coder delay
    r.Get(1);      // extension
    // program_config_element()
    r.Get(4 + 2 + 4);
    const unsigned front = r.Get(4), side = r.Get(4), back = r.Get(4), lfe = r.Get(2);
    r.Get(3 + 4);
    for (int mixdown : {4, 4, 3})
        if (r.Get(1))
            r.Get(mixdown);
    unsigned channels = lfe;
    for (unsigned i = 0; i < front + side + back; ++i) {
        channels += r.Get(1) ? 2 : 1;
        r.Get(4);
    }
    if (!r.Overrun() && channels > 0) {
        f.channels = static_cast<int>(channels);
        f.noLayout = true;
    }
}

StreamFacts FactsOf(const AVStream *st)
{
    const AVCodecParameters *par = st->codecpar;
    StreamFacts f;
    f.index = st->index;
    const char *codec = avcodec_get_name(par->codec_id);
    f.codec = codec ? codec : "";
    switch (par->codec_type) {
    case AVMEDIA_TYPE_VIDEO: {
        f.kind = StreamKind::Video;
        f.cover = (st->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
        f.hdr = par->color_trc == AVCOL_TRC_SMPTE2084      ? HdrTransfer::Pq
                : par->color_trc == AVCOL_TRC_ARIB_STD_B67 ? HdrTransfer::Hlg
                                                           : HdrTransfer::None;
        f.bitDepth = BitDepth(par, f.hdr);
        f.interlaced = par->field_order != AV_FIELD_UNKNOWN && par->field_order != AV_FIELD_PROGRESSIVE;
        if (par->color_primaries != AVCOL_PRI_UNSPECIFIED)
            if (const char *name = av_color_primaries_name(par->color_primaries))
                f.primaries = name;
        if (par->color_space != AVCOL_SPC_UNSPECIFIED)
            if (const char *name = av_color_space_name(par->color_space))
                f.matrix = name;
        f.fullRange = par->color_range == AVCOL_RANGE_JPEG;
        size_t size = 0;
        TakeMastering(reinterpret_cast<const AVMasteringDisplayMetadata *>(
                          av_stream_get_side_data(st, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, &size)),
                      f.mastering);
        TakeLightLevel(reinterpret_cast<const AVContentLightMetadata *>(
                           av_stream_get_side_data(st, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, &size)),
                       f.lightLevel);
        break;
    }
    case AVMEDIA_TYPE_AUDIO: {
        f.kind = StreamKind::Audio;
        f.channels = par->ch_layout.nb_channels;
        const bool known = par->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC;
        char layout[128] = "";
        if (known && av_channel_layout_describe(&par->ch_layout, layout, sizeof layout) > 0)
            f.layout = layout;
        f.sampleRate = par->sample_rate;
        // Most decoders give every track a layout; PCM's keep the
        // container's, AAC's come from the track's own configuration.
        const AVCodecDescriptor *desc = avcodec_descriptor_get(par->codec_id);
        f.noLayout = !known && desc && desc->name && std::strncmp(desc->name, "pcm_", 4) == 0;
        if (par->codec_id == AV_CODEC_ID_AAC && !known && par->extradata_size >= 2)
            ReadAacChannels(par, f);
        break;
    }
    case AVMEDIA_TYPE_SUBTITLE: {
        f.kind = StreamKind::Subtitle;
        const AVCodecDescriptor *desc = avcodec_descriptor_get(par->codec_id);
        const int props = desc ? desc->props : 0;
        // Teletext is both: its pages come out as pictures by default.
        f.bitmapSubtitle = (props & AV_CODEC_PROP_BITMAP_SUB) != 0;
        f.textSubtitle = (props & AV_CODEC_PROP_TEXT_SUB) != 0 && !f.bitmapSubtitle;
        break;
    }
    case AVMEDIA_TYPE_DATA:
        f.kind = StreamKind::Data;
        break;
    case AVMEDIA_TYPE_ATTACHMENT:
        f.kind = StreamKind::Attachment;
        break;
    default:
        break;
    }
    return f;
}

// The demuxers that open further files or URLs named inside the file, and
// what such a file is; nullptr for every other demuxer.
const char *OpenerKind(const char *demuxerName)
{
    static const struct {
        const char *demuxer;
        const char *kind;
    } openers[] = {{"hls", "an HLS playlist"},         {"dash", "a DASH manifest"},
                   {"concat", "a concat list"},        {"image2", "an image sequence"},
                   {"imf", "an IMF composition"},      {"vobsub", "a VobSub index"},
                   {"sdp", "a session description"},   {"rtsp", "a session description"},
                   {"rtp", "a session description"},   {"sap", "a session announcement"},
                   {"avisynth", "a script"},           {"vapoursynth", "a script"}};
    const std::string name = FirstName(demuxerName);
    for (const auto &opener : openers)
        if (name == opener.demuxer)
            return opener.kind;
    return nullptr;
}

} // namespace

MediaInput::~MediaInput()
{
    avformat_close_input(&m_ctx);
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    if (m_fd >= 0)
        close(m_fd);
}

MediaInput::Outcome MediaInput::Open(const char *path)
{
    // Not blocking, so that opening a FIFO returns at once; it is refused below.
    m_fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        m_error = std::strerror(errno);
        return Outcome::CannotOpen;
    }
    struct stat st;
    if (fstat(m_fd, &st) != 0) {
        m_error = std::strerror(errno);
        return Outcome::CannotOpen;
    }
    if (!S_ISREG(st.st_mode)) {
        m_error = KindOf(st.st_mode);
        return Outcome::NotMedia;
    }
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);

    unsigned char *buffer = static_cast<unsigned char *>(av_malloc(IoBufferSize));
    if (buffer)
        m_io = avio_alloc_context(buffer, IoBufferSize, 0, &m_fd, ReadPacket, nullptr, Seek);
    if (!m_io) {
        av_free(buffer);
        m_error = ErrorText(AVERROR(ENOMEM));
        return Outcome::Unreadable;
    }
    const AVInputFormat *format = nullptr;
    int rc = av_probe_input_buffer2(m_io, &format, path, nullptr, 0, 0);
    if (rc < 0 || !format) {
        m_error = ErrorText(rc < 0 ? rc : AVERROR_INVALIDDATA);
        return Outcome::Unreadable;
    }
    if (const char *kind = OpenerKind(format->name)) {
        m_error = std::string(kind) + ", which names other files or addresses";
        return Outcome::NotMedia;
    }
    m_ctx = avformat_alloc_context();
    if (!m_ctx) {
        m_error = ErrorText(AVERROR(ENOMEM));
        return Outcome::Unreadable;
    }
    m_ctx->pb = m_io;
    m_ctx->io_open = RefuseOpen;
    rc = avformat_open_input(&m_ctx, path, format, nullptr);
    if (rc < 0) {
        m_error = ErrorText(rc);
        return Outcome::Unreadable;
    }
    return Outcome::Opened;
}

int MediaInput::FindStreamInfo()
{
    const int rc = avformat_find_stream_info(m_ctx, nullptr);
    if (rc < 0)
        m_error = ErrorText(rc);
    return rc;
}

SourceFacts MediaInput::Facts()
{
    SourceFacts facts;
    facts.demuxer = FirstName(m_ctx->iformat ? m_ctx->iformat->name : nullptr);
    for (unsigned i = 0; i < m_ctx->nb_streams; ++i) {
        const AVStream *st = m_ctx->streams[i];
        StreamFacts f = FactsOf(st);
        if (f.kind == StreamKind::Video && f.hdr == HdrTransfer::Pq && !f.cover && !f.mastering.present)
            ReadFromFirstPicture(m_ctx, st, f);
        facts.streams.push_back(f);
    }
    return facts;
}

} // namespace vxenc
