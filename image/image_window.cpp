#include "image/image_window.h"

namespace kandrel {

namespace {
ImageWindowFactory* g_factory = nullptr;
}

void SetImageWindowFactory(ImageWindowFactory* factory) { g_factory = factory; }
ImageWindowFactory* GetImageWindowFactory() { return g_factory; }

ImageWindowRegistry& ImageWindowRegistry::Instance() {
  static ImageWindowRegistry registry;
  return registry;
}

int ImageWindowRegistry::Register(ImageWindow* window) {
  for (int i = 0; i < kSlotCount; ++i) {
    if (slots_[i] == nullptr) {
      slots_[i] = window;
      return i;
    }
  }
  return -1;
}

void ImageWindowRegistry::Unregister(int slot) {
  if (slot >= 0 && slot < kSlotCount) slots_[slot] = nullptr;
}

std::string ImageWindowRegistry::CaptionForSlot(int slot) {
  return slot < 0 ? "Image" : "Image" + std::to_string(slot);
}

void ImageWindowRegistry::HideAll() {
  for (ImageWindow* w : slots_)
    if (w != nullptr && w->IsVisible()) w->Hide();
}

int ImageWindowRegistry::RegisteredCount() const {
  int n = 0;
  for (ImageWindow* w : slots_) n += w != nullptr;
  return n;
}

}  // namespace kandrel
