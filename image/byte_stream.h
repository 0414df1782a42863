// Byte streams (memory and file) and the little-endian field helpers that every persisted layout
// in Kandrel is written and read with. Reading past the end never yields undefined bytes: the
// missing part is filled with zeros (or the caller's fallback) and the stream remembers that it
// ran short, so that a loader can refuse a truncated or corrupt file afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kandrel {

class ByteStream {
 public:
  virtual ~ByteStream() = default;

  // Reads n bytes. When fewer are available the rest of dst is zero-filled, the stream is
  // marked as having run short, and false is returned.
  bool Read(void* dst, std::size_t n);
  // Writes n bytes; a failed write is remembered (see WriteFailed).
  void Write(const void* src, std::size_t n);
  // Moves forward by n bytes (never past the end); false, and marked short, when it had to stop.
  bool Skip(std::int64_t n);

  virtual std::int64_t Position() const = 0;
  virtual std::int64_t Size() const = 0;
  virtual bool Seek(std::int64_t position) = 0;
  std::int64_t Remaining() const;

  // True once a read ran short or a reader found a count no valid stream can hold.
  bool Damaged() const { return damaged_; }
  void MarkDamaged() { damaged_ = true; }
  bool WriteFailed() const { return writeFailed_; }
  void ClearErrors() {
    damaged_ = false;
    writeFailed_ = false;
  }

 protected:
  virtual std::size_t ReadSome(void* dst, std::size_t n) = 0;
  virtual bool WriteAll(const void* src, std::size_t n) = 0;

 private:
  bool damaged_ = false;
  bool writeFailed_ = false;
};

class MemoryStream final : public ByteStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::int64_t Position() const override { return static_cast<std::int64_t>(position_); }
  std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }
  bool Seek(std::int64_t position) override;
  // Empties the buffer and rewinds.
  void Clear();
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 protected:
  std::size_t ReadSome(void* dst, std::size_t n) override;
  bool WriteAll(const void* src, std::size_t n) override;

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

class FileStream final : public ByteStream {
 public:
  enum class Mode { kRead, kWrite };
  FileStream() = default;
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Opens path; false (with errno set) when it cannot be opened or created.
  bool Open(const std::string& path, Mode mode);
  // Flushes and closes; false when any write (or the final flush) failed.
  bool Close();
  bool IsOpen() const { return file_ != nullptr; }

  std::int64_t Position() const override;
  std::int64_t Size() const override;
  bool Seek(std::int64_t position) override;

 protected:
  std::size_t ReadSome(void* dst, std::size_t n) override;
  bool WriteAll(const void* src, std::size_t n) override;

 private:
  std::FILE* file_ = nullptr;
  std::int64_t size_ = 0;
};

// Little-endian fields. The readers return the fallback when the stream runs short.
void WriteI8(ByteStream& s, std::int8_t v);
void WriteI32(ByteStream& s, std::int32_t v);
void WriteF32(ByteStream& s, float v);
void WriteF64(ByteStream& s, double v);
std::int8_t ReadI8(ByteStream& s, std::int8_t fallback = 0);
std::int32_t ReadI32(ByteStream& s, std::int32_t fallback = 0);
float ReadF32(ByteStream& s, float fallback = 0);
double ReadF64(ByteStream& s, double fallback = 0);

// The same conversions on a byte buffer, for fixed layouts assembled in memory.
void StoreI32(std::uint8_t* p, std::int32_t v);
void StoreF32(std::uint8_t* p, float v);
void StoreF64(std::uint8_t* p, double v);
std::int32_t LoadI32(const std::uint8_t* p);
float LoadF32(const std::uint8_t* p);
double LoadF64(const std::uint8_t* p);

}  // namespace kandrel
