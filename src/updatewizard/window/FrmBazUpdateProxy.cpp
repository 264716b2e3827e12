// The proxy page: the way to the update server, its enabling rules, its
// check, and the stored settings applied as if the user had chosen them.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "FrmBazUpdate.h"
#include "MsgBox.h"
#include "ProxySettings.h"
#include "QvEditEx.h"
#include "UpdateDownload.h"

void TFormBaZUpdate::LoadProxySettings() {
  const TProxySettings stored = ::LoadProxySettings();
  ComboBoxProxy->setCurrentIndex(stored.Type);
  ComboBoxProxyChange();
  EditProxyServer->setText(QString::fromStdString(stored.Server));
  EditProxyPort->SetIntValue(stored.Port);
  CheckBoxProxyLogin->setChecked(stored.Login);
  ProxyLoginChanged();
  EditProxyUser->setText(QString::fromStdString(stored.UserName));
  EditProxyPassword->setText(QString::fromStdString(stored.Password));
}

TProxySettings TFormBaZUpdate::ProxySettings() const {
  TProxySettings s;
  s.Type = std::max(ComboBoxProxy->currentIndex(), 0);
  s.Server = EditProxyServer->text().toStdString();
  s.Port = int(EditProxyPort->IntValue());
  s.Login = CheckBoxProxyLogin->isChecked();
  s.UserName = EditProxyUser->text().toStdString();
  s.Password = EditProxyPassword->text().toStdString();
  return s;
}

void TFormBaZUpdate::ComboBoxProxyChange() {
  const TFtpConnectionType type = ProxyConnectionType(ComboBoxProxy->currentIndex());
  // While a failed run's connection is open the client keeps its way; the
  // next run applies the page once that connection is ended.
  if (!FDownload->Client().Connected()) FDownload->Client().SetConnectionType(type);
  const bool proxy = type != ftpDirect;
  const bool socks = type == ftpSocks5 || type == ftpSocks4 || type == ftpSocks4A;
  CheckBoxPassive->setChecked(proxy);
  CheckBoxPassive->setEnabled(proxy);
  for (QWidget* control : std::initializer_list<QWidget*>{EditProxyServer, EditProxyPort,
                                                          LabelProxyServer, LabelProxyPort})
    control->setEnabled(proxy);
  CheckBoxProxyLogin->setEnabled(socks);
  LabelProxyLogin->setEnabled(socks);
}

void TFormBaZUpdate::LabelProxyLoginClick() {
  CheckBoxProxyLogin->setChecked(!CheckBoxProxyLogin->isChecked());
  ProxyLoginChanged();
}

void TFormBaZUpdate::ProxyLoginChanged() {
  const bool login = CheckBoxProxyLogin->isChecked();
  for (QWidget* control : std::initializer_list<QWidget*>{EditProxyUser, EditProxyPassword,
                                                          LabelProxyUser, LabelProxyPassword})
    control->setEnabled(login);
}

bool TFormBaZUpdate::CheckFTPPage() {
  const TProxySettings settings = ProxySettings();
  if (const std::string warning = CheckProxySettings(settings); !warning.empty()) {
    ShowMsgBox(warning, mtWarning, {mbOK});
    return false;
  }
  if (!FDownload->Client().Connected()) ApplyProxyPage();
  return true;
}

void TFormBaZUpdate::ApplyProxyPage() {
  // The window's conversations use passive data connections: they pass the
  // routers of homes and marinas, and through a proxy they are the only
  // kind. Active ones are zrnupdate's --active.
  FDownload->SetProxy(ProxySettings(), true);
}
