#include "record_parser.h"

#include <cstring>
#include <rapidjson/reader.h>

#include "record_time.h"

namespace lx40::records {

namespace {

enum class TopKey : uint8_t {
  // Every record has these (the order of the bits below).
  kSerial,
  kModel,
  kVersion,
  kStation,
  kStarted,
  kFinished,
  kBattery,
  kSlotsBefore,
  kSlotsAfter,
  kTables,
  kResult,
  kCode,
  kMessage,
  // Later ones.
  kPort,
  kBay,
  kOperator,
  kWorkOrder,
  kLot,
  kMeta,
  kTool,
  kSeenBefore,
  kUnknown,
};

constexpr uint32_t kRequiredKeys = (1u << 13) - 1;

enum class TableKey : uint8_t {
  kType,
  kSlot,
  kRecords,
  kCrc,
  kOutcome,
  kSource,
  kSha256,
  kUnknown
};

constexpr uint32_t kRequiredTableKeys = (1u << 5) - 1;

struct Name {
  std::string_view text;
  uint8_t key;
};

constexpr Name kKeys[] = {
    {"serial", 0},       {"model", 1},    {"version", 2}, {"station", 3},
    {"started", 4},      {"finished", 5}, {"battery", 6}, {"slots_before", 7},
    {"slots_after", 8},  {"tables", 9},   {"result", 10}, {"code", 11},
    {"message", 12},     {"port", 13},    {"bay", 14},    {"operator", 15},
    {"work_order", 16},  {"lot", 17},     {"meta", 18},   {"tool", 19},
    {"seen_before", 20},
};

constexpr Name kTableKeys[] = {
    {"type", 0},    {"slot", 1},   {"records", 2}, {"crc", 3},
    {"outcome", 4}, {"source", 5}, {"sha256", 6},
};

template <size_t N>
uint8_t Find(const Name (&names)[N], std::string_view text, uint8_t unknown) {
  for (const Name& name : names) {
    if (name.text.size() == text.size() &&
        std::memcmp(name.text.data(), text.data(), text.size()) == 0)
      return name.key;
  }
  return unknown;
}

// Where in the line the reader is.
enum class Place : uint8_t { kOutside, kTop, kTables, kTable, kMeta };

class Handler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Handler> {
 public:
  explicit Handler(RecordView* record) : record_(record) {}

  bool Default() { return Bad(); }

  bool Null() {
    if (place_ == Place::kMeta) return true;
    if (place_ == Place::kTop) {
      switch (key_) {
        case TopKey::kBattery:
        case TopKey::kSlotsBefore:
        case TopKey::kSlotsAfter:
        case TopKey::kPort:
        case TopKey::kBay:
        case TopKey::kOperator:
        case TopKey::kWorkOrder:
        case TopKey::kLot:
        case TopKey::kTool:
        case TopKey::kMeta:
          return Have();
        default:
          return Bad();
      }
    }
    if (place_ == Place::kTable &&
        (table_key_ == TableKey::kSource || table_key_ == TableKey::kSha256))
      return HaveTable();
    return Bad();
  }

  bool Bool(bool value) {
    if (place_ == Place::kMeta) return true;
    if (place_ == Place::kTop && key_ == TopKey::kSeenBefore) {
      record_->seen_before = value;
      return Have();
    }
    return Bad();
  }

  bool Int(int value) { return Integer(value); }
  bool Uint(unsigned value) { return Integer(value); }
  bool Int64(int64_t value) { return Integer(value); }
  bool Uint64(uint64_t value) {
    return value > static_cast<uint64_t>(INT64_MAX) ? Bad() : Integer(static_cast<int64_t>(value));
  }
  bool Double(double) { return place_ == Place::kMeta ? true : Bad(); }

  bool String(const char* text, rapidjson::SizeType size, bool) {
    const std::string_view value(text, size);
    if (place_ == Place::kMeta) return true;
    if (place_ == Place::kTable) {
      // A table past the first kMaxTables is checked as strictly, only not kept.
      if (table_ == nullptr) return table_key_ > TableKey::kRecords ? HaveTable() : Bad();
      switch (table_key_) {
        case TableKey::kCrc:
          table_->crc = value;
          break;
        case TableKey::kOutcome:
          table_->outcome = value;
          break;
        case TableKey::kSource:
          table_->source = value;
          break;
        case TableKey::kSha256:
          table_->sha256 = value;
          break;
        default:
          return Bad();
      }
      return HaveTable();
    }
    if (place_ != Place::kTop) return Bad();
    RecordView& r = *record_;
    switch (key_) {
      case TopKey::kSerial:
        r.serial = value;
        break;
      case TopKey::kModel:
        r.model = value;
        break;
      case TopKey::kVersion:
        r.version = value;
        break;
      case TopKey::kStation:
        r.station = value;
        break;
      case TopKey::kStarted:
        r.started = value;
        break;
      case TopKey::kFinished:
        r.finished = value;
        break;
      case TopKey::kBattery:
        r.battery = value;
        break;
      case TopKey::kSlotsBefore:
        r.slots_before = value;
        break;
      case TopKey::kSlotsAfter:
        r.slots_after = value;
        break;
      case TopKey::kResult:
        if (value == "set") {
          r.result = Result::kSet;
        } else if (value == "already-set") {
          r.result = Result::kAlreadySet;
        } else if (value == "failed") {
          r.result = Result::kFailed;
        } else if (value == "cancelled") {
          r.result = Result::kCancelled;
        } else {
          return Bad();
        }
        break;
      case TopKey::kMessage:
        r.message = value;
        break;
      case TopKey::kPort:
        r.port = value;
        break;
      case TopKey::kBay:
        r.bay = value;
        break;
      case TopKey::kOperator:
        r.operator_name = value;
        break;
      case TopKey::kWorkOrder:
        r.work_order = value;
        break;
      case TopKey::kLot:
        r.lot = value;
        break;
      case TopKey::kTool:
        r.tool = value;
        break;
      default:
        return Bad();
    }
    return Have();
  }

  bool StartObject() {
    switch (place_) {
      case Place::kOutside:
        place_ = Place::kTop;
        return true;
      case Place::kTop:
        if (key_ != TopKey::kMeta) return Bad();
        place_ = Place::kMeta;
        return true;
      case Place::kTables:
        place_ = Place::kTable;
        table_seen_ = 0;
        table_ = record_->table_count < RecordView::kMaxTables
                     ? &record_->tables[record_->table_count]
                     : nullptr;
        if (table_ != nullptr) *table_ = TableView{};
        ++record_->table_count;
        return true;
      default:
        // Deeper than a record goes: refused before the parser recurses.
        return Bad();
    }
  }

  bool Key(const char* text, rapidjson::SizeType size, bool) {
    const std::string_view name(text, size);
    if (place_ == Place::kMeta) return true;
    if (place_ == Place::kTable) {
      table_key_ =
          static_cast<TableKey>(Find(kTableKeys, name, static_cast<uint8_t>(TableKey::kUnknown)));
      return table_key_ == TableKey::kUnknown ? Unknown() : true;
    }
    key_ = static_cast<TopKey>(Find(kKeys, name, static_cast<uint8_t>(TopKey::kUnknown)));
    return key_ == TopKey::kUnknown ? Unknown() : true;
  }

  bool EndObject(rapidjson::SizeType) {
    switch (place_) {
      case Place::kMeta:
        place_ = Place::kTop;
        return Have();
      case Place::kTable:
        if ((table_seen_ & kRequiredTableKeys) != kRequiredTableKeys) return Bad();
        place_ = Place::kTables;
        return true;
      case Place::kTop:
        place_ = Place::kOutside;
        return true;
      default:
        return Bad();
    }
  }

  bool StartArray() {
    if (place_ == Place::kTop && key_ == TopKey::kTables) {
      place_ = Place::kTables;
      record_->table_count = 0;
      return true;
    }
    return Bad();
  }

  bool EndArray(rapidjson::SizeType) {
    if (place_ != Place::kTables) return Bad();
    place_ = Place::kTop;
    return Have();
  }

  bool Complete() const { return (seen_ & kRequiredKeys) == kRequiredKeys; }
  LineVerdict Stopped() const { return stopped_; }

 private:
  bool Integer(int64_t value) {
    if (place_ == Place::kMeta) return true;
    if (place_ == Place::kTop && key_ == TopKey::kCode) {
      record_->code = value;
      return Have();
    }
    if (place_ == Place::kTable) {
      if (table_ != nullptr) {
        switch (table_key_) {
          case TableKey::kType:
            table_->type = value;
            break;
          case TableKey::kSlot:
            table_->slot = value;
            break;
          case TableKey::kRecords:
            table_->records = value;
            break;
          default:
            return Bad();
        }
      } else if (table_key_ > TableKey::kRecords) {
        return Bad();
      }
      return HaveTable();
    }
    return Bad();
  }

  bool Have() {
    seen_ |= 1u << static_cast<unsigned>(key_);
    return true;
  }
  bool HaveTable() {
    table_seen_ |= 1u << static_cast<unsigned>(table_key_);
    return true;
  }
  bool Bad() {
    stopped_ = LineVerdict::kNotRecord;
    return false;
  }
  bool Unknown() {
    stopped_ = LineVerdict::kUnknownKeys;
    return false;
  }

  RecordView* record_;
  Place place_ = Place::kOutside;
  TopKey key_ = TopKey::kUnknown;
  TableKey table_key_ = TableKey::kUnknown;
  TableView* table_ = nullptr;
  uint32_t seen_ = 0;
  uint32_t table_seen_ = 0;
  LineVerdict stopped_ = LineVerdict::kNotJson;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

std::string_view ResultText(Result result) {
  switch (result) {
    case Result::kSet:
      return "set";
    case Result::kAlreadySet:
      return "already-set";
    case Result::kFailed:
      return "failed";
    case Result::kCancelled:
      return "cancelled";
  }
  return "failed";
}

std::string_view VerdictText(LineVerdict verdict) {
  switch (verdict) {
    case LineVerdict::kRecord:
      return "record";
    case LineVerdict::kBlank:
      return "blank";
    case LineVerdict::kTorn:
      return "torn";
    case LineVerdict::kNotJson:
      return "not JSON";
    case LineVerdict::kNotRecord:
      return "missing or bad keys";
    case LineVerdict::kUnknownKeys:
      return "unknown keys";
    case LineVerdict::kTooLong:
      return "too long";
  }
  return "not JSON";
}

LineVerdict ParseRecordLine(char* line, size_t size, RecordView* record) {
  size_t first = 0;
  while (first < size && IsSpace(line[first])) ++first;
  if (first == size) return LineVerdict::kBlank;
  // A NUL byte would end the parser's input early.
  if (std::memchr(line, '\0', size) != nullptr) return LineVerdict::kNotJson;
  *record = RecordView{};
  Handler handler(record);
  rapidjson::Reader reader;
  rapidjson::InsituStringStream stream(line);
  const rapidjson::ParseResult parsed =
      reader.Parse<rapidjson::kParseInsituFlag | rapidjson::kParseStopWhenDoneFlag>(stream,
                                                                                    handler);
  if (!parsed) {
    if (parsed.Code() == rapidjson::kParseErrorTermination) return handler.Stopped();
    // An object cut short: the error is at the end of the line.
    return line[first] == '{' && parsed.Offset() >= size ? LineVerdict::kTorn
                                                         : LineVerdict::kNotJson;
  }
  // Nothing but spaces after the object.
  for (size_t at = stream.Tell(); at < size; ++at) {
    if (!IsSpace(line[at])) return LineVerdict::kNotJson;
  }
  if (!handler.Complete()) return LineVerdict::kNotRecord;
  const std::optional<int64_t> started = ParseUtcTimestamp(record->started);
  const std::optional<int64_t> finished = ParseUtcTimestamp(record->finished);
  if (!started || !finished) return LineVerdict::kNotRecord;
  record->started_ms = *started;
  record->finished_ms = *finished;
  return LineVerdict::kRecord;
}

}  // namespace lx40::records
