#include "app/dictionary_maker.h"

#include <charconv>

#include "app/batch_runner.h"
#include "blocks/analysis/sr_dictionary.h"
#include "image/picture.h"
#include "process/host.h"
#include "image/replace_file.h"

namespace kandrel {

namespace {

bool ParseLevels(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  return !text.empty() && error == std::errc() && last == end && value >= 1 &&
         value <= kMaxLearningLevels;
}

// The picture's luma, 0.299·R + 0.587·G + 0.114·B, in float.
FloatArray Grey(const Picture& picture) {
  IntArray red, green, blue;
  PictureToPlanes(picture, red, green, blue);
  FloatArray grey(red.Width(), red.Height());
  for (std::size_t i = 0; i < grey.SampleCount(); ++i)
    grey.Data()[i] = static_cast<float>(0.299 * red.Data()[i] + 0.587 * green.Data()[i] +
                                        0.114 * blue.Data()[i]);
  return grey;
}

}  // namespace

std::optional<DictionaryOptions> ParseDictionaryArguments(const std::vector<std::string>& args,
                                                          std::string& error) {
  DictionaryOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--levels") {
      if (i + 1 >= args.size() || !ParseLevels(args[i + 1], options.levels)) {
        error = "--levels needs a count of 1 to " + std::to_string(kMaxLearningLevels);
        return std::nullopt;
      }
      ++i;
    } else if (arg.starts_with("--")) {
      error = "unexpected argument: " + arg;
      return std::nullopt;
    } else if (options.output.empty()) {
      options.output = arg;
    } else {
      options.pictures.push_back(arg);
    }
  }
  if (options.output.empty()) {
    error = "no dictionary file given";
    return std::nullopt;
  }
  if (options.pictures.empty()) {
    error = "no picture given";
    return std::nullopt;
  }
  return options;
}

int RunMakeDictionary(const DictionaryOptions& options, Host& host, std::ostream& out) {
  std::vector<FloatArray> pictures;
  for (const std::string& path : options.pictures) {
    Picture picture;
    if (!picture.Load(path)) {
      host.ShowMessage(path + " を読み込めません。");
      return kBatchBadInput;
    }
    pictures.push_back(Grey(picture));
  }
  const LearnedDictionary learned = LearnDictionary(pictures, options.levels);
  if (learned.tree.Empty()) {
    host.ShowMessage("画像に学習できる細部がありません。");
    return kBatchFrameFailed;
  }
  std::string error;
  const auto write = [&](ByteStream& file) {
    WriteDictionary(learned.header, learned.tree, file);
    return true;
  };
  if (!ReplaceFile(options.output, write, error)) {
    host.ShowMessage(options.output + " を書き込めません。" + error);
    return kBatchBadInput;
  }
  out << options.output << ": " << learned.leaves << " leaves from " << learned.examples
      << " patches\n";
  return kBatchOk;
}

}  // namespace kandrel
