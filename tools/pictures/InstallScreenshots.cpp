// The installation wizard's pages for docs/screenshots: licence, folders,
// chart sets, summary, the progress of a run and the replace question,
// drawn offscreen from chart sets of our own generator.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdlib>

#include "ChartListView.h"
#include "FrmInstall.h"
#include "FrmReplace.h"
#include "InstallTestData.h"
#include "ProgressBarEx.h"
#include "WizardControls.h"

namespace {

class InstallScreenshots : public TInstallFixture {};

TEST_F(InstallScreenshots, Pages) {
  const char* folder = std::getenv("ZARNAVIS_SCREENSHOT_DIR");
  ASSERT_NE(folder, nullptr) << "set ZARNAVIS_SCREENSHOT_DIR to the folder of the pictures";
  MakeSets(ThreeSetsLayout);
  // The launcher's small picture, as the wizard gets it from the main window.
  const QImage small(ZARNAVIS_SOURCE_DIR "/src/launcher/resources/background_small.jpg");
  ASSERT_FALSE(small.isNull());
  SetMainWindowSmallPicture(small);
  TFormInstall form(FSource, FDest);
  form.show();
  SetMainWindowSmallPicture(QImage());
  const auto grab = [&](const char* name) {
    QApplication::processEvents();
    EXPECT_TRUE(form.grab().save(QString(folder) + "/install-" + name + ".png"));
  };
  const auto click = [](QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); };
  grab("license");
  click(form.ButtonNext);
  grab("folders");
  click(form.ButtonNext);
  // The second set's 240 dpi box, ticked by the user's click on it.
  TChartListView* list = form.ListViewCharts;
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(250, list->ImageTop(1) + 5));
  grab("chartsets");
  click(form.ButtonNext);
  grab("summary");
  form.ButtonPrev->hide();
  form.ButtonNext->hide();
  form.ButtonCancel->hide();
  form.ShowPage(TInstallPage::Run);
  form.PanelProgress->show();
  form.LabelProgressSingle->setText("1801 Waddenzee - 240 dpi");
  form.ProgressBarSingle->SetMax(3);
  form.ProgressBarSingle->SetPosition(2);
  form.LabelProgressEntire->setText("Entire installation");
  form.ProgressBarEntire->SetMax(11);
  form.ProgressBarEntire->SetPosition(7);
  grab("progress");
  TFormReplace replace(ReplaceQuestion("1801 Waddenzee", FDest + "180102_240_2003.bmp"), true,
                       true);
  replace.show();
  QApplication::processEvents();
  EXPECT_TRUE(replace.grab().save(QString(folder) + "/install-replace.png"));
}

}  // namespace
