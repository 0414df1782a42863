#include "image/byte_stream.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <type_traits>

namespace kandrel {

bool ByteStream::Read(void* dst, std::size_t n) {
  const std::size_t got = n == 0 ? 0 : ReadSome(dst, n);
  if (got == n) return true;
  std::memset(static_cast<std::uint8_t*>(dst) + got, 0, n - got);
  damaged_ = true;
  return false;
}

void ByteStream::Write(const void* src, std::size_t n) {
  if (n != 0 && !WriteAll(src, n)) writeFailed_ = true;
}

bool ByteStream::Skip(std::int64_t n) {
  if (n <= 0) return true;
  const std::int64_t remaining = Remaining();
  if (n > remaining) {
    Seek(Size());
    damaged_ = true;
    return false;
  }
  return Seek(Position() + n);
}

std::int64_t ByteStream::Remaining() const { return std::max<std::int64_t>(0, Size() - Position()); }

bool MemoryStream::Seek(std::int64_t position) {
  if (position < 0 || position > Size()) return false;
  position_ = static_cast<std::size_t>(position);
  return true;
}

void MemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
  ClearErrors();
}

std::size_t MemoryStream::ReadSome(void* dst, std::size_t n) {
  const std::size_t got = std::min(n, bytes_.size() - position_);
  if (got != 0) std::memcpy(dst, bytes_.data() + position_, got);
  position_ += got;
  return got;
}

bool MemoryStream::WriteAll(const void* src, std::size_t n) {
  if (position_ + n > bytes_.size()) bytes_.resize(position_ + n);
  std::memcpy(bytes_.data() + position_, src, n);
  position_ += n;
  return true;
}

FileStream::~FileStream() { Close(); }

bool FileStream::Open(const std::string& path, Mode mode) {
  Close();
  ClearErrors();
  file_ = std::fopen(path.c_str(), mode == Mode::kRead ? "rb" : "wb");
  if (file_ == nullptr) return false;
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
  size_ = 0;
  if (mode == Mode::kRead && std::fseek(file_, 0, SEEK_END) == 0) {
    size_ = std::max<std::int64_t>(0, ftello(file_));
    std::fseek(file_, 0, SEEK_SET);
  }
  return true;
}

bool FileStream::Close() {
  if (file_ == nullptr) return !WriteFailed();
  const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return flushed && closed && !WriteFailed();
}

std::int64_t FileStream::Position() const { return file_ ? std::max<std::int64_t>(0, ftello(file_)) : 0; }

std::int64_t FileStream::Size() const { return std::max(size_, Position()); }

bool FileStream::Seek(std::int64_t position) {
  if (file_ == nullptr || position < 0) return false;
  return fseeko(file_, static_cast<off_t>(position), SEEK_SET) == 0;
}

std::size_t FileStream::ReadSome(void* dst, std::size_t n) {
  return file_ ? std::fread(dst, 1, n, file_) : 0;
}

bool FileStream::WriteAll(const void* src, std::size_t n) {
  if (file_ == nullptr) return false;
  const bool ok = std::fwrite(src, 1, n, file_) == n;
  size_ = std::max(size_, Position());
  return ok;
}

namespace {

template <class U>
void StoreUnsigned(std::uint8_t* p, U v) {
  for (std::size_t i = 0; i < sizeof(U); ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

template <class U>
U LoadUnsigned(const std::uint8_t* p) {
  U v = 0;
  for (std::size_t i = 0; i < sizeof(U); ++i) v |= static_cast<U>(p[i]) << (8 * i);
  return v;
}

template <class T>
using UnsignedOf = std::conditional_t<sizeof(T) == 1, std::uint8_t,
                   std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;

template <class T>
void StoreLE(std::uint8_t* p, T v) {
  StoreUnsigned(p, std::bit_cast<UnsignedOf<T>>(v));
}

template <class T>
T LoadLE(const std::uint8_t* p) {
  return std::bit_cast<T>(LoadUnsigned<UnsignedOf<T>>(p));
}

template <class T>
void WriteLE(ByteStream& s, T v) {
  std::uint8_t b[sizeof(T)];
  StoreLE(b, v);
  s.Write(b, sizeof(T));
}

template <class T>
T ReadLE(ByteStream& s, T fallback) {
  std::uint8_t b[sizeof(T)];
  return s.Read(b, sizeof(T)) ? LoadLE<T>(b) : fallback;
}

}  // namespace

void WriteI8(ByteStream& s, std::int8_t v) { s.Write(&v, 1); }
void WriteI32(ByteStream& s, std::int32_t v) { WriteLE(s, v); }
void WriteF32(ByteStream& s, float v) { WriteLE(s, v); }
void WriteF64(ByteStream& s, double v) { WriteLE(s, v); }
std::int8_t ReadI8(ByteStream& s, std::int8_t fallback) { return ReadLE(s, fallback); }
std::int32_t ReadI32(ByteStream& s, std::int32_t fallback) { return ReadLE(s, fallback); }
float ReadF32(ByteStream& s, float fallback) { return ReadLE(s, fallback); }
double ReadF64(ByteStream& s, double fallback) { return ReadLE(s, fallback); }

void StoreI32(std::uint8_t* p, std::int32_t v) { StoreLE(p, v); }
void StoreF32(std::uint8_t* p, float v) { StoreLE(p, v); }
void StoreF64(std::uint8_t* p, double v) { StoreLE(p, v); }
std::int32_t LoadI32(const std::uint8_t* p) { return LoadLE<std::int32_t>(p); }
float LoadF32(const std::uint8_t* p) { return LoadLE<float>(p); }
double LoadF64(const std::uint8_t* p) { return LoadLE<double>(p); }

}  // namespace kandrel
