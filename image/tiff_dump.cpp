#include "image/tiff_dump.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <new>
#include <type_traits>

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

// A dump stores the channels' samples interleaved per pixel. Both passes go pixel by pixel, so
// that every sample is read and written once, in address order on both sides.
template <class L>
void Interleave(const L& image, typename L::Sample* out) {
  std::array<const typename L::Sample*, L::kChannels> in;
  for (int c = 0; c < L::kChannels; ++c) in[c] = image.channels[c].Data();
  for (std::size_t i = 0; i < image.channels[0].SampleCount(); ++i)
    for (int c = 0; c < L::kChannels; ++c) *out++ = in[c][i];
}

template <class L>
void Deinterleave(const typename L::Sample* in, L& image) {
  std::array<typename L::Sample*, L::kChannels> out;
  for (int c = 0; c < L::kChannels; ++c) out[c] = image.channels[c].Data();
  for (std::size_t i = 0; i < image.channels[0].SampleCount(); ++i)
    for (int c = 0; c < L::kChannels; ++c) out[c][i] = *in++;
}

template <class L>
int Save(const L& image, const std::string& fileName) {
  using Layout = DumpLayout<L>;
  // Channels of unequal size (sub-sampled chroma) have no interleaved form.
  if (!ChannelsMatch(image)) return -1;
  // A dump needs at least one sample; libtiff would refuse it after creating the file.
  if (image.Width() == 0 || image.Height() == 0) return -1;
  const int width = image.Width();
  const int height = image.Height();
  const std::size_t pixels = image.channels[0].SampleCount();
  std::unique_ptr<typename Layout::Sample[]> buffer;
  try {
    buffer = std::make_unique_for_overwrite<typename Layout::Sample[]>(pixels * Layout::kChannels);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  Interleave(image, buffer.get());

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
  const tmsize_t bytes =
      static_cast<tmsize_t>(pixels * Layout::kChannels * sizeof(typename Layout::Sample));
  if (TIFFWriteEncodedStrip(t, 0, buffer.get(), bytes) < 0) return -1;
  return 0;
}

// Compressed strips expand, but a hostile header must not size our allocation freely: no
// LZW, Deflate or PackBits strip decodes to more than this many times its bytes.
constexpr std::uint64_t kMaxExpansion = 4096;

template <class L>
int Load(L& image, const std::string& fileName) {
  using Layout = DumpLayout<L>;
  using Sample = typename Layout::Sample;
  std::error_code error;
  const std::uint64_t fileSize = std::filesystem::file_size(fileName, error);
  if (error) return -1;
  // Strips as stored ("c": libtiff does not split a large one), so that a dump is read in one call.
  TiffFile tif = OpenQuietly(fileName, "rc");
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

  const std::size_t pixels = std::size_t{width} * height;
  std::unique_ptr<Sample[]> buffer;
  try {
    buffer = std::make_unique_for_overwrite<Sample[]>(pixels * Layout::kChannels);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  auto* bytes = reinterpret_cast<std::uint8_t*>(buffer.get());
  for (std::uint32_t row = 0; row < height; row += rowsPerStrip) {
    const std::uint32_t rows = std::min(rowsPerStrip, height - row);
    const tmsize_t size = TIFFVStripSize(t, rows);
    // A short strip would leave samples undefined: refused like a failed one.
    if (TIFFReadEncodedStrip(t, TIFFComputeStrip(t, row, 0), bytes + row * rowBytes, size) != size)
      return -1;
  }
  tif.reset();

  try {
    for (auto& channel : image.channels)
      channel.Resize(static_cast<int>(width), static_cast<int>(height));
  } catch (const std::exception&) {
    return -1;
  }
  Deinterleave(buffer.get(), image);
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
  return WithLayers(image, [&](const auto& layers) { return Save(layers, fileName); });
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
