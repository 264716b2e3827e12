#include "FrmReplace.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "ExtForm.h"
#include "Languages.h"
#include "MsgBox.h"

namespace {
constexpr int ClientWidth = 418;
constexpr int ClientHeight = 132;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int ButtonTop = 100;
constexpr int Gap = 12;
}  // namespace

TFormReplace::TFormReplace(const std::string& Message, bool OfferAll, bool OfferCancel,
                           QWidget* Parent)
    : QDialog(Parent) {
  setWindowTitle("Bestand vervangen");
  setFixedSize(ClientWidth, ClientHeight);
  CentreOnScreen(*this);
  QFont form = font();
  form.setPixelSize(11);
  setFont(form);

  ImageIcon = new QLabel(this);
  ImageIcon->setGeometry(16, 16, 32, 32);
  ImageIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));

  LabelMsg = new QLabel(this);
  LabelMsg->setWordWrap(true);
  LabelMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LabelMsg->setText(ShownText(Message));
  const int labelWidth = ClientWidth - 68 - 16;
  LabelMsg->setGeometry(68, 16, labelWidth, LabelMsg->heightForWidth(labelWidth));

  ButtonYes = AddButton(txtYes, mrYes);
  ButtonAll = AddButton(txtYesToAll, mrYesToAll);
  ButtonNo = AddButton(txtNo, mrNo);
  ButtonCancel = AddButton(txtCancel, mrCancel);
  ButtonAll->setVisible(OfferAll);
  ButtonCancel->setVisible(OfferCancel);
  ButtonYes->setDefault(true);

  // Offered buttons from the right edge leftwards: Cancel, No, Yes to all, Yes.
  int right = ClientWidth - Gap;
  for (QPushButton* button : {ButtonCancel, ButtonNo, ButtonAll, ButtonYes}) {
    if (button->isHidden()) continue;
    button->setGeometry(right - ButtonWidth, ButtonTop, ButtonWidth, ButtonHeight);
    right -= ButtonWidth + Gap;
  }
}

QPushButton* TFormReplace::AddButton(TTextId TextId, int Result) {
  auto* button = new QPushButton(QString::fromStdString(GetText(TextId)), this);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, Result] { done(Result); });
  return button;
}

void TFormReplace::reject() {
  done(mrCancel);
}
