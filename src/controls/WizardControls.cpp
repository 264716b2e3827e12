#include "WizardControls.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include "CopyAnimation.h"
#include "ExtForm.h"
#include "Languages.h"
#include "ProgressBarEx.h"

void SetUpWizardWindow(TExtForm& Form, const QImage& Picture) {
  Form.setFixedSize(482, 393);
  CentreOnScreen(Form);
  const QImage& picture = Picture.isNull() ? MainWindowSmallPicture() : Picture;
  if (!picture.isNull()) Form.SetWindowPicture(picture);
  QFont font = Form.font();
  font.setPixelSize(11);
  Form.setFont(font);
}

void BrowseIntoEdit(TBrowseFolderDialog& Dialog, QWidget* Parent, TTextId TitleId,
                    TBrowseDirOptions Options, QLineEdit* Edit) {
  Dialog.Title = GetText(TitleId);
  Dialog.Options = Options;
  Dialog.Folder = Edit->text().toStdString();
  if (Dialog.Execute(Parent)) Edit->setText(QString::fromStdString(Dialog.Folder));
}

QFrame* NewWizardPage(QWidget* Parent) {
  auto* page = new QFrame(Parent);
  page->setGeometry(WizardPageRect);
  page->setAutoFillBackground(true);
  page->hide();
  return page;
}

QLabel* NewInfoLabel(QWidget* Parent, const QRect& Rect) {
  auto* label = new QLabel(Parent);
  label->setGeometry(Rect);
  label->setFrameStyle(QFrame::Box | QFrame::Plain);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::ToolTipBase));
  palette.setColor(QPalette::WindowText, palette.color(QPalette::ToolTipText));
  label->setPalette(palette);
  return label;
}

QLabel* NewLabel(QWidget* Parent, const QRect& Rect) {
  auto* label = new QLabel(Parent);
  label->setGeometry(Rect);
  return label;
}

QLabel* NewBoldLabel(QWidget* Parent, const QRect& Rect) {
  QLabel* label = NewLabel(Parent, Rect);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  return label;
}

QPushButton* NewButton(QWidget* Parent, const QRect& Rect) {
  auto* button = new QPushButton(Parent);
  button->setGeometry(Rect);
  button->setAutoDefault(false);
  return button;
}

QString TableText(TTextId Id) {
  return ShownText(GetText(Id));
}

QString FlowText(TTextId Id) {
  QString text = QString::fromStdString(GetText(Id));
  text.replace('\r', ' ');
  return text.simplified();
}

TWizardProgress NewProgressControls(QWidget* Page) {
  TWizardProgress p;
  p.Animate = new TCopyAnimation(Page);
  p.Animate->setGeometry(59, 16, 272, 60);
  p.LabelSingle = NewLabel(Page, QRect(0, 110, 390, 16));
  p.ProgressBarSingle = new TProgressBarEx(Page);
  p.ProgressBarSingle->setGeometry(0, 128, 390, 18);
  p.LabelEntire = NewLabel(Page, QRect(0, 170, 390, 16));
  p.ProgressBarEntire = new TProgressBarEx(Page);
  p.ProgressBarEntire->setGeometry(0, 188, 390, 18);
  for (TProgressBarEx* bar : {p.ProgressBarSingle, p.ProgressBarEntire}) {
    bar->SetColorStart(Qt::black);
    bar->SetFontColor(Qt::white);
  }
  p.ProgressBarSingle->SetColorEnd(QColor(0, 0, 255));
  p.ProgressBarEntire->SetColorEnd(QColor(0, 255, 0));
  return p;
}
