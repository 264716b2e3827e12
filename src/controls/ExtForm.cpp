#include "ExtForm.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include "HTMLHelper.h"

TExtForm::TExtForm(QWidget* parent) : QDialog(parent) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, true);
}

void TExtForm::SetWindowPicture(const QImage& picture) {
  FWindowPicture = picture.copy();
  FHasWindowPicture = FWindowPicture.width() > 0 && FWindowPicture.height() > 0;
  update();
}

void TExtForm::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  if (!FHasWindowPicture) return;
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), FWindowPicture);
}

void TExtForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    QWidget* target = QApplication::focusWidget();
    THTMLHelper::Instance().HelpRequest(target && isAncestorOf(target) ? target : this);
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

namespace {
QImage& SmallPicture() {
  static QImage picture;
  return picture;
}

TModalHook& ModalHook() {
  static TModalHook hook;
  return hook;
}
}  // namespace

int ExecModal(QDialog& dialog) {
  if (ModalHook()) return ModalHook()(dialog);
  dialog.setModal(true);
  return dialog.exec();
}

TModalHook SetModalHook(TModalHook hook) {
  TModalHook previous = std::move(ModalHook());
  ModalHook() = std::move(hook);
  return previous;
}

const QImage& MainWindowSmallPicture() {
  return SmallPicture();
}

void SetMainWindowSmallPicture(const QImage& picture) {
  SmallPicture() = picture.copy();
}

void CentreOnScreen(QWidget& window) {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    window.move(screen->geometry().center() - QPoint(window.width() / 2, window.height() / 2));
}

QString ShownText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}
