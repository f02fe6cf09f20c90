#include "media.h"

#include <gif_lib.h>
#include <libheif/heif.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "image_codecs.h"

namespace media {
namespace {

void hueToRGB(int hue, double& r, double& g, double& b) {
  double h = std::fmod(hue, 360) / 60.0;
  double x = 1 - std::fabs(std::fmod(h, 2) - 1);
  double table[6][3] = {{1, x, 0}, {x, 1, 0}, {0, 1, x}, {0, x, 1}, {x, 0, 1}, {1, 0, x}};
  const double* c = table[static_cast<int>(h) % 6];
  r = c[0];
  g = c[1];
  b = c[2];
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) error = "cannot write " + path;
  return static_cast<bool>(file);
}

std::string ffmpegError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

std::vector<uint8_t> picture(int width, int height, int hue) {
  double r, g, b;
  hueToRGB(hue, r, g, b);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  double radius = std::min(width, height) / 5.0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double shade = 0.35 + 0.65 * (x + y) / static_cast<double>(width + height);
      double dx = x - width * 0.62, dy = y - height * 0.4;
      bool disc = dx * dx + dy * dy < radius * radius;
      uint8_t* p =
          &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
      p[0] = disc ? 255 : static_cast<uint8_t>(255 * r * shade);
      p[1] = disc ? 255 : static_cast<uint8_t>(255 * g * shade);
      p[2] = disc ? 255 : static_cast<uint8_t>(255 * b * shade);
    }
  }
  return rgb;
}

bool writeHEIC(const std::string& path, int width, int height, int hue, std::string& error) {
  std::vector<uint8_t> rgb = picture(width, height, hue);
  std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(),
                                                                 heif_context_free);
  heif_encoder* encoder = nullptr;
  if (heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &encoder).code !=
      heif_error_Ok) {
    error = "libheif has no HEVC encoder";
    return false;
  }
  heif_encoder_set_lossy_quality(encoder, 70);
  heif_image* image = nullptr;
  heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
  heif_image_add_plane(image, heif_channel_interleaved, width, height, 8);
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  for (int y = 0; y < height; ++y) {
    std::copy_n(&rgb[static_cast<size_t>(y) * static_cast<size_t>(width) * 3],
                static_cast<size_t>(width) * 3, plane + static_cast<ptrdiff_t>(y) * stride);
  }
  heif_error encoded = heif_context_encode_image(context.get(), image, encoder, nullptr, nullptr);
  heif_encoder_release(encoder);
  heif_image_release(image);
  if (encoded.code != heif_error_Ok ||
      heif_context_write_to_file(context.get(), path.c_str()).code != heif_error_Ok) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool writeJPEG(const std::string& path, int width, int height, int hue, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!uikit::codecs::encodeJPEG(picture(width, height, hue).data(), static_cast<uint32_t>(width),
                                 static_cast<uint32_t>(height), 85, bytes)) {
    error = "cannot encode " + path;
    return false;
  }
  return writeBytes(path, bytes, error);
}

bool writePNG(const std::string& path, int width, int height, int hue, std::string& error) {
  std::vector<uint8_t> rgb = picture(width, height, hue), rgba;
  rgba.reserve(rgb.size() / 3 * 4);
  for (size_t i = 0; i < rgb.size(); i += 3)
    rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
  std::vector<uint8_t> bytes;
  if (!uikit::codecs::encodePNG(rgba.data(), static_cast<uint32_t>(width),
                                static_cast<uint32_t>(height), bytes)) {
    error = "cannot encode " + path;
    return false;
  }
  return writeBytes(path, bytes, error);
}

// A GIF with a fixed 6 x 6 x 6 colour cube.
bool writeGIF(const std::string& path, int width, int height, int hue, std::string& error) {
  std::vector<uint8_t> rgb = picture(width, height, hue);
  int status = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &status);
  if (gif == nullptr) {
    error = "cannot write " + path;
    return false;
  }
  GifColorType colours[256] = {};
  for (int i = 0; i < 216; ++i) {
    colours[i] = GifColorType{static_cast<GifByteType>(i / 36 * 51),
                              static_cast<GifByteType>(i / 6 % 6 * 51),
                              static_cast<GifByteType>(i % 6 * 51)};
  }
  ColorMapObject* map = GifMakeMapObject(256, colours);
  bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
  std::vector<GifPixelType> line(static_cast<size_t>(width));
  for (int y = 0; ok && y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p =
          &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
      auto level = [](uint8_t v) { return (v + 25) / 51; };
      line[static_cast<size_t>(x)] =
          static_cast<GifPixelType>(level(p[0]) * 36 + level(p[1]) * 6 + level(p[2]));
    }
    ok = EGifPutLine(gif, line.data(), width) == GIF_OK;
  }
  GifFreeMapObject(map);
  ok = EGifCloseFile(gif, &status) == GIF_OK && ok;
  if (!ok) error = "cannot write " + path;
  return ok;
}

namespace {

struct Encoder {
  AVCodecContext* context = nullptr;
  AVStream* stream = nullptr;
  ~Encoder() { avcodec_free_context(&context); }
};

// Sends one frame (nullptr: flush) and writes every packet that comes out.
int encodeAndWrite(AVFormatContext* out, Encoder& encoder, AVFrame* frame) {
  int status = avcodec_send_frame(encoder.context, frame);
  AVPacket* packet = av_packet_alloc();
  while (status >= 0) {
    status = avcodec_receive_packet(encoder.context, packet);
    if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) {
      status = 0;
      break;
    }
    if (status < 0) break;
    av_packet_rescale_ts(packet, encoder.context->time_base, encoder.stream->time_base);
    packet->stream_index = encoder.stream->index;
    status = av_interleaved_write_frame(out, packet);
  }
  av_packet_free(&packet);
  return status;
}

}  // namespace

bool writeVideo(const std::string& path, const VideoSpec& shape, std::string& error) {
  av_log_set_level(AV_LOG_ERROR);  // the encoders' progress notes are not wanted
  AVFormatContext* out = nullptr;
  if (avformat_alloc_output_context2(&out, nullptr, shape.container.c_str(), path.c_str()) < 0) {
    error = "no container " + shape.container;
    return false;
  }
  std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> output(out, [](AVFormatContext* c) {
    if (c->pb != nullptr) avio_closep(&c->pb);
    avformat_free_context(c);
  });
  const AVCodec* h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (h264 == nullptr) {
    error = "FFmpeg has no H.264 encoder";
    return false;
  }
  Encoder video;
  video.stream = avformat_new_stream(out, nullptr);
  video.context = avcodec_alloc_context3(h264);
  video.context->width = shape.width;
  video.context->height = shape.height;
  video.context->time_base = AVRational{1, shape.framesPerSecond};
  video.context->framerate = AVRational{shape.framesPerSecond, 1};
  video.context->pix_fmt = AV_PIX_FMT_YUV420P;
  video.context->gop_size = shape.framesPerSecond * 2;
  if (out->oformat->flags & AVFMT_GLOBALHEADER) video.context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(video.context->priv_data, "preset", shape.fast ? "ultrafast" : "veryfast", 0);
  int status = avcodec_open2(video.context, h264, nullptr);
  if (status < 0) {
    error = "cannot open the H.264 encoder: " + ffmpegError(status);
    return false;
  }
  avcodec_parameters_from_context(video.stream->codecpar, video.context);
  video.stream->time_base = video.context->time_base;

  Encoder audio;
  const AVCodec* aac = shape.withAudio ? avcodec_find_encoder(AV_CODEC_ID_AAC) : nullptr;
  if (aac != nullptr) {
    audio.stream = avformat_new_stream(out, nullptr);
    audio.context = avcodec_alloc_context3(aac);
    audio.context->sample_rate = 44100;
    audio.context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&audio.context->ch_layout, 1);
    audio.context->bit_rate = 64000;
    audio.context->time_base = AVRational{1, 44100};
    if (out->oformat->flags & AVFMT_GLOBALHEADER)
      audio.context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    status = avcodec_open2(audio.context, aac, nullptr);
    if (status < 0) {
      error = "cannot open the AAC encoder: " + ffmpegError(status);
      return false;
    }
    avcodec_parameters_from_context(audio.stream->codecpar, audio.context);
    audio.stream->time_base = audio.context->time_base;
  }

  if ((status = avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0 ||
      (status = avformat_write_header(out, nullptr)) < 0) {
    error = "cannot write " + path + ": " + ffmpegError(status);
    return false;
  }

  std::vector<uint8_t> rgb = picture(shape.width, shape.height, shape.hue);
  AVFrame* frame = av_frame_alloc();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = shape.width;
  frame->height = shape.height;
  av_frame_get_buffer(frame, 0);
  int frames = static_cast<int>(std::lround(shape.seconds * shape.framesPerSecond));
  int side = std::max(8, shape.height / 4);
  AVFrame* sound = nullptr;
  int64_t samplesWritten = 0;
  if (audio.context != nullptr) {
    sound = av_frame_alloc();
    sound->format = AV_SAMPLE_FMT_FLTP;
    sound->nb_samples = audio.context->frame_size;
    sound->sample_rate = 44100;
    av_channel_layout_copy(&sound->ch_layout, &audio.context->ch_layout);
    av_frame_get_buffer(sound, 0);
  }
  // The background in YUV once; each frame copies it and draws the square.
  std::vector<uint8_t> planes[3];
  planes[0].resize(static_cast<size_t>(shape.width) * static_cast<size_t>(shape.height));
  planes[1].resize(static_cast<size_t>((shape.width + 1) / 2) *
                   static_cast<size_t>((shape.height + 1) / 2));
  planes[2].resize(planes[1].size());
  size_t chromaWidth = static_cast<size_t>((shape.width + 1) / 2);
  for (int y = 0; y < shape.height; ++y) {
    for (int x = 0; x < shape.width; ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(shape.width) +
                               static_cast<size_t>(x)) *
                              3];
      double r = p[0], g = p[1], b = p[2];
      planes[0]
            [static_cast<size_t>(y) * static_cast<size_t>(shape.width) + static_cast<size_t>(x)] =
                static_cast<uint8_t>(16 + 0.257 * r + 0.504 * g + 0.098 * b);
      if (y % 2 == 0 && x % 2 == 0) {
        size_t at = static_cast<size_t>(y / 2) * chromaWidth + static_cast<size_t>(x / 2);
        planes[1][at] = static_cast<uint8_t>(128 - 0.148 * r - 0.291 * g + 0.439 * b);
        planes[2][at] = static_cast<uint8_t>(128 + 0.439 * r - 0.368 * g - 0.071 * b);
      }
    }
  }
  for (int i = 0; status >= 0 && i < frames; ++i) {
    av_frame_make_writable(frame);
    for (int plane = 0; plane < 3; ++plane) {
      int rows = plane == 0 ? shape.height : (shape.height + 1) / 2;
      size_t width = plane == 0 ? static_cast<size_t>(shape.width) : chromaWidth;
      for (int y = 0; y < rows; ++y) {
        std::copy_n(&planes[plane][static_cast<size_t>(y) * width], width,
                    frame->data[plane] + static_cast<ptrdiff_t>(y) * frame->linesize[plane]);
      }
    }
    if (shape.grain > 0) {
      uint32_t seed = 2654435761u * static_cast<uint32_t>(i + 1);
      for (int y = 0; y < shape.height; ++y) {
        uint8_t* row = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
        for (int x = 0; x < shape.width; ++x) {
          seed = seed * 1664525u + 1013904223u;
          int noisy = row[x] + static_cast<int>(seed >> 24) % (2 * shape.grain + 1) - shape.grain;
          row[x] = static_cast<uint8_t>(std::clamp(noisy, 16, 235));
        }
      }
    }
    int boxX = (shape.width - side) * i / std::max(1, frames - 1);
    for (int y = shape.height / 2 - side / 2; y < shape.height / 2 + side / 2; ++y) {
      std::fill_n(frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0] + boxX, side,
                  uint8_t{26});
    }
    frame->pts = i;
    status = encodeAndWrite(out, video, frame);
    // The tone keeps up with the pictures.
    while (status >= 0 && sound != nullptr &&
           samplesWritten * shape.framesPerSecond < static_cast<int64_t>(i + 1) * 44100) {
      av_frame_make_writable(sound);
      auto* samples = reinterpret_cast<float*>(sound->data[0]);
      for (int s = 0; s < sound->nb_samples; ++s) {
        samples[s] =
            0.2f * static_cast<float>(std::sin(2 * M_PI * 440.0 *
                                               static_cast<double>(samplesWritten + s) / 44100.0));
      }
      sound->pts = samplesWritten;
      samplesWritten += sound->nb_samples;
      status = encodeAndWrite(out, audio, sound);
    }
  }
  if (status >= 0) status = encodeAndWrite(out, video, nullptr);
  if (status >= 0 && sound != nullptr) status = encodeAndWrite(out, audio, nullptr);
  av_frame_free(&frame);
  av_frame_free(&sound);
  if (status < 0 || (status = av_write_trailer(out)) < 0) {
    error = "cannot encode " + path + ": " + ffmpegError(status);
    return false;
  }
  return true;
}

bool writeExampleLibrary(const std::string& deviceRoot, std::string& error) {
  std::filesystem::path folder =
      std::filesystem::path(deviceRoot) / "var/mobile/Media/DCIM/100APPLE";
  std::error_code made;
  std::filesystem::create_directories(folder, made);
  // Where the example pane's rows keep a chosen video.
  std::filesystem::create_directories(
      std::filesystem::path(deviceRoot) / "var/mobile/Library/Plinka", made);
  auto at = [&](const char* name) { return (folder / name).string(); };
  VideoSpec mov;
  mov.container = "mov";
  mov.hue = 200;
  VideoSpec mp4;
  mp4.container = "mp4";
  mp4.hue = 30;
  mp4.seconds = 1.0;
  return writeHEIC(at("IMG_0001.HEIC"), 640, 480, 120, error) &&
         writeJPEG(at("IMG_0002.JPG"), 640, 480, 0, error) &&
         writePNG(at("IMG_0003.PNG"), 320, 240, 270, error) &&
         writeVideo(at("IMG_0004.MOV"), mov, error) &&
         writeGIF(at("IMG_0005.GIF"), 160, 120, 60, error) &&
         writeVideo(at("IMG_0006.MP4"), mp4, error);
}

}  // namespace media
