#include <gtest/gtest.h>

#include <string>

#include "RegistryHive.h"
#include "UnicodeText.h"

namespace {

const char kUser[] = "HKEY_CURRENT_USER";

THive Parse(const std::string& Text) {
  return ParseHive(Text, kUser, "/cfg/user.reg");
}

// What a person writes by hand, in the editor's own layout and quirks.
TEST(Hive, HandWrittenTextIsRead) {
  THive h = Parse(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; proxy settings\r\n"
      "[HKEY_CURRENT_USER\\Software\\Quorvel\\ZRN\\2003\\Update]\r\n"
      "\"Proxy server\"=\"proxy.example\"\r\n"
      "\"Proxy port\"=dword:00000015\r\n"
      "\"Proxy login\"=dword:1 ; comment after the data\r\n"
      "\"Say \\\"hi\\\"\"=\"C:\\\\Charts\\\\\"\r\n"
      "@=\"default\"\r\n"
      "  \"Index\" = hex:01,02,\\\r\n"
      "    0a,FF,\\\r\n"
      "    7\r\n"
      "\"Empty\"=hex:\r\n"
      "\"Multi\"=hex(7):41,00,00,00,00,00\r\n"
      "\"Text16\"=hex(1):48,00,e9,00,0a,00,00,00\r\n"
      "[hkey_current_user\\software\\quorvel\\zrn\\2003\\update]\r\n"
      "\"proxy SERVER\"=\"second\"\r\n");
  const THiveKey* k = h.FindKey("\\Software\\Quorvel\\ZRN\\2003\\Update\\");
  ASSERT_NE(k, nullptr);
  ASSERT_EQ(k->Values().size(), 9u);
  EXPECT_EQ(k->Find("Proxy server")->AsString(), "second");
  EXPECT_EQ(k->Find("Proxy server")->Name, "Proxy server");
  EXPECT_EQ(k->Find("PROXY PORT")->AsDWord(), 21u);
  EXPECT_EQ(k->Find("Proxy login")->AsDWord(), 1u);
  EXPECT_EQ(k->Find("Say \"hi\"")->AsString(), "C:\\Charts\\");
  EXPECT_EQ(k->Find("")->AsString(), "default");
  EXPECT_EQ(k->Find("Index")->Data, (std::vector<uint8_t>{1, 2, 0x0a, 0xff, 7}));
  EXPECT_EQ(k->Find("Index")->Type, rdtBinary);
  EXPECT_TRUE(k->Find("Empty")->Data.empty());
  EXPECT_EQ(k->Find("Multi")->Type, rdtMultiString);
  EXPECT_EQ(k->Find("Text16")->Type, rdtString);
  EXPECT_EQ(k->Find("Text16")->AsString(), "H\xC3\xA9\n");
  EXPECT_TRUE(h.KeyExists("Software\\Quorvel"));
  EXPECT_FALSE(h.KeyExists("Software\\Quorvel\\ZRN\\2004"));
  EXPECT_FALSE(h.KeyExists("Software\\Quorvel\\ZR"));
}

TEST(Hive, Utf16TextWithByteOrderMarkIsRead) {
  std::string utf8 =
      "Windows Registry Editor Version "
      "5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"N\"=\"K\xC3\xB8kken\"\r\n";
  std::vector<uint8_t> units = Utf8ToUtf16Le(utf8);
  std::string text = "\xFF\xFE" + std::string(units.begin(), units.end());
  THive h = Parse(text);
  EXPECT_EQ(h.FindKey("A")->Find("N")->AsString(), "K\xC3\xB8kken");
}

TEST(Hive, EveryDefectIsNamedWithFileAndLine) {
  const std::string head = "Windows Registry Editor Version 5.00\n\n";
  struct Case {
    std::string Text;
    int Line;
    std::string Detail;
  } cases[] = {
      {"garbage\n", 1, "the first line must read"},
      {"\n\nREGEDIT5\n", 3, "the first line must read"},
      {head + "\"a\"=\"b\"\n", 3, "a value before the first key"},
      {head + "[HKEY_LOCAL_MACHINE\\Software]\n", 3, "does not lie below HKEY_CURRENT_USER"},
      {head + "[HKEY_CURRENT_USERX\\Software]\n", 3, "does not lie below"},
      {head + "[-HKEY_CURRENT_USER\\Software]\n", 3, "key deletions"},
      {head + "[HKEY_CURRENT_USER\\A\n", 3, "must end in \"]\""},
      {head + "[HKEY_CURRENT_USER\\A] junk\n", 3, "unexpected text \"junk\""},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=-\n", 4, "value deletions"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"\n", 4, "\"=\" is missing"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a=\"b\"\n", 4, "\"=\" is missing"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\n", 4, "closing quote is missing"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\\c\"\n", 4, "a backslash in quotes"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\" x\n", 4, "unexpected text \"x\""},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=dword:\n", 4, "1 to 8 hexadecimal digits"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=dword:123456789\n", 4, "1 to 8 hexadecimal"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=dword:12g\n", 4, "no hexadecimal number"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=hex:1,,2\n", 4, "one or two hexadecimal digits"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=hex:123\n", 4, "separated by commas"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,\\\n  zz\n", 4, "one or two hexadecimal"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=hex(q):01\n", 4, "no hexadecimal number"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=hex(4):01\n", 4, "must have 4 bytes"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=hex\n", 4, "\":\" is missing"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=42\n", 4, "the data must be"},
      {head + "[HKEY_CURRENT_USER\\A]\nname=\"x\"\n", 4, "a line must be"},
      {head + "[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\"\x00\n", 4, "zero byte"},
  };
  cases[25].Text = head + "[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\"" + std::string(1, '\0') + "\n";
  for (const Case& c : cases) {
    try {
      Parse(c.Text);
      ADD_FAILURE() << "accepted: " << c.Text;
    } catch (const EHiveError& e) {
      std::string want = "Settings file \"/cfg/user.reg\", line " + std::to_string(c.Line) + ": ";
      EXPECT_EQ(e.Message().rfind(want, 0), 0u) << e.Message();
      EXPECT_NE(e.Message().find(c.Detail), std::string::npos) << e.Message();
    }
  }
}

TEST(Hive, EmptyAndCommentOnlyTextsAreEmptyHives) {
  for (const char* text :
       {"", "\n\n", "; only a comment\n", "Windows Registry Editor Version 5.00\n", "REGEDIT4\n"}) {
    THive h = Parse(text);
    EXPECT_TRUE(h.Keys().empty()) << text;
  }
}

THive SampleHive() {
  THive h(kUser);
  std::vector<uint8_t> big(5000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  THiveKey& k = h.CreateKey("\\Software\\Quorvel\\ZRN\\2003\\");
  k.Set(TRegValue::String("ZRN Folder", "/cd/charts/"));
  k.Set(TRegValue::String("Quote \"and\" back\\slash", "a\\\"b\""));
  k.Set(TRegValue::String("Lines", "one\r\ntwo\tend"));
  k.Set(TRegValue::String("Not UTF-8", "caf\xE9 \xFF"));
  k.Set(TRegValue::String("Accents", "Gr\xC3\xBC\xC3\x9F Gott \xF0\x9F\x8C\x8A"));
  k.Set(TRegValue::String("", "default"));
  k.Set(TRegValue::String("Empty", ""));
  k.Set(TRegValue::DWord("Zero", 0));
  k.Set(TRegValue::DWord("Max", 0xFFFFFFFF));
  k.Set(TRegValue::Binary("Nothing", nullptr, 0));
  k.Set(TRegValue::Binary("BaZ Index 120", big.data(), big.size()));
  TRegValue q;
  q.Name = "Q";
  q.Type = rdtQWord;
  q.Data = {1, 2, 3, 4, 5, 6, 7, 8};
  k.Set(q);
  h.CreateKey("Software\\Quorvel\\ZRN\\2003\\ChartSets\\Set A");
  h.CreateKey("");  // the root itself
  return h;
}

TEST(Hive, EveryValueSurvivesARoundTrip) {
  THive h = SampleHive();
  std::string text = FormatHive(h);
  THive back = Parse(text);
  EXPECT_TRUE(back == h);
  EXPECT_EQ(FormatHive(back), text);
  for (const auto& [path, key] : back.Keys())
    for (const TRegValue& v : key.Values())
      EXPECT_EQ(v.Data, h.FindKey(path)->Find(v.Name)->Data) << v.Name;
}

TEST(Hive, TextLooksLikeTheEditorsExport) {
  THive h(kUser);
  THiveKey& k = h.CreateKey("Software\\Q");
  k.Set(TRegValue::String("Language", "English"));
  k.Set(TRegValue::DWord("Proxy port", 21));
  std::vector<uint8_t> bytes(30, 0xAB);
  k.Set(TRegValue::Binary("Bin", bytes.data(), bytes.size()));
  k.Set(TRegValue::String("Path", "C:\\x\\"));
  std::string text = FormatHive(h);
  EXPECT_EQ(text,
            "Windows Registry Editor Version 5.00\n"
            "\n[HKEY_CURRENT_USER\\Software]\n"
            "\n[HKEY_CURRENT_USER\\Software\\Q]\n"
            "\"Language\"=\"English\"\n"
            "\"Proxy port\"=dword:00000015\n"
            "\"Bin\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
            "  ab,ab,ab,ab,ab,ab,ab,ab\n"
            "\"Path\"=\"C:\\\\x\\\\\"\n");
  for (size_t from = 0, nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
    EXPECT_LE(nl - from, 80u);
}

TEST(Hive, KeysAreFoundListedAndDeletedWithoutRegardToCase) {
  THive h(kUser);
  h.CreateKey("Software\\RUR\\AutoImport");
  h.CreateKey("Software\\RUR\\RUR");
  h.CreateKey("Software\\RUR X");
  h.CreateKey("software\\rur\\autoimport\\deep");
  EXPECT_EQ(h.FindKey("SOFTWARE\\rur\\AUTOIMPORT")->Name(), "Software\\RUR\\AutoImport");
  EXPECT_EQ(h.SubKeyNames("Software"), (std::vector<std::string>{"RUR", "RUR X"}));
  EXPECT_EQ(h.SubKeyNames("Software\\RUR"), (std::vector<std::string>{"AutoImport", "RUR"}));
  EXPECT_EQ(h.SubKeyNames(""), (std::vector<std::string>{"Software"}));
  EXPECT_TRUE(h.DeleteKey("software\\RUR"));
  EXPECT_FALSE(h.KeyExists("Software\\RUR\\AutoImport"));
  EXPECT_TRUE(h.KeyExists("Software\\RUR X"));
  EXPECT_EQ(THive::NormalPath("\\\\a\\\\b\\"), "a\\b");
}

TEST(UnicodeText, RoundTripsKeepEveryByte) {
  const std::string cases[] = {"", "plain", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8C\x8A",
                               "bad \xFF\xFE \xC3 end", "\xED\xA0\x80 surrogate bytes"};
  for (const std::string& s : cases) {
    std::vector<uint8_t> u = Utf8ToUtf16Le(s);
    EXPECT_EQ(Utf16LeToUtf8(u.data(), u.size()), s);
  }
  std::vector<uint8_t> wave = Utf8ToUtf16Le("\xF0\x9F\x8C\x8A");
  EXPECT_EQ(wave, (std::vector<uint8_t>{0x3C, 0xD8, 0x0A, 0xDF}));
}

}  // namespace
