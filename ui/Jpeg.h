#pragma once
// Decoding a JPEG image with libjpeg.
#include <QImage>
#include <cstddef>
#include <stdexcept>

class EJpegError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decodes a whole JPEG file held in memory into an RGB image. Throws
// EJpegError for data libjpeg refuses (it never ends the program).
QImage DecodeJpeg(const unsigned char* data, std::size_t size);
