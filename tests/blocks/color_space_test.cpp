// The colour-space processes run frame by frame: results equal to their converters' on random
// images, colour-space tags, the refused inputs and the size message, the defaults of the base
// class, type rules and catalogue rows.
#include "blocks/pixel/color_space.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <type_traits>
#include <vector>

#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

class ColorSpaceTest : public KandrelTest {};

constexpr const char* kUnequalSizesText =
    "において３つのチャンネルのサイズ（サンプリング間隔）がそろっていません。"
    "サイズを変換して下さい。";

struct Conversion {
  KindRow row;
  int tag;
  std::shared_ptr<const ConvertColor> converter;
};

std::vector<Conversion> Conversions() {
  auto row = [](int id, const char* className, const char* caption, const char* name,
                const char* cell) {
    return KindRow{id, className, caption, name, cell, 1, 1, false, 0};
  };
  return {
      {row(kRgbToYCrCbProcessId, "ProcRgbToYCrCb", "YCrCb へ", "RGB_YCrCb", "RGB_YCrCb"), kYCrCb,
       std::make_shared<RGB_YCrCb>()},
      {row(kYCrCbToRgbProcessId, "ProcYCrCbToRgb", "YCrCb から", "YCrCb_RGB", "YCrCb_RGB"), kRgb,
       std::make_shared<YCrCb_RGB>()},
      {row(kRgbToHSVProcessId, "ProcRgbToHSV", "HSV へ", "RGB_HSV", ""), kHsv,
       std::make_shared<RGB_HSV>()},
      {row(kHSVToRgbProcessId, "ProcHSVToRgb", "HSV から", "HSV_RGB", ""), kRgb,
       std::make_shared<HSV_RGB>()},
      {row(kRgbToXYZProcessId, "ProcRgbToXYZ", "XYZ へ", "RGB_XYZ", ""), kXyz,
       std::make_shared<RGB_XYZ>()},
      {row(kXYZToRgbProcessId, "ProcXYZToRgb", "XYZから", "XYZ_RGB", ""), kRgb,
       std::make_shared<XYZ_RGB>()},
      {row(kRgbToLabProcessId, "ProcRgbToLab", "Lab へ", "RGB_Lab", ""), kLab,
       std::make_shared<RGB_Lab>()},
      {row(kLabToRgbProcessId, "ProcLabToRgb", "Lab から", "Lab_RGB", ""), kRgb,
       std::make_shared<Lab_RGB>()},
  };
}

// One frame of process on image; its output is converter's arrays of the input's channels,
// tagged with tag and keeping the input's white level and gamma.
template <class L>
void ExpectConverted(ProcVirtual& process, std::unique_ptr<L> image, const ConvertColor& converter,
                     int tag) {
  HeldImages held;
  L& in = held.Hold(0, std::move(image));
  in.colorSpace = tag == kRgb ? kLab : kRgb;
  in.whiteLevel = 200.0;
  in.gamma = 1.8;
  ASSERT_EQ(RunFrame(process, held), 0);
  process.DisconnectAll();
  const L* out = As<L>(process.GetOutput(0));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->colorSpace, tag);
  EXPECT_EQ(out->whiteLevel, 200.0);
  EXPECT_EQ(out->gamma, 1.8);
  std::array<typename L::ArrayType, 3> expected;
  if constexpr (std::is_same_v<typename L::Sample, int>)
    converter.ConvertIntArrays(in.channels[0], in.channels[1], in.channels[2], expected[0],
                               expected[1], expected[2]);
  else
    converter.ConvertFloatArrays(in.channels[0], in.channels[1], in.channels[2], expected[0],
                                 expected[1], expected[2]);
  for (int c = 0; c < 3; ++c)
    ExpectChannel(out->channels[c], SizeOf(in.channels[0]),
                  [&](int x, int y) { return expected[c][y][x]; });
}

TEST_F(ColorSpaceTest, OutputsAreTheConvertersResultsTaggedWithTheColourSpace) {
  std::mt19937 rng(17);
  for (const Conversion& conversion : Conversions()) {
    SCOPED_TRACE(conversion.row.className);
    std::unique_ptr<ProcVirtual> process = CreateById(conversion.row.id);
    ExpectConverted(*process, RandomImage<Int3Image>(rng, 17, 9), *conversion.converter,
                    conversion.tag);
    ExpectConverted(*process, RandomImage<Float3Image>(rng, 17, 9), *conversion.converter,
                    conversion.tag);
  }
  EXPECT_TRUE(Messages().empty());
}

// Only Int 3ch and Float 3ch are accepted, and only with channels of one size.
TEST_F(ColorSpaceTest, RefusesOtherTypesAndUnequalChannelSizes) {
  auto subsampled = [](auto image) {
    image->channels[0].Resize(640, 480);
    for (int c : {1, 2}) image->channels[c].Resize(320, 240);
    return image;
  };
  for (const Conversion& conversion : Conversions()) {
    std::unique_ptr<ProcVirtual> process = CreateById(conversion.row.id);
    for (int type = 0; type <= kImageTypeCount; ++type) {
      TypeList in{type}, out{};
      const bool accepted = type == kTypeInt3 || type == kTypeFloat3;
      EXPECT_EQ(process->InferOutputTypes(in, out) ? out[0] : 0, accepted ? type : 0);
    }
    HeldImages complex, single, ints, floats;
    complex.Hold(0, Row<Complex3Image>({{1, 2}}));
    single.Hold(0, Row<Int1Image>({1}));
    ints.Hold(0, subsampled(std::make_unique<Int3Image>()));
    floats.Hold(0, subsampled(std::make_unique<Float3Image>()));
    for (HeldImages* held : {&complex, &single, &ints, &floats}) {
      host.ClearMessages();
      EXPECT_NE(RunFrame(*process, *held), 0);
      if (held == &ints || held == &floats) {
        EXPECT_EQ(Messages(), std::vector<std::string>{process->Name() + kUnequalSizesText});
        EXPECT_EQ(process->Status(), "sz?");
      } else {
        EXPECT_EQ(process->Status(), "in?");
      }
      process->DisconnectAll();
    }
  }
}

// Supplies only the float sample operation: its Int samples and both array operations follow
// from it by the base class's defaults.
class FloatSampleOnly final : public ProcConvertColor {
 public:
  FloatSampleOnly() : ProcConvertColor(0, kYCrCb) {}
  void ConvertFloatSample(float a, float b, float c, float& x, float& y, float& z) const override {
    RGB_YCrCb().ConvertFloatSample(a, b, c, x, y, z);
  }
};

TEST_F(ColorSpaceTest, BaseDefaultsFollowTheSampleOperationsAsAConverterDoes) {
  std::mt19937 rng(23);
  FloatSampleOnly floatOnly;
  ExpectConverted(floatOnly, RandomImage<Int3Image>(rng, 11, 4), RGB_YCrCb(), kYCrCb);
  ExpectConverted(floatOnly, RandomImage<Float3Image>(rng, 11, 4), RGB_YCrCb(), kYCrCb);
}

TEST_F(ColorSpaceTest, CatalogueRowsWithoutParametersOrDialogs) {
  for (const Conversion& conversion : Conversions()) ExpectKind(conversion.row);
}

}  // namespace
}  // namespace kandrel::testing
