// The library's catalogue of status-code texts, generated from catalogue.tsv.
#pragma once

#include <cstdint>

namespace pellam {

// The catalogue's text for `code` (ending in CR LF, inserts as written), or null.
const char* CatalogueText(uint32_t code) noexcept;

// Number of texts in the catalogue, and the code of the index-th (in code order).
uint32_t CatalogueSize() noexcept;
uint32_t CatalogueCode(uint32_t index) noexcept;

}  // namespace pellam
