// The page and every file it refers to are resources of the program, under
// the type and name that res:// derives from the page's relative URLs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct Resource {
  const void* data = nullptr;
  DWORD size = 0;
};

bool Find(LPCWSTR name, LPCWSTR type, Resource* out) {
  HRSRC info = FindResourceW(nullptr, name, type);
  if (!info) return false;
  HGLOBAL loaded = LoadResource(nullptr, info);
  if (!loaded) return false;
  out->data = LockResource(loaded);
  out->size = SizeofResource(nullptr, info);
  return out->data != nullptr;
}

std::string Text(const Resource& r) {
  return std::string(static_cast<const char*>(r.data), r.size);
}

TEST(PageResources, HtmlIsResource200InUtf8WithByteOrderMark) {
  Resource html;
  ASSERT_TRUE(Find(MAKEINTRESOURCEW(200), RT_HTML, &html));
  const std::string text = Text(html);
  ASSERT_GE(text.size(), 3u);
  EXPECT_EQ("\xEF\xBB\xBF", text.substr(0, 3));
  EXPECT_NE(std::string::npos, text.find("X-UA-Compatible"));
  EXPECT_NE(std::string::npos, text.find("id=\"ui_title\""));
  EXPECT_NE(std::string::npos, text.find("id=\"ui_quit\""));
}

TEST(PageResources, FilesAreFoundByFolderAndFileName) {
  struct Case { LPCWSTR type; LPCWSTR name; };
  const Case cases[] = {
      {L"CSS", L"MAIN.CSS"},        {L"CSS", L"HUADONG.CSS"},      {L"CSS", L"MAIN.JS"},
      {L"JS", L"JQUERY.MIN.JS"},    {L"JS", L"JQUERY.JSON.JS"},    {L"JS", L"ZENTRAVA.JS"},
      {L"IMAGES", L"CLOSE.PNG"},    {L"IMAGES", L"HIDE.PNG"},      {L"IMAGES", L"PROGRESS1.PNG"},
      {L"IMAGES", L"PROGRESS2.PNG"}, {L"IMAGES", L"PROGRESS3.PNG"}, {L"IMAGES", L"PROGRESS4.PNG"},
      {L"IMAGES", L"LOADING.GIF"},  {L"IMAGES", L"SCANNING.GIF"},
  };
  for (const Case& c : cases) {
    Resource r;
    EXPECT_TRUE(Find(c.name, c.type, &r)) << "missing";
    EXPECT_GT(r.size, 0u);
  }
}

TEST(PageResources, PicturesAndScriptsHoldWhatTheirNamesSay) {
  Resource png, gif, jquery, page;
  ASSERT_TRUE(Find(L"CLOSE.PNG", L"IMAGES", &png));
  EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n", 8), Text(png).substr(0, 8));
  ASSERT_TRUE(Find(L"LOADING.GIF", L"IMAGES", &gif));
  EXPECT_EQ("GIF89a", Text(gif).substr(0, 6));
  ASSERT_TRUE(Find(L"JQUERY.MIN.JS", L"JS", &jquery));
  EXPECT_NE(std::string::npos, Text(jquery).find("jQuery v1.12"));
  ASSERT_TRUE(Find(L"ZENTRAVA.JS", L"JS", &page));
  EXPECT_NE(std::string::npos, Text(page).find("function setItemInfo("));
}

// res:// upper-cases what the page names; a name that is not stored in
// capitals under the folder's type would never be found.
TEST(PageResources, LookupIgnoresCaseButNotTheType) {
  Resource r;
  EXPECT_TRUE(Find(L"main.css", L"css", &r));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(Find(L"MAIN.CSS", L"JS", &r));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
  EXPECT_FALSE(Find(L"MISSING.PNG", L"IMAGES", &r));
}

}  // namespace
