#include "ui/form_factory.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

#include "ui/form_no_param.h"

namespace kandrel {

namespace {

using FormMaker = std::unique_ptr<TFormVirtual> (*)(ProcVirtual&);

template <class Form>
std::unique_ptr<TFormVirtual> Make(ProcVirtual& process) {
  return std::make_unique<Form>(process);
}

constexpr std::pair<std::string_view, FormMaker> kForms[] = {
    {"TFormNoParam", Make<TFormNoParam>},
};

}  // namespace

std::unique_ptr<TFormVirtual> CreateForm(const std::string& formClass, ProcVirtual& process) {
  const auto* form = std::find_if(std::begin(kForms), std::end(kForms),
                                  [&](const auto& entry) { return entry.first == formClass; });
  return form != std::end(kForms) ? form->second(process) : nullptr;
}

}  // namespace kandrel
