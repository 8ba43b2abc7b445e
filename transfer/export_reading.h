// What the three kinds' XML stages share: the root test, required parts,
// and the labels that name an item in a failure's detail.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "transfer/values.h"
#include "xml/export_reader.h"

namespace sbrep {

// Throws an export error unless the root element is named `expected` exactly.
void RequireRoot(const ExportDocument& document, std::string_view expected);

// The first child of `parent` named `name`; throws an export error naming
// its path ("DZSBB/SB_SYB/SB_SYB_JG is missing") when there is none, or
// ("... is empty") when `filled` and it has no children.
ExportNode RequirePart(const ExportNode& parent, const std::string& parent_path,
                       std::string_view name, bool filled);

// "invoice 37 (SB_KPJK_FPMX)": the noun, the position counted from 1, and
// the element's name, or what was expected where a text stands instead.
std::string ItemLabel(std::string_view noun, std::size_t position, const ExportNode& item,
                      std::string_view expected_name);

// Adds the element children of `part` to `header`, but none whose name is
// there already.
void AddHeaderFields(const ExportNode& part, HeaderFields* header);

// The GBK bytes of a UTF-8 text; throws an export error that names `where`
// when a character has no GBK form.
std::string GbkOrThrow(const std::string& text, const std::string& where);

// The export error of a text with a character GBK cannot represent.
[[noreturn]] void ThrowNotGbk(const std::string& text, const std::string& where);

}  // namespace sbrep
