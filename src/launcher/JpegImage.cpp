#include "JpegImage.h"

// jpeglib.h needs size_t and FILE declared first.
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include <QFile>

namespace {

struct TErrorManager {
  jpeg_error_mgr Public;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<TErrorManager*>(info->err);
  (*info->err->format_message)(info, err->Message);
  std::longjmp(err->Jump, 1);
}

void SilentOutput(j_common_ptr) {}

// Decodes into rows; no C++ object with a destructor lives across setjmp.
bool Decode(const unsigned char* data, size_t size, std::vector<unsigned char>& pixels, int& width,
            int& height, char* message) {
  jpeg_decompress_struct info;
  TErrorManager err;
  info.err = jpeg_std_error(&err.Public);
  err.Public.error_exit = ErrorExit;
  err.Public.output_message = SilentOutput;
  err.Message[0] = '\0';
  if (setjmp(err.Jump)) {
    jpeg_destroy_decompress(&info);
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.Message);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  width = static_cast<int>(info.output_width);
  height = static_cast<int>(info.output_height);
  const size_t stride = static_cast<size_t>(width) * 3;
  pixels.resize(stride * static_cast<size_t>(height));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const unsigned char* data, size_t size) {
  std::vector<unsigned char> pixels;
  int width = 0, height = 0;
  char message[JMSG_LENGTH_MAX] = {};
  if (size == 0 || !Decode(data, size, pixels, width, height, message))
    throw EJPEGError(std::string("JPEG error: ") + (message[0] ? message : "no data"));
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y)
    std::copy_n(pixels.data() + static_cast<size_t>(y) * width * 3, width * 3, image.scanLine(y));
  return image;
}

QImage LoadJpeg(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw EJPEGError("JPEG error: cannot read " + path.toStdString());
  const QByteArray bytes = file.readAll();
  return DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                    static_cast<size_t>(bytes.size()));
}
