#include "platform/sim/regfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/sim/host_files.h"
#include "platform/wstr.h"

namespace sim {
namespace {

constexpr std::u16string_view kHeader5 = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kHeader4 = u"REGEDIT4";
constexpr size_t kMaxHexColumns = 77;  // where regedit breaks hex lines
constexpr std::u16string_view kCrLf = u"\r\n";

// ---- export -----------------------------------------------------------------------------------

std::u16string Escape(std::u16string_view s) {
  std::u16string out;
  for (char16_t c : s) {
    switch (c) {
      case u'\\':
        out += u"\\\\";
        break;
      case u'"':
        out += u"\\\"";
        break;
      case u'\r':
        out += u"\\r";
        break;
      case u'\n':
        out += u"\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool IsControl(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The text of a REG_SZ that a quoted string reproduces byte for byte: well-formed UTF-16 with
// exactly one NUL, at the end, and no control characters but CR and LF.
std::optional<std::u16string> QuotableText(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 2 || bytes.size() % 2) return std::nullopt;
  std::u16string s(bytes.size() / 2, u'\0');
  std::memcpy(s.data(), bytes.data(), bytes.size());
  if (s.back() != 0) return std::nullopt;
  s.pop_back();
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c == 0 || (IsControl(c) && c != u'\r' && c != u'\n')) return std::nullopt;
    if (c >= 0xDC00 && c < 0xE000) return std::nullopt;
    if (c >= 0xD800 && c < 0xDC00) {
      if (i + 1 == s.size() || s[i + 1] < 0xDC00 || s[i + 1] >= 0xE000) return std::nullopt;
      ++i;
    }
  }
  return s;
}

std::u16string Hex(uint32_t v, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*x", width, static_cast<unsigned>(v));
  return platform::U16(buf);
}

// regedit's layout: "xx," per byte, and once a line reaches 77 columns it ends with "\" and
// the next starts indented by two.
void AppendHexBytes(std::u16string& out, size_t column, const std::vector<uint8_t>& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += Hex(bytes[i], 2);
    if (i + 1 == bytes.size()) break;
    out += u',';
    column += 3;
    if (column >= kMaxHexColumns) {
      out += u"\\\r\n  ";
      column = 2;
    }
  }
}

void ExportValue(std::u16string& out, std::u16string_view name, const RegValue& v) {
  size_t start = out.size();
  if (name.empty()) {
    out += u"@=";
  } else {
    out += u'"';
    out += Escape(name);
    out += u"\"=";
  }
  if (v.type == REG_SZ) {
    if (std::optional<std::u16string> text = QuotableText(v.bytes)) {
      out += u'"';
      out += Escape(*text);
      out += u'"';
      out += kCrLf;
      return;
    }
  }
  if (v.type == REG_DWORD && v.bytes.size() == 4) {
    uint32_t d = v.bytes[0] | v.bytes[1] << 8 | v.bytes[2] << 16 | uint32_t{v.bytes[3]} << 24;
    out += u"dword:" + Hex(d, 8);
    out += kCrLf;
    return;
  }
  std::u16string type = v.type == REG_BINARY ? u"hex:" : u"hex(" + Hex(v.type, 0) + u"):";
  size_t column = out.size() - start + type.size();
  out += type;
  AppendHexBytes(out, column, v.bytes);
  out += kCrLf;
}

void ExportKey(const Registry& reg, const std::u16string& path, bool isRoot, std::u16string& out) {
  auto values = reg.ListValues(path);
  // Roots always exist, so they need a block only to carry values.
  if (!isRoot || !values.empty()) {
    out += u"[" + path + u"]";
    out += kCrLf;
    for (const auto& [name, value] : values) ExportValue(out, name, value);
    out += kCrLf;
  }
  for (const std::u16string& sub : reg.ListSubkeys(path))
    ExportKey(reg, path + u"\\" + sub, false, out);
}

// ---- parse ------------------------------------------------------------------------------------

struct ParseError {
  int line;
  std::string message;
};

[[noreturn]] void Fail(int line, std::string message) {
  throw ParseError{line, std::move(message)};
}

int LineAt(std::string_view bytes, size_t offset) {
  return 1 + static_cast<int>(std::count(bytes.begin(), bytes.begin() + offset, '\n'));
}

// Strict UTF-8: overlong forms, surrogates and stray bytes are refused, not guessed at.
std::u16string DecodeUtf8(std::string_view s) {
  if (size_t bad = platform::FirstInvalidUtf8(s); bad != std::string_view::npos)
    Fail(LineAt(s, bad), "invalid UTF-8 text");
  return platform::U16(s);
}

std::u16string Decode(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) {
    bytes.remove_prefix(2);
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
      out[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    if (bytes.size() % 2) {
      int lines = 1 + static_cast<int>(std::count(out.begin(), out.end(), u'\n'));
      Fail(lines, "UTF-16 text ends in half a character");
    }
    return out;
  }
  if (bytes.starts_with("\xFE\xFF")) Fail(1, "big-endian UTF-16 is not supported");
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return DecodeUtf8(bytes);
}

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

std::u16string_view TrimLeft(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::u16string_view Trim(std::u16string_view s) {
  s = TrimLeft(s);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Quote(std::u16string_view s) {
  std::string out(1, '\'');
  out += platform::U8(s);
  out += '\'';
  return out;
}

bool ParseHexNumber(std::u16string_view digits, size_t maxDigits, uint32_t* value) {
  if (digits.empty() || digits.size() > maxDigits) return false;
  uint32_t v = 0;
  for (char16_t c : digits) {
    int d = c >= u'0' && c <= u'9'   ? c - u'0'
            : c >= u'a' && c <= u'f' ? c - u'a' + 10
            : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                     : -1;
    if (d < 0) return false;
    v = v << 4 | static_cast<uint32_t>(d);
  }
  *value = v;
  return true;
}

std::vector<uint8_t> Utf16Bytes(std::u16string_view s) {
  std::vector<uint8_t> out;
  for (char16_t c : s) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

// One change the file asks for; all are checked before any is applied.
struct Op {
  enum class Kind { OpenKey, DeleteKey, SetValue, DeleteValue } kind;
  std::u16string path;
  std::u16string name;
  RegValue value;
};

class Parser {
 public:
  explicit Parser(std::u16string_view text) {
    for (size_t start = 0;;) {
      size_t end = text.find(u'\n', start);
      std::u16string_view line = text.substr(start, end == text.npos ? text.npos : end - start);
      if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
      lines_.push_back(line);
      if (end == text.npos) break;
      start = end + 1;
    }
    // The newline ending the last line does not start another.
    if (lines_.size() > 1 && lines_.back().empty()) lines_.pop_back();
  }

  std::vector<Op> Run() {
    for (size_t i = 0; i < lines_.size(); ++i)
      if (lines_[i].find(u'\0') != std::u16string_view::npos) Fail(LineNo(i), "NUL character");
    while (i_ < lines_.size() && Trim(lines_[i_]).empty()) ++i_;
    if (i_ == lines_.size() || (Trim(lines_[i_]) != kHeader5 && Trim(lines_[i_]) != kHeader4))
      Fail(LineNo(std::min(i_, lines_.size() - 1)),
           "missing header 'Windows Registry Editor Version 5.00' or 'REGEDIT4'");
    for (++i_; i_ < lines_.size(); ++i_) {
      std::u16string_view line = TrimLeft(lines_[i_]);
      if (line.empty() || line[0] == u';') continue;
      if (line[0] == u'[') {
        KeyLine(line);
      } else if (line[0] == u'"' || line[0] == u'@') {
        if (!key_) Fail(LineNo(i_), "value line outside of a key");
        ValueLine(line);
      } else {
        Fail(LineNo(i_), "unexpected text " + Quote(line.substr(0, 20)));
      }
    }
    return std::move(ops_);
  }

 private:
  static int LineNo(size_t index) { return static_cast<int>(index) + 1; }

  void KeyLine(std::u16string_view line) {
    size_t close = line.rfind(u']');
    if (close == line.npos) Fail(LineNo(i_), "missing ']' at the end of the key");
    if (!Trim(line.substr(close + 1)).empty()) Fail(LineNo(i_), "unexpected text after ']'");
    std::u16string_view path = line.substr(1, close - 1);
    bool remove = !path.empty() && path[0] == u'-';
    if (remove) path.remove_prefix(1);
    std::string why;
    std::optional<RegKeyPath> parsed = Registry::ParsePath(path, &why);
    if (!parsed) Fail(LineNo(i_), why);
    if (remove && parsed->parts.empty()) Fail(LineNo(i_), "a root key cannot be deleted");
    ops_.push_back(
        {remove ? Op::Kind::DeleteKey : Op::Kind::OpenKey, std::u16string(path), {}, {}});
    if (remove) {
      key_.reset();
    } else {
      key_ = std::u16string(path);
    }
  }

  // Reads a quoted string starting at line[*pos] == '"'; leaves *pos after the closing quote.
  std::u16string Quoted(std::u16string_view line, size_t* pos) {
    std::u16string out;
    for (size_t p = *pos + 1; p < line.size(); ++p) {
      char16_t c = line[p];
      if (c == u'"') {
        *pos = p + 1;
        return out;
      }
      if (c != u'\\') {
        out += c;
        continue;
      }
      if (++p == line.size()) break;
      switch (line[p]) {
        case u'\\':
          out += u'\\';
          break;
        case u'"':
          out += u'"';
          break;
        case u'n':
          out += u'\n';
          break;
        case u'r':
          out += u'\r';
          break;
        default:
          Fail(LineNo(i_), "bad escape " + Quote(line.substr(p - 1, 2)) + " in string");
      }
    }
    Fail(LineNo(i_), "missing closing quote");
  }

  void ValueLine(std::u16string_view line) {
    size_t pos = 1;
    std::u16string name;
    if (line[0] == u'"') {
      pos = 0;
      name = Quoted(line, &pos);
    }
    std::u16string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest[0] != u'=') Fail(LineNo(i_), "expected '=' after the value name");
    rest = TrimLeft(rest.substr(1));
    Op op{Op::Kind::SetValue, *key_, name, {}};
    if (rest.empty()) Fail(LineNo(i_), "missing value data");
    if (rest[0] == u'-') {
      ExpectEnd(rest.substr(1));
      op.kind = Op::Kind::DeleteValue;
    } else if (rest[0] == u'"') {
      size_t end = 0;
      std::u16string text = Quoted(rest, &end);
      ExpectEnd(rest.substr(end));
      op.value = {REG_SZ, Utf16Bytes(text)};
      op.value.bytes.insert(op.value.bytes.end(), {0, 0});
    } else if (platform::IStartsWith(rest, u"dword:")) {
      std::u16string_view digits = Trim(rest.substr(6));
      uint32_t d = 0;
      if (!ParseHexNumber(digits, 8, &d))
        Fail(LineNo(i_), "bad dword " + Quote(digits) + ": expected 1 to 8 hex digits");
      op.value = {REG_DWORD,
                  {static_cast<uint8_t>(d), static_cast<uint8_t>(d >> 8),
                   static_cast<uint8_t>(d >> 16), static_cast<uint8_t>(d >> 24)}};
    } else if (platform::IStartsWith(rest, u"hex:")) {
      op.value = {REG_BINARY, HexData(rest.substr(4))};
    } else if (platform::IStartsWith(rest, u"hex(")) {
      size_t close = rest.find(u')');
      uint32_t type = 0;
      if (close == rest.npos || !ParseHexNumber(rest.substr(4, close - 4), 8, &type))
        Fail(LineNo(i_), "bad value type in " + Quote(rest.substr(0, 12)));
      if (close + 1 >= rest.size() || rest[close + 1] != u':')
        Fail(LineNo(i_), "expected ':' after " + Quote(rest.substr(0, close + 1)));
      op.value = {type, HexData(rest.substr(close + 2))};
    } else {
      Fail(LineNo(i_), "unrecognised value data " + Quote(rest.substr(0, 20)));
    }
    ops_.push_back(std::move(op));
  }

  void ExpectEnd(std::u16string_view tail) {
    if (!Trim(tail).empty()) Fail(LineNo(i_), "unexpected text after the value");
  }

  // Comma-separated bytes; a line ending in '\' continues on the next one. Consumes the
  // continuation lines and reports an error on the line where the bad byte is.
  std::vector<uint8_t> HexData(std::u16string_view first) {
    std::u16string joined;
    std::vector<std::pair<size_t, size_t>> segments;  // (offset in joined, line index)
    std::u16string_view seg = first;
    while (true) {
      segments.emplace_back(joined.size(), i_);
      seg = Trim(seg);
      bool more = !seg.empty() && seg.back() == u'\\';
      if (more) seg.remove_suffix(1);
      joined += seg;
      joined += u' ';  // a byte never spans two lines
      if (!more) break;
      if (i_ + 1 == lines_.size()) Fail(LineNo(i_), "file ends inside continued hex data");
      seg = lines_[++i_];
    }
    auto lineOf = [&](size_t offset) {
      auto it =
          std::upper_bound(segments.begin(), segments.end(), std::make_pair(offset, SIZE_MAX));
      return LineNo(std::prev(it)->second);
    };
    std::vector<uint8_t> bytes;
    if (Trim(joined).empty()) return bytes;
    for (size_t start = 0;;) {
      size_t comma = joined.find(u',', start);
      std::u16string_view item =
          std::u16string_view(joined).substr(start, comma == joined.npos ? comma : comma - start);
      std::u16string_view digits = Trim(item);
      size_t at = start + (TrimLeft(item).data() - item.data());
      uint32_t b = 0;
      if (digits.empty()) {
        Fail(lineOf(std::min(at, joined.size() - 1)),
             comma == joined.npos ? "hex data ends with ','" : "missing hex byte between ','");
      }
      // Exactly two digits: a file cut inside a byte must not load as a different value.
      if (digits.size() != 2 || !ParseHexNumber(digits, 2, &b))
        Fail(lineOf(at), "bad hex byte " + Quote(digits) + ": expected two hex digits");
      bytes.push_back(static_cast<uint8_t>(b));
      if (comma == joined.npos) return bytes;
      start = comma + 1;
    }
  }

  std::vector<std::u16string_view> lines_;
  size_t i_ = 0;
  std::optional<std::u16string> key_;  // the key value lines go to
  std::vector<Op> ops_;
};

}  // namespace

std::string ExportRegText(const Registry& registry) {
  std::u16string text(kHeader5);
  text += kCrLf;
  text += kCrLf;
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS})
    ExportKey(registry, std::u16string(Registry::RootName(root)), true, text);
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

RegParseResult ParseRegText(std::string_view bytes, Registry& into) {
  std::vector<Op> ops;
  try {
    std::u16string text = Decode(bytes);
    ops = Parser(text).Run();
  } catch (const ParseError& e) {
    return {false, e.line, e.message};
  }
  // Every line checked out, so none of these can fail half way.
  for (Op& op : ops) {
    switch (op.kind) {
      case Op::Kind::OpenKey:
        into.CreateKey(op.path);
        break;
      case Op::Kind::DeleteKey:
        into.DeleteKey(op.path);
        break;
      case Op::Kind::SetValue:
        into.SetValue(op.path, op.name, op.value.type, std::move(op.value.bytes));
        break;
      case Op::Kind::DeleteValue:
        into.DeleteValue(op.path, op.name);
        break;
    }
  }
  return {};
}

bool SaveRegFile(const Registry& registry, const std::string& hostPath, std::string* error) {
  return WriteHostFileAtomic(hostPath, ExportRegText(registry), error);
}

RegParseResult LoadRegFile(Registry& into, const std::string& hostPath) {
  std::string bytes, error;
  if (!ReadHostFile(hostPath, &bytes, &error)) return {false, 0, error};
  RegParseResult r = ParseRegText(bytes, into);
  if (!r.ok) r.message = hostPath + ":" + std::to_string(r.line) + ": " + r.message;
  return r;
}

}  // namespace sim
