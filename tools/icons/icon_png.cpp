// icon_png: writes the program's icon (resource 110) into a freedesktop icon
// theme folder, as NxN/apps/NAME.png for 16, 32 and 48 pixels:
//
//   icon_png THEME_FOLDER NAME
//
// 16 and 32 are the icon's own pictures, pixel for pixel; 48, which desktop
// menus ask for, is scaled from the 32-pixel picture. The art itself lives
// in resources/icon.cpp, which this program is built with.
#include <vtresource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "resources/resource.h"
#include "tools/icons/png.h"

namespace {

bool PictureOfSize(const vtres::Icon& icon, int size, vt::tools::Image* image) {
  for (int i = 0; i < icon.imageCount; ++i) {
    const auto& picture = icon.images[i];
    if (picture.width == size && picture.height == size) {
      image->width = size;
      image->height = size;
      image->argb.assign(picture.argb, picture.argb + size * size);
      return true;
    }
  }
  return false;
}

bool Write(const std::filesystem::path& folder, int size,
           const std::string& name, const vt::tools::Image& image) {
  const auto dir =
      folder / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  std::ofstream file(dir / (name + ".png"), std::ios::binary | std::ios::trunc);
  file << vt::tools::EncodePng(image);
  file.close();
  if (!file) {
    std::cerr << "icon_png: cannot write " << (dir / (name + ".png")).string()
              << "\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: icon_png THEME_FOLDER NAME\n";
    return 2;
  }
  const auto* icon = static_cast<const vtres::Icon*>(
      vtres::FindResource(vtres::Type::Icon, IDI_VELTO));
  vt::tools::Image small, large;
  if (icon == nullptr || !PictureOfSize(*icon, 16, &small) ||
      !PictureOfSize(*icon, 32, &large)) {
    std::cerr
        << "icon_png: the program's icon has no 16 and 32 pixel pictures\n";
    return 1;
  }
  const std::filesystem::path folder = argv[1];
  const std::string name = argv[2];
  const bool written = Write(folder, 16, name, small) &&
                       Write(folder, 32, name, large) &&
                       Write(folder, 48, name, vt::tools::Scale(large, 48, 48));
  return written ? 0 : 1;
}
