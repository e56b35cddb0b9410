// An owned, zero-filled byte buffer whose allocation failure is a value,
// not an exception: in the hub walk a failed allocation only drops the step
// that needed it, and no exception may leave an exported function.
#ifndef LX40_BULKPIPE_BYTE_BUFFER_H
#define LX40_BULKPIPE_BYTE_BUFFER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace bulkpipe {

class ByteBuffer {
 public:
  ByteBuffer() = default;

  // `size` zero bytes; ok() is false when they cannot be allocated.
  static ByteBuffer Zeroed(size_t size) {
    ByteBuffer buffer;
    buffer.data_.reset(new (std::nothrow) uint8_t[size == 0 ? 1 : size]());
    if (buffer.data_) buffer.size_ = size;
    return buffer;
  }

  bool ok() const { return data_ != nullptr; }
  size_t size() const { return size_; }
  uint8_t* data() { return data_.get(); }
  const uint8_t* data() const { return data_.get(); }
  char* chars() { return reinterpret_cast<char*>(data_.get()); }
  const char* chars() const { return reinterpret_cast<const char*>(data_.get()); }

 private:
  std::unique_ptr<uint8_t[]> data_;
  size_t size_ = 0;
};

}  // namespace bulkpipe

#endif
