// Fixed-size parameter records. A record type lists its fields once, in file order, in a member
//   template <class F> void Fields(F& f) { f.I32(width); f.F64(scale); f.Text(path, 260); … }
// and that one list drives the size, the writing and the reading of its bytes (little-endian,
// texts in cp932), so the three can never disagree. Byte and Bytes keep stored bytes as they are,
// for fields a file must give back unchanged.
//
// In a process file a record is an int32 byte count followed by that many bytes. A shorter
// stored record leaves the remaining fields as they were; a longer one is read up to the
// record's size and the excess skipped. Nothing beyond the record is ever written into it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "image/byte_stream.h"
#include "process/text_codec.h"

namespace kandrel {

class RecordSizer {
 public:
  void I8(std::int8_t&) { size_ += 1; }
  void Flag(bool&) { size_ += 1; }
  void Byte(std::uint8_t&) { size_ += 1; }
  template <std::size_t N>
  void Bytes(std::array<std::uint8_t, N>&) {
    size_ += N;
  }
  void I32(std::int32_t&) { size_ += 4; }
  void F32(float&) { size_ += 4; }
  void F64(double&) { size_ += 8; }
  void Text(std::string&, std::size_t width) { size_ += width; }
  void Zeros(std::size_t n) { size_ += n; }
  std::size_t Size() const { return size_; }

 private:
  std::size_t size_ = 0;
};

class RecordEncoder {
 public:
  explicit RecordEncoder(std::uint8_t* out) : p_(out) {}
  void I8(std::int8_t& v) { *p_++ = static_cast<std::uint8_t>(v); }
  void Flag(bool& v) { *p_++ = v ? 1 : 0; }
  void Byte(std::uint8_t& v) { *p_++ = v; }
  template <std::size_t N>
  void Bytes(std::array<std::uint8_t, N>& v) {
    std::copy(v.begin(), v.end(), p_);
    p_ += N;
  }
  void I32(std::int32_t& v) { StoreI32(p_, v), p_ += 4; }
  void F32(float& v) { StoreF32(p_, v), p_ += 4; }
  void F64(double& v) { StoreF64(p_, v), p_ += 8; }
  void Text(std::string& v, std::size_t width) {
    StoreFixedText(v, reinterpret_cast<char*>(p_), width);
    p_ += width;
  }
  void Zeros(std::size_t n) { std::memset(p_, 0, n), p_ += n; }

 private:
  std::uint8_t* p_;
};

class RecordDecoder {
 public:
  explicit RecordDecoder(const std::uint8_t* in) : p_(in) {}
  void I8(std::int8_t& v) { v = static_cast<std::int8_t>(*p_++); }
  void Flag(bool& v) { v = *p_++ != 0; }
  void Byte(std::uint8_t& v) { v = *p_++; }
  template <std::size_t N>
  void Bytes(std::array<std::uint8_t, N>& v) {
    std::copy(p_, p_ + N, v.begin());
    p_ += N;
  }
  void I32(std::int32_t& v) { v = LoadI32(p_), p_ += 4; }
  void F32(float& v) { v = LoadF32(p_), p_ += 4; }
  void F64(double& v) { v = LoadF64(p_), p_ += 8; }
  void Text(std::string& v, std::size_t width) {
    v = LoadFixedText(reinterpret_cast<const char*>(p_), width);
    p_ += width;
  }
  void Zeros(std::size_t n) { p_ += n; }

 private:
  const std::uint8_t* p_;
};

template <class Record>
std::size_t RecordSize(Record& record) {
  RecordSizer sizer;
  record.Fields(sizer);
  return sizer.Size();
}

template <class Record>
std::vector<std::uint8_t> EncodeRecord(Record& record) {
  std::vector<std::uint8_t> bytes(RecordSize(record));
  RecordEncoder encoder(bytes.data());
  record.Fields(encoder);
  return bytes;
}

template <class Record>
void DecodeRecord(Record& record, const std::vector<std::uint8_t>& bytes) {
  RecordDecoder decoder(bytes.data());
  record.Fields(decoder);
}

// Writes the byte count and the record.
template <class Record>
void WriteRecord(ByteStream& stream, Record& record) {
  const std::vector<std::uint8_t> bytes = EncodeRecord(record);
  WriteI32(stream, static_cast<std::int32_t>(bytes.size()));
  stream.Write(bytes.data(), bytes.size());
}

// Reads a byte count and the record; 0 on success. When the stream runs short or the count is
// negative, nothing is applied (every field keeps its value), the stream is marked damaged and 1
// is returned.
template <class Record>
int ReadRecord(ByteStream& stream, Record& record) {
  const std::int32_t stored = ReadI32(stream, -1);
  if (stored < 0) {
    stream.MarkDamaged();
    return 1;
  }
  std::vector<std::uint8_t> bytes = EncodeRecord(record);
  const std::size_t taken = std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(stored));
  std::vector<std::uint8_t> read(taken);
  if (!stream.Read(read.data(), taken) ||
      !stream.Skip(static_cast<std::int64_t>(stored) - static_cast<std::int64_t>(taken)))
    return 1;
  // A shorter stored record replaces only its own bytes; the rest keep the current values.
  std::copy(read.begin(), read.end(), bytes.begin());
  DecodeRecord(record, bytes);
  return 0;
}

}  // namespace kandrel
