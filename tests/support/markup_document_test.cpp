#include "support/markup_document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using Zentrava::MarkupDocument;
using namespace std::literals;

namespace {

// Current element as "tag=first attribute value" (or just "tag"), "" for none.
std::string Where(const MarkupDocument& doc) {
  std::string tag = doc.GetTagName();
  std::string name, value;
  if (!tag.empty() && doc.GetNthAttribute(0, name, value)) tag += "=" + value;
  return tag;
}

std::string Decode(const std::string& text) {
  std::string out = "poison:";
  MarkupDocument::DecodeEntities(text, out);
  return out.substr(7);
}

std::string DataOf(const std::string& document) {
  MarkupDocument doc;
  doc.SetDocument(document);
  if (!doc.FindElement()) return "<no root>";
  return doc.GetData();
}

// Visits every element reachable from the root without recursion, the way a
// loader walks a document, and checks that the two attribute getters agree.
// Returns the number of elements seen.
size_t WalkAll(MarkupDocument& doc) {
  size_t count = 0;
  doc.ResetPosition();
  for (;;) {
    if (doc.FindElement()) {
      ++count;
      doc.GetData();
      std::string name, value;
      std::set<std::string> seen;
      for (int n = 0; doc.GetNthAttribute(n, name, value); ++n) {
        if (seen.insert(name).second) {
          EXPECT_EQ(doc.GetAttribute(name), value) << name;
        }
      }
      doc.IntoElement();
    } else if (!doc.OutOfElement()) {
      return count;
    }
  }
}

const char kConfig[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<!-- configuration -->\r\n"
    "<checkitems version=\"3\" base='https://example.test/tavbank/'>\r\n"
    "  <config type=\"registry\">\r\n"
    "    <entry type=\"dword\" name=\"Flag\" value=\"1\">HKLM\\Software\\A&amp;B</entry>\r\n"
    "    <entry type=\"sz\" name=\"Path\" value=\"C:\\x\"/>\r\n"
    "  </config>\r\n"
    "  <config type=\"host\"><entry>bank.example.test</entry></config>\r\n"
    "  <data name=\"tel\">95&#53;&#x35;8</data>\r\n"
    "  <item name=\"&#x4E2D;&#x6587;\" type=\"key\" keyid=\"0x096e\" flag=\"ft\">\r\n"
    "    <detect dtype=\"file\" bit=\"64\">%windir%\\a.dll</detect>\r\n"
    "    <installer md5=\"00ff\"><![CDATA[setup.exe?a=1&b=<2>]]></installer>\r\n"
    "    <detect dtype=\"reg\">HKLM\\x</detect>\r\n"
    "    <uninstaller>un.exe</uninstaller>\r\n"
    "  </item>\r\n"
    "  <item name=\"two\" type=\"ctl\"/>\r\n"
    "  <appinfo version=\"2.0.1\" imperative=\"1\">\r\n"
    "    <detect dtype=\"filever\">Assistant.exe</detect>\r\n"
    "    <installer>Assistant.zip</installer>\r\n"
    "  </appinfo>\r\n"
    "</checkitems>\r\n";

enum class Op { kFind, kFindAny, kInto, kOut, kResetMain };
struct Step {
  Op op;
  const char* name;
  bool result;
  const char* where;  // Where() afterwards
};

TEST(MarkupDocumentNavigation, MovesBetweenMainChildAndParentPositions) {
  const Step steps[] = {
      {Op::kFind, "config", false, ""},  // at the top only the root is a candidate
      {Op::kFind, "checkitems", true, "checkitems=3"},
      {Op::kFind, "checkitems", false, "checkitems=3"},
      {Op::kInto, nullptr, true, ""},
      {Op::kFind, "item", true, "item=\xE4\xB8\xAD\xE6\x96\x87"},
      {Op::kFind, "data", false, "item=\xE4\xB8\xAD\xE6\x96\x87"},  // a failed search keeps the place
      {Op::kFind, "item", true, "item=two"},
      {Op::kFind, "item", false, "item=two"},
      {Op::kResetMain, nullptr, true, ""},
      {Op::kFind, "data", true, "data=tel"},
      {Op::kFind, "item", true, "item=\xE4\xB8\xAD\xE6\x96\x87"},
      {Op::kInto, nullptr, true, ""},
      {Op::kFind, "detect", true, "detect=file"},
      {Op::kFind, "detect", true, "detect=reg"},
      {Op::kFind, "installer", false, "detect=reg"},
      {Op::kResetMain, nullptr, true, ""},
      {Op::kFind, "installer", true, "installer=00ff"},
      {Op::kOut, nullptr, true, "item=\xE4\xB8\xAD\xE6\x96\x87"},
      {Op::kFind, "item", true, "item=two"},  // continues after the element just left
      {Op::kInto, nullptr, true, ""},
      {Op::kFindAny, nullptr, false, ""},
      {Op::kOut, nullptr, true, "item=two"},
      {Op::kFindAny, nullptr, true, "appinfo=2.0.1"},
      {Op::kOut, nullptr, true, "checkitems=3"},
      {Op::kOut, nullptr, false, "checkitems=3"},
      {Op::kInto, nullptr, true, "appinfo=2.0.1"},  // back into the child just left
      {Op::kFindAny, nullptr, false, "appinfo=2.0.1"},
  };
  MarkupDocument doc;
  ASSERT_TRUE(doc.SetDocument(kConfig)) << doc.GetResult();
  EXPECT_EQ(doc.GetPosition().main, 0);
  for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    const Step& s = steps[i];
    bool result = true;
    switch (s.op) {
      case Op::kFind: result = doc.FindElement(s.name); break;
      case Op::kFindAny: result = doc.FindElement(); break;
      case Op::kInto: result = doc.IntoElement(); break;
      case Op::kOut: result = doc.OutOfElement(); break;
      case Op::kResetMain: doc.ResetMainPosition(); break;
    }
    EXPECT_EQ(result, s.result);
    EXPECT_EQ(Where(doc), s.where);
  }
}

TEST(MarkupDocumentNavigation, TopLevelAndEmptyDocuments) {
  MarkupDocument doc;
  EXPECT_FALSE(doc.FindElement());
  EXPECT_FALSE(doc.IntoElement());
  EXPECT_FALSE(doc.OutOfElement());
  EXPECT_EQ(doc.GetData(), "");
  EXPECT_EQ(doc.GetAttribute("a"), "");

  for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
    EXPECT_FALSE(doc.SetDocument(empty));
    EXPECT_NE(doc.GetResult().find("no_root_element"), std::string::npos);
    EXPECT_FALSE(doc.FindElement());
  }

  // A new document starts at the top again.
  ASSERT_TRUE(doc.SetDocument("<a><b/></a>"));
  ASSERT_TRUE(doc.FindElement("a"));
  ASSERT_TRUE(doc.IntoElement());
  ASSERT_TRUE(doc.FindElement("b"));
  ASSERT_TRUE(doc.SetDocument("<b><a/></b>"));
  EXPECT_EQ(doc.GetPosition().parent, 0);
  EXPECT_EQ(doc.GetPosition().main, 0);
  EXPECT_FALSE(doc.FindElement("a"));
  EXPECT_TRUE(doc.FindElement("b"));
}

TEST(MarkupDocumentNavigation, ReadsConfigurationLikeALoader) {
  MarkupDocument doc;
  ASSERT_TRUE(doc.SetDocument(std::string(kConfig)));
  ASSERT_TRUE(doc.FindElement("checkitems"));
  EXPECT_EQ(doc.GetAttribute("base"), "https://example.test/tavbank/");
  ASSERT_TRUE(doc.IntoElement());

  std::vector<std::string> entries;
  while (doc.FindElement("config")) {
    doc.IntoElement();
    while (doc.FindElement("entry")) entries.push_back(doc.GetAttribute("type") + ":" + doc.GetData());
    doc.OutOfElement();
  }
  EXPECT_EQ(entries, (std::vector<std::string>{"dword:HKLM\\Software\\A&B", "sz:", ":bank.example.test"}));

  doc.ResetMainPosition();
  ASSERT_TRUE(doc.FindElement("data"));
  EXPECT_EQ(doc.GetData(), "95558");
  ASSERT_TRUE(doc.FindElement("item"));
  ASSERT_TRUE(doc.IntoElement());
  ASSERT_TRUE(doc.FindElement("installer"));
  EXPECT_EQ(doc.GetData(), "setup.exe?a=1&b=<2>");
  EXPECT_EQ(doc.GetAttribute("md5"), "00ff");
  doc.OutOfElement();
  EXPECT_EQ(doc.GetData(), "");  // has child elements
  EXPECT_EQ(doc.GetAttribute("keyid"), "0x096e");
  EXPECT_EQ(doc.GetAttribute("KeyId"), "");  // names are case-sensitive

  MarkupDocument again;
  again.SetDocument(kConfig);
  EXPECT_EQ(WalkAll(again), 16u);
}

struct FormCase {
  std::string_view document;
  bool wellFormed;
  const char* logged;  // a problem name that must be logged, or ""
};

TEST(MarkupDocumentWellFormedness, ReportsEachKindOfProblem) {
  const FormCase cases[] = {
      {"<checkitems></CheckItems>", false, "lone_end_tag"},
      {"<checkitems></CheckItems>", false, "unended_start_tag"},
      {"<a/><b/>", false, "root_has_sibling"},
      {"<a></a>\n<b></b>", false, "root_has_sibling"},
      {"", false, "no_root_element"},
      {"just text", false, "no_root_element"},
      {"<!-- only a comment -->", false, "no_root_element"},
      {"\xEF\xBB\xBF  \r\n<a/>", true, ""},
      {"text before <a/> text after", true, ""},
      {"<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x \"]>\"><!-- ]> -->]><a/>", true, ""},
      {"<!DOCTYPE a SYSTEM \"a>b.dtd\"><a/>", true, ""},
      {"<!DOCTYPE a [<!ENTITY x \"y\">", false, "doctype_tag_syntax"},
      {"<a><!-- open", false, "comment_tag_syntax"},
      {"<a><![CDATA[ open", false, "cdata_section_syntax"},
      {"<a><?pi open", false, "unterminated_tag_syntax"},
      {"<a><!ELEMENT x</a>", false, "exclamation_tag_syntax"},
      {"<a><!ELEMENT x (#PCDATA)></a>", true, ""},
      {"<a b=\"1\"", false, "unterminated_tag_syntax"},
      {"<a b=\"1></a>", false, "unterminated_tag_syntax"},
      {"<a><b c='1' <d/></a>", false, "unterminated_tag_syntax"},
      {"<a></a", false, "unterminated_tag_syntax"},
      {"<a><b></a>", false, "unended_start_tag"},
      {"<a></b></a>", false, "lone_end_tag"},
      {"<a>", false, "unended_start_tag"},
      {"</a>", false, "lone_end_tag"},
      {"<a>1 < 2</a>", true, "first_tag_syntax"},  // kept as text
      {"<a>x<</a>", true, "first_tag_syntax"},
      {"<a>x <", false, "unended_start_tag"},
      {"<a b = 'x' c=d e/>", true, ""},
      {"<\xE4\xB8\xAD>x</\xE4\xB8\xAD>", true, ""},
      {"<_a:b/>", true, ""},
      {"<1a/>", false, "no_root_element"},
      {"<\0a\0/\0>\0"sv, false, "first_tag_syntax"},  // UTF-16 text is not readable
  };
  for (const FormCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.document)));
    MarkupDocument doc;
    EXPECT_EQ(doc.SetDocument(std::string(c.document)), c.wellFormed) << doc.GetResult();
    EXPECT_EQ(doc.IsWellFormed(), c.wellFormed);
    if (*c.logged) {
      EXPECT_NE(doc.GetResult().find(c.logged), std::string::npos) << doc.GetResult();
    } else if (c.wellFormed) {
      EXPECT_EQ(doc.GetResult(), "");
    }
  }
}

TEST(MarkupDocumentWellFormedness, IndexIsBuiltForIllFormedDocuments) {
  MarkupDocument doc;
  // </a> closes the unended <b> and <c> inside it; the lone </x> is ignored.
  EXPECT_FALSE(doc.SetDocument("<a><b><c>one</x></a><d/>"));
  EXPECT_NE(doc.GetResult().find("<lone_end_tag tagname=\"x\" offset=\"12\"/>"), std::string::npos)
      << doc.GetResult();
  ASSERT_TRUE(doc.FindElement("a"));
  ASSERT_TRUE(doc.IntoElement());
  ASSERT_TRUE(doc.FindElement("b"));
  EXPECT_FALSE(doc.FindElement("d"));
  ASSERT_TRUE(doc.IntoElement());
  ASSERT_TRUE(doc.FindElement("c"));
  EXPECT_EQ(doc.GetData(), "one");
  doc.ResetPosition();
  EXPECT_TRUE(doc.FindElement("a"));
  EXPECT_FALSE(doc.FindElement("d"));  // a sibling of the root is not a candidate
}

struct EntityCase {
  const char* text;
  const char* decoded;
};

TEST(MarkupDocumentEntities, DecodesReferencesAndKeepsWhatIsNotOne) {
  const EntityCase cases[] = {
      {"&lt;&amp;&#x4E2D;", "<&\xE4\xB8\xAD"},
      {"&quot;&apos;&gt;", "\"'>"},
      {"&nbsp;&copy;&euro;", "\xC2\xA0\xC2\xA9\xE2\x82\xAC"},
      {"&#65;&#x41;&#X41;&#0065;", "AAAA"},
      {"&#127;&#128;&#2047;&#2048;", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80"},
      {"&#xFFFF;&#x10000;&#x10FFFF;", "\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {"&Eacute;&eacute;&Omega;&omega;&Dagger;&dagger;", "\xC3\x89\xC3\xA9\xCE\xA9\xCF\x89\xE2\x80\xA1\xE2\x80\xA0"},
      {"&AMP;&Lt;&NBSP;", "&<\xC2\xA0"},  // no such capital form: read as the lower-case name
      {"&thetasym;", "\xCF\x91"},
      {"&unknown;", "&unknown;"},
      {"&amp", "&amp"},
      {"&;", "&;"},
      {"&", "&"},
      {"a & b", "a & b"},
      {"&abcdefghij;", "&abcdefghij;"},  // ten letters: not a reference
      {"&#;&#x;&#a;", "&#;&#x;&#a;"},
      {"&#0;&#x0;", "&#0;&#x0;"},
      {"&#xD800;&#xDFFF;", "&#xD800;&#xDFFF;"},
      {"&#x110000;&#99999999999999999999;", "&#x110000;&#99999999999999999999;"},
      {"&#65", "&#65"},
      {"&&amp;;", "&&;"},
      {"&amp;lt;", "&lt;"},  // decoded once only
      {"\xE4\xB8\xAD&#x6587;", "\xE4\xB8\xAD\xE6\x96\x87"},
  };
  for (const EntityCase& c : cases) {
    EXPECT_EQ(Decode(c.text), c.decoded) << c.text;
  }
}

TEST(MarkupDocumentEntities, KnowsEveryHtml4Name) {
  // Latin-1 names stand for U+00A0 to U+00FF in order.
  const char* latin1 =
      "nbsp iexcl cent pound curren yen brvbar sect uml copy ordf laquo not shy reg macr deg plusmn "
      "sup2 sup3 acute micro para middot cedil sup1 ordm raquo frac14 frac12 frac34 iquest Agrave "
      "Aacute Acirc Atilde Auml Aring AElig Ccedil Egrave Eacute Ecirc Euml Igrave Iacute Icirc Iuml "
      "ETH Ntilde Ograve Oacute Ocirc Otilde Ouml times Oslash Ugrave Uacute Ucirc Uuml Yacute THORN "
      "szlig agrave aacute acirc atilde auml aring aelig ccedil egrave eacute ecirc euml igrave iacute "
      "icirc iuml eth ntilde ograve oacute ocirc otilde ouml divide oslash ugrave uacute ucirc uuml "
      "yacute thorn yuml";
  const char* others =
      "quot 34 amp 38 lt 60 gt 62 apos 39 OElig 338 oelig 339 Scaron 352 scaron 353 Yuml 376 circ 710 "
      "tilde 732 ensp 8194 emsp 8195 thinsp 8201 zwnj 8204 zwj 8205 lrm 8206 rlm 8207 ndash 8211 "
      "mdash 8212 lsquo 8216 rsquo 8217 sbquo 8218 ldquo 8220 rdquo 8221 bdquo 8222 dagger 8224 "
      "Dagger 8225 permil 8240 lsaquo 8249 rsaquo 8250 euro 8364 fnof 402 Alpha 913 Beta 914 "
      "Gamma 915 Delta 916 Epsilon 917 Zeta 918 Eta 919 Theta 920 Iota 921 Kappa 922 Lambda 923 "
      "Mu 924 Nu 925 Xi 926 Omicron 927 Pi 928 Rho 929 Sigma 931 Tau 932 Upsilon 933 Phi 934 Chi 935 "
      "Psi 936 Omega 937 alpha 945 beta 946 gamma 947 delta 948 epsilon 949 zeta 950 eta 951 "
      "theta 952 iota 953 kappa 954 lambda 955 mu 956 nu 957 xi 958 omicron 959 pi 960 rho 961 "
      "sigmaf 962 sigma 963 tau 964 upsilon 965 phi 966 chi 967 psi 968 omega 969 thetasym 977 "
      "upsih 978 piv 982 bull 8226 hellip 8230 prime 8242 Prime 8243 oline 8254 frasl 8260 "
      "weierp 8472 image 8465 real 8476 trade 8482 alefsym 8501 larr 8592 uarr 8593 rarr 8594 "
      "darr 8595 harr 8596 crarr 8629 lArr 8656 uArr 8657 rArr 8658 dArr 8659 hArr 8660 forall 8704 "
      "part 8706 exist 8707 empty 8709 nabla 8711 isin 8712 notin 8713 ni 8715 prod 8719 sum 8721 "
      "minus 8722 lowast 8727 radic 8730 prop 8733 infin 8734 ang 8736 and 8743 or 8744 cap 8745 "
      "cup 8746 int 8747 there4 8756 sim 8764 cong 8773 asymp 8776 ne 8800 equiv 8801 le 8804 "
      "ge 8805 sub 8834 sup 8835 nsub 8836 sube 8838 supe 8839 oplus 8853 otimes 8855 perp 8869 "
      "sdot 8901 lceil 8968 rceil 8969 lfloor 8970 rfloor 8971 lang 9001 rang 9002 loz 9674 "
      "spades 9824 clubs 9827 hearts 9829 diams 9830";
  std::vector<std::pair<std::string, int>> names;
  std::istringstream a(latin1);
  for (std::string n; a >> n;) names.emplace_back(n, 0xA0 + static_cast<int>(names.size()));
  ASSERT_EQ(names.size(), 96u);
  std::istringstream b(others);
  std::string n;
  for (int code; b >> n >> code;) names.emplace_back(n, code);
  ASSERT_EQ(names.size(), 253u);  // the 252 of HTML 4 and "apos"
  std::set<std::string> distinct;
  for (const auto& [name, code] : names) {
    distinct.insert(name);
    EXPECT_EQ(Decode("&" + name + ";"), Decode("&#" + std::to_string(code) + ";")) << name;
    EXPECT_NE(Decode("&" + name + ";"), "&" + name + ";") << name;
  }
  EXPECT_EQ(distinct.size(), names.size());
}

TEST(MarkupDocumentData, JoinsTextAndCDataAndSkipsOtherMarkup) {
  const EntityCase cases[] = {
      {"<a>one<!-- two -->three</a>", "onethree"},
      {"<a>x<![CDATA[&lt;<b>]]>y&lt;</a>", "x&lt;<b>y<"},
      {"<a>x<?pi <b> ?>y</a>", "xy"},
      {"<a>x</b>y</a>", "xy"},
      {"<a>  spaced \r\n text  </a>", "  spaced \r\n text  "},
      {"<a/>", ""},
      {"<a></a>", ""},
      {"<a>t<b/>u</a>", ""},
      {"<a><!-- <b> --></a>", ""},
      {"<a>1 < 2 &amp; 3 > 2</a>", "1 < 2 & 3 > 2"},
      {"<a>open", "open"},
      {"<a>x<![CDATA[open", "xopen"},
  };
  for (const EntityCase& c : cases) EXPECT_EQ(DataOf(c.text), c.decoded) << c.text;
}

TEST(MarkupDocumentAttributes, EnumeratesInDocumentOrderWithQuotesRemoved) {
  MarkupDocument doc;
  ASSERT_TRUE(doc.SetDocument("<a one='1 \"x\"' two=\"2 'y'\" three = &amp;3 four e=\"&lt;&#x4E2D;\" one=\"dup\"/>"));
  ASSERT_TRUE(doc.FindElement());
  const std::pair<const char*, const char*> expected[] = {
      {"one", "1 \"x\""}, {"two", "2 'y'"}, {"three", "&3"}, {"four", ""}, {"e", "<\xE4\xB8\xAD"}, {"one", "dup"}};
  int n = 0;
  std::string name = "poison", value = "poison";
  for (; doc.GetNthAttribute(n, name, value); ++n) {
    ASSERT_LT(n, 6);
    EXPECT_EQ(name, expected[n].first);
    EXPECT_EQ(value, expected[n].second);
  }
  EXPECT_EQ(n, 6);
  EXPECT_EQ(name, "one");  // untouched by the failing call
  EXPECT_EQ(value, "dup");
  EXPECT_FALSE(doc.GetNthAttribute(-1, name, value));
  // Out of order and repeated calls give the same answers.
  EXPECT_TRUE(doc.GetNthAttribute(4, name, value));
  EXPECT_EQ(name, "e");
  EXPECT_TRUE(doc.GetNthAttribute(1, name, value));
  EXPECT_EQ(name, "two");
  EXPECT_TRUE(doc.GetNthAttribute(1, name, value));
  EXPECT_EQ(value, "2 'y'");

  EXPECT_EQ(doc.GetAttribute("one"), "1 \"x\"");  // the first of two
  EXPECT_EQ(doc.GetAttribute("three"), "&3");
  EXPECT_EQ(doc.GetAttribute("ONE"), "");
  EXPECT_EQ(doc.GetAttribute("missing"), "");

  ASSERT_TRUE(doc.SetDocument("<r><x p='1'/><y/></r>"));
  doc.FindElement();
  doc.IntoElement();
  doc.FindElement("x");
  ASSERT_TRUE(doc.GetNthAttribute(0, name, value));
  doc.FindElement("y");
  EXPECT_FALSE(doc.GetNthAttribute(1, name, value));  // no stale place from the other element
}

TEST(MarkupDocumentFlags, IgnoreCaseTrimAndCollapse) {
  MarkupDocument doc;
  ASSERT_TRUE(doc.SetDocument("<Root Attr='  a  b  '><Child>\r\n  x \t y  \r\n</Child></Root>"));
  doc.SetDocFlags(MarkupDocument::kIgnoreCase);
  ASSERT_TRUE(doc.FindElement("root"));
  EXPECT_EQ(doc.GetAttribute("attr"), "  a  b  ");
  doc.SetDocFlags(MarkupDocument::kTrimWhitespace);
  EXPECT_EQ(doc.GetAttribute("Attr"), "a  b");
  doc.IntoElement();
  ASSERT_TRUE(doc.FindElement("Child"));
  EXPECT_EQ(doc.GetData(), "x \t y");
  doc.SetDocFlags(MarkupDocument::kCollapseWhitespace);
  EXPECT_EQ(doc.GetData(), "x y");
  doc.SetDocFlags(0);
  EXPECT_EQ(doc.GetData(), "\r\n  x \t y  \r\n");
  doc.ResetMainPosition();
  EXPECT_FALSE(doc.FindElement("child"));
}

// Deterministic pseudo-random numbers, so a failure can be replayed.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<uint32_t>(state_ >> 11);
  }
  size_t Below(size_t n) { return n ? Next() % n : 0; }

 private:
  uint64_t state_;
};

std::string Garbage(Random& random) {
  static const char* const kPieces[] = {
      "<", ">", "/", "/>", "</", "<!", "<!--", "-->", "<![CDATA[", "]]>", "<?", "?>", "<!DOCTYPE", "[",
      "]", "=", "\"", "'", "&", ";", "&#", "&#x", "&amp;", "a", "item", "b", " ", "\r\n", "\0", "\xE4\xB8\xAD",
      "\xFF", "9", "x",
  };
  std::string out;
  const size_t count = random.Below(64);
  for (size_t i = 0; i < count; ++i) {
    if (random.Below(8) == 0) {
      out.push_back(static_cast<char>(random.Next()));
    } else {
      const char* piece = kPieces[random.Below(sizeof(kPieces) / sizeof(kPieces[0]))];
      out.append(piece, *piece ? std::char_traits<char>::length(piece) : 1);
    }
  }
  return out;
}

std::string Mutate(const std::string& text, Random& random) {
  std::string out = text;
  for (size_t edits = 1 + random.Below(4); edits > 0; --edits) {
    const size_t at = random.Below(out.size() + 1);
    switch (random.Below(4)) {
      case 0:
        if (at < out.size()) out[at] = static_cast<char>(random.Next());
        break;
      case 1: out.erase(at, random.Below(16)); break;
      case 2: out.insert(at, Garbage(random)); break;
      default: out.insert(at, out.substr(at, random.Below(64))); break;
    }
  }
  return out;
}

TEST(MarkupDocumentRobustness, SurvivesGarbageMutationsAndTruncation) {
  MarkupDocument doc;
  Random random(20240601);
  for (int i = 0; i < 3000; ++i) {
    const std::string text = Garbage(random);
    SCOPED_TRACE(::testing::PrintToString(text));
    doc.SetDocument(text);
    WalkAll(doc);
  }
  const std::string config(kConfig);
  for (int i = 0; i < 3000; ++i) {
    const std::string text = Mutate(config, random);
    SCOPED_TRACE(::testing::PrintToString(text));
    doc.SetDocument(text);
    WalkAll(doc);
  }
  // Cut anywhere before the root's end tag is complete: never well-formed.
  const size_t rootEnd = config.rfind('>') + 1;
  for (size_t length = 0; length <= config.size(); ++length) {
    SCOPED_TRACE(length);
    const bool wellFormed = doc.SetDocument(config.data(), length);
    EXPECT_EQ(wellFormed, length >= rootEnd);
    WalkAll(doc);
  }
}

TEST(MarkupDocumentRobustness, DeepNestingNeedsNoStack) {
  const int depth = 100000;
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<e>";
  text += "core";
  std::string unclosed = text;
  for (int i = 0; i < depth; ++i) text += "</e>";

  MarkupDocument doc;
  ASSERT_TRUE(doc.SetDocument(text));
  int level = 0;
  while (doc.FindElement("e")) {
    ++level;
    doc.IntoElement();
  }
  EXPECT_EQ(level, depth);
  doc.OutOfElement();
  EXPECT_EQ(doc.GetData(), "core");
  EXPECT_EQ(WalkAll(doc), static_cast<size_t>(depth));

  // Unclosed, then closed by lone end tags of another name: each must be
  // answered without walking the open elements.
  EXPECT_FALSE(doc.SetDocument(unclosed));
  EXPECT_EQ(WalkAll(doc), static_cast<size_t>(depth));
  for (int i = 0; i < depth; ++i) unclosed += "</f>";
  EXPECT_FALSE(doc.SetDocument(unclosed));
  EXPECT_LT(doc.GetResult().size(), 100000u);  // the log stays bounded
  EXPECT_NE(doc.GetResult().find("<more_results/>"), std::string::npos);
}

TEST(MarkupDocumentRobustness, HugeAttributeCounts) {
  const int count = 100000;
  std::string text = "<a";
  for (int i = 0; i < count; ++i) text += " n" + std::to_string(i) + "='" + std::to_string(i) + "'";
  text += "/>";
  MarkupDocument doc;
  ASSERT_TRUE(doc.SetDocument(text));
  ASSERT_TRUE(doc.FindElement("a"));
  std::string name, value;
  int n = 0;
  for (; doc.GetNthAttribute(n, name, value); ++n) {
  }
  EXPECT_EQ(n, count);
  EXPECT_EQ(name, "n99999");
  EXPECT_EQ(doc.GetAttribute("n99999"), "99999");
}

TEST(MarkupDocumentRobustness, PathologicalInputsStayLinear) {
  // Each of these would take hours if an unterminated construct were scanned
  // again from every one of its repetitions.
  const char* const kRepeated[] = {
      "<!--", "<![CDATA[", "<?", "<!DOCTYPE [", "<a b=\"", "<a b='", "<!x", "</", "<a ", "&#", "&#x1",
      "&abcdefgh", "<", "<a>", "</a>", "<a><b>",
  };
  MarkupDocument doc;
  for (const char* piece : kRepeated) {
    SCOPED_TRACE(piece);
    std::string text = "<r>";
    while (text.size() < (1u << 20)) text += piece;
    doc.SetDocument(text);
    WalkAll(doc);
  }
}

}  // namespace
