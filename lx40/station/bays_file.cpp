#include "bays_file.h"

#include <fstream>

namespace lx40::station {

namespace {

// A file far larger than any station's is not a bays file.
constexpr size_t kMaxFileBytes = 1 << 20;

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool PrintableWord(std::string_view word) {
  for (const char c : word) {
    if (c <= ' ' || c > '~') return false;
  }
  return true;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && Blank(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !Blank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

}  // namespace

bool ParseBays(std::string_view text, std::vector<Bay>* bays, std::string* error) {
  bays->clear();
  size_t number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    const size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) continue;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (words.size() != 2) {
      *error = where + "expected a bay label and a port, found " + std::to_string(words.size()) +
               " word(s)";
      return false;
    }
    for (const std::string_view word : words) {
      if (!PrintableWord(word) || word.size() > kMaxBayWord) {
        *error = where + "a label or port must be printable ASCII of at most " +
                 std::to_string(kMaxBayWord) + " characters";
        return false;
      }
    }
    for (const Bay& bay : *bays) {
      if (bay.label == words[0]) {
        *error = where + "bay " + bay.label + " is given twice";
        return false;
      }
      if (bay.port == words[1]) {
        *error = where + "port " + bay.port + " is bay " + bay.label + " already";
        return false;
      }
    }
    bays->push_back(Bay{std::string(words[0]), std::string(words[1])});
  }
  if (bays->empty()) {
    *error = "no bay in it";
    return false;
  }
  return true;
}

bool ReadBaysFile(const std::string& path, std::vector<Bay>* bays, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot be read";
    return false;
  }
  std::string text(kMaxFileBytes + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(file.gcount()));
  if (text.size() > kMaxFileBytes) {
    *error = "too large for a bays file";
    return false;
  }
  return ParseBays(text, bays, error);
}

std::string BaysText(const std::vector<Bay>& bays) {
  std::string text = "# lx40 station bays: LABEL PORT\n";
  for (const Bay& bay : bays) text += bay.label + " " + bay.port + "\n";
  return text;
}

std::optional<size_t> BayOfPort(const std::vector<Bay>& bays, std::string_view port) {
  for (size_t i = 0; i < bays.size(); ++i) {
    if (bays[i].port == port) return i;
  }
  return std::nullopt;
}

}  // namespace lx40::station
