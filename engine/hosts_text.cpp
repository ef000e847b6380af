#include "engine/hosts_text.h"

#include <cstring>

namespace Zentrava {
namespace Assistant {

namespace {

constexpr size_t kNone = std::string::npos;
constexpr uint32_t kNoEntry = 0xFFFFFFFFu;

// The character classes of the pattern as the C locale defines them.
inline bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
// "[\s\d\.]": the address column.
inline bool IsAddressChar(unsigned char c) { return IsSpace(c) || (c >= '0' && c <= '9') || c == '.'; }
inline unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

uint64_t HashLower(const char* bytes, size_t size) {
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i < size; ++i) {
    hash ^= Lower(static_cast<unsigned char>(bytes[i]));
    hash *= 1099511628211ull;
  }
  return hash;
}

bool EqualsLowered(const char* text, const std::string& lowered, size_t offset, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (Lower(static_cast<unsigned char>(text[i])) !=
        static_cast<unsigned char>(lowered[offset + i]))
      return false;
  }
  return true;
}

}  // namespace

// One search for one host name over the current text. The leftmost match is
// the one a backtracking engine finds: the first line break from which the
// pattern matches; for that start the longest address column (the last
// place in the run of address characters where the name and the line's tail
// match); for that place the tail that the greedy "\s*" and ".+" prefer.
class HostsText::Search {
 public:
  Search(const HostsText& owner, const std::string& host)
      : owner_(owner), text_(owner.text_), n_(owner.text_.size()) {
    host_.reserve(host.size());
    for (char c : host) host_.push_back(static_cast<char>(Lower(static_cast<unsigned char>(c))));
    PrepareIndexedSearch();
    if (!indexed_) PrepareGenericSearch();
  }

  bool Next(size_t from, Match* match) {
    if (host_.empty()) return false;
    return indexed_ ? NextIndexed(from, match) : NextGeneric(from, match);
  }

 private:
  // The name matched at `q` (just after the host name): optional whitespace,
  // then a line break, or a comment running to a whitespace character right
  // before a line break. Returns the end of the match, or kNone.
  size_t TailEnd(size_t q) {
    size_t end, lastNl;
    if (spaceValid_ && q >= spaceBegin_ && q <= spaceEnd_) {
      end = spaceEnd_;
      lastNl = spaceLastNl_;
    } else {
      end = q;
      lastNl = kNone;
      while (end < n_ && IsSpace(At(end))) {
        if (At(end) == '\n') lastNl = end;
        ++end;
      }
      spaceValid_ = true;
      spaceBegin_ = q;
      spaceEnd_ = end;
      spaceLastNl_ = lastNl;
    }
    // The greedy "\s*" takes the whole run first; only there can "#" follow.
    if (end < n_ && At(end) == '#') {
      size_t comment = CommentEnd(end);
      if (comment != kNone) return comment;
    }
    // Giving back whitespace, the first fit is the run's last line break.
    if (lastNl != kNone && lastNl >= q) return lastNl + 1;
    return kNone;
  }

  // "#.+\s\n" at `hash`. ".+" stops before a line feed or carriage return.
  size_t CommentEnd(size_t hash) {
    if (commentAt_ == hash) return commentEnd_;
    size_t lineEnd = hash + 1;
    while (lineEnd < n_ && At(lineEnd) != '\n' && At(lineEnd) != '\r') ++lineEnd;
    size_t result = kNone;
    if (lineEnd > hash + 1) {
      if (lineEnd + 1 < n_ && At(lineEnd + 1) == '\n') {
        // ".+" to the line end, the line end itself as "\s", then a "\n".
        result = lineEnd + 2;
      } else if (lineEnd < n_ && At(lineEnd) == '\n' && lineEnd >= hash + 3 &&
                 IsSpace(At(lineEnd - 1))) {
        result = lineEnd + 1;
      }
    }
    commentAt_ = hash;
    commentEnd_ = result;
    return result;
  }

  unsigned char At(size_t i) const { return static_cast<unsigned char>(text_[i]); }

  // A name without whitespace or "#" that has a character outside the
  // address column can only start where a run of address characters ends,
  // less the name's own leading address characters: those places are
  // indexed by the text that follows them.
  void PrepareIndexedSearch() {
    if (host_.empty() || n_ >= 0xFFFFFFF0u) return;
    for (char c : host_) {
      if (IsSpace(static_cast<unsigned char>(c)) || c == '#') return;
    }
    prefix_ = 0;
    while (prefix_ < host_.size() && IsAddressChar(static_cast<unsigned char>(host_[prefix_])))
      ++prefix_;
    if (prefix_ == host_.size()) return;
    owner_.BuildIndex();
    indexed_ = true;
    nameLength_ = host_.size() - prefix_;
    nameHash_ = HashLower(host_.data() + prefix_, nameLength_);
    cursor_ = owner_.buckets_.empty()
                  ? kNoEntry
                  : owner_.buckets_[nameHash_ & (owner_.buckets_.size() - 1)];
  }

  bool NextIndexed(size_t from, Match* match) {
    for (; cursor_ != kNoEntry; cursor_ = owner_.chain_[cursor_]) {
      const RunEnd& run = owner_.runEnds_[cursor_];
      if (run.hash != nameHash_ || run.nameLength != nameLength_) continue;
      size_t nameStart = run.end;
      if (nameStart < prefix_) continue;
      size_t p = nameStart - prefix_;
      // At least one address character between the line break and the name.
      if (p < from + 2 || p <= run.begin) continue;
      if (!EqualsLowered(text_.data() + nameStart, host_, prefix_, nameLength_)) continue;
      if (prefix_ && std::memcmp(text_.data() + p, host_.data(), prefix_) != 0) continue;

      size_t start = kNone;
      if (run.firstNl >= from) {
        start = run.firstNl;
      } else {
        const void* nl = std::memchr(text_.data() + from, '\n', p - 1 - from);
        if (nl) start = static_cast<const char*>(nl) - text_.data();
      }
      if (start == kNone || start + 2 > p) continue;
      size_t end = TailEnd(nameStart + nameLength_);
      if (end == kNone) continue;
      match->begin = start;
      match->end = end;
      cursor_ = owner_.chain_[cursor_];
      return true;
    }
    return false;
  }

  void PrepareGenericSearch() {
    failure_.assign(host_.size(), 0);
    for (size_t i = 1, k = 0; i < host_.size(); ++i) {
      while (k > 0 && host_[i] != host_[k]) k = failure_[k - 1];
      if (host_[i] == host_[k]) ++k;
      failure_[i] = k;
    }
  }

  // Every occurrence of the name, in order, with the run of address
  // characters in front of it tracked alongside. Occurrences inside one run
  // share their start (its first line break); the last one whose tail fits
  // gives the match, as the greedy address column prefers it.
  bool NextGeneric(size_t from, Match* match) {
    const size_t m = host_.size();
    size_t scan = from, runStart = from, nl = kNone;
    bool found = false;
    size_t foundRun = 0, foundStart = 0, foundEnd = 0;
    size_t k = 0;
    for (size_t i = from; i < n_; ++i) {
      char c = static_cast<char>(Lower(At(i)));
      while (k > 0 && c != host_[k]) k = failure_[k - 1];
      if (c == host_[k]) ++k;
      if (k < m) continue;
      k = failure_[k - 1];
      size_t p = i + 1 - m;
      for (; scan < p; ++scan) {
        unsigned char s = At(scan);
        if (!IsAddressChar(s)) {
          runStart = scan + 1;
          nl = kNone;
        } else if (s == '\n' && nl == kNone) {
          nl = scan;
        }
      }
      if (found && runStart != foundRun) break;
      if (nl != kNone && nl + 2 <= p) {
        size_t end = TailEnd(p + m);
        if (end != kNone) {
          if (!found) {
            found = true;
            foundRun = runStart;
            foundStart = nl;
          }
          foundEnd = end;
        }
      }
    }
    if (!found) return false;
    match->begin = foundStart;
    match->end = foundEnd;
    return true;
  }

  const HostsText& owner_;
  const std::string& text_;
  const size_t n_;
  std::string host_;

  bool indexed_ = false;
  size_t prefix_ = 0;
  size_t nameLength_ = 0;
  uint64_t nameHash_ = 0;
  uint32_t cursor_ = kNoEntry;

  std::vector<size_t> failure_;

  bool spaceValid_ = false;
  size_t spaceBegin_ = 0, spaceEnd_ = 0, spaceLastNl_ = kNone;
  size_t commentAt_ = kNone, commentEnd_ = kNone;
};

void HostsText::Assign(std::string text) {
  text_ = std::move(text);
  indexed_ = false;
  runEnds_.clear();
  buckets_.clear();
  chain_.clear();
}

void HostsText::BuildIndex() const {
  if (indexed_) return;
  runEnds_.clear();
  const size_t n = text_.size();
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text_.data());
  size_t i = 0;
  while (i < n) {
    if (!IsAddressChar(t[i])) {
      ++i;
      continue;
    }
    size_t begin = i, firstNl = kNone;
    while (i < n && IsAddressChar(t[i])) {
      if (t[i] == '\n' && firstNl == kNone) firstNl = i;
      ++i;
    }
    if (firstNl == kNone || i >= n || t[i] == '#') continue;
    size_t nameEnd = i;
    while (nameEnd < n && !IsSpace(t[nameEnd]) && t[nameEnd] != '#') ++nameEnd;
    RunEnd run;
    run.end = static_cast<uint32_t>(i);
    run.begin = static_cast<uint32_t>(begin);
    run.firstNl = static_cast<uint32_t>(firstNl);
    run.nameLength = static_cast<uint32_t>(nameEnd - i);
    run.hash = HashLower(text_.data() + i, nameEnd - i);
    runEnds_.push_back(run);
    // Not past the name: a run that starts at a digit inside it is a run
    // of its own.
  }
  size_t size = 16;
  while (size < runEnds_.size() * 2) size *= 2;
  buckets_.assign(size, kNoEntry);
  chain_.assign(runEnds_.size(), kNoEntry);
  // Filled from the back so that every chain lists its runs in text order.
  for (size_t idx = runEnds_.size(); idx-- > 0;) {
    uint32_t& head = buckets_[runEnds_[idx].hash & (size - 1)];
    chain_[idx] = head;
    head = static_cast<uint32_t>(idx);
  }
  indexed_ = true;
}

bool HostsText::Contains(const std::string& host) const {
  Search search(*this, host);
  Match match;
  return search.Next(0, &match);
}

std::vector<HostsText::Match> HostsText::Matches(const std::string& host) const {
  std::vector<Match> matches;
  Search search(*this, host);
  Match match;
  size_t from = 0;
  while (search.Next(from, &match)) {
    matches.push_back(match);
    from = match.end;
  }
  return matches;
}

bool HostsText::RemoveAll(const std::string& host) {
  std::vector<Match> matches = Matches(host);
  if (matches.empty()) return false;
  std::string result;
  result.reserve(text_.size());
  size_t pos = 0;
  for (const Match& match : matches) {
    result.append(text_, pos, match.begin - pos);
    result.push_back('\n');
    pos = match.end;
  }
  result.append(text_, pos, std::string::npos);
  Assign(std::move(result));
  return true;
}

}  // namespace Assistant
}  // namespace Zentrava
