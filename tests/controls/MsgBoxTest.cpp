#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "MsgBox.h"
#include "MsgBoxDialog.h"
#include "MsgBoxHook.h"
#include "MsgBoxLayout.h"
#include "QvLanguage.h"
#include "TestApplication.h"

namespace {

std::vector<TMsgDlgBtn> ButtonsOf(const TMsgBoxLayout& l) {
  std::vector<TMsgDlgBtn> out;
  for (const auto& p : l.Buttons) out.push_back(p.Button);
  return out;
}

// X = 6, Y = 16: margins 12 and 16, spacings 15 and 20, button 28 high,
// buttons 75 wide at least and 6 apart.
TMsgBoxMetrics Metrics(int textW, int textH, bool icon, int widest = 30) {
  TMsgBoxMetrics m;
  m.AvgCharWidth = 6;
  m.CharHeight = 16;
  m.TextWidth = textW;
  m.TextHeight = textH;
  m.HasIcon = icon;
  m.WidestCaption = widest;
  return m;
}

}  // namespace

TEST(MsgBoxLayout, ButtonOrderDefaultAndCancel) {
  struct Row {
    TMsgDlgButtons set;
    std::vector<TMsgDlgBtn> order;
    int def, cancel;
  };
  const Row rows[] = {
      {{mbNo, mbYes}, {mbYes, mbNo}, mrYes, mrNo},
      {{mbCancel, mbOK}, {mbOK, mbCancel}, mrOk, mrCancel},
      {{mbOK}, {mbOK}, mrOk, mrOk},
      {{mbYes}, {mbYes}, mrYes, mrNone},
      {{mbIgnore, mbRetry, mbAbort}, {mbAbort, mbRetry, mbIgnore}, mrRetry, mrNone},
      {{mbYes, mbNo, mbYesToAll, mbNoToAll, mbCancel},
       {mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel},
       mrYes,
       mrCancel},
      {{mbHelp, mbCancel, mbAll, mbIgnore, mbRetry, mbAbort, mbOK, mbNoToAll, mbNo, mbYesToAll,
        mbYes},
       {mbYes, mbYesToAll, mbNo, mbNoToAll, mbOK, mbAbort, mbRetry, mbIgnore, mbAll, mbCancel,
        mbHelp},
       mrOk,
       mrCancel},
  };
  for (const Row& r : rows) {
    const TMsgBoxLayout l = ComputeMsgBoxLayout(Metrics(100, 16, true), r.set);
    EXPECT_EQ(ButtonsOf(l), r.order);
    EXPECT_EQ(l.DefaultResult, r.def);
    EXPECT_EQ(l.CancelResult, r.cancel);
  }
}

TEST(MsgBoxLayout, GeometryWithAndWithoutIcon) {
  struct Row {
    TMsgBoxMetrics m;
    TMsgDlgButtons set;
    int clientW, clientH;
    TMsgRect text;
    TMsgRect firstButton;
  };
  const Row rows[] = {
      // Icon: block = 200 + 32 + 15 wide, max(16, 32) high.
      // Buttons: 2 * 75 + 6 = 156 wide, top 32 + 16 + 20.
      {Metrics(200, 16, true),
       {mbYes, mbNo},
       247 + 24,
       32 + 28 + 20 + 32,
       {59, 16, 200, 16},
       {(271 - 156) / 2, 68, 75, 28}},
      // No icon: the text's rectangle is the block.
      {Metrics(40, 48, false),
       {mbOK},
       75 + 24,
       48 + 28 + 20 + 32,
       {12, 16, 40, 48},
       {12, 84, 75, 28}},
      // A wide caption widens every button: 100 + 8.
      {Metrics(10, 16, false, 100),
       {mbOK, mbCancel},
       2 * 108 + 6 + 24,
       16 + 28 + 20 + 32,
       {12, 16, 10, 16},
       {12, 52, 108, 28}},
  };
  for (const Row& r : rows) {
    const TMsgBoxLayout l = ComputeMsgBoxLayout(r.m, r.set);
    EXPECT_EQ(l.ClientWidth, r.clientW);
    EXPECT_EQ(l.ClientHeight, r.clientH);
    EXPECT_EQ(l.Text, r.text);
    ASSERT_FALSE(l.Buttons.empty());
    EXPECT_EQ(l.Buttons.front().Rect, r.firstButton);
    for (size_t i = 1; i < l.Buttons.size(); ++i)
      EXPECT_EQ(l.Buttons[i].Rect.Left,
                l.Buttons[i - 1].Rect.Left + l.Buttons[i - 1].Rect.Width + 6);
  }
}

TEST(MsgBox, KeysAndButtonsGiveTheirResults) {
  struct Row {
    TMsgDlgButtons set;
    TMsgBoxReply reply;
    int expected;
  };
  const Row rows[] = {
      {{mbYes, mbNo}, TMsgBoxReply::WithKey(Qt::Key_Escape), mrNo},
      {{mbYes, mbNo}, TMsgBoxReply::WithKey(Qt::Key_Return), mrYes},
      {{mbOK, mbCancel}, TMsgBoxReply::WithKey(Qt::Key_Return), mrOk},
      {{mbOK, mbCancel}, TMsgBoxReply::WithKey(Qt::Key_Escape), mrCancel},
      {{mbOK}, TMsgBoxReply::WithKey(Qt::Key_Escape), mrOk},
      {{mbYes, mbNo}, TMsgBoxReply::WithClick("&No"), mrNo},
      {{mbAbort, mbRetry, mbIgnore}, TMsgBoxReply::WithClick("&Ignore"), mrIgnore},
      {{mbYes, mbYesToAll, mbNo, mbNoToAll}, TMsgBoxReply::WithClick("Yes to &All"), mrYesToAll},
      {{mbYes, mbYesToAll, mbNo, mbNoToAll}, TMsgBoxReply::WithClick("N&o to All"), mrNoToAll},
  };
  for (const Row& r : rows) {
    TMsgBoxRecorder rec;
    rec.Reply(r.reply);
    EXPECT_EQ(ShowMsgBox("Question?", mtConfirmation, r.set), r.expected);
    EXPECT_EQ(rec.Unexpected(), 0);
  }
}

TEST(MsgBox, HookSeesCaptionTextAndButtonsInOrder) {
  TMsgBoxRecorder rec;
  rec.ReplyResult(mrYes);
  EXPECT_EQ(ShowMsgBox("Replace the file?", mtConfirmation, {mbNo, mbYes}), mrYes);
  rec.ReplyResult(mrOk);
  ShowMsgBox("Disk full.", mtError, {mbOK});
  rec.ReplyResult(mrOk);
  ShowMsgBoxCaption("My caption", "Hello", mtCustom, {mbOK, mbCancel});
  ASSERT_EQ(rec.Shown().size(), 3u);
  EXPECT_EQ(rec.Shown()[0].Caption, "Confirm");
  EXPECT_EQ(rec.Shown()[0].Message, "Replace the file?");
  EXPECT_EQ(rec.Shown()[0].ButtonCaptions, (std::vector<std::string>{"&Yes", "&No"}));
  EXPECT_EQ(rec.Shown()[0].DefaultResult, mrYes);
  EXPECT_EQ(rec.Shown()[1].Caption, "Error");
  EXPECT_EQ(rec.Shown()[1].Type, mtError);
  EXPECT_EQ(rec.Shown()[2].Caption, "My caption");
  EXPECT_EQ(rec.Shown()[2].ButtonCaptions, (std::vector<std::string>{"OK", "Cancel"}));
}

TEST(MsgBox, UnansweredBoxIsCountedAndCancelled) {
  TMsgBoxRecorder rec;
  EXPECT_EQ(ShowMsgBox("?", mtConfirmation, {mbYes, mbNo}), mrNo);
  EXPECT_EQ(ShowMsgBox("!", mtWarning, {mbYes}), mrCancel);
  EXPECT_EQ(rec.Unexpected(), 2);
}

TEST(MsgBox, ClosingByTitleBarReturnsCancel) {
  TMsgBoxDialog box("", "Text", mtInformation, {mbOK}, 0);
  box.show();
  box.close();
  EXPECT_EQ(box.result(), mrCancel);
}

TEST(MsgBox, LongMessageWrapsAtHalfTheScreenWidth) {
  const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
  std::string longText;
  for (int i = 0; i < 120; ++i) longText += "chartset ";
  TMsgBoxDialog box("", longText, mtWarning, {mbOK}, 0);
  const QRect text = box.MessageLabel()->geometry();
  EXPECT_LE(text.width(), half);
  EXPECT_GT(text.width(), half * 3 / 4);
  EXPECT_GT(text.height(), 3 * box.fontMetrics().height());
  EXPECT_EQ(box.width(), box.Layout().ClientWidth);
  // The label shows all lines it was measured for.
  EXPECT_GE(text.height(), box.MessageLabel()->heightForWidth(text.width()) - 2);

  TMsgBoxDialog shortBox("", "Short.", mtWarning, {mbOK}, 0);
  EXPECT_LE(shortBox.MessageLabel()->geometry().height(), box.fontMetrics().height() + 1);
}

TEST(MsgBox, ButtonsStandInsideTheBoxBelowTheText) {
  TMsgBoxDialog box("", "Line one\nLine two\nLine three", mtConfirmation,
                    {mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel}, 0);
  const QRect client = box.rect();
  const int textBottom = box.MessageLabel()->geometry().bottom();
  int lastRight = -1;
  for (TMsgDlgBtn b : {mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel}) {
    QPushButton* button = box.Button(b);
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(client.contains(button->geometry())) << button->text().toStdString();
    EXPECT_GT(button->geometry().top(), textBottom);
    EXPECT_GT(button->geometry().left(), lastRight);
    lastRight = button->geometry().right();
  }
  EXPECT_TRUE(box.Button(mbYes)->isDefault());
}

TEST(MsgBox, CaptionsFollowTheLibraryLanguageWhenBuilt) {
  struct Row {
    uint8_t language;
    TMsgDlgType type;
    TMsgDlgButtons buttons;
    std::string caption;
    std::vector<std::string> captions;
  };
  const Row rows[] = {
      {LanguageGerman, mtWarning, {mbYes, mbNo}, "Warnung", {"&Ja", "&Nein"}},
      {LanguageDutch, mtError, {mbOK}, "Fout", {"OK"}},
      {LanguageDutch, mtConfirmation, {mbOK, mbCancel}, "Bevestiging", {"OK", "Annuleren"}},
      {LanguageGerman, mtConfirmation, {mbYes, mbNo}, "Best\xC3\xA4tigung", {"&Ja", "&Nein"}},
      {LanguageEnglish,
       mtInformation,
       {mbYes, mbYesToAll, mbNo, mbNoToAll},
       "Information",
       {"&Yes", "Yes to &All", "&No", "N&o to All"}},
  };
  for (const Row& r : rows) {
    SelectLanguage(r.language);
    TMsgBoxRecorder rec;
    rec.ReplyResult(mrOk);
    ShowMsgBox("Text", r.type, r.buttons);
    ASSERT_EQ(rec.Shown().size(), 1u);
    EXPECT_EQ(rec.Shown()[0].Caption, r.caption);
    EXPECT_EQ(rec.Shown()[0].ButtonCaptions, r.captions);
  }
  SelectLanguage(LanguageEnglish);
}

TEST(MsgBox, WiderCaptionsWidenTheButtons) {
  // "N&ein zu Allem" is wider than "N&o to All": the German box is wider.
  SelectLanguage(LanguageEnglish);
  TMsgBoxDialog english("", "x", mtConfirmation, {mbYes, mbNoToAll}, 0);
  SelectLanguage(LanguageGerman);
  TMsgBoxDialog german("", "x", mtConfirmation, {mbYes, mbNoToAll}, 0);
  SelectLanguage(LanguageEnglish);
  EXPECT_GT(german.Button(mbNoToAll)->width(), english.Button(mbNoToAll)->width());
  EXPECT_EQ(german.Button(mbYes)->width(), german.Button(mbNoToAll)->width());
}

TEST(MsgBox, CarriageReturnsBreakLines) {
  TMsgBoxDialog one("", "First line", mtWarning, {mbOK}, 0);
  TMsgBoxDialog two("", "First line\rSecond line", mtWarning, {mbOK}, 0);
  TMsgBoxDialog three("", "First line\r\rThird line", mtWarning, {mbOK}, 0);
  const int line = one.MessageLabel()->height();
  EXPECT_GE(two.MessageLabel()->height(), 2 * line - 1);
  EXPECT_GE(three.MessageLabel()->height(), 3 * line - 1);
  EXPECT_EQ(two.MessageLabel()->text(), QStringLiteral("First line\nSecond line"));
  EXPECT_EQ(two.Request().Message, "First line\rSecond line");
}
