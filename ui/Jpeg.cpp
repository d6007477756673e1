#include "ui/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include <jpeglib.h>

namespace {

// libjpeg's default error handling ends the process; this one jumps back
// into DecodeJpeg with the message instead.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr, int) {}  // warnings are not shown

}  // namespace

QImage DecodeJpeg(const unsigned char* data, std::size_t size) {
  if (!data || size == 0) throw EJpegError("JPEG: no data");
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = OnError;
  err.pub.emit_message = OnMessage;
  err.message[0] = '\0';
  // Nothing with a destructor lives between setjmp and a longjmp to it; the
  // image is reached through a volatile pointer so that it survives the jump.
  QImage* volatile image = nullptr;
  if (setjmp(err.jump)) {
    delete image;
    jpeg_destroy_decompress(&cinfo);
    throw EJpegError(std::string("JPEG: ") + err.message);
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  image = new QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB888);
  if (image->isNull()) {
    delete image;
    jpeg_destroy_decompress(&cinfo);
    throw EJpegError("JPEG: image too large");
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = image->scanLine(int(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  QImage result = std::move(*image);
  delete image;
  return result;
}
