// Checks 50 "host" entries against generated hosts files of 100 KB, 1 MB and
// 10 MB (and a 10 MB file holding a 1 MB run of blanks and digits), timing a
// whole check run (load and 50 checks) next to a plain whole-text
// std::regex_search per entry. The regex runs in a child process, since it
// may exhaust its stack and die. The last line is the 10 MB figure in ms.
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "engine/check_fix_host.h"
#include "testkit/scratch_dir.h"

namespace za = Zentrava::Assistant;

namespace {

std::vector<std::string> EntryHosts() {
  std::vector<std::string> hosts;
  for (int i = 0; i < 48; ++i) hosts.push_back("ebank" + std::to_string(i) + ".tavbank.com.cn");
  hosts.push_back("12306.cn");
  hosts.push_back("www.tavbank.com");
  return hosts;
}

std::string MakeHosts(size_t size, bool blankRun, std::mt19937* random) {
  std::string text = "# generated\r\n127.0.0.1 localhost\r\n";
  while (text.size() < size) {
    unsigned r = (*random)();
    switch (r % 8) {
      case 0: text += "# " + std::string(20 + r % 60, 'c') + "\r\n"; break;
      case 1: text += "\r\n"; break;
      case 2: text += "10." + std::to_string(r % 256) + ".0.1 ebank" + std::to_string(r % 400) +
                      ".tavbank.com.cn\r\n"; break;
      default:
        text += std::to_string(r % 223 + 1) + "." + std::to_string(r % 255) + ".1.2\twww.site" +
                std::to_string(r % 100000) + ".example.com # note \r\n";
    }
    if (blankRun && text.size() > size / 2 && text.size() < size / 2 + 200) {
      for (size_t i = 0; i < (1u << 20); ++i) text += (i % 3) ? ' ' : static_cast<char>('0' + i % 10);
      text += "ebank7.tavbank.com.cn #" + std::string(16 << 10, 'x') + " \r\n";
    }
  }
  return text;
}

double Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Child: the whole-text expression per entry over the normalised text.
int RunRegex(const wchar_t* path) {
  std::string bytes;
  if (!testkit::ReadFileBytes(path, &bytes)) return 2;
  std::string text = "\n";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  text += "\n";
  auto start = std::chrono::steady_clock::now();
  int found = 0;
  for (const std::string& host : EntryHosts()) {
    std::string escaped;
    for (char c : host) escaped += c == '.' ? std::string("\\.") : std::string(1, c);
    std::regex re("\n[\\s\\d\\.]+" + escaped + "\\s*(\n|#.+\\s\n)",
                  std::regex::ECMAScript | std::regex::icase);
    found += std::regex_search(text, re) ? 1 : 0;
  }
  printf("%.1f %d\n", Ms(std::chrono::steady_clock::now() - start), found);
  return 0;
}

// Runs this program as a child on `file` and returns its answer, or a note
// when it did not finish.
std::string RegexInChild(const std::wstring& file) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring out = file + L".regex";
  std::wstring command = L"\"" + std::wstring(self) + L"\" --regex \"" + file + L"\"";
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE output = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(0);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    CloseHandle(output);
    return "not started";
  }
  CloseHandle(output);
  DWORD wait = WaitForSingleObject(process.hProcess, 120000);
  if (wait != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::string answer;
  testkit::ReadFileBytes(out, &answer);
  DeleteFileW(out.c_str());
  while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
  if (wait != WAIT_OBJECT_0) return "gave up after 120 s";
  if (answer.empty()) return "crashed";
  size_t space = answer.find(' ');
  return answer.substr(0, space) + " ms (" + answer.substr(space + 1) + " found)";
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv && argc == 3 && std::wstring(argv[1]) == L"--regex") return RunRegex(argv[2]);
  testkit::ScratchDir dir;
  std::mt19937 random(42);
  struct Size {
    const char* name;
    size_t bytes;
    bool blankRun;
  } sizes[] = {{"100 KB", 100 << 10, false},
               {"1 MB", 1 << 20, false},
               {"10 MB", 10 << 20, false},
               {"10 MB with 1 MB blank/digit run", 10 << 20, true}};
  double tenMb = 0;
  za::ConfigType type;
  type.name = "host";
  for (const std::string& host : EntryHosts()) {
    za::ConfigEntry entry;
    entry.text = host;
    type.entries.push_back(entry);
  }
  for (const Size& size : sizes) {
    std::wstring file = dir.File(L"hosts" + std::to_wstring(size.bytes) + (size.blankRun ? L"b" : L""));
    testkit::WriteFileBytes(file, MakeHosts(size.bytes, size.blankRun, &random));
    za::CheckFixHost host(file);
    double best = 1e9;
    int failed = 0;
    for (int round = 0; round < 5; ++round) {
      auto start = std::chrono::steady_clock::now();
      za::RunCheckOver(host, type.entries, false);
      best = std::min(best, Ms(std::chrono::steady_clock::now() - start));
    }
    for (const auto& entry : type.entries) failed += entry.state == -2 ? 1 : 0;
    printf("%-32s check run (load + 50 entries): %8.1f ms, %d found; whole-text regex: %s\n",
           size.name, best, failed, RegexInChild(file).c_str());
    fflush(stdout);
    if (size.bytes == (10u << 20)) tenMb = std::max(tenMb, best);
  }
  printf("%.1f\n", tenMb);
  return 0;
}
