#include "app/JpegDecoder.h"

#include <QByteArray>
#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <utility>

#include <jpeglib.h>

namespace omrek {

namespace {

// Larger pictures are refused before any pixel memory is taken: a damaged
// header could otherwise claim gigabytes for a picture meant for a dialog.
constexpr long long kMaxPixels = 4096LL * 4096;
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

// libjpeg reports a fatal error through error_exit, whose default ends the
// process. This one jumps back into Decode instead.
struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1); }

// libjpeg only warns about a truncated file or a corrupt scan and fills the
// rest of the picture with grey; a damaged picture is shown as none instead.
void WarningsAreFatal(j_common_ptr info, int level) {
  if (level < 0) JumpBack(info);
}

struct Decompressor {
  jpeg_decompress_struct info{};
  ErrorTrap trap{};
  QImage image;

  // Safe whether or not jpeg_create_decompress ran: it frees nothing while
  // the struct is still zeroed.
  ~Decompressor() { jpeg_destroy_decompress(&info); }
};

// Every libjpeg call that may jump back is made here. The jump passes only
// through libjpeg's C frames; this frame holds no object with a destructor
// and changes no local after setjmp, so nothing is skipped or clobbered.
bool Decode(Decompressor& d, const unsigned char* data, unsigned long size) {
  d.info.err = jpeg_std_error(&d.trap.manager);
  d.trap.manager.error_exit = JumpBack;
  d.trap.manager.emit_message = WarningsAreFatal;
  if (setjmp(d.trap.jump) != 0) return false;

  jpeg_create_decompress(&d.info);
  jpeg_mem_src(&d.info, data, size);
  jpeg_read_header(&d.info, TRUE);
  if (static_cast<long long>(d.info.image_width) * d.info.image_height > kMaxPixels) return false;
  d.info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d.info);
  if (d.info.output_components != 3) return false;

  d.image =
      QImage(static_cast<int>(d.info.output_width), static_cast<int>(d.info.output_height), QImage::Format_RGB888);
  if (d.image.isNull()) return false;
  while (d.info.output_scanline < d.info.output_height) {
    JSAMPROW row = d.image.scanLine(static_cast<int>(d.info.output_scanline));
    jpeg_read_scanlines(&d.info, &row, 1);
  }
  jpeg_finish_decompress(&d.info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& bytes) {
  Decompressor decompressor;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
  if (!Decode(decompressor, data, static_cast<unsigned long>(bytes.size()))) return {};
  return std::move(decompressor.image);
}

QImage DecodeJpegFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  // Read one byte past the limit so that an endless device or a huge file is
  // noticed without reading all of it.
  const QByteArray bytes = file.read(kMaxFileBytes + 1);
  if (bytes.size() > kMaxFileBytes) return {};
  return DecodeJpeg(bytes);
}

}  // namespace omrek
