// The locale tables: reference expansion, the embedded documents, the languages they offer, and
// every failure, reported as the text of the message the application shows.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "backend/WizardType.h"
#include "locale/LanguageManager.h"
#include "locale/Placeholders.h"
#include "win/Text.h"

namespace {

using Table = std::map<std::string, std::string>;
using Names = std::vector<std::wstring>;

constexpr wchar_t kParseFailure[] = L"Failed to parse language xml file, error code: ";

// Test documents embedded by locale_test.rc.
constexpr UINT kNotWellFormed = 9001;
constexpr UINT kNoLocaleElement = 9002;
constexpr UINT kNoNameAttribute = 9003;
constexpr UINT kKeyWithoutText = 9004;
constexpr UINT kElementValue = 9005;
constexpr UINT kEdgeCases = 9006;
constexpr UINT kFrench = 9007;
constexpr UINT kMexicanSpanish = 9008;
constexpr UINT kMissing = 8999;  // no resource has this id

Table Expanded(Table table) {
  ExpandPlaceholders(table);
  return table;
}

class LocaleTest : public ::testing::Test {
 protected:
  // Loads an embedded document into the manager's table.
  void LoadTable(LanguageManager& manager, UINT id, const std::wstring& productTitle = L"") {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    ASSERT_TRUE(LoadLocaleResource(id, doc, m_messages));
    ASSERT_TRUE(manager.LoadStrings(doc, productTitle, m_messages));
  }

  // The number of key elements of an embedded document.
  int KeyCount(UINT id) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!LoadLocaleResource(id, doc, m_messages)) return -1;
    int count = 0;
    for (auto* e = doc.FirstChildElement("Locale")->FirstChildElement(); e; e = e->NextSiblingElement()) ++count;
    return count;
  }

  LocaleMessages m_messages;
};

}  // namespace

// ---- Reference expansion ----

TEST(ExpandPlaceholders, NestedReferencesExpand) {
  const Table table = Expanded({{"A", "a[{B}]a"}, {"B", "b({C})b"}, {"C", "c"}, {"D", "{A}{A}"}});
  EXPECT_EQ(table.at("A"), "a[b(c)b]a");
  EXPECT_EQ(table.at("B"), "b(c)b");
  EXPECT_EQ(table.at("C"), "c");
  EXPECT_EQ(table.at("D"), "a[b(c)b]aa[b(c)b]a");
}

TEST(ExpandPlaceholders, NamesMissingFromTheTableStay) {
  const Table table = Expanded({{"A", "x {NOPE} y {B} {} {b}"}, {"B", "b"}});
  EXPECT_EQ(table.at("A"), "x {NOPE} y b {} {b}");
}

TEST(ExpandPlaceholders, OpenBraceWithoutLaterCloseStays) {
  const Table table =
      Expanded({{"A", "click {B"}, {"B", "b"}, {"C", "{B} and {"}, {"D", "} {B}"}, {"E", "{{B}"}, {"F", "{x{B}"}});
  EXPECT_EQ(table.at("A"), "click {B");
  EXPECT_EQ(table.at("C"), "b and {");
  EXPECT_EQ(table.at("D"), "} b");
  // The name runs from the first "{" to the next "}": "{B" and "x{B" are not in the table.
  EXPECT_EQ(table.at("E"), "{{B}");
  EXPECT_EQ(table.at("F"), "{x{B}");
}

TEST(ExpandPlaceholders, InsertedTextIsScannedWithWhatFollowsIt) {
  // "{OPEN}" becomes "{", which forms "{B}" with the text after it.
  const Table table = Expanded({{"OPEN", "{"}, {"X", "<{OPEN}B}>"}, {"B", "b"}, {"HALF", "{B"}, {"Y", "{HALF}}"}});
  EXPECT_EQ(table.at("X"), "<b>");
  EXPECT_EQ(table.at("Y"), "b");
  EXPECT_EQ(table.at("HALF"), "{B");
}

TEST(ExpandPlaceholders, TextWithoutReferencesIsUntouched) {
  const Table table = Expanded({{"P", "$percent$ Completed"}, {"Q", ""}, {"R", "a\r\nb"}});
  EXPECT_EQ(table.at("P"), "$percent$ Completed");
  EXPECT_EQ(table.at("Q"), "");
  EXPECT_EQ(table.at("R"), "a\r\nb");
}

TEST(ExpandPlaceholders, DirectCycleEndsAndLeavesTheReference) {
  const Table table = Expanded({{"A", "x{A}y{B}"}, {"B", "b"}, {"TWICE", "{TWICE}{TWICE}"}});
  EXPECT_EQ(table.at("A"), "x{A}yb");
  EXPECT_EQ(table.at("TWICE"), "{TWICE}{TWICE}");
}

TEST(ExpandPlaceholders, IndirectCycleIsCutWhereItWouldReenter) {
  const Table table =
      Expanded({{"A", "a{B}"}, {"B", "b{C}"}, {"C", "c{A}"}, {"D", "d{A}"}, {"E", "e{B}{OK}"}, {"OK", "ok"}});
  EXPECT_EQ(table.at("A"), "abc{A}");
  EXPECT_EQ(table.at("B"), "bca{B}");
  EXPECT_EQ(table.at("C"), "cab{C}");
  // References outside the cycle still expand fully; the cycle is cut where it returns.
  EXPECT_EQ(table.at("D"), "dabc{A}");
  EXPECT_EQ(table.at("E"), "ebca{B}ok");
}

TEST(ExpandPlaceholders, TwoValuesReferringToEachOther) {
  // Each value is cut where it would return to itself, whatever the key order.
  const Table table = Expanded({{"A", "{B}"}, {"B", "{A}"}});
  EXPECT_EQ(table.at("A"), "{A}");
  EXPECT_EQ(table.at("B"), "{B}");
}

TEST(ExpandPlaceholders, CycleFormedAcrossInsertedText) {
  // "{OPEN}" gives "{", which with "X}" would refer to X itself.
  const Table table = Expanded({{"OPEN", "{"}, {"X", "{OPEN}X}"}});
  EXPECT_EQ(table.at("X"), "{X}");
}

TEST(ExpandPlaceholders, DeepAcyclicChainExpands) {
  Table table;
  const auto key = [](int i) { return std::string("K").append(std::to_string(i)); };
  for (int i = 0; i < 50; ++i) table[key(i)] = std::string("{").append(key(i + 1)).append("}.");
  table["K50"] = "end";
  ExpandPlaceholders(table);
  EXPECT_EQ(table.at("K0"), "end" + std::string(50, '.'));
}

// ---- Tables from documents ----

TEST_F(LocaleTest, ProductTitleContainingItsOwnReference) {
  LanguageManager manager;
  LoadTable(manager, kLocaleDlmEnglish, L"Tool {PRODUCT_TITLE} {BUTTON_NEXT}");
  EXPECT_EQ(manager.GetString("PRODUCT_TITLE"), L"Tool {PRODUCT_TITLE} Next");
  EXPECT_EQ(manager.GetString("WELCOME_TEXT"),
            L"This will download Tool {PRODUCT_TITLE} Next on your computer. Click \"Next\" to continue.");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TITLE"),
            L"Thank you.\r\nYou have successfully downloaded Tool {PRODUCT_TITLE} Next.");
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(LocaleTest, ProductTitleGoesIntoTheTableAsUtf8) {
  // The table is UTF-8, like the configuration the title came from, whatever the ANSI code page.
  LanguageManager manager;
  LoadTable(manager, kLocaleDlmSpanish, L"Caf\u00e9 \u4e2d\u6587");
  EXPECT_EQ(manager.Strings().at("PRODUCT_TITLE"), "Caf\xc3\xa9 \xe4\xb8\xad\xe6\x96\x87");
  EXPECT_EQ(manager.GetString("PROGRESS_DESC"),
            L"Descargando Caf\u00e9 \u4e2d\u6587, si\u00e9ntese y rel\u00e1jese");
}

TEST_F(LocaleTest, CarriageReturnLineFeedFromCharacterReferences) {
  LanguageManager manager;
  LoadTable(manager, kEdgeCases);
  EXPECT_EQ(manager.GetString("LINES"), L"one\r\ntwo\nthree");
}

TEST_F(LocaleTest, CommentsAttributesWhitespaceAndRepeatedKeys) {
  LanguageManager manager;
  LoadTable(manager, kEdgeCases);
  EXPECT_EQ(manager.GetString("COMMENTED"), L"  two  blanks  ");
  EXPECT_EQ(manager.GetString("SIZED"), L"sized");
  EXPECT_EQ(manager.GetString("TWICE"), L"second & last");
  EXPECT_EQ(manager.GetString("QUOTED"), L"say \"second & last\" and \"sized\"");
  EXPECT_EQ(manager.Strings().size(), 6u);  // five keys and PRODUCT_TITLE
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(LocaleTest, GetStringOfAbsentAndEmptyKeys) {
  LanguageManager manager;
  EXPECT_EQ(manager.GetString("BUTTON_NEXT"), L"");  // nothing loaded yet
  LoadTable(manager, kLocaleDlmEnglish, L"");
  EXPECT_EQ(manager.GetString("NO_SUCH_KEY"), L"");
  EXPECT_EQ(manager.GetString(""), L"");
  // An empty product title (the DLM wizard's before the configuration arrives) expands to nothing.
  ASSERT_EQ(manager.Strings().count("PRODUCT_TITLE"), 1u);
  EXPECT_EQ(manager.Strings().at("PRODUCT_TITLE"), "");
  EXPECT_EQ(manager.GetString("PRODUCT_TITLE"), L"");
  EXPECT_EQ(manager.GetString("PROGRESS_DESC"), L"Downloading , sit back and relax");
}

// ---- The embedded documents ----

TEST_F(LocaleTest, EmbeddedDocumentsLoadWithTheirKeyCounts) {
  const std::vector<std::pair<UINT, int>> documents{
      {kLocaleDlmEnglish, 29}, {kLocaleDlmSpanish, 29}, {kLocaleIsvEnglish, 29}, {kLocaleIsvSpanish, 29}};
  for (const auto& [id, keys] : documents) {
    SCOPED_TRACE(id);
    EXPECT_EQ(KeyCount(id), keys);
    LanguageManager manager;
    LoadTable(manager, id);
    EXPECT_EQ(manager.Strings().size(), static_cast<size_t>(keys) + 1);  // and PRODUCT_TITLE
  }
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(LocaleTest, EmbeddedDocumentsNameTheirLocale) {
  const std::vector<std::pair<UINT, std::string>> documents{
      {kLocaleDlmEnglish, "en_US"}, {kLocaleDlmSpanish, "es"}, {kLocaleIsvEnglish, "en_US"}, {kLocaleIsvSpanish, "es"}};
  for (const auto& [id, code] : documents) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    ASSERT_TRUE(LoadLocaleResource(id, doc, m_messages));
    ASSERT_NE(doc.FirstChildElement("Locale"), nullptr);
    EXPECT_STREQ(doc.FirstChildElement("Locale")->Attribute("name"), code.c_str());
  }
}

TEST_F(LocaleTest, EmbeddedDocumentsAreUtf8WithoutByteOrderMark) {
  for (const UINT id : {kLocaleDlmEnglish, kLocaleDlmSpanish, kLocaleIsvEnglish, kLocaleIsvSpanish}) {
    const HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"LOCALE");
    ASSERT_NE(info, nullptr);
    const std::string bytes(static_cast<const char*>(LockResource(LoadResource(nullptr, info))),
                            SizeofResource(nullptr, info));
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0), 0u) << id;
  }
}

TEST_F(LocaleTest, DownloadManagerEnglish) {
  LanguageManager manager;
  LoadTable(manager, kLocaleDlmEnglish, L"Welvane Tester");
  EXPECT_EQ(manager.GetString("SPLASH_TEXT"),
            L"To continue, please select your preferred language, and click \"Next\".");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TITLE"),
            L"Thank you.\r\nYou have successfully downloaded Welvane Tester.");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TEXT"),
            L"To install the software on your machine, click \"Launch\"\r\n"
            L"Click the \"Finish\" button to exit the Setup Wizard");
  EXPECT_EQ(manager.GetString("PROGRESS_STATUS"), L"$percent$ Completed");
  EXPECT_EQ(manager.GetString("SDK_LINK"), L"SDK License");
  EXPECT_EQ(manager.GetString("OPEN_PRODUCT_SITE_CHECKBOX"), L"open product's site");
}

TEST_F(LocaleTest, DownloadManagerSpanish) {
  LanguageManager manager;
  LoadTable(manager, kLocaleDlmSpanish, L"Welvane Tester");
  EXPECT_EQ(manager.GetString("SPLASH_TEXT"),
            L"Para continuar, selecciona tu idioma preferido y haz clic en \"SIGUIENTE\".");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TITLE"), L"Gracias.\r\nHa descargado correctamente Welvane Tester.");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TEXT"),
            L"Para instalar el software en su m\u00e1quina, haga clic en \"Iniciar\"\r\n"
            L"Haga clic en el bot\u00f3n \"FINALIZAR\" para salir del Asistente de configuraci\u00f3n");
  EXPECT_EQ(manager.GetString("PROGRESS_QUIT"),
            L"Hay algunos procesos del instalador funcionando en un segundo plano y se terminar\u00e1n de forma "
            L"temporal. \u00bfSeguro que quiere salir?");
}

TEST_F(LocaleTest, InstallerEnglish) {
  LanguageManager manager;
  LoadTable(manager, kLocaleIsvEnglish, L"Welvane Tester");
  EXPECT_EQ(manager.GetString("SPLASH_TEXT"),
            L"To continue, please select your preferred language, and click \"Next\".");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TITLE"), L"Thank you.\r\nYour installation is complete.");
  EXPECT_EQ(manager.GetString("UNINSTALL_TEXT"),
            L"\r\nTo uninstall all softwares installed during this installation process, please go to "
            L"\"Add/Remove Programs\" and click \"Welvane Tester Packages\".");
  EXPECT_EQ(manager.GetString("PAGE_ERROR_TEXT"), L"Click on \"Close\" and try again later.");
  EXPECT_EQ(manager.GetString("PAGE_DOWNLOAD_ERROR_DESC"), L"Please try to download later");
  EXPECT_EQ(manager.GetString("SDK_LINK"), L"");
  EXPECT_EQ(manager.Strings().count("SDK_LINK"), 0u);
  EXPECT_EQ(manager.GetString("EULA_LINK"), L"EULA");
}

TEST_F(LocaleTest, InstallerSpanish) {
  LanguageManager manager;
  LoadTable(manager, kLocaleIsvSpanish, L"Welvane Tester");
  EXPECT_EQ(manager.GetString("SPLASH_TEXT"),
            L"Para continuar, selecciona tu idioma preferido y haz clic en \"SIGUIENTE\".");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TITLE"), L"Gracias.\r\n Su instalaci\u00f3n se ha completado.");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TEXT"),
            L"Ha instalado con \u00e9xito Welvane Tester. pulse \"FINALIZAR\"  para continuar.");
  EXPECT_EQ(manager.GetString("BUTTON_SKIP_ALL"), L"SALTAR TODOS");
  EXPECT_EQ(manager.GetString("PAGE_ERROR_TEXT"), L"Haga clic en \"CERRAR\" e int\u00e9ntelo de nuevo m\u00e1s tarde.");
  EXPECT_EQ(manager.GetString("PAGE_DOWNLOAD_ERROR_DESC"), L"Por favor, intente descargarlo m\u00e1s tarde");
  EXPECT_EQ(manager.GetString("SDK_LINK"), L"");
  EXPECT_EQ(manager.GetString("PAGE_ERROR_TITLE"), L"Error de descarga");
}

// ---- Languages ----

TEST(LanguageDisplayName, NativeNamesFromTheSystem) {
  EXPECT_EQ(GetLanguageDisplayName(L"en_US"), L"English");
  EXPECT_EQ(GetLanguageDisplayName(L"es"), L"espa\u00f1ol");
  EXPECT_EQ(GetLanguageDisplayName(L"en-GB"), L"English");
  EXPECT_EQ(GetLanguageDisplayName(L"es-MX"), L"espa\u00f1ol");
  EXPECT_EQ(GetLanguageDisplayName(L"fr_FR"), L"fran\u00e7ais");
}

// A region the system does not know: the language alone gives the name.
TEST(LanguageDisplayName, UnknownRegionFallsBackToTheLanguage) {
  for (const wchar_t* code : {L"es-ZZ", L"en_ZZ"}) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    ASSERT_EQ(GetLocaleInfoEx(code, LOCALE_SNATIVELANGUAGENAME, name, LOCALE_NAME_MAX_LENGTH), 0)
        << win::ToUtf8(code) << " is known here, so it would not reach the fallback";
  }
  EXPECT_EQ(GetLanguageDisplayName(L"es-ZZ"), L"espa\u00f1ol");
  EXPECT_EQ(GetLanguageDisplayName(L"en_ZZ"), L"English");
}

TEST(LanguageDisplayName, UnknownCodeIsItsOwnName) {
  EXPECT_EQ(GetLanguageDisplayName(L"zz_ZZ"), L"zz_ZZ");
  EXPECT_EQ(GetLanguageDisplayName(L"qq"), L"qq");
}

TEST(LanguageDisplayName, UserLanguageIsTheNativeNameOfTheUserLocale) {
  wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
  ASSERT_GT(GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH), 0);
  EXPECT_EQ(UserLanguageDisplayName(), GetLanguageDisplayName(locale));
}

TEST(PreselectedIndex, TheUsersLanguageElseTheFirst) {
  const std::vector<std::wstring> names{L"English", L"espa\u00f1ol"};
  EXPECT_EQ(PreselectedIndex(names, L"English"), 0);
  EXPECT_EQ(PreselectedIndex(names, L"espa\u00f1ol"), 1);
  EXPECT_EQ(PreselectedIndex(names, L"fran\u00e7ais"), 0);
  EXPECT_EQ(PreselectedIndex(names, L"Espa\u00f1ol"), 0);  // exact, case-sensitive
  EXPECT_EQ(PreselectedIndex({}, L"English"), 0);
  EXPECT_EQ(PreselectedIndex({L"English", L"espa\u00f1ol", L"espa\u00f1ol"}, L"espa\u00f1ol"), 2);  // last wins
}

TEST_F(LocaleTest, ResourceIdsPerWizardType) {
  EXPECT_EQ(GetLocaleResourceIds(kWizardDlm, m_messages), (std::vector<UINT>{105, 106}));
  EXPECT_EQ(GetLocaleResourceIds(kWizardIsv, m_messages), (std::vector<UINT>{101, 102}));
  EXPECT_TRUE(GetLocaleResourceIds(3, m_messages).empty());
  EXPECT_TRUE(m_messages.empty());
  EXPECT_TRUE(GetLocaleResourceIds(kWizardUnknown, m_messages).empty());
  EXPECT_EQ(m_messages, Names{L"Unknown wizard type (language manager"});
}

TEST_F(LocaleTest, LanguagesInDocumentOrderAndTheLastDocumentOfANameWins) {
  LanguageManager manager;
  EXPECT_EQ(manager.ListLanguages({kLocaleDlmEnglish, kLocaleDlmSpanish, kFrench}, m_messages),
            (Names{L"English", L"espa\u00f1ol", L"fran\u00e7ais"}));
  EXPECT_EQ(manager.LocaleCode(L"espa\u00f1ol"), L"es");
  // Listing again forgets the earlier list.
  EXPECT_EQ(manager.ListLanguages({kLocaleDlmEnglish, kLocaleDlmSpanish, kMexicanSpanish}, m_messages),
            (Names{L"English", L"espa\u00f1ol", L"espa\u00f1ol"}));
  EXPECT_EQ(manager.LocaleCode(L"fran\u00e7ais"), L"");
  EXPECT_EQ(manager.LocaleCode(L"espa\u00f1ol"), L"es_MX");
  EXPECT_EQ(manager.LocaleCode(L"English"), L"en_US");
  ASSERT_TRUE(manager.SetLanguage(L"espa\u00f1ol", L"", m_messages));
  EXPECT_EQ(manager.GetString("BUTTON_NEXT"), L"Siguiente");
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(LocaleTest, SetLanguageLoadsAListedLanguageOnly) {
  LanguageManager manager;
  manager.ListLanguages({kLocaleIsvEnglish, kLocaleIsvSpanish}, m_messages);
  ASSERT_TRUE(manager.SetLanguage(L"espa\u00f1ol", L"Tester", m_messages));
  EXPECT_EQ(manager.Strings().size(), 30u);
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TEXT"),
            L"Ha instalado con \u00e9xito Tester. pulse \"FINALIZAR\"  para continuar.");
  ASSERT_TRUE(manager.SetLanguage(L"English", L"Tester", m_messages));
  EXPECT_EQ(manager.Strings().size(), 30u);
  EXPECT_EQ(manager.GetString("PROGRESS_TITLE"), L"Installation Status");
  // A language that was not listed changes nothing and says nothing.
  EXPECT_FALSE(manager.SetLanguage(L"Deutsch", L"", m_messages));
  EXPECT_FALSE(manager.SetLanguage(L"english", L"", m_messages));
  EXPECT_EQ(manager.GetString("PROGRESS_TITLE"), L"Installation Status");
  EXPECT_TRUE(m_messages.empty());
}

// ---- Failures: every message of the locale tables ----

TEST_F(LocaleTest, MissingResourceIsNotListed) {
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  EXPECT_FALSE(LoadLocaleResource(kMissing, doc, m_messages));
  EXPECT_EQ(m_messages, Names{L"Failed to find resource with id: 8999"});
  m_messages.clear();
  LanguageManager manager;
  EXPECT_EQ(manager.ListLanguages({kMissing, kLocaleDlmSpanish, 65535}, m_messages), Names{L"espa\u00f1ol"});
  EXPECT_EQ(m_messages,
            (Names{L"Failed to find resource with id: 8999", L"Failed to find resource with id: 65535"}));
}

TEST_F(LocaleTest, DocumentThatDoesNotParse) {
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  EXPECT_FALSE(LoadLocaleResource(kNotWellFormed, doc, m_messages));
  EXPECT_EQ(doc.ErrorID(), tinyxml2::XML_ERROR_MISMATCHED_ELEMENT);
  const std::string parserText = doc.ErrorStr();
  EXPECT_NE(parserText.find("XML_ERROR_MISMATCHED_ELEMENT"), std::string::npos) << parserText;
  EXPECT_EQ(m_messages, Names{kParseFailure + win::Widen(parserText, CP_ACP)});

  LanguageManager manager;
  EXPECT_EQ(manager.ListLanguages({kNotWellFormed, kLocaleDlmEnglish}, m_messages), Names{L"English"});
  EXPECT_EQ(m_messages.size(), 2u);
}

TEST_F(LocaleTest, NoLocaleElement) {
  LanguageManager manager;
  LoadTable(manager, kLocaleDlmEnglish);
  const Table before = manager.Strings();
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  ASSERT_TRUE(LoadLocaleResource(kNoLocaleElement, doc, m_messages));
  EXPECT_FALSE(manager.LoadStrings(doc, L"", m_messages));
  EXPECT_EQ(manager.Strings(), before) << "the table stays as it was";
  EXPECT_EQ(m_messages, Names{std::wstring(kParseFailure) + L"No Locale element"});

  // When listing, such a document is left out silently.
  m_messages.clear();
  EXPECT_EQ(manager.ListLanguages({kNoLocaleElement, kLocaleDlmEnglish}, m_messages), Names{L"English"});
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(LocaleTest, NoNameAttributeIsNotListed) {
  LanguageManager manager;
  EXPECT_EQ(manager.ListLanguages({kLocaleDlmEnglish, kNoNameAttribute, kLocaleDlmSpanish}, m_messages),
            (Names{L"English", L"espa\u00f1ol"}));
  EXPECT_EQ(m_messages, Names{std::wstring(kParseFailure) + L"No name attribute"});
}

TEST_F(LocaleTest, KeyWithoutTextKeepsTheKeysBeforeItUnexpanded) {
  LanguageManager manager;
  LoadTable(manager, kLocaleDlmEnglish);
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  ASSERT_TRUE(LoadLocaleResource(kKeyWithoutText, doc, m_messages));
  EXPECT_FALSE(manager.LoadStrings(doc, L"Tester", m_messages));
  EXPECT_EQ(manager.Strings(), (Table{{"PRODUCT_TITLE", "Tester"}, {"FIRST", "one {SECOND}"}, {"SECOND", "two"}}));
  EXPECT_EQ(m_messages, Names{std::wstring(kParseFailure) + L"No name or text attribute"});
}

TEST_F(LocaleTest, KeyWhoseFirstContentIsAnElementHasNoText) {
  LanguageManager manager;
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  ASSERT_TRUE(LoadLocaleResource(kElementValue, doc, m_messages));
  EXPECT_FALSE(manager.LoadStrings(doc, L"", m_messages));
  EXPECT_EQ(manager.GetString("BEFORE"), L"before");
  EXPECT_EQ(manager.Strings().count("CHILD"), 0u);
  EXPECT_EQ(m_messages, Names{std::wstring(kParseFailure) + L"No name or text attribute"});
}

TEST_F(LocaleTest, LanguageWhoseTableBreaksOffIsStillLoaded) {
  LanguageManager manager;
  ASSERT_EQ(manager.ListLanguages({kLocaleDlmEnglish, kKeyWithoutText}, m_messages), (Names{L"English", L"zz_ZZ"}));
  EXPECT_TRUE(manager.SetLanguage(L"zz_ZZ", L"", m_messages));
  EXPECT_EQ(manager.GetString("FIRST"), L"one {SECOND}");
  EXPECT_EQ(m_messages, Names{std::wstring(kParseFailure) + L"No name or text attribute"});
}
