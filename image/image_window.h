// The image's display window as the image model sees it, and the registry of open windows.
// The desktop program supplies real windows; without one (tests, the batch runner) a headless
// window stands in. Either way a window is created through the installed factory.
#pragma once

#include <array>
#include <memory>
#include <string>

namespace kandrel {

class Image;
class ImageDisplay;

class ImageWindow {
 public:
  virtual ~ImageWindow() = default;
  // Recomputes the display from the samples (recompute) or only re-tone-maps, and repaints.
  virtual void Refresh(bool recompute) = 0;
  // What the window shows, as of the last Refresh.
  virtual ImageDisplay& Display() = 0;
  // Shows the window and brings it to the front (or activates its page when docked).
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool IsVisible() const = 0;
  virtual std::string Caption() const = 0;
  // The user may rename a window (from the process tree).
  virtual void SetCaption(const std::string& caption) = 0;
};

class ImageWindowFactory {
 public:
  virtual ~ImageWindowFactory() = default;
  virtual std::unique_ptr<ImageWindow> CreateImageWindow(Image& image) = 0;
};

// Installs the factory used by Image::CreateWindow; null means images get no windows.
void SetImageWindowFactory(ImageWindowFactory* factory);
ImageWindowFactory* GetImageWindowFactory();

// The 100 numbered slots of open image windows. A window takes the first free slot, whose
// number gives its caption "Image<n>"; without a free slot it stays unnumbered ("Image").
class ImageWindowRegistry {
 public:
  static constexpr int kSlotCount = 100;
  static ImageWindowRegistry& Instance();

  // The slot taken by window, or -1 when all are taken.
  int Register(ImageWindow* window);
  void Unregister(int slot);
  static std::string CaptionForSlot(int slot);
  // Hides every registered window.
  void HideAll();
  int RegisteredCount() const;

 private:
  std::array<ImageWindow*, kSlotCount> slots_{};
};

}  // namespace kandrel
