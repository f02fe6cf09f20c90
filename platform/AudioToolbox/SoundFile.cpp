#include <AudioToolbox/SoundFile.h>
#include <sndfile.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "internal.h"

namespace audio {
namespace {

// --- what the file is ---------------------------------------------------------------------

struct Sniffed {
  Container container = Container::Unknown;
  std::string codecTag;  // a CAF's format ID
};

Sniffed sniff(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::vector<unsigned char> head(64);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  auto is = [&](size_t at, const char* magic) {
    size_t n = std::strlen(magic);
    return head.size() >= at + n && std::memcmp(&head[at], magic, n) == 0;
  };
  Sniffed s;
  if (is(0, "RIFF") && is(8, "WAVE")) {
    s.container = Container::Wav;
  } else if (is(0, "FORM") && is(8, "AIFF")) {
    s.container = Container::Aiff;
  } else if (is(0, "FORM") && is(8, "AIFC")) {
    s.container = Container::AiffC;
  } else if (is(0, "caff")) {
    s.container = Container::Caf;
    // The desc chunk comes first: type, 8-byte size, 8-byte rate, then the format ID.
    if (is(8, "desc") && head.size() >= 32) s.codecTag.assign(&head[28], &head[32]);
  } else if (is(0, "fLaC")) {
    s.container = Container::Flac;
  } else if (is(0, "OggS")) {
    s.container = Container::Ogg;
  } else if (is(4, "ftyp")) {
    s.container = Container::Mpeg4;
  } else if (is(0, "ID3")) {
    s.container = Container::Mp3;
  } else if (head.size() >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0) {
    // An MPEG audio frame sync; layer bits 00 mark an ADTS (AAC) header instead.
    s.container = (head[1] & 0x06) == 0 ? Container::Adts : Container::Mp3;
  }
  return s;
}

const char* containerName(Container c) {
  switch (c) {
    case Container::Caf:
      return "CAF";
    case Container::Aiff:
      return "AIFF";
    case Container::AiffC:
      return "AIFF-C";
    case Container::Wav:
      return "WAV";
    case Container::Flac:
      return "FLAC";
    case Container::Ogg:
      return "Ogg";
    case Container::Mp3:
      return "MP3";
    case Container::Mpeg4:
      return "MPEG-4";
    case Container::Adts:
      return "ADTS";
    case Container::Unknown:
      break;
  }
  return "";
}

// The one place that picks the decoder. libsndfile reads linear PCM, a-law, u-law and ALAC in
// a CAF, but no other CAF codec; FFmpeg reads those, and the MPEG-4 family.
bool readByFfmpeg(const Sniffed& s) {
  switch (s.container) {
    case Container::Mpeg4:
    case Container::Adts:
      return true;
    case Container::Caf:
      return s.codecTag != "lpcm" && s.codecTag != "alaw" && s.codecTag != "ulaw" &&
             s.codecTag != "alac";
    default:
      return false;
  }
}

// --- libsndfile ---------------------------------------------------------------------------

Coding sndfileCoding(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
      return Coding::LinearPcm;
    case SF_FORMAT_IMA_ADPCM:
      return Coding::Ima4;
    default:
      return Coding::Other;
  }
}

// libsndfile's name for a major format or a subtype.
std::string sndfileFormatName(int format) {
  SF_FORMAT_INFO info{};
  info.format = format;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr) {
    return "?";
  }
  return info.name;
}

class SndfileSound : public SoundFile {
 public:
  SndfileSound(SNDFILE* file, const SF_INFO& info, Container container) : file_(file) {
    facts_.container = container;
    facts_.containerName = container != Container::Unknown
                               ? containerName(container)
                               : sndfileFormatName(info.format & SF_FORMAT_TYPEMASK);
    facts_.coding = sndfileCoding(info.format);
    facts_.codec = sndfileFormatName(info.format & SF_FORMAT_SUBMASK);
    facts_.channels = info.channels;
    facts_.sampleRate = info.samplerate;
    facts_.frames = info.frames;
    facts_.decoder = "libsndfile";
  }
  ~SndfileSound() override { sf_close(file_); }
  int64_t read(float* interleaved, int64_t frames) override {
    sf_count_t n = sf_readf_float(file_, interleaved, frames);
    return n < frames && sf_error(file_) != SF_ERR_NO_ERROR ? -1 : n;
  }

 private:
  SNDFILE* file_;
};

std::unique_ptr<SoundFile> openWithSndfile(const std::string& hostPath, Container container,
                                           std::string& error) {
  SF_INFO info{};
  SNDFILE* file = sf_open(hostPath.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    error = std::string("libsndfile cannot read it: ") + sf_strerror(nullptr);
    return nullptr;
  }
  if (info.channels <= 0 || info.samplerate <= 0) {
    sf_close(file);
    error = "libsndfile finds no audio in it";
    return nullptr;
  }
  return std::make_unique<SndfileSound>(file, info, container);
}

// --- FFmpeg -------------------------------------------------------------------------------

std::string ffmpegError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

Coding ffmpegCoding(AVCodecID codec) {
  switch (codec) {
    case AV_CODEC_ID_PCM_S8:
    case AV_CODEC_ID_PCM_U8:
    case AV_CODEC_ID_PCM_S16LE:
    case AV_CODEC_ID_PCM_S16BE:
    case AV_CODEC_ID_PCM_S24LE:
    case AV_CODEC_ID_PCM_S24BE:
    case AV_CODEC_ID_PCM_S32LE:
    case AV_CODEC_ID_PCM_S32BE:
    case AV_CODEC_ID_PCM_F32LE:
    case AV_CODEC_ID_PCM_F32BE:
    case AV_CODEC_ID_PCM_F64LE:
    case AV_CODEC_ID_PCM_F64BE:
      return Coding::LinearPcm;
    case AV_CODEC_ID_ADPCM_IMA_QT:
    case AV_CODEC_ID_ADPCM_IMA_WAV:
      return Coding::Ima4;
    default:
      return Coding::Other;
  }
}

class FfmpegSound : public SoundFile {
 public:
  ~FfmpegSound() override {
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    swr_free(&convert_);
    avcodec_free_context(&decoder_);
    avformat_close_input(&format_);
  }

  bool open(const std::string& hostPath, Container container, std::string& error) {
    int code = avformat_open_input(&format_, hostPath.c_str(), nullptr, nullptr);
    if (code < 0) return fail(error, "FFmpeg cannot read it: " + ffmpegError(code));
    if ((code = avformat_find_stream_info(format_, nullptr)) < 0) {
      return fail(error, "FFmpeg cannot read it: " + ffmpegError(code));
    }
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream_ < 0 || codec == nullptr) return fail(error, "FFmpeg finds no audio in it");
    AVStream* stream = format_->streams[stream_];
    decoder_ = avcodec_alloc_context3(codec);
    if (decoder_ == nullptr || avcodec_parameters_to_context(decoder_, stream->codecpar) < 0 ||
        (code = avcodec_open2(decoder_, codec, nullptr)) < 0) {
      return fail(error, "FFmpeg cannot decode its " + std::string(codec->name) + " audio");
    }
    AVChannelLayout layout{};
    if (decoder_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      av_channel_layout_default(&layout, decoder_->ch_layout.nb_channels);
    } else {
      av_channel_layout_copy(&layout, &decoder_->ch_layout);
    }
    code = swr_alloc_set_opts2(&convert_, &layout, AV_SAMPLE_FMT_FLT, decoder_->sample_rate,
                               &layout, decoder_->sample_fmt, decoder_->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    if (code < 0 || swr_init(convert_) < 0) return fail(error, "FFmpeg cannot convert its audio");
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();

    facts_.container = container;
    facts_.containerName = containerName(container);
    facts_.coding = ffmpegCoding(codec->id);
    facts_.codec = codec->long_name != nullptr ? codec->long_name : codec->name;
    facts_.channels = decoder_->ch_layout.nb_channels;
    facts_.sampleRate = decoder_->sample_rate;
    facts_.frames = declaredFrames(stream);
    facts_.decoder = "FFmpeg";
    if (facts_.channels <= 0 || facts_.sampleRate <= 0) {
      return fail(error, "FFmpeg finds no audio in it");
    }
    return true;
  }

  int64_t read(float* interleaved, int64_t frames) override {
    int64_t done = 0;
    while (done < frames) {
      size_t channels = static_cast<size_t>(facts_.channels);
      if (pendingAt_ < pending_.size()) {
        size_t take =
            std::min(static_cast<size_t>(frames - done) * channels, pending_.size() - pendingAt_);
        std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_), take,
                    interleaved + static_cast<size_t>(done) * channels);
        pendingAt_ += take;
        done += static_cast<int64_t>(take / channels);
        continue;
      }
      if (ended_) break;
      if (!decodeMore()) return -1;
    }
    return done;
  }

 private:
  bool fail(std::string& error, const std::string& why) {
    error = why;
    return false;
  }

  int64_t declaredFrames(const AVStream* stream) const {
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
      return av_rescale_q(stream->duration, stream->time_base, AVRational{1, facts_.sampleRate});
    }
    if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
      return av_rescale_q(format_->duration, AVRational{1, AV_TIME_BASE},
                          AVRational{1, facts_.sampleRate});
    }
    return 0;
  }

  // Decodes until some samples are pending or the file ends; false on a damaged file.
  bool decodeMore() {
    pending_.clear();
    pendingAt_ = 0;
    while (pending_.empty() && !ended_) {
      int code = avcodec_receive_frame(decoder_, frame_);
      if (code == 0) {
        if (!convertFrame()) return false;
        continue;
      }
      if (code == AVERROR_EOF) {
        ended_ = true;
        break;
      }
      if (code != AVERROR(EAGAIN)) return false;
      code = av_read_frame(format_, packet_);
      if (code == AVERROR_EOF) {
        avcodec_send_packet(decoder_, nullptr);  // drain what the decoder holds
        continue;
      }
      if (code < 0) return false;
      if (packet_->stream_index == stream_) code = avcodec_send_packet(decoder_, packet_);
      av_packet_unref(packet_);
      if (code < 0 && code != AVERROR(EAGAIN)) return false;
    }
    return true;
  }

  bool convertFrame() {
    pending_.resize(static_cast<size_t>(frame_->nb_samples) * facts_.channels);
    uint8_t* out = reinterpret_cast<uint8_t*>(pending_.data());
    int n = swr_convert(convert_, &out, frame_->nb_samples,
                        const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
    av_frame_unref(frame_);
    if (n < 0) return false;
    pending_.resize(static_cast<size_t>(n) * facts_.channels);
    return true;
  }

  AVFormatContext* format_ = nullptr;
  AVCodecContext* decoder_ = nullptr;
  SwrContext* convert_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  int stream_ = -1;
  std::vector<float> pending_;
  size_t pendingAt_ = 0;
  bool ended_ = false;
};

std::unique_ptr<SoundFile> openWithFfmpeg(const std::string& hostPath, Container container,
                                          std::string& error) {
  // What goes wrong is reported to the caller; FFmpeg's own log would only repeat it.
  static const bool quiet = (av_log_set_level(AV_LOG_FATAL), true);
  (void)quiet;
  auto sound = std::make_unique<FfmpegSound>();
  if (!sound->open(hostPath, container, error)) return nullptr;
  return sound;
}

}  // namespace

double SoundFacts::seconds() const {
  return sampleRate > 0 ? static_cast<double>(frames) / sampleRate : 0.0;
}

std::string SoundFacts::summary() const {
  std::string layout = channels == 1   ? "mono"
                       : channels == 2 ? "stereo"
                                       : std::to_string(channels) + " channels";
  return containerName + ", " + codec + ", " + layout + ", " + std::to_string(sampleRate) +
         " Hz, " + lengthText(seconds());
}

std::unique_ptr<SoundFile> SoundFile::open(const std::string& hostPath, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(hostPath, ec)) {
    error = "no file";
    return nullptr;
  }
  Sniffed what = sniff(hostPath);
  return readByFfmpeg(what) ? openWithFfmpeg(hostPath, what.container, error)
                            : openWithSndfile(hostPath, what.container, error);
}

}  // namespace audio
