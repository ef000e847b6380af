// Where downloads land, how a downloaded file replaces one that may be in
// use, and how progress is thinned on its way to the page's "setProgress".
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "net/download_placement.h"
#include "support/scoped_handle.h"
#include "testkit/net_page_recorder.h"
#include "testkit/scratch_dir.h"

using Zentrava::Network::DownloadFileName;
using Zentrava::Network::DownloadPath;
using Zentrava::Network::DownloadProgress;
using Zentrava::Network::InstallProgress;
using Zentrava::Network::MoveIntoPlace;
using Zentrava::Network::UpdateProgress;

namespace {

std::wstring ParentOf(std::wstring path) {
  path.resize(path.find_last_of(L'\\'));
  return path;
}

std::wstring ModuleFolder() {
  wchar_t buffer[MAX_PATH];
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  PathRemoveFileSpecW(buffer);
  return buffer;
}

class OptionGuard {
 public:
  OptionGuard(uint32_t option, int32_t value) : option_(option) {
    Zentrava::App::AppOptions().Set(option, value);
  }
  ~OptionGuard() { Zentrava::App::AppOptions().Set(option_, 0); }

 private:
  uint32_t option_;
};

TEST(DownloadFileName, KeepsNamesInsideTheFolder) {
  struct Case {
    const wchar_t* url;
    const wchar_t* name;
  } cases[] = {
      {L"https://bank.example/tavbank/download/setup.exe", L"setup.exe"},
      {L"setup.exe", L"setup.exe"},
      {L"https://bank.example/d/..\\..\\x.exe", L"x.exe"},
      {L"C:\\Windows\\evil.exe", L"evil.exe"},
      {L"https://bank.example/d/..%5c..%5cx.exe", L"..%5c..%5cx.exe"},  // literal, harmless
      {L"https://bank.example/d/setup.exe?v=2#top", L"setup.exe"},
      {L"https://bank.example/d/a:b.exe", L"a_b.exe"},
      {L"https://bank.example/d/a\x01<b>|c*.exe", L"a__b__c_.exe"},
      {L"https://bank.example/d/x.exe. . ", L"x.exe"},
      {L"https://bank.example/d/CON", L"_CON"},
      {L"https://bank.example/d/nul.txt", L"_nul.txt"},
      {L"https://bank.example/d/..", L""},
      {L"https://bank.example/d/...", L""},
      {L"https://bank.example/d/", L""},
      {L"https://bank.example/d/?x=1", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.name, DownloadFileName(c.url)) << c.url;
}

TEST(DownloadPath, TemporaryFolderWhileTheOptionIsOff) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = temp;
  folder.pop_back();
  EXPECT_EQ(folder + L"\\setup.exe", DownloadPath(L"https://bank.example/d/setup.exe"));
  EXPECT_EQ(L"", DownloadPath(nullptr));
  EXPECT_EQ(L"", DownloadPath(L"https://bank.example/d/.."));
  EXPECT_EQ(L"", DownloadPath((L"https://bank.example/d/" + std::wstring(300, L'n')).c_str()));
}

TEST(DownloadPath, DownloadFolderBesideTheProgramIsCreatedAndNeverLeft) {
  OptionGuard beside(Zentrava::App::kOptionDownloadBesideProgram, 1);
  std::wstring folder = ModuleFolder() + L"\\Download";
  bool existed = PathIsDirectoryW(folder.c_str()) != FALSE;
  if (existed) RemoveDirectoryW(folder.c_str());  // only succeeds when empty

  const wchar_t* urls[] = {L"https://bank.example/d/setup.exe", L"https://bank.example/d/..\\..\\x.exe",
                           L"https://bank.example/d/a:b", L"..\\..\\..\\Windows\\x.dll"};
  for (const wchar_t* url : urls) {
    std::wstring path = DownloadPath(url);
    ASSERT_FALSE(path.empty()) << url;
    EXPECT_EQ(folder, ParentOf(path)) << url;
    wchar_t canonical[MAX_PATH];
    ASSERT_TRUE(PathCanonicalizeW(canonical, path.c_str()));
    EXPECT_EQ(path, canonical) << url;
  }
  EXPECT_TRUE(PathIsDirectoryW(folder.c_str()));
  if (!existed) RemoveDirectoryW(folder.c_str());
}

class MoveIntoPlaceTest : public ::testing::Test {
 protected:
  std::string Contents(const std::wstring& path) {
    std::string bytes;
    return testkit::ReadFileBytes(path, &bytes) ? bytes : "<missing>";
  }
  // The delayed operations the system will carry out at the next reboot.
  std::wstring PendingRenames() {
    Zentrava::ScopedHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
      return L"";
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, nullptr, nullptr,
                         &size) != ERROR_SUCCESS)
      return L"";
    std::wstring value(size / sizeof(wchar_t), L'\0');
    RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, nullptr,
                     reinterpret_cast<BYTE*>(&value[0]), &size);
    for (wchar_t& c : value)
      if (c == L'\0') c = L'|';
    return value;
  }

  testkit::ScratchDir dir_;
};

TEST_F(MoveIntoPlaceTest, ReplacesAFileNotInUse) {
  std::wstring source = dir_.File(L"a.dll.download"), target = dir_.File(L"a.dll");
  ASSERT_TRUE(testkit::WriteFileBytes(source, "new"));
  ASSERT_TRUE(testkit::WriteFileBytes(target, "old"));
  EXPECT_EQ(S_OK, MoveIntoPlace(source, target));
  EXPECT_EQ("new", Contents(target));
  EXPECT_FALSE(testkit::FileExists(source));
  EXPECT_FALSE(testkit::FileExists(target + L".old"));

  EXPECT_EQ(S_OK, MoveIntoPlace(target, dir_.File(L"b.dll"))) << "no target yet";
  EXPECT_EQ(E_FAIL, MoveIntoPlace(dir_.File(L"missing"), target));
}

TEST_F(MoveIntoPlaceTest, RunningProgramIsMovedAsideToOld) {
  std::wstring program = dir_.File(L"assistant.exe"), update = dir_.File(L"assistant.exe.download");
  ASSERT_TRUE(CopyFileW((ModuleFolder() + L"\\net_sleeper.exe").c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(testkit::WriteFileBytes(update, "new image"));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::wstring command = L"\"" + program + L"\"";
  ASSERT_TRUE(CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  Zentrava::ScopedHandle processHandle(process.hProcess), threadHandle(process.hThread);
  Sleep(300);
  ASSERT_FALSE(DeleteFileW(program.c_str())) << "a running image cannot be deleted";

  EXPECT_EQ(S_OK, MoveIntoPlace(update, program));
  EXPECT_EQ("new image", Contents(program));
  EXPECT_TRUE(testkit::FileExists(program + L".old"));
  EXPECT_NE(std::wstring::npos, PendingRenames().find(L"assistant.exe.old||"))
      << "the old image is deleted at the next reboot: " << PendingRenames();
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 5000);
}

TEST_F(MoveIntoPlaceTest, FileThatCannotEvenBeMovedIsReplacedAtTheNextReboot) {
  std::wstring source = dir_.File(L"locked.dll.download"), target = dir_.File(L"locked.dll");
  ASSERT_TRUE(testkit::WriteFileBytes(source, "new"));
  ASSERT_TRUE(testkit::WriteFileBytes(target, "old"));
  Zentrava::ScopedFile held(CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  EXPECT_EQ(S_FALSE, MoveIntoPlace(source, target));
  held.reset();
  EXPECT_EQ("old", Contents(target));
  EXPECT_EQ("new", Contents(source));
  std::wstring pending = PendingRenames();
  // Replacing the existing file is asked for with a "!" before the target.
  EXPECT_NE(std::wstring::npos, pending.find(L"locked.dll.download|!")) << pending;
}

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override { Zentrava::Network::ResetProgressMemory(); }
  void TearDown() override { Zentrava::Network::ResetProgressMemory(); }

  static DownloadProgress Record(int percent, bool ok = true) {
    DownloadProgress p = {};
    p.percent = percent;
    p.ok = ok;
    return p;
  }
  // (percent, index, ok) of every setProgress call, checking the types.
  std::vector<std::tuple<int, int, bool>> Reports() {
    std::vector<std::tuple<int, int, bool>> out;
    for (const auto& call : page_.calls()) {
      EXPECT_EQ(L"setProgress", call.function);
      EXPECT_EQ(3u, call.args.size());
      if (call.args.size() != 3) continue;
      EXPECT_EQ(VT_INT, call.args[0].vt);
      EXPECT_EQ(VT_INT, call.args[1].vt);
      EXPECT_EQ(VT_BOOL, call.args[2].vt);
      out.emplace_back(call.args[0].intVal, call.args[1].intVal, call.args[2].boolVal == VARIANT_TRUE);
    }
    return out;
  }

  testkit::NetPageRecorder page_;
};

TEST_F(ProgressTest, InstallReportsThinToStepsOfTwoAndCarryTheItemIndex) {
  Zentrava::Network::SetCurrentItemIndex(4);
  for (int percent : {0, 1, 2, 3}) {
    DownloadProgress p = Record(percent);
    EXPECT_TRUE(InstallProgress(&p));
  }
  using R = std::tuple<int, int, bool>;
  EXPECT_EQ((std::vector<R>{R(0, 4, true), R(2, 4, true)}), Reports());
}

TEST_F(ProgressTest, ZeroIsDroppedOnlyWhenItRepeatsTheLastReport) {
  Zentrava::Network::SetCurrentItemIndex(3);
  DownloadProgress zero = Record(0), failed = Record(0, false);
  InstallProgress(&zero);
  InstallProgress(&zero);    // the first chunks of a large file
  InstallProgress(&failed);  // a failure is news
  InstallProgress(&failed);  // even when a retry fails just the same
  InstallProgress(&zero);    // so is the next download's start
  Zentrava::Network::SetCurrentItemIndex(5);
  InstallProgress(&zero);  // and another item's
  UpdateProgress(&failed);
  UpdateProgress(&failed);
  using R = std::tuple<int, int, bool>;
  EXPECT_EQ((std::vector<R>{R(0, 3, true), R(0, 3, false), R(0, 3, false), R(0, 3, true),
                            R(0, 5, true), R(0, -1, false), R(0, -1, false)}),
            Reports());
  EXPECT_TRUE(InstallProgress(nullptr));
}

TEST_F(ProgressTest, NegativeAfterPositiveReachesThePageAsHundred) {
  Zentrava::Network::SetCurrentItemIndex(1);
  for (int percent : {40, -1}) {
    DownloadProgress p = Record(percent);
    InstallProgress(&p);
  }
  using R = std::tuple<int, int, bool>;
  EXPECT_EQ((std::vector<R>{R(40, 1, true), R(100, 1, true)}), Reports());
}

TEST_F(ProgressTest, TheEndOfADownloadIsNeverThinnedAway) {
  Zentrava::Network::SetCurrentItemIndex(2);
  struct Step {
    int percent;
    bool ok;
  } steps[] = {{97, true}, {98, true}, {99, true}, {100, true}, {100, true}, {99, false}};
  for (const Step& s : steps) {
    DownloadProgress p = Record(s.percent, s.ok);
    InstallProgress(&p);
  }
  using R = std::tuple<int, int, bool>;
  EXPECT_EQ((std::vector<R>{R(97, 2, true), R(99, 2, true), R(100, 2, true), R(99, 2, false)}),
            Reports());
}

TEST_F(ProgressTest, UpdateReportsUseIndexMinusOne) {
  Zentrava::Network::SetCurrentItemIndex(7);  // not the update's
  for (int percent : {0, 1, 2, 3, 50}) {
    DownloadProgress p = Record(percent);
    EXPECT_TRUE(UpdateProgress(&p));
  }
  DownloadProgress failed = Record(0, false);
  UpdateProgress(&failed);
  using R = std::tuple<int, int, bool>;
  EXPECT_EQ((std::vector<R>{R(0, -1, true), R(2, -1, true), R(50, -1, true), R(0, -1, false)}),
            Reports());
  EXPECT_TRUE(UpdateProgress(nullptr));
}

}  // namespace
