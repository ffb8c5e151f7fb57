// A scenario as a sequence of lines: the walk a run makes over its text, once to check it and
// once to play it, and the short quotes its errors use.
#include "device/scenario/scenario.h"

namespace device {

std::vector<ParseError> ForEachStepChecked(std::string_view text, std::string_view fileName,
                                           const std::function<bool(Step&&)>& each,
                                           size_t maxErrors) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // UTF-8 byte order mark
  ScenarioOrder order;
  std::optional<Step> step;
  std::vector<ParseError> errors;
  int lineNo = 0;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    if (auto error = ParseLineInto(line, ++lineNo, fileName, &order, step)) {
      errors.push_back(std::move(*error));
      if (errors.size() >= maxErrors) break;
      continue;
    }
    if (step && !each(std::move(*step))) break;
  }
  return errors;
}

std::optional<ParseError> ForEachStep(std::string_view text, std::string_view fileName,
                                      const std::function<bool(Step&&)>& each) {
  std::vector<ParseError> errors = ForEachStepChecked(text, fileName, each, 1);
  if (errors.empty()) return std::nullopt;
  return std::move(errors.front());
}

std::string Excerpt(std::string_view word) {
  constexpr size_t kMaxChars = 40;
  size_t chars = 0, end = 0;
  for (; end < word.size(); ++end) {
    if ((static_cast<unsigned char>(word[end]) & 0xC0) == 0x80) continue;  // inside a character
    if (chars++ == kMaxChars) break;
  }
  if (end >= word.size()) return std::string(word);
  return std::string(word.substr(0, end)) + "...";
}

}  // namespace device
