#pragma once
// The base of the wizard windows: a window picture drawn in the top-left
// corner of the client area, and context help (F1) through THTMLHelper.

#include <QDialog>
#include <QImage>
#include <functional>
#include <string>

class TExtForm : public QDialog {
  Q_OBJECT

 public:
  explicit TExtForm(QWidget* parent = nullptr);

  // Copies the picture into the window picture.
  void SetWindowPicture(const QImage& picture);
  const QImage& WindowPicture() const { return FWindowPicture; }
  // True while the picture has a width and a height greater than 0.
  bool HasWindowPicture() const { return FHasWindowPicture; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QImage FWindowPicture;
  bool FHasWindowPicture = false;
};

// A text of the program as a control shows it: the program's texts break
// lines with a single carriage return.
QString ShownText(const std::string& text);

// Places a top-level window in the middle of the primary screen.
void CentreOnScreen(QWidget& window);

// The small picture of the main window, which the wizards take as their
// window picture.
const QImage& MainWindowSmallPicture();
void SetMainWindowSmallPicture(const QImage& picture);

// Runs a dialog modally and returns its result. Tests install a hook that
// gets the dialog instead (created, not shown) and answers it, so that no test
// waits on a modal loop.
using TModalHook = std::function<int(QDialog& dialog)>;
int ExecModal(QDialog& dialog);
// Installs a hook and returns the previous one (empty: real modal loops).
TModalHook SetModalHook(TModalHook hook);
