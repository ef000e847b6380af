// Parse speed of the markup reader on a configuration-sized document: builds
// a document shaped like the bank's item.xml (about 500 KB), then parses it
// and reads every element and attribute the way the configuration loader
// does, over and over for at least a second. Last line: the throughput.
#include "support/markup_document.h"

#include <windows.h>

#include <cstdio>
#include <string>

using Zentrava::MarkupDocument;

namespace {

std::string Number(unsigned long long n) { return std::to_string(n); }

std::string BuildDocument(size_t targetBytes) {
  std::string d;
  d.reserve(targetBytes + 4096);
  d += "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
  d += "<!-- generated configuration -->\r\n";
  d += "<checkitems version=\"4.2.0\" base=\"https://config.example.test/tavbank/download/\">\r\n";
  const char* const kTypes[] = {"registry", "host", "file", "service", "trustsite", "com"};
  for (size_t t = 0; d.size() < targetBytes / 3; ++t) {
    d += "  <config type=\"" + std::string(kTypes[t % 6]) + "\">\r\n";
    for (int e = 0; e < 20; ++e) {
      d += "    <entry type=\"dword\" name=\"Value" + Number(e) + "\" value=\"" + Number(t * 31 + e) +
           "\" bit=\"64\" op=\"eq\" remark=\"&#x5B89;&#x5168;&#x63A7;&#x4EF6; &amp; more\">"
           "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Zentrava&amp;Bank\\Area" + Number(e) + "</entry>\r\n";
    }
    d += "  </config>\r\n";
  }
  for (int i = 0; i < 40; ++i) {
    d += "  <data name=\"text" + Number(i) + "\">&lt;b&gt;Notice&lt;/b&gt; &copy; &#x4E2D;&#x6587; " +
         Number(i) + "</data>\r\n";
  }
  for (size_t i = 0; d.size() < targetBytes - 400; ++i) {
    d += "  <item name=\"Component &#x7EC4;&#x4EF6; " + Number(i) + "\" type=\"" +
         (i % 4 == 0 ? "key" : "ctl") + "\" keyid=\"0x" + Number(1000 + i) + "\" flag=\"k" + Number(i % 9) +
         "\" version=\"1.0." + Number(i) + "\" size='" + Number(i * 4096) + "'>\r\n";
    d += "    <!-- detection -->\r\n";
    d += "    <detect dtype=\"clsid\" bit=\"32\">{6CA7E8A2-42C5-4C8A-9E1B-" + Number(100000000000ull + i) +
         "}</detect>\r\n";
    d += "    <detect dtype=\"file\" version=\"1.0." + Number(i) + "\">%SystemRoot%\\System32\\comp" +
         Number(i) + ".dll</detect>\r\n";
    d += "    <installer md5=\"0123456789abcdef0123456789abcdef\" param=\"/S\" reboot=\"0\">"
         "<![CDATA[https://config.example.test/setup/comp" + Number(i) + ".exe?a=1&b=2]]></installer>\r\n";
    d += "    <uninstaller param=\"/U\">%ProgramFiles%\\Comp" + Number(i) + "\\uninst.exe</uninstaller>\r\n";
    d += "  </item>\r\n";
  }
  d += "  <appinfo version=\"2.0.1\" imperative=\"1\">\r\n";
  d += "    <detect dtype=\"filever\" version=\"2.0.1\">ZentravaAssistant.exe</detect>\r\n";
  d += "    <installer md5=\"00112233445566778899aabbccddeeff\">ZentravaAssistant.zip</installer>\r\n";
  d += "  </appinfo>\r\n";
  d += "</checkitems>\r\n";
  return d;
}

// Reads an element the way the loader stores an entry: its data and every
// attribute. Returns a figure that depends on everything read.
size_t ReadEntry(const MarkupDocument& doc) {
  size_t sum = doc.GetData().size();
  std::string name, value;
  for (int n = 0; doc.GetNthAttribute(n, name, value); ++n) sum += name.size() + value.size();
  return sum;
}

size_t ReadChildren(MarkupDocument& doc, const char* tag) {
  size_t sum = 0;
  doc.ResetMainPosition();
  while (doc.FindElement(tag)) sum += ReadEntry(doc);
  return sum;
}

size_t LoadLikeTheLoader(MarkupDocument& doc, const std::string& text) {
  if (!doc.SetDocument(text.data(), text.size()) || !doc.FindElement("checkitems")) return 0;
  size_t sum = ReadEntry(doc);
  doc.IntoElement();
  while (doc.FindElement("config")) {
    sum += doc.GetAttribute("type").size();
    doc.IntoElement();
    while (doc.FindElement("entry")) sum += ReadEntry(doc);
    doc.OutOfElement();
  }
  doc.ResetMainPosition();
  while (doc.FindElement("data")) sum += doc.GetAttribute("name").size() + doc.GetData().size();
  while (doc.FindElement("item")) {
    sum += ReadEntry(doc);
    doc.IntoElement();
    sum += ReadChildren(doc, "detect") + ReadChildren(doc, "installer") + ReadChildren(doc, "uninstaller");
    doc.OutOfElement();
  }
  doc.ResetMainPosition();
  while (doc.FindElement("appinfo")) {
    sum += ReadEntry(doc);
    doc.IntoElement();
    sum += ReadChildren(doc, "detect") + ReadChildren(doc, "installer");
    doc.OutOfElement();
  }
  return sum;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency) {
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main() {
  const std::string text = BuildDocument(500 * 1024);
  MarkupDocument doc;
  const size_t expected = LoadLikeTheLoader(doc, text);
  if (expected == 0) {
    std::printf("xml: generated document did not load: %s\n", doc.GetResult().c_str());
    return 1;
  }
  std::printf("document: %zu bytes\n", text.size());

  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  size_t rounds = 0;
  do {
    if (LoadLikeTheLoader(doc, text) != expected) {
      std::printf("xml: results differ between rounds\n");
      return 1;
    }
    ++rounds;
    QueryPerformanceCounter(&now);
  } while (Seconds(start, now, frequency) < 1.5);

  const double seconds = Seconds(start, now, frequency);
  const double megabytes = static_cast<double>(text.size()) * static_cast<double>(rounds) / (1024.0 * 1024.0);
  std::printf("rounds: %zu in %.2f s (%.2f ms per load)\n", rounds, seconds, seconds * 1000.0 / rounds);
  std::printf("xml: %.1f MB/s\n", megabytes / seconds);
  return 0;
}
