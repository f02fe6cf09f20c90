#include "tone_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cmath>
#include <numbers>

namespace testing_support {
namespace {

// Sample `i` of channel `c` into a frame of any of the plain sample formats encoders take.
void put(AVFrame* frame, int i, int c, int channels, float value) {
  switch (frame->format) {
    case AV_SAMPLE_FMT_FLTP:
      reinterpret_cast<float*>(frame->extended_data[c])[i] = value;
      break;
    case AV_SAMPLE_FMT_FLT:
      reinterpret_cast<float*>(frame->extended_data[0])[i * channels + c] = value;
      break;
    case AV_SAMPLE_FMT_S16P:
      reinterpret_cast<int16_t*>(frame->extended_data[c])[i] = static_cast<int16_t>(value * 32767);
      break;
    default:  // AV_SAMPLE_FMT_S16
      reinterpret_cast<int16_t*>(frame->extended_data[0])[i * channels + c] =
          static_cast<int16_t>(value * 32767);
      break;
  }
}

struct Encoding {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  ~Encoding() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    if (format != nullptr && format->pb != nullptr) avio_closep(&format->pb);
    avformat_free_context(format);
  }
  // Sends a frame (null: the end) and writes the packets that come out.
  bool send(AVFrame* input) {
    if (avcodec_send_frame(codec, input) < 0) return false;
    while (avcodec_receive_packet(codec, packet) == 0) {
      av_packet_rescale_ts(packet, codec->time_base, format->streams[0]->time_base);
      packet->stream_index = 0;
      if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
    return true;
  }
};

}  // namespace

bool encodeTone(const std::string& path, const char* muxer, const char* encoder, double seconds,
                int rate, int channels, std::string& error) {
  av_log_set_level(AV_LOG_ERROR);
  Encoding e;
  const AVCodec* codec = avcodec_find_encoder_by_name(encoder);
  if (codec == nullptr ||
      avformat_alloc_output_context2(&e.format, nullptr, muxer, path.c_str()) < 0) {
    error = std::string("FFmpeg has no ") + encoder + " encoder or " + muxer + " muxer";
    return false;
  }
  AVStream* stream = avformat_new_stream(e.format, nullptr);
  e.codec = avcodec_alloc_context3(codec);
  e.codec->sample_fmt = codec->sample_fmts[0];
  e.codec->sample_rate = rate;
  av_channel_layout_default(&e.codec->ch_layout, channels);
  e.codec->time_base = {1, rate};
  if (e.format->oformat->flags & AVFMT_GLOBALHEADER) e.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(e.codec, codec, nullptr) < 0 ||
      avcodec_parameters_from_context(stream->codecpar, e.codec) < 0 ||
      avio_open(&e.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
      avformat_write_header(e.format, nullptr) < 0) {
    error = "FFmpeg cannot start writing " + path;
    return false;
  }
  int frameSize = e.codec->frame_size > 0 ? e.codec->frame_size : 1024;
  int64_t total = static_cast<int64_t>(seconds * rate);
  for (int64_t at = 0; at < total; at += frameSize) {
    e.frame->nb_samples = frameSize;
    e.frame->format = e.codec->sample_fmt;
    e.frame->sample_rate = rate;
    av_channel_layout_copy(&e.frame->ch_layout, &e.codec->ch_layout);
    if (av_frame_get_buffer(e.frame, 0) < 0) return false;
    for (int i = 0; i < frameSize; ++i) {
      float value = static_cast<float>(
          0.5 * std::sin(2 * std::numbers::pi * 440.0 * static_cast<double>(at + i) / rate));
      for (int c = 0; c < channels; ++c) put(e.frame, i, c, channels, value);
    }
    e.frame->pts = at;
    bool sent = e.send(e.frame);
    av_frame_unref(e.frame);
    if (!sent) {
      error = "FFmpeg cannot encode " + path;
      return false;
    }
  }
  if (!e.send(nullptr) || av_write_trailer(e.format) < 0) {
    error = "FFmpeg cannot finish " + path;
    return false;
  }
  return true;
}

}  // namespace testing_support
