#include "image/tiff_dump.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "image/replace_file.h"
#include "image/vector_clones.h"

namespace kandrel {
namespace {

// libtiff would print its warnings and errors on stderr; these routines report by result only.
int IgnoreMessage(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

TiffFile OpenQuietly(const std::string& fileName, const char* mode) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, IgnoreMessage, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreMessage, nullptr);
  TiffFile tif(TIFFOpenExt(fileName.c_str(), mode, options));
  TIFFOpenOptionsFree(options);
  return tif;
}

// How one image type is laid out in a dump.
template <class L>
struct DumpLayout {
  using Sample = typename L::Sample;
  static constexpr int kChannels = L::kChannels;
  static constexpr std::uint16_t kBitsPerSample = 8 * sizeof(Sample);
  static constexpr std::uint16_t kPhotometric =
      kChannels == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  static constexpr std::uint16_t kSampleFormat = std::is_same_v<Sample, int> ? SAMPLEFORMAT_INT
                                                 : std::is_same_v<Sample, float>
                                                     ? SAMPLEFORMAT_IEEEFP
                                                     : SAMPLEFORMAT_COMPLEXIEEEFP;
};

template <class L>
bool ChannelsMatch(const L& image) {
  return std::all_of(image.channels.begin(), image.channels.end(),
                     [&](const auto& c) { return c.SameSize(image.channels[0]); });
}

// A dump stores the channels' samples interleaved per pixel. Both directions go pixel by pixel
// over a band of rows, so that every sample is read and written once while the band is cached.
template <class T>
KANDREL_VECTOR_CLONES void Interleave3(const T* __restrict a, const T* __restrict b,
                                       const T* __restrict c, std::size_t count,
                                       T* __restrict out) {
  for (std::size_t i = 0; i < count; ++i) {
    out[3 * i] = a[i];
    out[3 * i + 1] = b[i];
    out[3 * i + 2] = c[i];
  }
}

template <class T>
KANDREL_VECTOR_CLONES void Deinterleave3(const T* __restrict in, std::size_t count, T* __restrict a,
                                         T* __restrict b, T* __restrict c) {
  for (std::size_t i = 0; i < count; ++i) {
    a[i] = in[3 * i];
    b[i] = in[3 * i + 1];
    c[i] = in[3 * i + 2];
  }
}

// Samples [first, first + count) of every channel into their interleaved form.
template <class L>
void Interleave(const L& image, std::size_t first, std::size_t count, typename L::Sample* out) {
  const auto& ch = image.channels;
  if constexpr (L::kChannels == 1)
    std::copy(ch[0].Data() + first, ch[0].Data() + first + count, out);
  else
    Interleave3(ch[0].Data() + first, ch[1].Data() + first, ch[2].Data() + first, count, out);
}

// Samples [first, first + count) of every channel from their interleaved form.
template <class Sample, class Array, std::size_t N>
void Deinterleave(const Sample* in, std::size_t first, std::size_t count,
                  std::array<Array, N>& channels) {
  if constexpr (N == 1)
    std::copy(in, in + count, channels[0].Data() + first);
  else
    Deinterleave3(in, count, channels[0].Data() + first, channels[1].Data() + first,
                  channels[2].Data() + first);
}

// Rows interleaved per write: a band that stays in the cache.
constexpr std::size_t kBandBytes = 256 * 1024;

// Writes the directory now, where a failure can still be told: closing would do it silently.
int Finish(TIFF* tif) { return TIFFFlush(tif) == 1 ? 0 : -1; }

template <class L>
int Save(const L& image, const std::string& fileName) {
  using Layout = DumpLayout<L>;
  // Channels of unequal size (sub-sampled chroma) have no interleaved form.
  if (!ChannelsMatch(image)) return -1;
  // A dump needs at least one sample; libtiff would refuse it after creating the file.
  if (image.Width() == 0 || image.Height() == 0) return -1;
  const int width = image.Width();
  const int height = image.Height();
  TiffFile tif = OpenQuietly(fileName, "w");
  if (tif == nullptr) return -1;
  TIFF* t = tif.get();
  const bool tagged =
      TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width)) == 1 &&
      TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height)) == 1 &&
      TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
      TIFFSetField(t, TIFFTAG_PHOTOMETRIC, Layout::kPhotometric) == 1 &&
      TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, Layout::kChannels) == 1 &&
      TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, Layout::kBitsPerSample) == 1 &&
      TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
      TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1 &&
      TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, Layout::kSampleFormat) == 1;
  if (!tagged) return -1;
  // The one strip of the dump, appended band by band. Uncompressed, in the host's byte order, the
  // encoded strip is the samples themselves, so raw writes give the bytes an encoded write would.
  const std::size_t rowSamples = std::size_t{static_cast<std::uint32_t>(width)} * Layout::kChannels;
  const std::size_t bandRows =
      std::max<std::size_t>(1, kBandBytes / (rowSamples * sizeof(typename Layout::Sample)));
  // One channel is stored as it lies in memory: written in one call (a raw write only reads
  // the samples, though libtiff's signature does not say so).
  if constexpr (Layout::kChannels == 1) {
    auto* samples = const_cast<typename Layout::Sample*>(image.channels[0].Data());
    const auto bytes = static_cast<tmsize_t>(image.channels[0].SampleCount() * sizeof(*samples));
    if (TIFFWriteRawStrip(t, 0, samples, bytes) != bytes) return -1;
    return Finish(t);
  }
  std::vector<typename Layout::Sample> band;
  try {
    band.resize(std::min<std::size_t>(bandRows, height) * rowSamples);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  for (std::size_t row = 0; row < static_cast<std::size_t>(height); row += bandRows) {
    const std::size_t rows = std::min<std::size_t>(bandRows, height - row);
    Interleave(image, row * width, rows * width, band.data());
    const auto bytes = static_cast<tmsize_t>(rows * rowSamples * sizeof(typename Layout::Sample));
    if (TIFFWriteRawStrip(t, 0, band.data(), bytes) != bytes) return -1;
  }
  return Finish(t);
}

// Compressed strips expand, but a hostile header must not size our allocation freely: no
// LZW, Deflate or PackBits strip decodes to more than this many times its bytes.
constexpr std::uint64_t kMaxExpansion = 4096;

// Reads `bytes` bytes at `offset` of the open file, retrying short reads.
bool ReadAt(int descriptor, std::uint64_t offset, void* into, std::size_t bytes) {
  auto* at = static_cast<std::uint8_t*>(into);
  while (bytes > 0) {
    const ssize_t got = pread(descriptor, at, bytes, static_cast<off_t>(offset));
    if (got <= 0) return false;
    at += got;
    offset += static_cast<std::uint64_t>(got);
    bytes -= static_cast<std::size_t>(got);
  }
  return true;
}

// Fills the image's channels, already sized, from the strips whose layout Load has checked.
// Uncompressed samples in our byte order are read straight from the file a band at a time
// (libtiff would first map and copy the whole strip); anything else goes through its decoder.
template <class L>
bool ReadStrips(TIFF* t, L& image, std::uint32_t rowsPerStrip, bool decode) {
  using Sample = typename L::Sample;
  const auto height = static_cast<std::uint32_t>(image.Height());
  const auto width = static_cast<std::size_t>(image.Width());
  const std::size_t rowBytes = width * L::kChannels * sizeof(Sample);
  const auto bandRows = decode ? rowsPerStrip
                               : static_cast<std::uint32_t>(std::clamp<std::size_t>(
                                     kBandBytes / rowBytes, 1, rowsPerStrip));
  std::vector<Sample> band;
  try {
    band.resize(std::size_t{bandRows} * width * L::kChannels);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::uint32_t row = 0; row < height; row += rowsPerStrip) {
    const std::uint32_t stripRows = std::min(rowsPerStrip, height - row);
    const std::uint32_t strip = TIFFComputeStrip(t, row, 0);
    if (decode) {
      // A short strip would leave samples undefined: refused like a failed one.
      const tmsize_t size = TIFFVStripSize(t, stripRows);
      if (TIFFReadEncodedStrip(t, strip, band.data(), size) != size) return false;
      Deinterleave(band.data(), row * width, stripRows * width, image.channels);
      continue;
    }
    const std::uint64_t offset = TIFFGetStrileOffset(t, strip);
    // One channel lies in the file as in memory: each strip is read in one call, in place.
    if constexpr (L::kChannels == 1) {
      if (!ReadAt(TIFFFileno(t), offset, image.channels[0][static_cast<int>(row)],
                  stripRows * rowBytes))
        return false;
      continue;
    }
    for (std::uint32_t done = 0; done < stripRows; done += bandRows) {
      const std::uint32_t rows = std::min(bandRows, stripRows - done);
      if (!ReadAt(TIFFFileno(t), offset + done * rowBytes, band.data(), rows * rowBytes))
        return false;
      Deinterleave(band.data(), (row + done) * width, rows * width, image.channels);
    }
  }
  return true;
}

template <class L>
int Load(L& image, const std::string& fileName) {
  using Layout = DumpLayout<L>;
  using Sample = typename Layout::Sample;
  std::error_code error;
  const std::uint64_t fileSize = std::filesystem::file_size(fileName, error);
  if (error) return -1;
  // Strips as stored ("c": not chopped) and read with read(), not mapped ("m").
  TiffFile tif = OpenQuietly(fileName, "rcm");
  if (tif == nullptr) return -1;
  TIFF* t = tif.get();

  std::uint32_t width = 0, height = 0;
  std::uint16_t photometric = 0, bitsPerSample = 0, planarConfig = 0, samplesPerPixel = 0;
  if (TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
      TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height) != 1 ||
      TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric) != 1 ||
      TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bitsPerSample) != 1 ||
      TIFFGetField(t, TIFFTAG_PLANARCONFIG, &planarConfig) != 1)
    return -1;
  // The sample count is checked too: it fixes the strip layout the buffer is sized for.
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
  if (planarConfig != PLANARCONFIG_CONTIG || photometric != Layout::kPhotometric ||
      bitsPerSample != Layout::kBitsPerSample || samplesPerPixel != Layout::kChannels ||
      TIFFIsTiled(t) || width > INT32_MAX || height > INT32_MAX)
    return -1;
  const std::uint64_t rowBytes = std::uint64_t{width} * Layout::kChannels * sizeof(Sample);
  if (static_cast<std::uint64_t>(TIFFScanlineSize64(t)) != rowBytes) return -1;

  // libtiff's own rows per strip, which TIFFComputeStrip uses too; an absent tag means one strip
  // for the whole image (not one row per strip).
  std::uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, std::max<std::uint32_t>(height, 1));
  const bool compressed = [&] {
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    return compression != COMPRESSION_NONE;
  }();

  // Every strip must exist and be able to hold its rows before anything is allocated.
  for (std::uint32_t row = 0; row < height; row += rowsPerStrip) {
    const std::uint32_t rows = std::min(rowsPerStrip, height - row);
    const std::uint32_t strip = TIFFComputeStrip(t, row, 0);
    if (strip >= TIFFNumberOfStrips(t)) return -1;
    if (static_cast<std::uint64_t>(TIFFVStripSize64(t, rows)) != rows * rowBytes) return -1;
    const std::uint64_t offset = TIFFGetStrileOffset(t, strip);
    const std::uint64_t stored =
        offset < fileSize
            ? std::min<std::uint64_t>(TIFFGetStrileByteCount(t, strip), fileSize - offset)
            : 0;
    if (rows * rowBytes > stored * (compressed ? kMaxExpansion : 1)) return -1;
  }

  try {
    for (auto& channel : image.channels)
      channel.Resize(static_cast<int>(width), static_cast<int>(height));
  } catch (const std::exception&) {
    return -1;
  }
  // A strip that fails half way must not leave a mix of old and new samples behind.
  if (!ReadStrips(t, image, rowsPerStrip, compressed || TIFFIsByteSwapped(t))) {
    for (auto& channel : image.channels) channel.Resize(0, 0);
    return -1;
  }
  return 0;
}

// Runs f on the image as its concrete type; -1 for an image of no known type.
template <class ImageT, class F>
int WithLayers(ImageT& image, F&& f) {
  switch (image.TypeId()) {
    case kTypeInt1:
      return f(*As<Int1Image>(&image));
    case kTypeFloat1:
      return f(*As<Float1Image>(&image));
    case kTypeComplex1:
      return f(*As<Complex1Image>(&image));
    case kTypeInt3:
      return f(*As<Int3Image>(&image));
    case kTypeFloat3:
      return f(*As<Float3Image>(&image));
    case kTypeComplex3:
      return f(*As<Complex3Image>(&image));
    default:
      return -1;
  }
}

}  // namespace

int SaveImageTIFF(const Image& image, const std::string& fileName) {
  return WithLayers(image, [&](const auto& layers) {
    std::string error;
    const auto writeTo = [&](const std::string& temporary) { return Save(layers, temporary) == 0; };
    return ReplaceFileWith(fileName, writeTo, error) ? 0 : -1;
  });
}

int TIFFImageType(const std::string& fileName) {
  TiffFile tif = OpenQuietly(fileName, "r");
  if (tif == nullptr) return kTypeUnknown;
  std::uint16_t samplesPerPixel = 0, sampleFormat = 0;
  if (TIFFGetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel) != 1 ||
      TIFFGetField(tif.get(), TIFFTAG_SAMPLEFORMAT, &sampleFormat) != 1)
    return kTypeUnknown;
  const int base = samplesPerPixel == 1 ? kTypeInt1 : samplesPerPixel == 3 ? kTypeInt3 : 0;
  const int offset = sampleFormat == SAMPLEFORMAT_INT             ? 0
                     : sampleFormat == SAMPLEFORMAT_IEEEFP        ? 1
                     : sampleFormat == SAMPLEFORMAT_COMPLEXIEEEFP ? 2
                                                                  : -1;
  return base == 0 || offset < 0 ? kTypeUnknown : base + offset;
}

int LoadImageTIFF(Image& image, const std::string& fileName) {
  const int result = WithLayers(image, [&](auto& layers) { return Load(layers, fileName); });
  image.ResetView();
  return result;
}

}  // namespace kandrel
