#include "Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

TShellHook& Hook() {
  static TShellHook hook;
  return hook;
}

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

bool LooksLikeUrl(const QString& file) {
  const QUrl url(file, QUrl::StrictMode);
  return url.isValid() && url.scheme().size() > 1 &&
         (file.contains(QLatin1String("://")) || url.scheme() == QLatin1String("mailto"));
}

bool IsWindowsProgramName(const QString& file) {
  const QString suffix = QFileInfo(file).suffix().toLower();
  return suffix == QLatin1String("exe") || suffix == QLatin1String("com") ||
         suffix == QLatin1String("bat");
}

// An ELF binary or a script with its interpreter line.
bool IsLinuxProgram(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray start = file.read(4);
  return start.startsWith(
             "\x7f"
             "ELF") ||
         start.startsWith("#!");
}

// A file named without a folder is looked for in the working folder, then on
// the search path, as the shell does.
QString Resolve(const QString& file, const QString& directory) {
  if (QDir::isAbsolutePath(file)) return QFileInfo::exists(file) ? file : QString();
  if (!directory.isEmpty()) {
    const QString inDir = QDir(directory).filePath(file);
    if (QFileInfo::exists(inDir)) return inDir;
  }
  if (QFileInfo::exists(file)) return QFileInfo(file).absoluteFilePath();
  if (!file.contains(QLatin1Char('/'))) {
    const QString onPath = QStandardPaths::findExecutable(file);
    if (!onPath.isEmpty()) return onPath;
  }
  return QString();
}

}  // namespace

TShellAction ClassifyShellFile(const std::string& file, const std::string& directory) {
  const QString f = Q(file);
  if (LooksLikeUrl(f)) return TShellAction::Url;
  const QString path = Resolve(f, Q(directory));
  if (path.isEmpty()) return TShellAction::Missing;
  const QFileInfo info(path);
  if (info.isDir()) return TShellAction::Document;
  // Discs and FAT media mark every file executable: only a real Linux
  // program (a binary or a script) is started as one; a Windows program goes
  // to wine by its name, and any other file is a document for its viewer.
  if (info.isExecutable() && IsLinuxProgram(path)) return TShellAction::Program;
  if (IsWindowsProgramName(path)) return TShellAction::WindowsProgram;
  return TShellAction::Document;
}

bool ShellOpen(const std::string& file, const std::string& parameters,
               const std::string& directory) {
  if (Hook()) return Hook()({file, parameters, directory});
  const QString f = Q(file), dir = Q(directory);
  const QStringList args = QProcess::splitCommand(Q(parameters));
  switch (ClassifyShellFile(file, directory)) {
    case TShellAction::Url:
      return QDesktopServices::openUrl(QUrl(f));
    case TShellAction::Program:
      return QProcess::startDetached(Resolve(f, dir), args, dir);
    case TShellAction::WindowsProgram: {
      const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
      if (wine.isEmpty()) return false;
      return QProcess::startDetached(wine, QStringList{Resolve(f, dir)} + args, dir);
    }
    case TShellAction::Document:
      return QDesktopServices::openUrl(QUrl::fromLocalFile(Resolve(f, dir)));
    case TShellAction::Missing:
      return false;
  }
  return false;
}

bool OpenURL(const std::string& url) {
  if (ShellOpen(url, "", "")) return true;
  if (ShellOpen("iexplore.exe", url, "")) return true;
  return ShellOpen("netscape.exe", url, "");
}

TShellHook SetShellHook(TShellHook hook) {
  TShellHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}
