#pragma once
// JPEG pictures of the main window, decoded with libjpeg.

#include <QImage>
#include <string>

#include "Exception.h"

ZARNAVIS_DECLARE_EXCEPTION(EJPEGError, Exception);

// Decodes a baseline or progressive JPEG (grey or colour) into an RGB image.
// Raises EJPEGError for data that is not a readable JPEG.
QImage DecodeJpeg(const unsigned char* data, size_t size);
// Decodes a JPEG from a Qt resource or file path.
QImage LoadJpeg(const QString& path);
