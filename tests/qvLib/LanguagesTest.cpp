#include "Languages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

const uint8_t kLanguages[] = {TextEnglish, TextDutch, TextGerman};

// Ids that are unused in every language.
const std::set<int> kEmptyEverywhere = {32, 33, 42, 43, 44, 46, 57, 64, 87};

bool ExpectedEmpty(int Id, uint8_t Language) {
  if (kEmptyEverywhere.count(Id) != 0) return true;
  if (Id == 66) return Language != TextDutch;  // only the Dutch table has this message
  if (Id == 113) return Language == TextGerman;
  return false;
}

// Restores the global display language after each test.
class LanguagesTest : public ::testing::Test {
 protected:
  void SetUp() override { FSaved = CurrentLanguage; }
  void TearDown() override { CurrentLanguage = FSaved; }

 private:
  uint8_t FSaved = 0;
};

bool IsValidUtf8(const std::string& S) {
  for (size_t i = 0; i < S.size();) {
    const auto c = static_cast<unsigned char>(S[i]);
    size_t more = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
    } else if ((c & 0xF0) == 0xE0) {
      more = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
    } else if (c >= 0x80) {
      return false;
    }
    if (more > S.size() - i - 1) return false;
    for (size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(S[i + k]) & 0xC0) != 0x80) return false;
    }
    i += more + 1;
  }
  return true;
}

size_t CountOf(const std::string& S, const std::string& Part) {
  size_t count = 0;
  for (size_t at = S.find(Part); at != std::string::npos; at = S.find(Part, at + Part.size()))
    ++count;
  return count;
}

// A button caption as a text quotes it: without accelerator and arrows.
std::string PlainCaption(std::string Caption) {
  Caption.erase(std::remove_if(Caption.begin(), Caption.end(),
                               [](char C) { return C == '&' || C == '<' || C == '>'; }),
                Caption.end());
  const auto first = Caption.find_first_not_of(' ');
  const auto last = Caption.find_last_not_of(' ');
  return first == std::string::npos ? "" : Caption.substr(first, last - first + 1);
}

TEST_F(LanguagesTest, EveryIdHasATextExceptTheUnusedOnes) {
  for (uint8_t language : kLanguages) {
    for (int id = 0; id <= MaxTextId; ++id) {
      const std::string text = GetTextIn(static_cast<uint8_t>(id), language);
      EXPECT_EQ(text.empty(), ExpectedEmpty(id, language))
          << "id " << id << " language " << int(language) << ": \"" << text << "\"";
    }
  }
}

TEST_F(LanguagesTest, FixedRowsReadAsGiven) {
  struct Row {
    uint8_t Id;
    const char* English;
    const char* Dutch;
    const char* German;
  };
  const Row rows[] = {
      {2, "Exit", "Afsluiten", "Beenden"},
      {3, "ZRN Edition ", "ZRN Editie ", "ZRN Edition "},
      {13, "Do you want the existing file:", "Wilt u het bestaande bestand:",
       "Wollen Sie die bestehende Datei:"},
      {14,
       "to be replaced by the file:", "vervangen door dit bestand:", "ersetzen durch die Datei:"},
      {66, "", "Ongeldige proxy poort opgegeven.", ""},
      {141, "Proxy settings", "Proxy instellingen", "Proxy settings"},
      {149, "USER (user@site)", "USER (gebruiker@site)", "USER (user@site)"},
      {67,
       "No installed charts (*.bmp) were found.\rCheck if the entered file locations are correct",
       nullptr, nullptr},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(GetTextIn(row.Id, TextEnglish), row.English) << int(row.Id);
    if (row.Dutch != nullptr) {
      EXPECT_EQ(GetTextIn(row.Id, TextDutch), row.Dutch) << int(row.Id);
    }
    if (row.German != nullptr) {
      EXPECT_EQ(GetTextIn(row.Id, TextGerman), row.German) << int(row.Id);
    }
  }
}

TEST_F(LanguagesTest, GermanProxyPageShowsTheEnglishTexts) {
  for (uint8_t id = 140; id <= 149; ++id) {
    EXPECT_EQ(GetTextIn(id, TextGerman), GetTextIn(id, TextEnglish)) << int(id);
    EXPECT_FALSE(GetTextIn(id, TextGerman).empty()) << int(id);
  }
  // The rows around it are translated.
  EXPECT_EQ(GetTextIn(139, TextGerman), "Verbindung:");
  EXPECT_EQ(GetTextIn(150, TextGerman), "SOCKS");
}

TEST_F(LanguagesTest, GetTextFollowsCurrentLanguage) {
  CurrentLanguage = TextDutch;
  EXPECT_EQ(GetText(TTextId(66)), "Ongeldige proxy poort opgegeven.");
  EXPECT_EQ(GetText(TTextId(2)), "Afsluiten");
  CurrentLanguage = TextEnglish;
  EXPECT_EQ(GetText(TTextId(66)), "");
  EXPECT_EQ(GetText(TTextId(2)), "Exit");
  CurrentLanguage = TextGerman;
  EXPECT_EQ(GetText(TTextId(66)), "");
  EXPECT_EQ(GetText(TTextId(2)), "Beenden");
}

TEST_F(LanguagesTest, NoLanguageOrUnknownIdGivesEmptyText) {
  for (uint8_t language : {uint8_t{0}, uint8_t{4}, uint8_t{8}, uint8_t{255}}) {
    CurrentLanguage = language;
    for (int id = 0; id <= 255; ++id)
      EXPECT_EQ(GetText(static_cast<TTextId>(id)), "") << int(language) << "/" << id;
  }
  for (uint8_t language : kLanguages) {
    CurrentLanguage = language;
    EXPECT_EQ(GetText(TTextId(153)), "");
    EXPECT_EQ(GetText(TTextId(255)), "");
    EXPECT_NE(GetText(TTextId(152)), "");
  }
}

// Callers glue texts to names, numbers and other texts, and forms split lines
// at carriage returns: a translation must keep the shape of the English text.
TEST_F(LanguagesTest, TranslationsKeepTheShapeOfTheEnglishText) {
  for (int id = 0; id <= MaxTextId; ++id) {
    const std::string english = GetTextIn(static_cast<uint8_t>(id), TextEnglish);
    for (uint8_t language : {TextDutch, TextGerman}) {
      const std::string text = GetTextIn(static_cast<uint8_t>(id), language);
      if (english.empty() || text.empty()) continue;
      SCOPED_TRACE("id " + std::to_string(id) + " language " + std::to_string(language));
      EXPECT_EQ(text.front() == ' ', english.front() == ' ');
      EXPECT_EQ(text.back() == ' ', english.back() == ' ');
      EXPECT_EQ(CountOf(text, "\r"), CountOf(english, "\r"));
      EXPECT_EQ(CountOf(text, "&"), CountOf(english, "&"));
      EXPECT_EQ(CountOf(text, "%1"), CountOf(english, "%1"));
      EXPECT_EQ(CountOf(text, "BaZ"), CountOf(english, "BaZ"));
      EXPECT_EQ(CountOf(text, "\""), CountOf(english, "\""));
      EXPECT_EQ(text.back() == '\r', english.back() == '\r');
    }
  }
}

TEST_F(LanguagesTest, TextsAreUtf8WithCarriageReturnLineBreaks) {
  for (uint8_t language : kLanguages) {
    for (int id = 0; id <= MaxTextId; ++id) {
      const std::string text = GetTextIn(static_cast<uint8_t>(id), language);
      EXPECT_TRUE(IsValidUtf8(text)) << id;
      EXPECT_EQ(text.find('\n'), std::string::npos) << id;
      EXPECT_EQ(text.find('\t'), std::string::npos) << id;
      EXPECT_EQ(text.find('\x01'), std::string::npos) << id;
    }
  }
  EXPECT_EQ(GetTextIn(8, TextGerman),
            "Gr\xC3\xB6\xC3\x9F"
            "e");
}

// The summary pages tell the user which button to press by its caption.
TEST_F(LanguagesTest, SummaryTextsQuoteTheRealButtonCaptions) {
  struct Quote {
    uint8_t TextId;
    uint8_t FirstButton;
    uint8_t SecondButton;
  };
  for (const Quote q : {Quote{34, 6, 5}, Quote{123, 21, 5}}) {
    for (uint8_t language : kLanguages) {
      const std::string text = GetTextIn(q.TextId, language);
      for (uint8_t button : {q.FirstButton, q.SecondButton}) {
        const std::string quoted = "\"" + PlainCaption(GetTextIn(button, language)) + "\"";
        EXPECT_NE(text.find(quoted), std::string::npos)
            << int(q.TextId) << " in language " << int(language) << " lacks " << quoted;
      }
    }
  }
}

TEST_F(LanguagesTest, BrowserNoticeNamesTheWebAddress) {
  const std::string address = MakerWebAddress();
  EXPECT_NE(address.find(".example.com"), std::string::npos);
  for (uint8_t language : kLanguages) {
    const std::string text = GetTextIn(86, language);
    ASSERT_GE(text.size(), address.size() + 1);
    EXPECT_EQ(text.substr(text.size() - address.size() - 1), address + ".");
    EXPECT_EQ(CountOf(text, "\r\r"), 1u);
  }
}

TEST(FormatText, ReplacesEveryPlaceHolder) {
  struct Row {
    const char* Text;
    const char* Argument;
    const char* Expected;
  };
  const Row rows[] = {
      {"Cannot connect to %1.\rPlease retry later.", "ftp.example.com",
       "Cannot connect to ftp.example.com.\rPlease retry later."},
      {"no place holder", "x", "no place holder"},
      {"%1 and %1", "a", "a and a"},
      {"%1", "", ""},
      {"", "x", ""},
      {"100%", "x", "100%"},
      {"%1!", "%1", "%1!"},  // the argument is not expanded again
      {"%12", "x", "x2"},
  };
  for (const Row& row : rows) EXPECT_EQ(FormatText(row.Text, row.Argument), row.Expected);
  EXPECT_EQ(FormatText(GetTextIn(73, TextDutch), "h"),
            "Kan geen verbinding maken met h.\rProbeer het later opnieuw.");
}

}  // namespace
