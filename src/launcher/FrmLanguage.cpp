#include "FrmLanguage.h"

#include <QFrame>
#include <QListWidget>
#include <QPushButton>

#include "ExtForm.h"
#include "MsgBox.h"
#include "ProgInfo.h"

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

const char* const kFlagNames[LanguageCount] = {"english", "dutch",   "german", "french",
                                               "spanish", "italian", "danish", "swedish"};

}  // namespace

QIcon LanguageFlag(uint8_t language) {
  if (language < 1 || language > LanguageCount) return QIcon();
  return QIcon(QStringLiteral(":/launcher/flag32_%1.png").arg(kFlagNames[language - 1]));
}

TFormLanguage::TFormLanguage(TLanguageSet available, const std::string& caption, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("FormLanguage"));
  setWindowTitle(Q(caption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  QFont f(QStringLiteral("Tahoma"));
  f.setPixelSize(11);
  setFont(f);
  setFixedSize(402, 280);

  ShapePanelLanguage = new QFrame(this);
  ShapePanelLanguage->setObjectName(QStringLiteral("ShapePanelLanguage"));
  ShapePanelLanguage->setFrameShape(QFrame::Box);
  ShapePanelLanguage->setGeometry(5, 5, 391, 235);

  ListViewLanguage = new QListWidget(this);
  ListViewLanguage->setObjectName(QStringLiteral("ListViewLanguage"));
  ListViewLanguage->setGeometry(6, 12, 389, 219);
  ListViewLanguage->setFrameShape(QFrame::NoFrame);
  ListViewLanguage->setStyleSheet(QStringLiteral("QListWidget { background: white; }"));
  ListViewLanguage->setIconSize(QSize(32, 32));
  ListViewLanguage->setSelectionMode(QAbstractItemView::SingleSelection);
  ListViewLanguage->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // One item per offered language, in the order of the indexes.
  for (uint8_t index = 1; index <= LanguageCount; ++index) {
    if (!(available & LanguageBit(index))) continue;
    auto* item = new QListWidgetItem(LanguageFlag(index), Q(LanguageNativeName(index)));
    item->setData(Qt::UserRole, index);
    ListViewLanguage->addItem(item);
  }

  ButtonOK = new QPushButton(this);
  ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
  ButtonOK->setGeometry(220, 248, 75, 25);
  ButtonOK->setDefault(true);
  connect(ButtonOK, &QPushButton::clicked, this, [this] { done(mrOk); });
  ButtonCancel = new QPushButton(this);
  ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
  ButtonCancel->setGeometry(304, 248, 75, 25);
  connect(ButtonCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });

  ListViewLanguage->clearSelection();
  ListViewLanguage->setCurrentItem(nullptr);
  connect(ListViewLanguage, &QListWidget::itemSelectionChanged, this,
          [this] { ListViewLanguageChange(); });
  UpdateButtons();
  CentreOnScreen(*this);
}

void TFormLanguage::Preselect(uint8_t language) {
  for (int row = 0; row < ListViewLanguage->count(); ++row) {
    QListWidgetItem* item = ListViewLanguage->item(row);
    if (item->data(Qt::UserRole).toInt() == language) {
      SelectRow(row);
      ListViewLanguage->scrollToItem(item);
      ListViewLanguage->setFocus();
      return;
    }
  }
  SelectRow(-1);
  // A focused list marks its first item as current, which reads as a choice
  // the user has not made.
  ButtonCancel->setFocus();
}

void TFormLanguage::SelectRow(int row) {
  ListViewLanguage->clearSelection();
  if (row >= 0 && row < ListViewLanguage->count()) {
    ListViewLanguage->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
  }
  ListViewLanguageChange();
}

void TFormLanguage::ListViewLanguageChange() {
  const QList<QListWidgetItem*> selected = ListViewLanguage->selectedItems();
  FLanguage =
      selected.isEmpty() ? 0 : static_cast<uint8_t>(selected.front()->data(Qt::UserRole).toInt());
  UpdateButtons();
}

void TFormLanguage::UpdateButtons() {
  // The buttons speak the language being chosen (English while none is).
  ButtonCancel->setText(Q(LocalizedString(LibraryTexts::ButtonCancel, FLanguage)));
  ButtonOK->setText(Q(LocalizedString(LibraryTexts::ButtonOK, FLanguage)));
  ButtonOK->setEnabled(FLanguage != 0);
}

bool ExecuteLanguageDialog(TLanguageSet available, uint8_t& language) {
  const std::string caption = ProgInfo() ? ProgInfo()->Description() : std::string();
  TFormLanguage form(available, caption);
  form.Preselect(language);
  if (ExecModal(form) != mrOk || form.Language() == 0) return false;
  language = form.Language();
  return true;
}
