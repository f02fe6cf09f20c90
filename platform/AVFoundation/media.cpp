// The FFmpeg work behind the AVFoundation stand-in: stream-copy export, the first frame and the
// length.
#include <AVFoundation/AVFoundation.h>
#include <device/files.h>
#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace avfoundation {
namespace {

struct InputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

// A still picture that FFmpeg would read as a one-frame video (JPEG, PNG, ...); no media asset
// on the device.
bool isStillPicture(const AVInputFormat* format) {
  std::string_view name = format->name;
  return name == "image2" || name.ends_with("_pipe") || name == "gif";
}

// Opens a media file and reads its stream information; null when it is no media.
Input openInput(const std::string& path) {
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0) return nullptr;
  Input input(context);
  if (isStillPicture(context->iformat)) return nullptr;
  if (avformat_find_stream_info(context, nullptr) < 0) return nullptr;
  return input;
}

const char* containerFor(const std::string& fileType) {
  if (fileType == "com.apple.quicktime-movie") return "mov";
  if (fileType == "public.mpeg-4") return "mp4";
  return nullptr;
}

// The muxer writes through an I/O context of ours into the device's file layer, never through a
// path of its own: every byte it writes can be counted and failed.
struct Sink {
  device::files::Output file;
  int failure = 0;  // the first errno of the file layer
};

int writeBytes(void* opaque, uint8_t* bytes, int size) {  // FFmpeg 5: not const
  auto* sink = static_cast<Sink*>(opaque);
  if (int failed = sink->file.write(bytes, static_cast<size_t>(size))) {
    if (sink->failure == 0) sink->failure = failed;
    return AVERROR(failed);
  }
  return size;
}

int64_t seekBytes(void* opaque, int64_t offset, int whence) {
  auto* sink = static_cast<Sink*>(opaque);
  if (whence & AVSEEK_SIZE) return sink->file.size();
  int64_t at = sink->file.seek(offset, whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(static_cast<int>(-at)) : at;
}

struct OutputCloser {
  void operator()(AVFormatContext* context) const {
    if (context->pb != nullptr) {
      avio_flush(context->pb);
      av_freep(&context->pb->buffer);
      avio_context_free(&context->pb);
    }
    avformat_free_context(context);
  }
};

// Writes every packet of the streams the container can hold into `sink`'s file, which exists
// (just created, empty) and is ours to fill.
NSInteger copyStreams(AVFormatContext* in, Sink& sink, const char* container) {
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, nullptr, container, sink.file.path().c_str()) < 0) {
    return AVErrorExportFailed;
  }
  std::unique_ptr<AVFormatContext, OutputCloser> out(raw);
  // No time of writing and no muxer version in the file: one video exported twice gives the
  // same bytes, so that two runs of a script compare byte for byte.
  out->flags |= AVFMT_FLAG_BITEXACT;
  out->flush_packets = 0;  // written a buffer at a time, not a packet at a time
  std::vector<int> mapping(in->nb_streams, -1);
  int mapped = 0;
  for (unsigned i = 0; i < in->nb_streams; ++i) {
    const AVCodecParameters* parameters = in->streams[i]->codecpar;
    bool media = parameters->codec_type == AVMEDIA_TYPE_VIDEO ||
                 parameters->codec_type == AVMEDIA_TYPE_AUDIO;
    if (avformat_query_codec(out->oformat, parameters->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
      if (media) return AVErrorExportFailed;  // would need re-encoding
      continue;
    }
    AVStream* stream = avformat_new_stream(out.get(), nullptr);
    if (stream == nullptr || avcodec_parameters_copy(stream->codecpar, parameters) < 0) {
      return AVErrorExportFailed;
    }
    stream->codecpar->codec_tag = 0;
    stream->time_base = in->streams[i]->time_base;
    av_dict_copy(&stream->metadata, in->streams[i]->metadata, 0);
    mapping[i] = mapped++;
  }
  if (mapped == 0) return AVErrorExportFailed;
  constexpr int kBufferSize = 64 * 1024;
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
  if (buffer == nullptr) return AVErrorExportFailed;
  out->pb = avio_alloc_context(buffer, kBufferSize, 1, &sink, nullptr, writeBytes, seekBytes);
  if (out->pb == nullptr) {
    av_free(buffer);
    return AVErrorExportFailed;
  }
  if (avformat_write_header(out.get(), nullptr) < 0) return AVErrorExportFailed;
  AVPacket* packet = av_packet_alloc();
  int status = 0;
  while ((status = av_read_frame(in, packet)) >= 0) {
    int index = mapping[static_cast<size_t>(packet->stream_index)];
    if (index >= 0) {
      av_packet_rescale_ts(packet, in->streams[packet->stream_index]->time_base,
                           out->streams[index]->time_base);
      packet->stream_index = index;
      packet->pos = -1;
      status = av_interleaved_write_frame(out.get(), packet);
      if (status < 0) break;
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  if (status != AVERROR_EOF) return AVErrorExportFailed;
  if (av_write_trailer(out.get()) < 0) return AVErrorExportFailed;
  avio_flush(out->pb);
  return out->pb->error < 0 ? AVErrorExportFailed : 0;
}

}  // namespace

NSInteger exportByStreamCopy(const std::string& source, const std::string& destination,
                             const std::string& fileType, std::string* why) {
  std::string ignored;
  std::string& reason = why != nullptr ? *why : ignored;
  const char* container = containerFor(fileType);
  if (container == nullptr || destination.empty()) {
    reason = "no output file type the export can write";
    return AVErrorExportFailed;
  }
  // Claim the destination first, so that nothing standing there is ever touched.
  Sink sink;
  if (int failed = sink.file.create(destination, true)) {
    reason = "cannot make the output file: " + device::files::describe(failed);
    return failed == EEXIST ? AVErrorFileAlreadyExists : AVErrorExportFailed;
  }
  Input in = openInput(source);
  NSInteger code = in ? copyStreams(in.get(), sink, container) : AVErrorFileFormatNotRecognized;
  int closed = sink.file.close();
  if (code == 0 && closed != 0) {
    sink.failure = closed;
    code = AVErrorExportFailed;
  }
  if (sink.failure == ENOSPC) code = AVErrorDiskFull;
  if (code != 0) {
    reason = sink.failure != 0
                 ? "cannot write the output file: " + device::files::describe(sink.failure)
             : in == nullptr ? "the source is no media the export can read"
                             : "the streams cannot be copied into the container";
    device::files::remove(destination);  // only the file this export made
  }
  return code;
}

bool firstFrame(const std::string& source, std::vector<uint8_t>& rgba, int& width, int& height) {
  Input in = openInput(source);
  if (!in) return false;
  const AVCodec* codec = nullptr;
  int index = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (index < 0 || codec == nullptr) return false;
  std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> decoder(
      avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
  if (!decoder || avcodec_parameters_to_context(decoder.get(), in->streams[index]->codecpar) < 0) {
    return false;
  }
  decoder->thread_type = FF_THREAD_SLICE;  // one frame wanted: no frame-threading delay
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return false;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  bool got = false;
  bool draining = false;
  while (!got) {
    if (!draining) {
      int read = av_read_frame(in.get(), packet);
      if (read < 0) {
        draining = true;
        avcodec_send_packet(decoder.get(), nullptr);
      } else if (packet->stream_index == index) {
        avcodec_send_packet(decoder.get(), packet);
      }
      av_packet_unref(packet);
    }
    int received = avcodec_receive_frame(decoder.get(), frame);
    if (received == 0) {
      got = true;
    } else if (received == AVERROR_EOF || (draining && received != AVERROR(EAGAIN))) {
      break;
    } else if (draining && received == AVERROR(EAGAIN)) {
      break;
    }
  }
  bool ok = false;
  if (got && frame->width > 0 && frame->height > 0) {
    SwsContext* scaler = sws_getContext(
        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
        frame->height, AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (scaler != nullptr) {
      width = frame->width;
      height = frame->height;
      rgba.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
      uint8_t* planes[4] = {rgba.data(), nullptr, nullptr, nullptr};
      int strides[4] = {width * 4, 0, 0, 0};
      ok = sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides) ==
           frame->height;
      sws_freeContext(scaler);
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  return ok;
}

bool mediaDuration(const std::string& source, double& seconds) {
  Input in = openInput(source);
  if (!in || in->duration == AV_NOPTS_VALUE || in->duration < 0) return false;
  seconds = static_cast<double>(in->duration) / AV_TIME_BASE;
  return true;
}

}  // namespace avfoundation
