#include "frame/catalogue.h"

#include <algorithm>
#include <iterator>

namespace pellam {
namespace {

struct CatalogueEntry {
  uint32_t code;
  const char* text;
};

constexpr CatalogueEntry kCatalogue[] = {
#include "catalogue_table.inc"
};

}  // namespace

const char* CatalogueText(uint32_t code) noexcept {
  const auto* it = std::lower_bound(std::begin(kCatalogue), std::end(kCatalogue), code,
                                    [](const CatalogueEntry& e, uint32_t c) { return e.code < c; });
  return it != std::end(kCatalogue) && it->code == code ? it->text : nullptr;
}

uint32_t CatalogueSize() noexcept { return static_cast<uint32_t>(std::size(kCatalogue)); }

uint32_t CatalogueCode(uint32_t index) noexcept {
  return index < CatalogueSize() ? kCatalogue[index].code : 0;
}

}  // namespace pellam
