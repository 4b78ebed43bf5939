// The panel page's files (HTML, CSS, JavaScript), built into the tool from tools/pndhal/panel/assets/ so
// that the panel needs no file at run time and loads nothing from elsewhere.
#pragma once

#include <span>
#include <string_view>

namespace panel {

/// One file of the page.
struct Asset {
  std::string_view name;  ///< its file name, which is its path under the panel's root
  std::string_view type;  ///< the media type it is served as
  std::string_view content;
};

/// Every file of the page, in the order the build listed them.
std::span<const Asset> Assets();

}  // namespace panel
