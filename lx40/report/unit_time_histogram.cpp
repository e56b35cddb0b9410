#include "unit_time_histogram.h"

#include <algorithm>
#include <cmath>

namespace lx40::records {

namespace {

// Beyond 2^40 ms (about 35 years) every time shares the last bucket.
constexpr size_t kLastBucket = size_t{40} * UnitTimeHistogram::kBucketsPerDoubling + 1;

size_t BucketOf(int64_t milliseconds) {
  if (milliseconds <= 0) return 0;
  const double place =
      std::log2(static_cast<double>(milliseconds)) * UnitTimeHistogram::kBucketsPerDoubling;
  return std::min(kLastBucket, 1 + static_cast<size_t>(place));
}

}  // namespace

bool UnitTimeHistogram::Add(int64_t milliseconds) {
  if (milliseconds < 0) return false;
  const size_t bucket = BucketOf(milliseconds);
  if (bucket >= buckets_.size()) buckets_.resize(bucket + 1);
  ++buckets_[bucket];
  ++count_;
  return true;
}

void UnitTimeHistogram::Merge(const UnitTimeHistogram& other) {
  if (other.buckets_.size() > buckets_.size()) buckets_.resize(other.buckets_.size());
  for (size_t i = 0; i < other.buckets_.size(); ++i) buckets_[i] += other.buckets_[i];
  count_ += other.count_;
}

std::optional<double> UnitTimeHistogram::Quantile(double q) const {
  if (count_ == 0) return std::nullopt;
  const double wanted = std::ceil(std::clamp(q, 0.0, 1.0) * static_cast<double>(count_));
  const uint64_t rank = std::max<uint64_t>(1, static_cast<uint64_t>(wanted));
  uint64_t seen = 0;
  for (size_t i = 0; i < buckets_.size(); ++i) {
    seen += buckets_[i];
    if (seen < rank) continue;
    if (i == 0) return 0.0;
    return std::exp2((static_cast<double>(i) - 0.5) / kBucketsPerDoubling);
  }
  return std::nullopt;
}

}  // namespace lx40::records
