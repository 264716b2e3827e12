#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include "Exception.h"
#include "FrmRTLIError.h"
#include "LauncherFixture.h"
#include "QvLanguage.h"
#include "TempDir.h"

namespace {

ZARNAVIS_DECLARE_EXCEPTION(EChartTestError, Exception);

}  // namespace

TEST(ExceptionReport, DetailsTextLayout) {
  EXPECT_EQ(TFormRTLIError::DetailsText("1-5-2003 12:00", {"EStreamError", "Read error."},
                                        "/cd/zarnavis", "Zarnavis 2.6.0.0", ""),
            "Date: 1-5-2003 12:00\r\n"
            "Exception EStreamError in /cd/zarnavis (Zarnavis 2.6.0.0)\r\n"
            "\r\n"
            "\"Read error.\"\r\n"
            "\r\n");
  EXPECT_EQ(TFormRTLIError::DetailsText("d", {"E", "m"}, "p", "v", "trace line"),
            "Date: d\r\nException E in p (v)\r\n\r\n\"m\"\r\n\r\ntrace line");
}

TEST_F(LauncherTest, ReportGrowsWithTheMessageAndDetailsToggleBack) {
  TFormRTLIError& form = TFormRTLIError::Instance();
  form.PrepareReport({"EOSError", "One line."}, "", "Zarnavis 2.6.0.0");
  const int oneLineHeight = form.height();
  const int oneLineTop = form.ButtonOk->y();
  const int lineHeight = form.LabelMsg->fontMetrics().height();
  form.PrepareReport({"EOSError", "First line.\nSecond line.\nThird line."}, "", "v");
  EXPECT_EQ(form.height() - oneLineHeight, 2 * lineHeight);
  for (QPushButton* b : {form.ButtonOk, form.ButtonSave, form.ButtonDetails})
    EXPECT_EQ(b->y() - oneLineTop, 2 * lineHeight);
  EXPECT_EQ(form.ButtonOk->y(), form.LabelMsg->height() + 85);
  // The program's own line breaks (single carriage returns) count as lines.
  const int threeLines = form.height();
  form.PrepareReport({"ERegistryException", "Error opening registry key.\r\r\"HKEY\""}, "", "v");
  EXPECT_EQ(form.height(), threeLines);
  form.PrepareReport({"EOSError", "First line.\nSecond line.\nThird line."}, "", "v");
  EXPECT_EQ(form.height(), form.LabelMsg->height() + 25 + 95);

  const int before = form.height();
  EXPECT_FALSE(form.RichEdit->isVisibleTo(&form));
  form.ButtonDetailsClick();
  EXPECT_EQ(form.height(), before + 217);
  EXPECT_TRUE(form.RichEdit->isVisibleTo(&form));
  EXPECT_EQ(form.RichEdit->geometry(), QRect(0, before, 492, 217));
  EXPECT_EQ(form.ButtonDetails->text().toStdString(), "&Details <<<");
  form.ButtonDetailsClick();
  EXPECT_EQ(form.height(), before);
  EXPECT_EQ(form.ButtonDetails->text().toStdString(), "&Details >>>");
  // A new report starts with the details hidden again.
  form.ButtonDetailsClick();
  form.PrepareReport({"EOSError", "x"}, "", "v");
  EXPECT_FALSE(form.RichEdit->isVisibleTo(&form));
  EXPECT_EQ(form.height(), oneLineHeight);
}

TEST_F(LauncherTest, ReportCaptionsFollowTheLibraryLanguage) {
  struct Row {
    uint8_t language;
    std::string caption, save;
  };
  const Row rows[] = {{3, "Fehler", "&Speichern"}, {2, "Fout", "Op&slaan"}, {1, "Error", "&Save"}};
  TFormRTLIError& form = TFormRTLIError::Instance();
  for (const Row& r : rows) {
    SelectLanguage(r.language);
    form.PrepareReport({"EOSError", "x"}, "", "v");
    EXPECT_EQ(form.windowTitle().toStdString(), r.caption);
    EXPECT_EQ(form.ButtonSave->text().toStdString(), r.save);
    EXPECT_EQ(form.ButtonOk->text().toStdString(), "OK");
    EXPECT_EQ(form.findChild<QLabel*>("Label1")->text().toStdString(), "Exception:");
    EXPECT_EQ(form.findChild<QLabel*>("Label3")->text().toStdString(), "In:");
    EXPECT_EQ(form.findChild<QLabel*>("Label5")->text().toStdString(), "Version:");
  }
}

TEST_F(LauncherTest, SavedDetailsAreExactlyTheDetailsText) {
  TFormRTLIError& form = TFormRTLIError::Instance();
  form.PrepareReport({"ERegistryException", "Error opening registry key.\r\r\"HKEY\""}, "",
                     "Zarnavis 2.6.0.0");
  const std::string file = FDir / "report.txt";
  form.AskSaveFileName = [&] { return file; };
  form.ButtonSaveClick();
  const std::string saved = ReadFileText(file);
  const std::string shownDate =
      form.RichEdit->toPlainText().section(QLatin1Char('\n'), 0, 0).mid(6).toStdString();
  // The lines as shown, each ended by CR LF: the breaks inside the message too.
  EXPECT_EQ(saved, "Date: " + shownDate + "\r\nException ERegistryException in " +
                       form.ModuleLabel->text().toStdString() +
                       " (Zarnavis 2.6.0.0)\r\n\r\n\"Error opening registry key.\r\n\r\n"
                       "\"HKEY\"\"\r\n\r\n");
  EXPECT_EQ(saved.substr(saved.size() - 4), "\r\n\r\n");
  EXPECT_TRUE(FBoxes.Shown().empty());

  // Cancelling the file dialog writes nothing; an unwritable file is reported.
  form.AskSaveFileName = [] { return std::string(); };
  form.ButtonSaveClick();
  form.AskSaveFileName = [&] { return FDir / "missing/folder/report.txt"; };
  FBoxes.ReplyResult(mrOk);
  form.ButtonSaveClick();
  ASSERT_EQ(FBoxes.Shown().size(), 1u);
  EXPECT_EQ(FBoxes.Shown()[0].Type, mtError);
}

TEST_F(LauncherTest, ExceptionFromAHandlerIsReportedAndTheProgramGoesOn) {
  InitProgram();
  std::vector<std::string> reports;
  AnswerDialogs([&](QDialog& d) {
    auto* form = qobject_cast<TFormRTLIError*>(&d);
    if (form)
      reports.push_back(form->ExceptionLabel->text().toStdString() + "|" +
                        form->LabelMsg->text().toStdString() + "|" +
                        form->VersionLabel->text().toStdString());
    return static_cast<int>(mrOk);
  });
  QPushButton button;
  int after = 0;
  QObject::connect(&button, &QPushButton::clicked, [] { throw EChartTestError("Bad chart."); });
  QTimer::singleShot(0, &button, [&] { button.click(); });
  QTimer::singleShot(0, &button, [&] { ++after; });
  QTimer::singleShot(0, &button, [&] { button.click(); });
  QTimer::singleShot(30, [] { QCoreApplication::quit(); });
  QCoreApplication::exec();
  EXPECT_EQ(after, 1);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0], "EChartTestError|Bad chart.|Zarnavis 2.6.0.0");
  EXPECT_TRUE(TFormRTLIError::Instance().RichEdit->toPlainText().contains(
      QRegularExpression("^Date: .+\nException EChartTestError in .+ "
                         "\\(Zarnavis 2\\.6\\.0\\.0\\)\n\n\"Bad chart\\.\"")));
}
