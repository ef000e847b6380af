#include "support/markup_document.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <unordered_map>

namespace Zentrava {
namespace {

// The HTML 4 named character references and XML's "apos", sorted by bytes so
// that a binary search can find them.
struct NamedEntity {
  const char* name;
  uint32_t code;
};
constexpr NamedEntity kNamedEntities[] = {
    {"AElig", 198}, {"Aacute", 193}, {"Acirc", 194}, {"Agrave", 192}, {"Alpha", 913},
    {"Aring", 197}, {"Atilde", 195}, {"Auml", 196}, {"Beta", 914}, {"Ccedil", 199},
    {"Chi", 935}, {"Dagger", 8225}, {"Delta", 916}, {"ETH", 208}, {"Eacute", 201},
    {"Ecirc", 202}, {"Egrave", 200}, {"Epsilon", 917}, {"Eta", 919}, {"Euml", 203},
    {"Gamma", 915}, {"Iacute", 205}, {"Icirc", 206}, {"Igrave", 204}, {"Iota", 921},
    {"Iuml", 207}, {"Kappa", 922}, {"Lambda", 923}, {"Mu", 924}, {"Ntilde", 209},
    {"Nu", 925}, {"OElig", 338}, {"Oacute", 211}, {"Ocirc", 212}, {"Ograve", 210},
    {"Omega", 937}, {"Omicron", 927}, {"Oslash", 216}, {"Otilde", 213}, {"Ouml", 214},
    {"Phi", 934}, {"Pi", 928}, {"Prime", 8243}, {"Psi", 936}, {"Rho", 929},
    {"Scaron", 352}, {"Sigma", 931}, {"THORN", 222}, {"Tau", 932}, {"Theta", 920},
    {"Uacute", 218}, {"Ucirc", 219}, {"Ugrave", 217}, {"Upsilon", 933}, {"Uuml", 220},
    {"Xi", 926}, {"Yacute", 221}, {"Yuml", 376}, {"Zeta", 918}, {"aacute", 225},
    {"acirc", 226}, {"acute", 180}, {"aelig", 230}, {"agrave", 224}, {"alefsym", 8501},
    {"alpha", 945}, {"amp", 38}, {"and", 8743}, {"ang", 8736}, {"apos", 39},
    {"aring", 229}, {"asymp", 8776}, {"atilde", 227}, {"auml", 228}, {"bdquo", 8222},
    {"beta", 946}, {"brvbar", 166}, {"bull", 8226}, {"cap", 8745}, {"ccedil", 231},
    {"cedil", 184}, {"cent", 162}, {"chi", 967}, {"circ", 710}, {"clubs", 9827},
    {"cong", 8773}, {"copy", 169}, {"crarr", 8629}, {"cup", 8746}, {"curren", 164},
    {"dArr", 8659}, {"dagger", 8224}, {"darr", 8595}, {"deg", 176}, {"delta", 948},
    {"diams", 9830}, {"divide", 247}, {"eacute", 233}, {"ecirc", 234}, {"egrave", 232},
    {"empty", 8709}, {"emsp", 8195}, {"ensp", 8194}, {"epsilon", 949}, {"equiv", 8801},
    {"eta", 951}, {"eth", 240}, {"euml", 235}, {"euro", 8364}, {"exist", 8707},
    {"fnof", 402}, {"forall", 8704}, {"frac12", 189}, {"frac14", 188}, {"frac34", 190},
    {"frasl", 8260}, {"gamma", 947}, {"ge", 8805}, {"gt", 62}, {"hArr", 8660},
    {"harr", 8596}, {"hearts", 9829}, {"hellip", 8230}, {"iacute", 237}, {"icirc", 238},
    {"iexcl", 161}, {"igrave", 236}, {"image", 8465}, {"infin", 8734}, {"int", 8747},
    {"iota", 953}, {"iquest", 191}, {"isin", 8712}, {"iuml", 239}, {"kappa", 954},
    {"lArr", 8656}, {"lambda", 955}, {"lang", 9001}, {"laquo", 171}, {"larr", 8592},
    {"lceil", 8968}, {"ldquo", 8220}, {"le", 8804}, {"lfloor", 8970}, {"lowast", 8727},
    {"loz", 9674}, {"lrm", 8206}, {"lsaquo", 8249}, {"lsquo", 8216}, {"lt", 60},
    {"macr", 175}, {"mdash", 8212}, {"micro", 181}, {"middot", 183}, {"minus", 8722},
    {"mu", 956}, {"nabla", 8711}, {"nbsp", 160}, {"ndash", 8211}, {"ne", 8800},
    {"ni", 8715}, {"not", 172}, {"notin", 8713}, {"nsub", 8836}, {"ntilde", 241},
    {"nu", 957}, {"oacute", 243}, {"ocirc", 244}, {"oelig", 339}, {"ograve", 242},
    {"oline", 8254}, {"omega", 969}, {"omicron", 959}, {"oplus", 8853}, {"or", 8744},
    {"ordf", 170}, {"ordm", 186}, {"oslash", 248}, {"otilde", 245}, {"otimes", 8855},
    {"ouml", 246}, {"para", 182}, {"part", 8706}, {"permil", 8240}, {"perp", 8869},
    {"phi", 966}, {"pi", 960}, {"piv", 982}, {"plusmn", 177}, {"pound", 163},
    {"prime", 8242}, {"prod", 8719}, {"prop", 8733}, {"psi", 968}, {"quot", 34},
    {"rArr", 8658}, {"radic", 8730}, {"rang", 9002}, {"raquo", 187}, {"rarr", 8594},
    {"rceil", 8969}, {"rdquo", 8221}, {"real", 8476}, {"reg", 174}, {"rfloor", 8971},
    {"rho", 961}, {"rlm", 8207}, {"rsaquo", 8250}, {"rsquo", 8217}, {"sbquo", 8218},
    {"scaron", 353}, {"sdot", 8901}, {"sect", 167}, {"shy", 173}, {"sigma", 963},
    {"sigmaf", 962}, {"sim", 8764}, {"spades", 9824}, {"sub", 8834}, {"sube", 8838},
    {"sum", 8721}, {"sup", 8835}, {"sup1", 185}, {"sup2", 178}, {"sup3", 179},
    {"supe", 8839}, {"szlig", 223}, {"tau", 964}, {"there4", 8756}, {"theta", 952},
    {"thetasym", 977}, {"thinsp", 8201}, {"thorn", 254}, {"tilde", 732}, {"times", 215},
    {"trade", 8482}, {"uArr", 8657}, {"uacute", 250}, {"uarr", 8593}, {"ucirc", 251},
    {"ugrave", 249}, {"uml", 168}, {"upsih", 978}, {"upsilon", 965}, {"uuml", 252},
    {"weierp", 8472}, {"xi", 958}, {"yacute", 253}, {"yen", 165}, {"yuml", 255},
    {"zeta", 950}, {"zwj", 8205}, {"zwnj", 8204},
};

// Longest name that can still be a reference ("thetasym" has eight letters).
constexpr size_t kMaxEntityName = 9;
// The log is for diagnosis only; an input made of nothing but faults must not
// turn it into a second, larger copy of the document.
constexpr size_t kMaxResults = 1000;

uint32_t LookupEntity(std::string_view name) {
  const NamedEntity* first = std::begin(kNamedEntities);
  const NamedEntity* last = std::end(kNamedEntities);
  const NamedEntity* it = std::lower_bound(
      first, last, name, [](const NamedEntity& e, std::string_view n) { return n.compare(e.name) > 0; });
  return (it != last && name == it->name) ? it->code : 0;
}

void AppendUtf8(uint32_t code, std::string& out) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "&#123;" or "&#x7B;" at `amp`: appends the character and returns the length
// of the reference, or 0 when it is not a usable one. Surrogates and codes
// beyond U+10FFFF have no UTF-8 form, so they are not references either.
size_t DecodeNumericReference(std::string_view text, size_t amp, std::string& out) {
  size_t p = amp + 2;
  bool hex = p < text.size() && (text[p] == 'x' || text[p] == 'X');
  if (hex) ++p;
  const size_t digits = p;
  uint32_t code = 0;
  bool tooLarge = false;
  for (int d; p < text.size() && (d = DigitValue(text[p], hex)) >= 0; ++p) {
    if (!tooLarge) {
      code = code * (hex ? 16 : 10) + static_cast<uint32_t>(d);
      tooLarge = code > 0x10FFFF;
    }
  }
  if (p == digits || p >= text.size() || text[p] != ';') return 0;
  if (tooLarge || code == 0 || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  AppendUtf8(code, out);
  return p + 1 - amp;
}

// "&name;" at `amp`. The exact name is tried first so that the capital forms
// ("&Eacute;", "&Omega;") keep their case; otherwise the lower-cased name is
// tried, so "&AMP;" or "&Nbsp;" still read as they always have.
size_t DecodeNamedReference(std::string_view text, size_t amp, std::string& out) {
  size_t p = amp + 1;
  const size_t limit = std::min(text.size(), amp + 2 + kMaxEntityName);
  while (p < limit && text[p] != ';') ++p;
  if (p >= limit || p == amp + 1) return 0;
  std::string_view name = text.substr(amp + 1, p - amp - 1);
  uint32_t code = LookupEntity(name);
  if (code == 0) {
    char lower[kMaxEntityName];
    for (size_t i = 0; i < name.size(); ++i) {
      char c = name[i];
      lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    code = LookupEntity(std::string_view(lower, name.size()));
  }
  if (code == 0) return 0;
  AppendUtf8(code, out);
  return p + 1 - amp;
}

inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline bool IsNameStart(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

inline bool EndsName(char c) {
  return IsSpace(c) || c == '/' || c == '>' || c == '<' || c == '=' || c == '"' || c == '\'';
}

size_t NameLengthAt(const char* s, size_t n, size_t p) {
  size_t q = p;
  while (q < n && !EndsName(s[q])) ++q;
  return q - p;
}

// Position of `pattern` in s[from, n), or n.
size_t FindText(const char* s, size_t n, size_t from, std::string_view pattern) {
  if (from >= n) return n;
  size_t at = std::string_view(s + from, n - from).find(pattern);
  return at == std::string_view::npos ? n : from + at;
}

size_t FindChar(const char* s, size_t n, size_t from, char c) {
  if (from >= n) return n;
  const void* at = std::memchr(s + from, c, n - from);
  return at ? static_cast<size_t>(static_cast<const char*>(at) - s) : n;
}

enum class AttrStep { kAttribute, kTagEnd, kEmptyTagEnd, kUnterminated };

struct AttrToken {
  size_t nameBegin = 0;
  size_t nameEnd = 0;
  size_t valueBegin = 0;
  size_t valueEnd = 0;
};

// Reads the next attribute of a start tag from `p` (which it advances), or
// the tag's end. The parser and the attribute getters share it, so both see
// the same attributes. A '<' outside quotes means the tag was never closed;
// `p` then stays on it so that parsing resumes there.
AttrStep NextAttribute(const char* s, size_t n, size_t& p, AttrToken& a) {
  for (;;) {
    while (p < n && IsSpace(s[p])) ++p;
    if (p >= n) return AttrStep::kUnterminated;
    const char c = s[p];
    if (c == '>') {
      ++p;
      return AttrStep::kTagEnd;
    }
    if (c == '<') return AttrStep::kUnterminated;
    if (c != '/') break;
    if (p + 1 < n && s[p + 1] == '>') {
      p += 2;
      return AttrStep::kEmptyTagEnd;
    }
    ++p;  // a stray slash between attributes
  }
  a.nameBegin = p;
  while (p < n && !IsSpace(s[p]) && s[p] != '=' && s[p] != '>' && s[p] != '/' && s[p] != '<') ++p;
  a.nameEnd = p;
  const size_t afterName = p;
  while (p < n && IsSpace(s[p])) ++p;
  if (p >= n || s[p] != '=') {
    p = afterName;
    a.valueBegin = a.valueEnd = afterName;
    return AttrStep::kAttribute;
  }
  ++p;
  while (p < n && IsSpace(s[p])) ++p;
  if (p >= n) return AttrStep::kUnterminated;
  if (s[p] == '"' || s[p] == '\'') {
    const size_t close = FindChar(s, n, p + 1, s[p]);
    if (close >= n) {
      // Whatever follows is inside the value; resuming earlier would rescan
      // it once per stray quote.
      p = n;
      return AttrStep::kUnterminated;
    }
    a.valueBegin = p + 1;
    a.valueEnd = close;
    p = close + 1;
    return AttrStep::kAttribute;
  }
  a.valueBegin = p;
  while (p < n && !IsSpace(s[p]) && s[p] != '>' && s[p] != '<' &&
         !(s[p] == '/' && p + 1 < n && s[p + 1] == '>')) {
    ++p;
  }
  a.valueEnd = p;
  return AttrStep::kAttribute;
}

enum class TokenKind {
  kText,
  kStrayLess,  // '<' that cannot start a tag: kept as text
  kStartTag,
  kEmptyTag,
  kEndTag,
  kBrokenTag,  // start or end tag without its '>'
  kComment,
  kCData,
  kProcessingInstruction,
  kDoctype,
  kDeclaration,
};

struct Token {
  TokenKind kind = TokenKind::kText;
  size_t end = 0;         // always past the token's first byte
  size_t nameLength = 0;  // tags: the name follows "<" or "</"
  const char* problem = nullptr;
};

bool StartsWith(const char* s, size_t n, size_t p, std::string_view prefix) {
  return n - p >= prefix.size() && std::memcmp(s + p, prefix.data(), prefix.size()) == 0;
}

bool StartsWithNoCase(const char* s, size_t n, size_t p, std::string_view prefix) {
  if (n - p < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = s[p + i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

// A document type declaration: quoted literals and an internal subset in
// square brackets (with its comments) may hold '>' that does not end it.
Token ScanDoctype(const char* s, size_t n, size_t pos) {
  Token t{TokenKind::kDoctype, n, 0, "doctype_tag_syntax"};
  bool inSubset = false;
  size_t p = pos + 9;
  while (p < n) {
    const char c = s[p];
    if (c == '"' || c == '\'') {
      p = FindChar(s, n, p + 1, c);
      if (p >= n) return t;
    } else if (!inSubset && c == '[') {
      inSubset = true;
    } else if (!inSubset && c == '>') {
      t.end = p + 1;
      t.problem = nullptr;
      return t;
    } else if (inSubset && c == ']') {
      inSubset = false;
    } else if (inSubset && StartsWith(s, n, p, "<!--")) {
      p = FindText(s, n, p + 4, "-->");
      if (p >= n) return t;
      p += 2;
    }
    ++p;
  }
  return t;
}

// Markup that starts with "<!".
Token ScanExclamation(const char* s, size_t n, size_t pos) {
  if (StartsWith(s, n, pos, "<!--")) {
    const size_t close = FindText(s, n, pos + 4, "-->");
    if (close >= n) return {TokenKind::kComment, n, 0, "comment_tag_syntax"};
    return {TokenKind::kComment, close + 3, 0, nullptr};
  }
  if (StartsWith(s, n, pos, "<![CDATA[")) {
    const size_t close = FindText(s, n, pos + 9, "]]>");
    if (close >= n) return {TokenKind::kCData, n, 0, "cdata_section_syntax"};
    return {TokenKind::kCData, close + 3, 0, nullptr};
  }
  if (StartsWithNoCase(s, n, pos + 2, "DOCTYPE")) return ScanDoctype(s, n, pos);
  size_t p = pos + 2;
  while (p < n && s[p] != '>' && s[p] != '<') ++p;
  if (p >= n || s[p] != '>') return {TokenKind::kDeclaration, p, 0, "exclamation_tag_syntax"};
  return {TokenKind::kDeclaration, p + 1, 0, nullptr};
}

Token ScanEndTag(const char* s, size_t n, size_t pos) {
  Token t{TokenKind::kEndTag, 0, NameLengthAt(s, n, pos + 2), nullptr};
  size_t p = pos + 2 + t.nameLength;
  while (p < n && s[p] != '>' && s[p] != '<') ++p;
  if (p >= n || s[p] != '>') {
    t.kind = TokenKind::kBrokenTag;
    t.end = p;
    t.problem = "unterminated_tag_syntax";
  } else {
    t.end = p + 1;
  }
  return t;
}

Token ScanStartTag(const char* s, size_t n, size_t pos) {
  Token t{TokenKind::kStartTag, 0, NameLengthAt(s, n, pos + 1), nullptr};
  size_t p = pos + 1 + t.nameLength;
  AttrToken a;
  AttrStep step;
  while ((step = NextAttribute(s, n, p, a)) == AttrStep::kAttribute) {
  }
  t.end = p;
  if (step == AttrStep::kEmptyTagEnd) {
    t.kind = TokenKind::kEmptyTag;
  } else if (step == AttrStep::kUnterminated) {
    t.kind = TokenKind::kBrokenTag;
    t.problem = "unterminated_tag_syntax";
  }
  return t;
}

// The token that starts at `pos`. Every construct whose end cannot be found
// runs to the end of the text or stops at the next '<', so that no byte is
// scanned more than a bounded number of times whatever the input.
Token ScanToken(const char* s, size_t n, size_t pos) {
  if (s[pos] != '<') return {TokenKind::kText, FindChar(s, n, pos + 1, '<'), 0, nullptr};
  const char next = pos + 1 < n ? s[pos + 1] : '\0';
  if (pos + 1 < n) {
    if (next == '!') return ScanExclamation(s, n, pos);
    if (next == '?') {
      const size_t close = FindText(s, n, pos + 2, "?>");
      if (close >= n) return {TokenKind::kProcessingInstruction, n, 0, "unterminated_tag_syntax"};
      return {TokenKind::kProcessingInstruction, close + 2, 0, nullptr};
    }
    if (next == '/') return ScanEndTag(s, n, pos);
    if (IsNameStart(next)) return ScanStartTag(s, n, pos);
  }
  return {TokenKind::kStrayLess, FindChar(s, n, pos + 1, '<'), 0, "first_tag_syntax"};
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

void AppendEscaped(std::string_view text, std::string& out) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
}

}  // namespace

MarkupDocument::MarkupDocument() { elements_.emplace_back(); }

bool MarkupDocument::SetDocument(const char* data, size_t size) {
  return SetDocument(data ? std::string(data, size) : std::string());
}

bool MarkupDocument::SetDocument(const char* text) {
  return SetDocument(text ? std::string(text) : std::string());
}

bool MarkupDocument::SetDocument(std::string bytes) {
  documentText_ = std::move(bytes);
  Parse();
  ResetPosition();
  attrCacheElement_ = 0;
  attrCacheIndex_ = -1;
  attrCacheNext_ = 0;
  return wellFormed_;
}

void MarkupDocument::Parse() {
  const char* s = documentText_.data();
  const size_t n = documentText_.size();
  elements_.clear();
  elements_.reserve(n / 64 + 8);
  elements_.emplace_back();
  elements_[0].contentEnd = elements_[0].elemEnd = n;
  resultLog_.clear();
  resultCount_ = 0;
  bool wellFormed = true;

  // Open elements, innermost last, and how many of each name are open, so
  // that an end tag finds its element (or learns it has none) without
  // walking the stack.
  std::vector<int> open;
  std::unordered_map<std::string_view, int> openByName;

  size_t pos = 0;
  while (pos < n) {
    const Token t = ScanToken(s, n, pos);
    switch (t.kind) {
      case TokenKind::kText:
        break;
      case TokenKind::kStrayLess:
        AddResult(t.problem, {}, pos);
        break;
      case TokenKind::kStartTag:
      case TokenKind::kEmptyTag: {
        if (elements_.size() >= static_cast<size_t>(INT_MAX)) {
          AddResult("unterminated_tag_syntax", {}, pos);
          wellFormed = false;
          pos = n;
          continue;
        }
        const std::string_view name(s + pos + 1, t.nameLength);
        const int parent = open.empty() ? 0 : open.back();
        if (parent == 0 && elements_[0].firstChild != 0) {
          AddResult("root_has_sibling", name, pos);
          wellFormed = false;
        }
        const int e = AddElement(parent, pos, t.end, t.nameLength);
        if (t.kind == TokenKind::kEmptyTag) {
          elements_[e].flags |= kEmptyTag;
          elements_[e].contentEnd = elements_[e].elemEnd = t.end;
        } else {
          open.push_back(e);
          ++openByName[name];
        }
        break;
      }
      case TokenKind::kEndTag: {
        const std::string_view name(s + pos + 2, t.nameLength);
        auto it = openByName.find(name);
        if (it == openByName.end() || it->second == 0) {
          AddResult("lone_end_tag", name, pos);
          wellFormed = false;
          break;
        }
        for (;;) {
          const int e = open.back();
          open.pop_back();
          Element& el = elements_[e];
          if (NameOf(e) == name) {
            --it->second;
            el.contentEnd = pos;
            el.elemEnd = t.end;
            break;
          }
          --openByName[NameOf(e)];
          el.contentEnd = el.elemEnd = pos;
          el.flags |= kIllFormed;
          AddResult("unended_start_tag", NameOf(e), el.tagStart, pos);
          wellFormed = false;
        }
        break;
      }
      default:
        if (t.problem) {
          AddResult(t.problem, {}, pos);
          wellFormed = false;
        }
        break;
    }
    pos = t.end;
  }

  for (; !open.empty(); open.pop_back()) {
    Element& el = elements_[open.back()];
    el.contentEnd = el.elemEnd = n;
    el.flags |= kIllFormed;
    AddResult("unended_start_tag", NameOf(open.back()), el.tagStart, n);
    wellFormed = false;
  }
  if (elements_[0].firstChild == 0) {
    AddResult("no_root_element", {}, n);
    wellFormed = false;
  }
  wellFormed_ = wellFormed;
}

int MarkupDocument::AddElement(int parent, size_t tagStart, size_t tagEnd, size_t nameLength) {
  const int e = static_cast<int>(elements_.size());
  Element el;
  el.tagStart = tagStart;
  el.tagEnd = tagEnd;
  el.contentEnd = el.elemEnd = documentText_.size();
  el.nameLength = nameLength;
  el.parent = parent;
  el.prev = elements_[parent].lastChild;
  elements_.push_back(el);
  Element& p = elements_[parent];
  if (p.lastChild) {
    elements_[p.lastChild].next = e;
  } else {
    p.firstChild = e;
  }
  p.lastChild = e;
  return e;
}

void MarkupDocument::AddResult(const char* problem, std::string_view tagName, size_t offset,
                               size_t offset2) {
  if (resultCount_ > kMaxResults) return;
  if (resultCount_++ == kMaxResults) {
    resultLog_ += "<more_results/>";
    return;
  }
  resultLog_ += '<';
  resultLog_ += problem;
  if (!tagName.empty()) {
    resultLog_ += " tagname=\"";
    AppendEscaped(tagName, resultLog_);
    resultLog_ += '"';
  }
  resultLog_ += " offset=\"" + std::to_string(offset) + '"';
  if (offset2 != static_cast<size_t>(-1)) resultLog_ += " offset2=\"" + std::to_string(offset2) + '"';
  resultLog_ += "/>";
}

std::string_view MarkupDocument::NameOf(int element) const {
  const Element& el = elements_[element];
  return std::string_view(documentText_.data() + el.tagStart + 1, el.nameLength);
}

bool MarkupDocument::NameEquals(std::string_view a, std::string_view b) const {
  return (flags_ & kIgnoreCase) ? EqualsNoCase(a, b) : a == b;
}

bool MarkupDocument::FindElement(std::string_view name) { return FindNext(&name); }

bool MarkupDocument::FindElement() { return FindNext(nullptr); }

bool MarkupDocument::FindNext(const std::string_view* name) {
  // A document has one root; elements after it are faults, not candidates.
  if (parent_ == 0) {
    const int root = elements_[0].firstChild;
    if (main_ != 0 || root == 0 || (name && !NameEquals(NameOf(root), *name))) return false;
    main_ = root;
    child_ = 0;
    return true;
  }
  for (int e = main_ ? elements_[main_].next : elements_[parent_].firstChild; e != 0;
       e = elements_[e].next) {
    if (!name || NameEquals(NameOf(e), *name)) {
      main_ = e;
      child_ = 0;
      return true;
    }
  }
  return false;
}

bool MarkupDocument::IntoElement() {
  if (main_ == 0) return false;
  parent_ = main_;
  main_ = child_;
  child_ = 0;
  return true;
}

bool MarkupDocument::OutOfElement() {
  if (parent_ == 0) return false;
  child_ = main_;
  main_ = parent_;
  parent_ = elements_[parent_].parent;
  return true;
}

void MarkupDocument::ResetMainPosition() {
  main_ = 0;
  child_ = 0;
}

void MarkupDocument::ResetPosition() {
  parent_ = 0;
  main_ = 0;
  child_ = 0;
}

std::string MarkupDocument::GetTagName() const {
  return main_ ? std::string(NameOf(main_)) : std::string();
}

std::string MarkupDocument::GetData() const {
  if (main_ == 0) return {};
  const Element& el = elements_[main_];
  if (el.firstChild != 0) return {};
  const char* s = documentText_.data();
  const size_t n = documentText_.size();
  std::string data;
  // The content is walked with the parser's own tokens, so a '>' inside a
  // comment or a lone end tag is skipped exactly as the parser skipped it.
  for (size_t pos = el.tagEnd; pos < el.contentEnd;) {
    const Token t = ScanToken(s, n, pos);
    const size_t end = std::min(t.end, el.contentEnd);
    if (t.kind == TokenKind::kText || t.kind == TokenKind::kStrayLess) {
      DecodeEntities(std::string_view(s + pos, end - pos), data);
    } else if (t.kind == TokenKind::kCData) {
      const size_t begin = std::min(pos + 9, end);
      const size_t stop = t.problem ? end : std::max(begin, end - 3);
      data.append(s + begin, stop - begin);
    }
    pos = t.end;
  }
  return ApplyWhitespaceFlags(std::move(data));
}

std::string MarkupDocument::GetAttribute(std::string_view name) const {
  if (main_ == 0) return {};
  const Element& el = elements_[main_];
  const char* s = documentText_.data();
  size_t p = el.tagStart + 1 + el.nameLength;
  AttrToken a;
  while (NextAttribute(s, el.tagEnd, p, a) == AttrStep::kAttribute) {
    if (a.nameEnd == a.nameBegin) continue;
    if (NameEquals(std::string_view(s + a.nameBegin, a.nameEnd - a.nameBegin), name)) {
      std::string value;
      DecodeEntities(std::string_view(s + a.valueBegin, a.valueEnd - a.valueBegin), value);
      return ApplyWhitespaceFlags(std::move(value));
    }
  }
  return {};
}

bool MarkupDocument::GetNthAttribute(int n, std::string& name, std::string& value) const {
  if (main_ == 0 || n < 0) return false;
  const Element& el = elements_[main_];
  const char* s = documentText_.data();
  size_t p = el.tagStart + 1 + el.nameLength;
  int index = 0;
  if (attrCacheElement_ == main_ && attrCacheIndex_ >= 0 && attrCacheIndex_ < n) {
    p = attrCacheNext_;
    index = attrCacheIndex_ + 1;
  }
  AttrToken a;
  while (NextAttribute(s, el.tagEnd, p, a) == AttrStep::kAttribute) {
    if (a.nameEnd == a.nameBegin) continue;  // "=value" with no name
    if (index++ != n) continue;
    std::string decoded;
    DecodeEntities(std::string_view(s + a.valueBegin, a.valueEnd - a.valueBegin), decoded);
    name.assign(s + a.nameBegin, a.nameEnd - a.nameBegin);
    value = ApplyWhitespaceFlags(std::move(decoded));
    attrCacheElement_ = main_;
    attrCacheIndex_ = n;
    attrCacheNext_ = p;
    return true;
  }
  return false;
}

std::string MarkupDocument::ApplyWhitespaceFlags(std::string value) const {
  if (flags_ & kCollapseWhitespace) {
    std::string collapsed;
    collapsed.reserve(value.size());
    bool pendingSpace = false;
    for (char c : value) {
      if (IsSpace(c)) {
        pendingSpace = !collapsed.empty();
        continue;
      }
      if (pendingSpace) collapsed.push_back(' ');
      pendingSpace = false;
      collapsed.push_back(c);
    }
    return collapsed;
  }
  if (flags_ & kTrimWhitespace) {
    size_t begin = 0, end = value.size();
    while (begin < end && IsSpace(value[begin])) ++begin;
    while (end > begin && IsSpace(value[end - 1])) --end;
    return value.substr(begin, end - begin);
  }
  return value;
}

void MarkupDocument::DecodeEntities(std::string_view text, std::string& out) {
  out.reserve(out.size() + text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(text.data() + i, text.size() - i);
      break;
    }
    out.append(text.data() + i, amp - i);
    const size_t length = (amp + 1 < text.size() && text[amp + 1] == '#')
                              ? DecodeNumericReference(text, amp, out)
                              : DecodeNamedReference(text, amp, out);
    if (length == 0) {
      out.push_back('&');
      i = amp + 1;
    } else {
      i = amp + length;
    }
  }
}

}  // namespace Zentrava
