// Writes the two factory sensor data tables built into every program (the
// shared part's resources/tables; Sensorwiz carries them as "BIN_FILE"
// resources 132 and 138):
//
//   gen_sensor_tables <folder>   ->  <folder>/sensor_table_8010.bin
//                                    <folder>/sensor_table_8011.bin
//
// Table layout, every field big-endian: total size, record count, slot,
// sensor type code (2 bytes each), four header wavelengths (2 bytes each),
// then one record per nanometre (u16 wavelength, IEEE 754 single coefficient),
// then the CRC-16/CCITT-FALSE of everything before it. The total size, the
// record count and the CRC are computed here from the records, never typed in.
//
// The coefficients are the correction factors of each sensor: the reading at
// a wavelength is multiplied by the factor, so a factor above 1 marks a
// wavelength where the sensor is less sensitive than at its reference.
//
// How a curve is made. Each table has a few measured values it must carry
// exactly (the calibration points, including the sensor's reference and the
// extremes of its curve). Between them the shape comes from a small analytic
// model of the sensor's response, sampled at a handful of anchor wavelengths.
// A monotone piecewise-cubic Hermite curve (Fritsch-Carlson) through the
// calibration points and the model anchors then gives every record:
//   - it passes exactly through every anchor, so the calibration points are
//     stored as measured (to the nearest single-precision value);
//   - its slope is continuous, so neighbouring records show no kink or step;
//   - it is monotone between anchors and flat at an anchor that is a local
//     minimum, so a table's minimum is exactly at the anchor chosen for it.

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Anchor {
  double nm;
  double value;
};

// Monotone piecewise-cubic Hermite interpolation after Fritsch and Carlson:
// slopes from the three-point (second-order) difference, zero where the data
// turn, then scaled down where they would make a piece overshoot.
class MonotoneCubic {
 public:
  explicit MonotoneCubic(std::vector<Anchor> anchors) : m_anchors(std::move(anchors)) {
    const size_t n = m_anchors.size();
    std::vector<double> width(n - 1);
    std::vector<double> secant(n - 1);
    for (size_t k = 0; k + 1 < n; ++k) {
      width[k] = m_anchors[k + 1].nm - m_anchors[k].nm;
      secant[k] = (m_anchors[k + 1].value - m_anchors[k].value) / width[k];
    }
    m_slopes.assign(n, 0.0);
    for (size_t k = 1; k + 1 < n; ++k) {
      if (secant[k - 1] * secant[k] > 0.0) {
        m_slopes[k] =
            (width[k] * secant[k - 1] + width[k - 1] * secant[k]) / (width[k - 1] + width[k]);
      }
    }
    m_slopes[0] = EndSlope(width[0], width[1], secant[0], secant[1]);
    m_slopes[n - 1] = EndSlope(width[n - 2], width[n - 3], secant[n - 2], secant[n - 3]);
    for (size_t k = 0; k + 1 < n; ++k) {
      if (secant[k] == 0.0) {
        m_slopes[k] = m_slopes[k + 1] = 0.0;
        continue;
      }
      const double alpha = m_slopes[k] / secant[k];
      const double beta = m_slopes[k + 1] / secant[k];
      const double norm = alpha * alpha + beta * beta;
      if (norm > 9.0) {
        const double scale = 3.0 / std::sqrt(norm);
        m_slopes[k] = scale * alpha * secant[k];
        m_slopes[k + 1] = scale * beta * secant[k];
      }
    }
  }

  double operator()(double nm) const {
    size_t k = 0;
    while (k + 2 < m_anchors.size() && nm >= m_anchors[k + 1].nm) ++k;
    const Anchor& a = m_anchors[k];
    const Anchor& b = m_anchors[k + 1];
    if (nm == b.nm) return b.value;  // only reached at the last anchor
    const double h = b.nm - a.nm;
    const double t = (nm - a.nm) / h;
    const double t2 = t * t;
    const double t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * a.value + (t3 - 2 * t2 + t) * h * m_slopes[k] +
           (-2 * t3 + 3 * t2) * b.value + (t3 - t2) * h * m_slopes[k + 1];
  }

 private:
  // One-sided three-point slope at an end, kept to the sign of the end piece.
  static double EndSlope(double h0, double h1, double d0, double d1) {
    const double slope = ((2 * h0 + h1) * d0 - h0 * d1) / (h0 + h1);
    return slope * d0 > 0.0 ? slope : 0.0;
  }

  std::vector<Anchor> m_anchors;
  std::vector<double> m_slopes;
};

struct TableDefinition {
  uint16_t slot;
  uint16_t typeCode;
  uint16_t firstNm;
  uint16_t lastNm;
  std::array<uint16_t, 4> headerNm;
  std::vector<Anchor> anchors;  // ascending, first and last at firstNm and lastNm
};

// Table 0: silicon photodiode, sensor type 8010, 320 to 1100 nm, normalised to
// 1 at 633 nm (the first header wavelength). Silicon responds poorly in the
// near UV, best just below its band edge and hardly at all beyond it, so the
// factor falls steeply from 3.692 at 320 nm, flattens through the visible to
// its minimum 0.651 at 960 nm (the response peak) and rises steeply again to
// 3.182 at 1100 nm. Three model pieces give the anchors between the
// calibration points:
//   UV to red (322..600 nm): a decaying exponential on a gentle slope,
//     A + B*(nm-320) + C*exp(-(nm-320)/tau), fitted to run through 3.692 at
//     320, 3.634 at 321 and 1 at 633 and to leave 633 with the slope of about
//     -0.0019/nm that the records at 633, 635 and 650 show.
//   red to the peak (670..955 nm): 0.651 + a*u^2/(1 + b*u) with u = 960-nm,
//     flat at the peak and close to straight far from it; a and b fitted to
//     0.971 at 650 and 0.796 at 780.
//   beyond the peak (965..1095 nm): 0.651 + K*(exp(v) - 1 - v) with
//     v = (nm-960)/45, flat at the peak and growing exponentially towards the
//     band edge; K makes it reach 3.182 at 1100.
TableDefinition SiliconTable() {
  constexpr double kUvA = 1.5905316;
  constexpr double kUvB = -0.0018880886;
  constexpr double kUvC = 2.1014684;
  constexpr double kUvTau = 36.949122;
  const auto uv = [&](double nm) {
    return kUvA + kUvB * (nm - 320) + kUvC * std::exp(-(nm - 320) / kUvTau);
  };
  constexpr double kRedA = 8.547e-6;
  constexpr double kRedB = 0.005054;
  const auto red = [&](double nm) {
    const double u = 960 - nm;
    return 0.651 + kRedA * u * u / (1 + kRedB * u);
  };
  constexpr double kEdgeScale = 45.0;
  const double edgeEnd = 140.0 / kEdgeScale;
  const double edgeK = (3.182 - 0.651) / (std::exp(edgeEnd) - 1 - edgeEnd);
  const auto edge = [&](double nm) {
    const double v = (nm - 960) / kEdgeScale;
    return 0.651 + edgeK * (std::exp(v) - 1 - v);
  };

  std::vector<Anchor> anchors = {{320, 3.692}, {321, 3.634}};
  for (double nm : {322, 324, 327, 330, 335, 340, 350, 360, 370, 380, 395, 410, 430, 450, 475, 500,
                    530, 560, 600}) {
    anchors.push_back({nm, uv(nm)});
  }
  anchors.insert(anchors.end(), {{633, 1.0}, {635, 0.996}, {650, 0.971}});
  for (double nm : {670, 685, 700, 715, 730, 745, 760}) anchors.push_back({nm, red(nm)});
  anchors.push_back({780, 0.796});
  for (double nm : {790, 805, 820, 835, 850, 865, 880, 895, 910, 925, 940, 955}) {
    anchors.push_back({nm, red(nm)});
  }
  anchors.push_back({960, 0.651});
  for (int nm = 965; nm < 1100; nm += 5) anchors.push_back({double(nm), edge(nm)});
  anchors.push_back({1100, 3.182});
  return {1, 8010, 320, 1100, {633, 635, 650, 780}, anchors};
}

// Table 1: blue-violet sensor, type 8011, 380 to 450 nm. Its factor falls from
// 1.6234343 at 380 nm to its minimum 1.4228 at 410 nm and rises to 1.791788
// at 450 nm. The 380 nm value is the measured single-precision value itself
// (0x3FCFCCB2). Model, with u the distance from 410 nm:
//   below 410: 1.4228 + q*u^2 + r*u^3 + p*u^4, fitted through 380, 381 and
//     400 nm;
//   above 410: 1.4228 + q*u^2 + w*u^3, with the same q so the curvature is
//     continuous at the minimum, and w making it reach 450 nm.
// Anchors every 2 nm keep the curve on the model.
TableDefinition BlueTable() {
  constexpr double kMin = 1.4228;
  constexpr double kEnd = 1.791788;
  constexpr double kQ = 1.7389006e-5;
  constexpr double kR = 1.1085516e-5;
  constexpr double kP = -1.4114164e-7;
  constexpr double kW = (kEnd - kMin - kQ * 40 * 40) / (40.0 * 40 * 40);
  const auto model = [&](double nm) {
    if (nm < 410) {
      const double u = 410 - nm;
      return kMin + u * u * (kQ + u * (kR + u * kP));
    }
    const double u = nm - 410;
    return kMin + u * u * (kQ + u * kW);
  };

  std::vector<Anchor> anchors = {{380, 1.6234343}, {381, 1.607962}};
  for (int nm = 382; nm < 450; nm += 2) {
    if (nm == 400) {
      anchors.push_back({400, 1.434213});
    } else if (nm == 410) {
      anchors.push_back({410, kMin});
    } else {
      anchors.push_back({double(nm), model(nm)});
    }
  }
  anchors.push_back({450, kEnd});
  return {3, 8011, 380, 450, {400, 403, 405, 408}, anchors};
}

void PutBe16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

uint16_t Crc16CcittFalse(const std::vector<uint8_t>& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    crc = uint16_t(crc ^ (byte << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
  }
  return crc;
}

std::vector<uint8_t> BuildTable(const TableDefinition& def) {
  const MonotoneCubic curve(def.anchors);
  const size_t records = size_t(def.lastNm - def.firstNm) + 1;
  const size_t total = 16 + 6 * records + 2;

  std::vector<uint8_t> out;
  out.reserve(total);
  PutBe16(out, uint16_t(total));
  PutBe16(out, uint16_t(records));
  PutBe16(out, def.slot);
  PutBe16(out, def.typeCode);
  for (uint16_t nm : def.headerNm) PutBe16(out, nm);
  for (uint16_t nm = def.firstNm; nm <= def.lastNm; ++nm) {
    const auto bits = std::bit_cast<uint32_t>(static_cast<float>(curve(nm)));
    PutBe16(out, nm);
    PutBe16(out, uint16_t(bits >> 16));
    PutBe16(out, uint16_t(bits));
  }
  PutBe16(out, Crc16CcittFalse(out));
  return out;
}

// Refuses a definition that could not give a well-formed table.
bool Valid(const TableDefinition& def) {
  const auto& a = def.anchors;
  if (a.size() < 3 || a.front().nm != def.firstNm || a.back().nm != def.lastNm) return false;
  for (size_t k = 1; k < a.size(); ++k) {
    if (!(a[k].nm > a[k - 1].nm)) return false;
  }
  for (uint16_t nm : def.headerNm) {
    if (nm < def.firstNm || nm > def.lastNm) return false;
  }
  return 16 + 6 * (size_t(def.lastNm - def.firstNm) + 1) + 2 <= 0xFFFF;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  for (const TableDefinition& def : {SiliconTable(), BlueTable()}) {
    const std::string path =
        std::string(argv[1]) + "/sensor_table_" + std::to_string(def.typeCode) + ".bin";
    if (!Valid(def)) {
      std::fprintf(stderr, "table %u: bad definition\n", unsigned(def.typeCode));
      return 1;
    }
    const std::vector<uint8_t> table = BuildTable(def);
    if (!WriteFile(path, table)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s: %zu bytes\n", path.c_str(), table.size());
  }
  return 0;
}
