#include "blocks/pixel/frame_control.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>

#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

using Complex = std::complex<float>;

// The buffer's next content: input over the overlap (anchored top-left) and, elsewhere, the
// previous content, which lies in rest when the buffer handed its samples to the output, or in
// the buffer itself otherwise. The buffer keeps its size.
template <class T>
void TakeInput(const Array2D<T>& input, const Array2D<T>* rest, Array2D<T>& buffer) {
  if (rest != nullptr && !buffer.SameSize(*rest)) buffer.Resize(rest->Width(), rest->Height());
  const int width = buffer.Width();
  const int overlapWidth = std::min(width, input.Width());
  const int overlapHeight = std::min(buffer.Height(), input.Height());
  int y = 0;
  // Rows of one width lie end to end: the overlap is then one block.
  if (input.Width() == width && overlapHeight > 0) {
    std::copy(input[0], input[0] + static_cast<std::size_t>(width) * overlapHeight, buffer[0]);
    y = overlapHeight;
  }
  for (; y < buffer.Height(); ++y) {
    T* b = buffer[y];
    int x = 0;
    if (y < overlapHeight) {
      std::copy(input[y], input[y] + overlapWidth, b);
      x = overlapWidth;
    }
    if (rest != nullptr) std::copy((*rest)[y] + x, (*rest)[y] + width, b + x);
  }
}

bool IsImageType(int type) { return type >= 1 && type <= kImageTypeCount; }

}  // namespace

// ---- ProcFrameBuffer
//
// The buffer's samples are handed to the output by swapping them, not copying: from Prepare until
// Execute the output holds the buffer's content and the buffer holds spare samples, which Execute
// overwrites with the next content. bufferInOutput_ says which of the two holds the content.

ProcFrameBuffer::ProcFrameBuffer(int processId) : ProcStandardOut(processId) {
  SetDefaultName("FrameBuf");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormFrameBuffer");
}

ProcFrameBuffer::~ProcFrameBuffer() = default;

int ProcFrameBuffer::GetOutputType(int i) {
  return i == 0 && IsImageType(params.bufferType) ? params.bufferType : 0;
}

bool ProcFrameBuffer::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] != 0 && inTypes[0] != params.bufferType) return false;
  outTypes[0] = params.bufferType;
  return true;
}

int ProcFrameBuffer::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcFrameBuffer::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

bool ProcFrameBuffer::EnsureBuffer() {
  if (buffer_ != nullptr && buffer_->TypeId() == params.bufferType) return true;
  bufferInOutput_ = false;
  buffer_ = CreateImage(params.bufferType);
  if (buffer_ != nullptr) return true;
  Message(Name() + "の出力を準備できません。");
  return false;
}

bool ProcFrameBuffer::Initialise(Image& image) {
  // The dialog keeps sizes within 1..2048; a stored record may hold anything.
  constexpr int kLargestSide = 1 << 15;
  const int width = params.bufferWidth, height = params.bufferHeight;
  if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide) {
    Message(Name() + "のバッファサイズ " + std::to_string(width) + " x " + std::to_string(height) +
            " は扱えません。");
    SetStatus("err");
    return false;
  }
  try {
    image.Resize(width, height);
  } catch (const std::bad_alloc&) {
    Message(Name() + "のバッファを確保できません。");
    SetStatus("err");
    return false;
  }
  image.Fill(params.initialValue);
  return true;
}

int ProcFrameBuffer::ResetOutputs(OutputImages& outputs) {
  if (int r = ProcStandardOut::ResetOutputs(outputs); r != 0) return r;
  Image* output = outputs[0].get();
  if (output == nullptr || !Initialise(*output)) return 1;
  output->RefreshWindow();
  if (!EnsureBuffer()) return 1;
  bufferInOutput_ = false;
  return Initialise(*buffer_) ? 0 : 1;
}

int ProcFrameBuffer::PrepareOutputs(const InputImages& inputs, OutputImages& outputs) {
  if (ProcStandardOut::PrepareOutputs(inputs, outputs) != 0) return 1;
  if (!EnsureBuffer()) return 1;
  const Image* content = bufferInOutput_ ? outputs[0].get() : buffer_.get();
  if (content == nullptr || content->Width() != params.bufferWidth ||
      content->Height() != params.bufferHeight) {
    bufferInOutput_ = false;
    if (!Initialise(*buffer_)) return 1;
  }
  Image* output = outputs[0].get();
  if (output == nullptr || output->TypeId() != buffer_->TypeId()) {
    Message(Name() + "の入出力の型がそろっていません。");
    return 1;
  }
  // A frame whose Execute did not come (the run stopped) left the content in the output already.
  if (!bufferInOutput_) {
    output->SwapSamples(*buffer_);
    bufferInOutput_ = true;
  }
  output->colorSpace = buffer_->colorSpace;
  output->whiteLevel = buffer_->whiteLevel;
  output->gamma = buffer_->gamma;
  output->ResetView();
  return 0;
}

int ProcFrameBuffer::Process(const InputImages& inputs, OutputImages& outputs) {
  if (buffer_ == nullptr) return 1;
  // Unlinked, the buffer keeps its content (wherever it lies) and the output what it shows.
  if (inputs[0] == nullptr) return 0;
  if (int r = ProcStandardOut::Process(inputs, outputs); r != 0) return r;
  bufferInOutput_ = false;
  return 0;
}

template <class L>
int ProcFrameBuffer::TakeImage(const InputImages& inputs, const InputImages& outputs) {
  const L* input = As<L>(inputs[0]);
  const L* output = As<L>(outputs[0]);
  L* buffer = As<L>(buffer_.get());
  if (input == nullptr || buffer == nullptr) return 1;
  for (int c = 0; c < L::kChannels; ++c) {
    const auto* rest = bufferInOutput_ && output != nullptr ? &output->channels[c] : nullptr;
    TakeInput(input->channels[c], rest, buffer->channels[c]);
  }
  return 0;
}

template <class L, class T>
int ProcFrameBuffer::TakeChannel(const InArrays<T>& in, const OutArrays<T>& out) {
  L* buffer = As<L>(buffer_.get());
  if (in[0] == nullptr || buffer == nullptr) return 1;
  TakeInput(*in[0], bufferInOutput_ ? out[0] : nullptr, buffer->channels[0]);
  return 0;
}

// Three channels one after another on this thread, not on worker threads.
int ProcFrameBuffer::ProcessInt3(const InputImages& inputs, const InputImages& outputs) {
  return TakeImage<Int3Image>(inputs, outputs);
}
int ProcFrameBuffer::ProcessFloat3(const InputImages& inputs, const InputImages& outputs) {
  return TakeImage<Float3Image>(inputs, outputs);
}
int ProcFrameBuffer::ProcessComplex3(const InputImages& inputs, const InputImages& outputs) {
  return TakeImage<Complex3Image>(inputs, outputs);
}
int ProcFrameBuffer::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return TakeChannel<Int1Image>(in, out);
}
int ProcFrameBuffer::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return TakeChannel<Float1Image>(in, out);
}
int ProcFrameBuffer::ProcessComplexChannel(const InArrays<Complex>& in,
                                           const OutArrays<Complex>& out) {
  return TakeChannel<Complex1Image>(in, out);
}

// ---- ProcPeriodSwitch

ProcPeriodSwitch::ProcPeriodSwitch(int processId) : ProcVirtual(processId) {
  SetDefaultName("Switch");
  SetPortCounts(2, 1);
  CreateParameterDialog("TFormPeriodSwitch");
}

Image* ProcPeriodSwitch::GetOutput(int i) const {
  if (i < 0 || i >= OutputCount() || busy_) return nullptr;
  busy_ = true;
  Image* image = GetInput(selectedInput_);
  busy_ = false;
  return image;
}

bool ProcPeriodSwitch::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  outTypes[0] = inTypes[selectedInput_];
  return true;
}

int ProcPeriodSwitch::Process(const InputImages&, OutputImages&) {
  // Summed in 64 bits: two stored periods near the int32 limit must not overflow.
  const std::int64_t total = std::int64_t{params.period1} + params.period2;
  if (total < 1) return 1;
  selectedInput_ = FrameCounter() % total < params.period1 ? 0 : 1;
  return 0;
}

int ProcPeriodSwitch::ResetOutputs(OutputImages&) {
  ResetFrameCounter();
  selectedInput_ = 0;
  return 0;
}

int ProcPeriodSwitch::SaveParams(ByteStream& stream) {
  ProcVirtual::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcPeriodSwitch::LoadParams(ByteStream& stream) {
  const int header = ProcVirtual::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcInterlace

namespace {

// Even rows to the first field, odd rows to the second, the other field's rows 0.
template <class T>
int SplitFields(const InArrays<T>& in, const OutArrays<T>& out) {
  if (in[0] == nullptr || out[0] == nullptr || out[1] == nullptr) return 1;
  const Array2D<T>& input = *in[0];
  Array2D<T>* fields[2] = {out[0], out[1]};
  const int width = input.Width();
  for (Array2D<T>* field : fields) field->Resize(width, input.Height());
  for (int y = 0; y < input.Height(); ++y) {
    const int mine = y % 2;
    std::copy(input[y], input[y] + width, (*fields[mine])[y]);
    std::fill((*fields[1 - mine])[y], (*fields[1 - mine])[y] + width, T{});
  }
  return 0;
}

}  // namespace

ProcInterlace::ProcInterlace(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Interlace");
  SetVerilogName("Interlace");
  SetPortCounts(1, 2);
}

bool ProcInterlace::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (!IsImageType(inTypes[0])) return false;
  outTypes[0] = outTypes[1] = inTypes[0];
  return true;
}

int ProcInterlace::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return SplitFields(in, out);
}

int ProcInterlace::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return SplitFields(in, out);
}

// ---- ProcPaste

namespace {

std::uint16_t LoadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t LoadU32(const std::uint8_t* p) { return static_cast<std::uint32_t>(LoadI32(p)); }

// The size of the BMP file whose headers start the stream, checked against what the headers
// say and what the stream still holds; 0 when it is no BMP, claims more than the stream has or
// a picture no screen shows. The stream is left where it was.
std::size_t StoredBmpSize(ByteStream& stream) {
  constexpr std::size_t kFileHeader = 14, kCoreHeader = 12, kInfoHeader = 40;
  constexpr std::int64_t kLargestSide = 1 << 15;
  constexpr std::uint32_t kLargestFile = 1u << 30;
  const std::int64_t start = stream.Position();
  std::uint8_t head[kFileHeader + kInfoHeader] = {};
  const std::int64_t available = stream.Remaining();
  const bool read = available >= static_cast<std::int64_t>(kFileHeader + kCoreHeader) &&
                    stream.Read(head, std::min<std::size_t>(sizeof head, available));
  stream.Seek(start);
  if (!read || head[0] != 'B' || head[1] != 'M') return 0;
  const std::uint32_t fileSize = LoadU32(head + 2);
  const std::uint32_t pixelOffset = LoadU32(head + 10);
  const std::uint32_t infoSize = LoadU32(head + 14);
  std::int64_t width = 0, height = 0, bitsPerPixel = 0, compression = 0;
  if (infoSize == kCoreHeader) {
    width = LoadU16(head + 18);
    height = LoadU16(head + 20);
    bitsPerPixel = LoadU16(head + 24);
  } else if (infoSize >= kInfoHeader && available >= static_cast<std::int64_t>(sizeof head)) {
    width = LoadI32(head + 18);
    height = std::abs(std::int64_t{LoadI32(head + 22)});
    bitsPerPixel = LoadU16(head + 28);
    compression = LoadU32(head + 30);
  } else {
    return 0;
  }
  if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide ||
      bitsPerPixel < 1 || bitsPerPixel > 32 || fileSize > kLargestFile ||
      fileSize > static_cast<std::uint64_t>(available) || pixelOffset < kFileHeader + infoSize ||
      pixelOffset >= fileSize)
    return 0;
  // Uncompressed rows (no codes, or bit fields) must all lie inside the file.
  const bool uncompressed = compression == 0 || compression == 3;
  const std::int64_t rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
  if (uncompressed && pixelOffset + rowBytes * height > fileSize) return 0;
  return fileSize;
}

}  // namespace

ProcPaste::ProcPaste(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Paste");
  SetPortCounts(0, 1);
}

bool ProcPaste::InferOutputTypes(const TypeList&, TypeList& outTypes) {
  outTypes[0] = kTypeInt3;
  return true;
}

int ProcPaste::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteI32(stream, HoldsPicture() ? 1 : 0);
  if (HoldsPicture()) stream.Write(bmp_.data(), bmp_.size());
  return 0;
}

int ProcPaste::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  if (ReadI32(stream, 0) == 0) return header | (stream.Damaged() ? 1 : 0);
  bmp_.clear();
  picture_ = Picture();
  // The picture's end is known only from its headers: they are checked against the stream before
  // anything is allocated, and a picture that does not decode is refused like a short one.
  const std::size_t size = StoredBmpSize(stream);
  std::vector<std::uint8_t> bytes(size);
  if (size == 0 || !stream.Read(bytes.data(), size) || !picture_.LoadBmp(bytes)) {
    picture_ = Picture();
    stream.MarkDamaged();
    return 1;
  }
  bmp_ = std::move(bytes);
  return header;
}

int ProcPaste::ProcessInt3(const InputImages&, const InputImages& outputs) {
  // Taken from the clip board once; later frames show the held picture again.
  if (!HoldsPicture() && GetHost().ClipboardHasBitmap() &&
      GetHost().ReadClipboardBitmap(picture_))
    bmp_ = picture_.EncodeBmp();
  auto* output = As<Int3Image>(outputs[0]);
  if (!HoldsPicture() || output == nullptr) {
    Message("現在のクリップボードの内容は貼り付けられません。");
    return 1;
  }
  PictureToPlanes(picture_, output->channels[0], output->channels[1], output->channels[2]);
  output->colorSpace = kRgb;
  output->whiteLevel = 255.0;
  output->gamma = 2.2;
  return 0;
}

void RegisterFrameControlKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(
      KindOf<ProcFrameBuffer>(kFrameBufferProcessId, "ProcFrameBuffer", "フレーム遅延バッファ"));
  catalogue.Register(
      KindOf<ProcPeriodSwitch>(kPeriodSwitchProcessId, "ProcPeriodSwitch", "周期スイッチ"));
  catalogue.Register(
      KindOf<ProcInterlace>(kInterlaceProcessId, "ProcInterlace", "インターレース分離"));
  catalogue.Register(KindOf<ProcPaste>(kPasteProcessId, "ProcPaste"));
}

}  // namespace kandrel
