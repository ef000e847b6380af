// The hosts-line search must find and remove exactly what the plain
// whole-text regular expression does, on the listed cases and on random
// texts, while staying linear and recursion-free on hostile files.
#include "engine/hosts_text.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <thread>

using Zentrava::Assistant::HostsText;

namespace {

// The line pattern as a whole-text expression (the reference behaviour).
std::regex ReferencePattern(const std::string& host) {
  std::string escaped;
  for (char c : host) {
    if (std::string("^$\\.*+?()[]{}|/").find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return std::regex("\n[\\s\\d\\.]+" + escaped + "\\s*(\n|#.+\\s\n)",
                    std::regex::ECMAScript | std::regex::icase);
}

std::string Visible(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\\n") : c == '\r' ? "\\r" : std::string(1, c);
  return out;
}

struct LineCase {
  const char* text;  // normalised hosts text (enclosed in line breaks)
  const char* host;
  bool matches;
  const char* afterRemoval;
};

const LineCase kLineCases[] = {
    {"\n127.0.0.1 ebank.tav.com\n", "ebank.tav.com", true, "\n"},
    {"\n127.0.0.1 ebank.tav.com # local \n", "ebank.tav.com", true, "\n"},
    {"\n127.0.0.1 ebank.tav.com #local\n", "ebank.tav.com", false, nullptr},
    {"\n127.0.0.1 x.ebank.tav.com\n", "ebank.tav.com", false, nullptr},
    {"\n127.0.0.1 ebank.tav.com other.tav.com\n", "ebank.tav.com", false, nullptr},
    {"\n#127.0.0.1 ebank.tav.com\n", "ebank.tav.com", false, nullptr},
    {"\n127.0.0.1 EBANK.Tav.COM\n", "ebank.tav.com", true, "\n"},
    {"\n127.0.0.1 ebank.tav.com\n", "EBANK.TAV.COM", true, "\n"},
    // Blank lines above a match go with it.
    {"\na\n\n\n10.0.0.1 ebank.tav.com\nb\n", "ebank.tav.com", true, "\na\nb\n"},
    // The dot is literal: "ebankxtav" is another name.
    {"\n1.2.3.4 ebankxtav.com\n", "ebank.tav.com", false, nullptr},
    {"\n::1 ebank.tav.com\n", "ebank.tav.com", false, nullptr},
    {"\n\t1.2.3.4\tebank.tav.com\t\n", "ebank.tav.com", true, "\n"},
    {"\nkeep\n1.2.3.4 ebank.tav.com\nkeep2\n", "ebank.tav.com", true, "\nkeep\nkeep2\n"},
    // Names that start with digits.
    {"\n1.2.3.4 12306.cn\n", "12306.cn", true, "\n"},
    {"\n1.2.3.4 x12306.cn\n", "12306.cn", false, nullptr},
    {"\n", "ebank.tav.com", false, nullptr},
    {"\n\n", "", false, nullptr},
};

}  // namespace

TEST(HostsTextTest, LineCasesFollowThePattern) {
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE(Visible(c.text) + " / " + c.host);
    HostsText hosts{std::string(c.text)};
    EXPECT_EQ(c.matches, hosts.Contains(c.host));
    if (*c.host) {
      EXPECT_EQ(c.matches, std::regex_search(std::string(c.text), ReferencePattern(c.host)));
    }
    EXPECT_EQ(c.matches, hosts.RemoveAll(c.host));
    EXPECT_EQ(c.afterRemoval ? std::string(c.afterRemoval) : std::string(c.text), hosts.text());
  }
}

TEST(HostsTextTest, RandomTextsAgreeWithTheWholeTextExpression) {
  const char* pieces[] = {"\n", " ", "\t", "\r", "\v", "1", "2", "0", ".", "#", "a", "b", "B",
                          "x", "c", "\n\n", " # c \n", "#x\n", "ab", "a.b", "1.2", "A", "-"};
  const char* hosts[] = {"a", "ab", "a.b", "b.a", "1.2", "2.ab", "1a", "x", "AB", ".a", "1",
                         "a-b", "a b", "a#", "2 a", "1.2.x"};
  std::mt19937 random(20240611);
  int compared = 0;
  for (int round = 0; round < 30000; ++round) {
    std::string text;
    int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) text += pieces[random() % (sizeof pieces / sizeof *pieces)];
    const std::string host = hosts[random() % (sizeof hosts / sizeof *hosts)];
    std::regex reference = ReferencePattern(host);
    HostsText hosts{text};
    bool expected = std::regex_search(text, reference);
    ASSERT_EQ(expected, hosts.Contains(host)) << Visible(text) << " / " << host;
    std::string replaced = std::regex_replace(text, reference, "\n");
    hosts.RemoveAll(host);
    ASSERT_EQ(replaced, hosts.text()) << Visible(text) << " / " << host;
    ++compared;
  }
  EXPECT_EQ(30000, compared);
}

TEST(HostsTextTest, RepeatedLinesAreRemovedAsTheExpressionRemovesThem) {
  // Each match ends after its line break, so a directly following duplicate
  // has no line break of its own left: the expression removes every other one.
  std::string text = "\n1.1.1.1 a.com\n1.1.1.1 a.com\n1.1.1.1 a.com\nz\n";
  HostsText hosts{text};
  hosts.RemoveAll("a.com");
  EXPECT_EQ(std::regex_replace(text, ReferencePattern("a.com"), "\n"), hosts.text());
  EXPECT_TRUE(hosts.Contains("a.com"));
}

TEST(HostsTextTest, HostileTextsAreSearchedWithoutRecursion) {
  // A long comment after a matched name overflows a recursive matcher's
  // stack; a long run of address characters makes a backtracking one slow.
  const std::string longComment = "\n127.0.0.1 ebank.tav.com #" + std::string(1 << 20, 'x') + " \n";
  const std::string addressRun = "\n" + std::string(1 << 20, '1') + std::string(1 << 19, ' ') + "\n";
  const std::string spaces = "\n1 " + std::string(1 << 20, ' ');
  auto run = [&] {
    HostsText comment{longComment};
    EXPECT_TRUE(comment.Contains("ebank.tav.com"));
    EXPECT_TRUE(comment.RemoveAll("ebank.tav.com"));
    EXPECT_EQ("\n", comment.text());
    HostsText run{addressRun};
    EXPECT_FALSE(run.Contains("ebank.tav.com"));
    EXPECT_FALSE(run.Contains("11.cn"));
    EXPECT_TRUE(run.Contains("1"));  // the column's last digit, then blanks and a break
    EXPECT_TRUE(run.RemoveAll("1"));
    EXPECT_EQ("\n", run.text());
    HostsText blank{spaces};
    EXPECT_FALSE(blank.Contains(" "));
    EXPECT_FALSE(blank.Contains("1"));
  };
  // A small stack proves that nothing recurses per character.
  std::thread worker(run);
  worker.join();
}
