// The update wizard's pages for docs/screenshots: the start page in the
// three languages, the settings page of each action, the chart sets, the
// proxy, the summary, the progress while a file comes in from the local
// update server, and the results, drawn offscreen from the demo CD of
// zrntool demo.

#include <gtest/gtest.h>

#include <QTreeWidget>
#include <filesystem>

#include "QvEditEx.h"
#include "QvLanguage.h"
#include "WizardTestSupport.h"

namespace fs = std::filesystem;

namespace {

class UpdateScreenshots : public TWizardFixture {};

TEST_F(UpdateScreenshots, Pages) {
  const char* folder = std::getenv("ZARNAVIS_SCREENSHOT_DIR");
  ASSERT_NE(folder, nullptr) << "set ZARNAVIS_SCREENSHOT_DIR to the folder of the pictures";
  Install({"1801", "1805", "NNZK"});
  Install({"1810"}, 1);
  const QImage small(ZARNAVIS_SOURCE_DIR "/src/launcher/resources/background_small.jpg");
  EXPECT_FALSE(small.isNull());
  SetMainWindowSmallPicture(small);
  const auto grab = [&](const std::string& name) {
    PumpFor(30);
    EXPECT_TRUE(FForm->grab().save(
        QString::fromStdString(std::string(folder) + "/update-" + name + ".png")));
  };
  for (const auto& [language, name] : {std::pair{TextDutch, "dutch"}, {TextGerman, "german"}}) {
    CurrentLanguage = language;
    SelectLanguage(language);
    NewForm(Cd(), FInstalled);
    grab(std::string("start-") + name);
  }
  CurrentLanguage = TextEnglish;
  SelectLanguage(TextEnglish);
  // The first update comes in half and then waits.
  const std::string stalled = "180101.240";
  StartServer(
      {"--stall", stalled + ":" + std::to_string(fs::file_size(ServerFolder() + stalled) / 2)});
  PointSettingsAtServer("127.0.0.1", FServer.Port());
  NewForm(Cd(), FInstalled);
  grab("start");
  Click(Form().ButtonDownload);
  Form().EditUpdates->setText(QString::fromStdString(FTemp / "usb/"));
  grab("settings-download");
  Click(Form().ButtonPrev);
  Click(Form().ButtonUpdate);
  Form().EditUpdates->setText(QString::fromStdString(UpdateDisk()));
  grab("settings-apply");
  Click(Form().ButtonPrev);
  Click(Form().ButtonDownloadUpdate);
  grab("settings-download-apply");
  Click(Form().ButtonNext);
  QTreeWidget* list = Form().ListViewCharts;
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    QPoint(283, Form().ListViewCharts->ImageTop(1) + 5));
  grab("charts");
  Click(Form().ButtonNext);
  Form().ComboBoxProxy->setCurrentIndex(2);
  Form().ComboBoxProxyChange();
  Form().EditProxyServer->setText("socks.marina.lan");
  grab("proxy");
  Form().ComboBoxProxy->setCurrentIndex(0);
  Form().ComboBoxProxyChange();
  Form().EditProxyServer->clear();
  Click(Form().ButtonNext);
  grab("summary");
  Click(Form().ButtonNext);
  EXPECT_TRUE(RunUntil(
      [&] {
        const QString label = Form().LabelSingle->text();
        return label.contains(" of ") && !label.contains("(0 bytes");
      },
      10000))
      << Shown() << Form().LabelSingle->text().toStdString();
  grab("progress");
  Form().close();
  FServer.Stop();
  StartServer();
  PointSettingsAtServer("127.0.0.1", FServer.Port());
  NewForm(Cd(), FInstalled);
  ToChartsPage(TUpdateMode::DownloadAndApply);
  ToUpdatePage();
  RunAndWait();
  grab("results");
  SetMainWindowSmallPicture(QImage());
}

}  // namespace
