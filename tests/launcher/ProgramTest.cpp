// The program itself, started as a process.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <cstdlib>

#include "LauncherFixture.h"
#include "TempDir.h"

namespace {

QString Program() {
  const char* build = std::getenv("ZARNAVIS_BUILD_DIR");
  return QString::fromLocal8Bit(build ? build : ".") + "/src/launcher/zarnavis";
}

struct TRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

TRun RunProgram(const QStringList& args, const QProcessEnvironment& env) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(Program(), args);
  TRun r;
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  r.out = p.readAllStandardOutput().toStdString();
  r.err = p.readAllStandardError().toStdString();
  return r;
}

}  // namespace

TEST(Program, VersionSwitchNeedsNoDisplayAndPrintsThePackedVersion) {
  TempDir settings;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  env.insert("ZARNAVIS_HOME", QString::fromStdString(settings.Path()));
  for (const char* sw : {"-d", "-D"}) {
    const TRun r = RunProgram({sw, "ignored"}, env);
    EXPECT_EQ(r.exitCode, 33947648 & 0xFF) << sw;
    EXPECT_EQ(r.out, "33947648\n") << sw;
  }
  EXPECT_FALSE(QFile::exists(QString::fromStdString(settings / "user.reg")));
}

TEST(Program, HelpAndVersionFollowTheConventionsOfTheSystem) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  const TRun help = RunProgram({"--help"}, env);
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.rfind("Usage: zarnavis", 0), 0u) << help.out;
  for (const char* part : {"\n  -d, -D ", "\n  --help ", "\n  --version ", "$ZARNAVIS_HOME",
                           "XDG_CONFIG_HOME", "Exit status:", "\n 2  "})
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  const TRun version = RunProgram({"--version"}, env);
  EXPECT_EQ(version.exitCode, 0);
  // The project's version and the packed version that "-d" reports agree.
  EXPECT_EQ(version.out.substr(0, version.out.find('\n')),
            "zarnavis " + VersionToStr(ProgramParams().Version, 3));
}

TEST(Program, UnknownLongOptionIsAUsageError) {
  const TRun r = RunProgram({"--frobnicate"}, QProcessEnvironment::systemEnvironment());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "zarnavis: unrecognized option '--frobnicate'\n"
            "Try 'zarnavis --help' for more information.\n");
}

TEST(Program, SwitchAsSecondParameterStartsNormallyAndStoresTheSettings) {
  TempDir settings, shots;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("ZARNAVIS_HOME", QString::fromStdString(settings.Path()));
  const std::string shot = shots / "main.png";
  env.insert("ZARNAVIS_SCREENSHOT", QString::fromStdString(shot));
  env.insert("ZARNAVIS_SCREENSHOT_DELAY", "200");
  const TRun r = RunProgram({"x", "-d"}, env);
  EXPECT_EQ(r.exitCode, 0);
  const QImage image(QString::fromStdString(shot));
  EXPECT_EQ(image.size(), QSize(592, 423));
  // First run: English chosen without a dialog and kept by the main window.
  const std::string user = ReadFileText(settings / "user.reg");
  EXPECT_NE(user.find("\"Language\"=\"English\""), std::string::npos) << user;
  const std::string machine = ReadFileText(settings / "system.reg");
  for (const char* value :
       {"\"BaZ Index size 120\"=dword:00000000", "\"BaZ Index 120\"=dword:00000000",
        "\"BaZ Index size 240\"=", "\"BaZ Index 240\"=", "\"ZRN Folder\"=", "\"Charts Folder\"=",
        "\"BaZ Folder\"="})
    EXPECT_NE(machine.find(value), std::string::npos) << value;
}

// The main window at twice the normal scale (a high-resolution screen), and
// at the normal scale: reduced to the normal size, every part of the window
// looks as at the normal scale, so no text or picture moved or went missing.
TEST(Program, TwiceTheScaleKeepsEveryTextAndPictureInPlace) {
  TempDir shots;
  QImage images[2];
  for (int scale = 1; scale <= 2; ++scale) {
    TempDir settings;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_SCALE_FACTOR", QString::number(scale));
    env.insert("ZARNAVIS_HOME", QString::fromStdString(settings.Path()));
    const std::string shot = shots / ("scale" + std::to_string(scale) + ".png");
    env.insert("ZARNAVIS_SCREENSHOT", QString::fromStdString(shot));
    env.insert("ZARNAVIS_SCREENSHOT_DELAY", "300");
    ASSERT_EQ(RunProgram({}, env).exitCode, 0);
    images[scale - 1] = QImage(QString::fromStdString(shot)).convertToFormat(QImage::Format_RGB32);
  }
  ASSERT_EQ(images[0].size(), QSize(592, 423));
  ASSERT_EQ(images[1].size(), QSize(1184, 846));
  const QImage reduced =
      images[1].scaled(images[0].size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  // Mean difference per 16 x 16 block. The finer drawing differs by up to
  // about 23; a missing caption makes its block differ by about 40, a
  // missing or moved glyph by 75 and more.
  constexpr int kBlock = 16;
  int worst = 0;
  QPoint worstAt;
  for (int by = 0; by + kBlock <= reduced.height(); by += kBlock) {
    for (int bx = 0; bx + kBlock <= reduced.width(); bx += kBlock) {
      int sum = 0;
      for (int y = by; y < by + kBlock; ++y) {
        for (int x = bx; x < bx + kBlock; ++x) {
          const QRgb a = images[0].pixel(x, y), b = reduced.pixel(x, y);
          sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                 std::abs(qBlue(a) - qBlue(b));
        }
      }
      const int mean = sum / (kBlock * kBlock * 3);
      if (mean > worst) {
        worst = mean;
        worstAt = QPoint(bx, by);
      }
    }
  }
  EXPECT_LT(worst, 32) << "block at " << worstAt.x() << "," << worstAt.y();
}
