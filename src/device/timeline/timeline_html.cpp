// Writes the timeline page: the lanes and trace lines as one script literal inside a fixed page.
// Everything the trace holds is text from programs and scenarios, so it is escaped to stay data:
// no '<' survives (a "</script>" in a window title cannot end the script), and bytes that are
// not UTF-8 become U+FFFD.
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "device/timeline/timeline.h"
#include "device/timeline/timeline_page.h"
#include "platform/sim/regfile.h"
#include "platform/sim/trace.h"

namespace device {

namespace {

// Length of the valid UTF-8 sequence at `i`, or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  if (n == 2 && c < 0xC2) return 0;  // overlong
  if (n == 3) {
    unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0)) return 0;  // overlong, surrogate
  }
  if (n == 4) {
    unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
    if ((c == 0xF0 && c1 < 0x90) || c > 0xF4 || (c == 0xF4 && c1 >= 0x90)) return 0;
  }
  return n;
}

void Quote(std::string& out, std::string_view s) {
  out += '"';
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = Utf8Length(s, i);
    if (n == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (n == 3 && c == 0xE2 && s[i + 1] == '\x80' && (s[i + 2] == '\xA8' || s[i + 2] == '\xA9')) {
      out += s[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out.append(s, i, n);
    }
    i += n;
  }
  out += '"';
}

void Number(std::string& out, uint64_t n) {
  out += std::to_string(n);
}

// Each distinct text written once: a long run repeats the same few hundred labels and lines
// day after day.
class Texts {
 public:
  size_t Of(std::string_view text) {
    auto [it, added] = known_.try_emplace(text, texts_.size());
    if (added) texts_.push_back(text);
    return it->second;
  }
  const std::vector<std::string_view>& All() const { return texts_; }

 private:
  std::unordered_map<std::string_view, size_t> known_;
  std::vector<std::string_view> texts_;
};

void Lane(std::string& out, const TimelineLane& lane, Texts& texts) {
  out += "{\"id\":";
  Quote(out, lane.id);
  out += ",\"name\":";
  Quote(out, lane.name);
  out += ",\"rows\":";
  Number(out, static_cast<uint64_t>(lane.rows));
  out += ",\"spans\":[";
  for (size_t i = 0; i < lane.spans.size(); ++i) {
    const TimelineSpan& s = lane.spans[i];
    out += i ? ",[" : "[";
    Number(out, s.start);
    out += ',';
    Number(out, s.end);
    out += ',';
    Quote(out, s.state);
    out += ',';
    Number(out, texts.Of(s.label));
    out += ',';
    Number(out, s.event);
    out += ',';
    Number(out, static_cast<uint64_t>(s.row));
    out += ']';
  }
  out += "],\"marks\":[";
  for (size_t i = 0; i < lane.marks.size(); ++i) {
    const TimelineMark& m = lane.marks[i];
    out += i ? ",[" : "[";
    Number(out, m.time);
    out += ',';
    Quote(out, m.kind);
    out += ',';
    Number(out, texts.Of(m.label));
    out += ",[";
    for (size_t k = 0; k < m.events.size(); ++k) {
      if (k) out += ',';
      Number(out, m.events[k]);
    }
    out += "]]";
  }
  out += "]}";
}

void Data(std::string& out, const TimelinePage& page) {
  out += "{\"title\":";
  Quote(out, page.title);
  out += ",\"start\":";
  Number(out, page.start);
  out += ",\"end\":";
  Number(out, page.end);
  out += ",\"passed\":";
  Number(out, static_cast<uint64_t>(page.passed));
  out += ",\"failed\":";
  Number(out, static_cast<uint64_t>(page.failed));
  Texts texts;
  out += ",\"lanes\":[";
  for (size_t i = 0; i < page.lanes.size(); ++i) {
    if (i) out += ',';
    Lane(out, page.lanes[i], texts);
  }
  out += "],\n\"times\":[";
  for (size_t i = 0; i < page.times.size(); ++i) {
    if (i) out += ',';
    Number(out, page.times[i]);
  }
  // A line that starts with its own time keeps only what follows it (the page writes the time
  // back); -1 - k names text k written whole.
  std::vector<int64_t> lineText;
  lineText.reserve(page.lines.size());
  std::string stamp;
  for (size_t i = 0; i < page.lines.size(); ++i) {
    std::string_view line = page.lines[i];
    stamp = i < page.times.size() ? sim::Trace::FormatTime(page.times[i]) + ' ' : std::string();
    const bool timed = !stamp.empty() && line.starts_with(stamp);
    if (timed) line.remove_prefix(stamp.size());
    const auto k = static_cast<int64_t>(texts.Of(line));
    lineText.push_back(timed ? k : -1 - k);
  }
  out += "],\n\"lineText\":[";
  for (size_t i = 0; i < lineText.size(); ++i) {
    if (i) out += ',';
    out += std::to_string(lineText[i]);
  }
  out += "],\n\"texts\":[";
  for (size_t i = 0; i < texts.All().size(); ++i) {
    out += i ? ",\n" : "\n";
    Quote(out, texts.All()[i]);
  }
  out += "]}";
}

// Text for the page's <title> and heading, where the parser reads it as markup.
std::string HtmlText(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '&')
      out += "&amp;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string TimelineHtml(const TimelinePage& page) {
  std::string out;
  size_t bytes = 64;
  for (const std::string& line : page.lines) bytes += line.size() + 12;
  out.reserve(bytes + 32768);
  std::string title = HtmlText(page.title);
  out += timeline::kPageHead;
  out += "<title>";
  out += title;
  out += " - dorvane2 timeline</title>\n";
  out += timeline::kPageStyle;
  out += "</head>\n<body>\n";
  out += timeline::kPageBody;
  out += "<script>\nconst DATA = ";
  Data(out, page);
  out += ";\n";
  out += timeline::kPageScript;
  out += "</script>\n</body>\n</html>\n";
  return out;
}

bool WriteTimeline(const std::string& path, const sim::Trace& trace, const TimelineRun& run,
                   std::string* error) {
  TimelineBuilder builder;
  // A failure knows how many events the trace held; the page counts only the printed lines.
  std::vector<size_t> printedBefore{0};
  printedBefore.reserve(trace.size() + 1);
  for (const sim::TraceEvent& e : trace.Events()) {
    bool printed = sim::Trace::Printed(e.kind);
    if (printed) builder.Add(e);
    printedBefore.push_back(printedBefore.back() + (printed ? 1 : 0));
  }
  for (const auto& [failure, traceCount] : run.failures)
    builder.AddFailure(failure, printedBefore[std::min(traceCount, trace.size())]);
  TimelinePage page = builder.Finish(run.title, run.now);
  page.passed = run.passed;
  page.failed = run.failed;
  if (sim::WriteHostFileAtomic(path, TimelineHtml(page), error)) return true;
  if (error) *error = "cannot write the timeline: " + *error;
  return false;
}

}  // namespace device
