// The hosts file's text and the search for lines that map a host name to an
// address. A line is found by the line pattern
//   "\n[\s\d\.]+" H "\s*(\n|#.+\s\n)"
// (ECMAScript, case-insensitive, H literal), with exactly the matches and
// replacements a backtracking regular-expression engine gives, but computed
// in time linear in the text and without recursion, so that any hosts file,
// however large or hostile, is searched safely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Zentrava {
namespace Assistant {

class HostsText {
 public:
  HostsText() = default;
  explicit HostsText(std::string text) { Assign(std::move(text)); }

  void Assign(std::string text);
  const std::string& text() const { return text_; }

  // Whether the line pattern for `host` matches anywhere (regex_search).
  bool Contains(const std::string& host) const;
  // Replaces every match of the line pattern by a single "\n", leftmost
  // first and without overlap (regex_replace). Returns whether anything was
  // replaced. An empty host name matches nothing.
  bool RemoveAll(const std::string& host);

  struct Match {
    size_t begin;
    size_t end;
  };
  // All matches, in order, as the replacement walks them.
  std::vector<Match> Matches(const std::string& host) const;

 private:
  struct RunEnd;
  class Search;
  void BuildIndex() const;

  std::string text_;
  // Per-text index of the places a host name can follow an address column:
  // ends of runs of address characters that contain a line break, hashed by
  // the lower-cased name that follows. Built on first use.
  mutable bool indexed_ = false;
  mutable std::vector<RunEnd> runEnds_;
  mutable std::vector<uint32_t> buckets_;
  mutable std::vector<uint32_t> chain_;
};

struct HostsText::RunEnd {
  uint32_t end;       // first position after the run: where the name starts
  uint32_t begin;     // first position of the run
  uint32_t firstNl;   // first line break in the run
  uint32_t nameLength;
  uint64_t hash;
};

}  // namespace Assistant
}  // namespace Zentrava
