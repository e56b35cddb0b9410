// The bays file: which port of the station is which bay. Plain text, one
// "LABEL PORT" a line (the label is the first word, the port the second,
// for example "B3 1-2.4"); `#` starts a comment, blank lines are skipped.
// A label or a port given twice, a line with one word or more than two, or
// a word that is not printable ASCII is an error.
#ifndef LX40_LX40_STATION_BAYS_FILE_H
#define LX40_LX40_STATION_BAYS_FILE_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lx40::station {

struct Bay {
  std::string label;
  std::string port;
};

// The longest label and port taken (a port text of Meterlink is shorter).
inline constexpr size_t kMaxBayWord = 31;

// Parses the file's text into `bays`, in file order. False with `error`
// ("line 3: port 1-2 is bay B1 already") when the text is not a bays file.
bool ParseBays(std::string_view text, std::vector<Bay>* bays, std::string* error);

// Reads and parses the file at `path`; the error names the file's problem.
bool ReadBaysFile(const std::string& path, std::vector<Bay>* bays, std::string* error);

// The text of a bays file for `bays`, as --learn-bays writes it.
std::string BaysText(const std::vector<Bay>& bays);

// The bay of `port` in `bays`, or none.
std::optional<size_t> BayOfPort(const std::vector<Bay>& bays, std::string_view port);

}  // namespace lx40::station

#endif
