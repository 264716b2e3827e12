#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <cstdlib>

#include "JpegImage.h"
#include "TempDir.h"

namespace {

QByteArray ReadAll(const std::string& path) {
  QFile f(QString::fromStdString(path));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

// Pillow writes a JPEG and its own decoding of it; ours must agree with it.
TEST(JpegImage, DecodesLikePillow) {
  TempDir dir;
  const std::string script =
      "import sys\n"
      "from PIL import Image, ImageDraw\n"
      "for mode, name in (('RGB', 'colour'), ('L', 'grey')):\n"
      "    im = Image.new(mode, (37, 21))\n"
      "    d = ImageDraw.Draw(im)\n"
      "    for x in range(37):\n"
      "        d.line([(x, 0), (x, 20)], fill=(x * 7, 255 - x * 5, 90) if mode == 'RGB' else x*7)\n"
      "    d.ellipse([5, 3, 20, 18], fill=(250, 250, 30) if mode == 'RGB' else 250)\n"
      "    path = sys.argv[1] + '/' + name\n"
      "    im.save(path + '.jpg', 'JPEG', quality=85)\n"
      "    open(path + '.rgb', 'wb').write(Image.open(path + '.jpg').convert('RGB').tobytes())\n";
  QProcess python;
  python.start("/usr/bin/python3",
               {"-c", QString::fromStdString(script), QString::fromStdString(dir.Path())});
  if (!python.waitForFinished(30000) || python.exitCode() != 0)
    GTEST_SKIP() << "python3 with PIL is not available";
  for (const char* name : {"colour", "grey"}) {
    const QByteArray jpeg = ReadAll(dir / (std::string(name) + ".jpg"));
    const QByteArray rgb = ReadAll(dir / (std::string(name) + ".rgb"));
    const QImage image =
        DecodeJpeg(reinterpret_cast<const unsigned char*>(jpeg.constData()), jpeg.size());
    ASSERT_EQ(image.size(), QSize(37, 21)) << name;
    int worst = 0;
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 37; ++x)
        for (int c = 0; c < 3; ++c) {
          const int ours = static_cast<unsigned char>(image.constScanLine(y)[x * 3 + c]);
          const int theirs = static_cast<unsigned char>(rgb[(y * 37 + x) * 3 + c]);
          worst = std::max(worst, std::abs(ours - theirs));
        }
    EXPECT_LE(worst, 1) << name;
  }
}

TEST(JpegImage, DamagedDataRaises) {
  const unsigned char notJpeg[] = {'B', 'M', 0, 0, 0, 0};
  const unsigned char truncatedHeader[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00};
  EXPECT_THROW(DecodeJpeg(notJpeg, sizeof notJpeg), EJPEGError);
  EXPECT_THROW(DecodeJpeg(truncatedHeader, sizeof truncatedHeader), EJPEGError);
  EXPECT_THROW(DecodeJpeg(notJpeg, 0), EJPEGError);
  EXPECT_THROW(LoadJpeg(":/launcher/no-such-picture.jpg"), EJPEGError);
}

TEST(JpegImage, ThePicturesOfTheMainWindow) {
  EXPECT_EQ(LoadJpeg(":/launcher/background.jpg").size(), QSize(592, 423));
  EXPECT_EQ(LoadJpeg(":/launcher/background_small.jpg").size(), QSize(105, 105));
}
