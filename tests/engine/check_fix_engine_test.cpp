// The engine's run rules over a scripted class: what a type check, a type fix
// and an item detection call, in which order, and what they return.
#include "engine/check_fix.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "support/wow64.h"

namespace za = Zentrava::Assistant;

namespace {

// Answers each call from a script and records the calls in order.
class ScriptedCheckFix : public za::ICheckFix {
 public:
  int32_t begin = 2, end = 2, beginFix = 2, endFix = 2;
  std::deque<int32_t> checks, fixes;
  std::vector<std::string> calls;

  int32_t BeginCheck() override { return Record("BeginCheck", begin); }
  int32_t Check(za::ConfigEntry& entry) override {
    calls.push_back("Check " + entry.text);
    return Next(&checks);
  }
  int32_t EndCheck() override { return Record("EndCheck", end); }
  int32_t BeginFix() override { return Record("BeginFix", beginFix); }
  int32_t Fix(za::ConfigEntry& entry) override {
    calls.push_back("Fix " + entry.text);
    return Next(&fixes);
  }
  int32_t EndFix() override { return Record("EndFix", endFix); }

 private:
  int32_t Record(const char* name, int32_t result) {
    calls.push_back(name);
    return result;
  }
  static int32_t Next(std::deque<int32_t>* script) {
    if (script->empty()) return 2;
    int32_t result = script->front();
    script->pop_front();
    return result;
  }
};

za::ConfigEntry Entry(const std::string& text, const std::string& dtype = "",
                      const std::string& bit = "") {
  za::ConfigEntry entry;
  entry.text = text;
  entry.attributes.Set("dtype", dtype);
  entry.attributes.Set("bit", bit);
  return entry;
}

za::ConfigType Type(const std::string& name, int count) {
  za::ConfigType type;
  type.name = name;
  for (int i = 0; i < count; ++i) type.entries.push_back(Entry("e" + std::to_string(i)));
  return type;
}

std::vector<int32_t> States(const za::ConfigType& type) {
  std::vector<int32_t> states;
  for (const za::ConfigEntry& entry : type.entries) states.push_back(entry.state);
  return states;
}

// Installs scripted classes under test type names for the fixture's life.
class EngineRunTest : public ::testing::Test {
 protected:
  ScriptedCheckFix* Install(const std::string& name) {
    auto scripted = std::make_unique<ScriptedCheckFix>();
    ScriptedCheckFix* raw = scripted.get();
    installed_.push_back(name);
    previous_.push_back(za::CheckFixFactory::Instance().Install(name, std::move(scripted)));
    return raw;
  }
  void TearDown() override {
    for (size_t i = installed_.size(); i-- > 0;)
      za::CheckFixFactory::Instance().Install(installed_[i], std::move(previous_[i]));
    za::SetNativeArchitectureProbe(nullptr);
  }

 private:
  std::vector<std::string> installed_;
  std::vector<std::unique_ptr<za::ICheckFix>> previous_;
};

}  // namespace

TEST(CheckFixFactoryTest, OneSharedInstancePerClassOfThisBuild) {
  const char* names[] = {"registry", "clsid", "file", "service", "host", "dns", "url"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    za::ICheckFix* first = za::GetCheckFix(name);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, za::GetCheckFix(name));
  }
  EXPECT_EQ(nullptr, za::GetCheckFix("Registry"));
  EXPECT_EQ(nullptr, za::GetCheckFix("level"));
  EXPECT_EQ(nullptr, za::GetCheckFix(""));
}

TEST_F(EngineRunTest, CheckRunWithoutStoppingChecksAllAndReturnsTheLastFailure) {
  ScriptedCheckFix* scripted = Install("scripted");
  scripted->checks = {2, -2, 2, -1};
  za::ConfigType type = Type("scripted", 4);
  for (auto& entry : type.entries) entry.state = 7;
  EXPECT_EQ(-1, za::RunTypeCheck(type, false));
  EXPECT_EQ((std::vector<int32_t>{2, -2, 2, -1}), States(type));
  EXPECT_EQ((std::vector<std::string>{"BeginCheck", "Check e0", "Check e1", "Check e2", "Check e3"}),
            scripted->calls);
}

TEST_F(EngineRunTest, CheckRunStoppingLeavesTheRestNotRun) {
  ScriptedCheckFix* scripted = Install("scripted");
  scripted->checks = {2, -2, 2, -1};
  za::ConfigType type = Type("scripted", 4);
  for (auto& entry : type.entries) entry.state = 7;
  EXPECT_EQ(-2, za::RunTypeCheck(type, true));
  EXPECT_EQ((std::vector<int32_t>{2, -2, 0, 0}), States(type));
  EXPECT_EQ(3u, scripted->calls.size());

  // The fix after it repairs what did not pass and stops at the first refusal.
  scripted->calls.clear();
  scripted->fixes = {2, -1, 2};
  EXPECT_EQ(-1, za::RunTypeFix(type));
  EXPECT_EQ((std::vector<int32_t>{2, 2, -1, 0}), States(type));
  EXPECT_EQ((std::vector<std::string>{"BeginFix", "Fix e1", "Fix e2"}), scripted->calls);
}

TEST_F(EngineRunTest, CheckRunOutcomesFromBeginAndEnd) {
  struct Case {
    int32_t begin, end;
    std::vector<int32_t> checks;
    int entries;
    int32_t expected;
  } cases[] = {
      {2, 2, {}, 0, 2},         // nothing configured: the whole-system answer
      {-2, 2, {}, 0, -2},       // begin fails: entries untouched
      {2, -4, {}, 0, -4},       // end decides
      {2, 2, {-1}, 1, -1},      // a class without per-entry checks
      {2, 2, {1, 2}, 2, 1},     // something differs
      {2, -2, {1, 2}, 2, -2},   // end's failure wins over a difference
  };
  for (const Case& c : cases) {
    ScriptedCheckFix* scripted = Install("scripted");
    scripted->begin = c.begin;
    scripted->end = c.end;
    scripted->checks.assign(c.checks.begin(), c.checks.end());
    za::ConfigType type = Type("scripted", c.entries);
    for (auto& entry : type.entries) entry.state = 9;
    EXPECT_EQ(c.expected, za::RunTypeCheck(type, false));
    if (c.begin != 2) {
      EXPECT_EQ(std::vector<int32_t>(c.entries, 9), States(type));
    }
  }
}

TEST_F(EngineRunTest, FixRunSkipsPassedEntriesAndReturnsEndFix) {
  ScriptedCheckFix* scripted = Install("scripted");
  scripted->endFix = -2;
  za::ConfigType type = Type("scripted", 3);
  type.entries[0].state = 2;
  type.entries[1].state = 0;
  type.entries[2].state = -2;
  EXPECT_EQ(-2, za::RunTypeFix(type));
  EXPECT_EQ((std::vector<std::string>{"BeginFix", "Fix e1", "Fix e2", "EndFix"}), scripted->calls);

  scripted->calls.clear();
  scripted->beginFix = -2;
  EXPECT_EQ(-2, za::RunTypeFix(type));
  EXPECT_EQ((std::vector<std::string>{"BeginFix"}), scripted->calls);
}

TEST_F(EngineRunTest, TypesWithoutAClassGiveZero) {
  za::ConfigType type = Type("level", 2);
  EXPECT_EQ(0, za::RunTypeCheck(type, false));
  EXPECT_EQ(0, za::RunTypeFix(type));
}

TEST_F(EngineRunTest, DetectionCombinesEntries) {
  ScriptedCheckFix* a = Install("scripted-a");
  ScriptedCheckFix* b = Install("scripted-b");
  struct Case {
    std::vector<int32_t> checksA;
    int32_t endB;
    bool stop;
    int32_t expected;
  } cases[] = {
      {{2, 2}, 2, false, 2},
      {{1, 2}, 2, false, 1},
      {{-2, -3}, 2, false, -3},  // the last error
      {{-2, -3}, 2, true, -2},   // the first, when stopping
      {{2, 2}, -2, false, -2},   // EndCheck of b fails
  };
  for (const Case& c : cases) {
    a->checks.assign(c.checksA.begin(), c.checksA.end());
    b->end = c.endB;
    za::ConfigItem item;
    item.detect = {Entry("1", "scripted-a"), Entry("2", "scripted-b"), Entry("3", "scripted-a")};
    EXPECT_EQ(c.expected, za::DetectItem(item, c.stop));
  }
  za::ConfigItem empty;
  EXPECT_EQ(2, za::DetectItem(empty, false));
}

TEST_F(EngineRunTest, DetectionStopsAtAnUnknownType) {
  ScriptedCheckFix* a = Install("scripted-a");
  for (const char* dtype : {"", "nonesuch"}) {
    a->checks = {-2};
    za::ConfigItem item;
    item.detect = {Entry("1", "scripted-a"), Entry("2", dtype), Entry("3", "scripted-a")};
    a->calls.clear();
    EXPECT_EQ(-5, za::DetectItem(item, false));
    EXPECT_EQ(2u, a->calls.size());  // BeginCheck and Check of the first entry only
  }
}

TEST_F(EngineRunTest, DetectionEndCheckOnlyAfterAPassOrDifference) {
  ScriptedCheckFix* a = Install("scripted-a");
  a->checks = {-2};
  za::ConfigItem item;
  item.detect = {Entry("1", "scripted-a")};
  EXPECT_EQ(-2, za::DetectItem(item, false));
  EXPECT_EQ((std::vector<std::string>{"BeginCheck", "Check 1"}), a->calls);
  EXPECT_EQ(-2, item.detect[0].state);
}

TEST_F(EngineRunTest, PlatformDetectionLeavesOut64BitEntriesOutsideWow64) {
  ASSERT_FALSE(Zentrava::IsWow64()) << "a 64-bit test process never runs under WOW64";
  ScriptedCheckFix* a = Install("scripted-a");
  za::ConfigItem item;
  item.detect = {Entry("native", "scripted-a", "64"), Entry("one", "scripted-a", "1"),
                 Entry("plain", "scripted-a")};
  a->checks = {2, 2};
  EXPECT_EQ(2, za::DetectItemForPlatform(item));
  EXPECT_EQ((std::vector<std::string>{"BeginCheck", "Check one", "EndCheck", "BeginCheck",
                                      "Check plain", "EndCheck"}),
            a->calls);
  // Never stops: both failures are seen, the last one is returned.
  a->calls.clear();
  a->checks = {-2, -3};
  EXPECT_EQ(-3, za::DetectItemForPlatform(item));
}

TEST_F(EngineRunTest, EntryLevelBitRuleFollowsTheProcessor) {
  za::ConfigEntry marked = Entry("x", "", "1");
  za::ConfigEntry plain = Entry("x");
  EXPECT_FALSE(za::SkipsOnThisProcessor(marked));  // AMD64 here
  za::SetNativeArchitectureProbe([]() -> WORD { return PROCESSOR_ARCHITECTURE_INTEL; });
  EXPECT_TRUE(za::SkipsOnThisProcessor(marked));
  EXPECT_FALSE(za::SkipsOnThisProcessor(plain));
  za::SetNativeArchitectureProbe([]() -> WORD { return PROCESSOR_ARCHITECTURE_IA64; });
  EXPECT_FALSE(za::SkipsOnThisProcessor(marked));
}

TEST(Wow64EntryGuardTest, InactiveOutsideWow64) {
  za::ConfigEntry entry = Entry("x", "", "64");
  za::Wow64EntryGuard guard(entry);
  EXPECT_FALSE(guard.Uses64BitView());
  EXPECT_EQ(0u, guard.RegistryViewFlag());
}
