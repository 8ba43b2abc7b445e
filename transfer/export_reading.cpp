#include "transfer/export_reading.h"

#include "core/error.h"

namespace sbrep {

void Findings::Note(int rank, std::string detail, Cause cause) {
  if (Has(rank)) return;
  noted_ |= 1u << rank;
  if (best_rank_ < 0 || rank < best_rank_) {
    best_rank_ = rank;
    best_detail_ = std::move(detail);
    best_cause_ = cause;
  }
}

bool Findings::Has(int rank) const { return (noted_ & (1u << rank)) != 0; }

void Findings::ThrowFirst() const {
  if (Any()) ThrowExportError(best_detail_, best_cause_);
}

std::string ItemLabel(std::string_view noun, std::size_t position, std::string_view name,
                      std::string_view expected_name) {
  const std::string shown =
      name.empty() ? "text, expected " + std::string(expected_name) : std::string(name);
  return std::string(noun) + " " + std::to_string(position + 1) + " (" + shown + ")";
}

std::string WrongRoot(std::string_view name, std::string_view expected) {
  return "root element is '" + std::string(name) + "', expected " + std::string(expected);
}

std::string MissingPart(std::string_view path) { return std::string(path) + " is missing"; }

std::string EmptyPart(std::string_view path) { return std::string(path) + " is empty"; }

void HeaderReader::Open(std::string_view name) {
  open_ = false;
  if (fields_.size() >= kMaxFields) return;
  for (const auto& field : fields_) {
    if (field.first == name) return;
  }
  fields_.emplace_back(std::string(name), std::string());
  text_.Clear();
  open_ = true;
}

void HeaderReader::Close() {
  if (!open_) return;
  fields_.back().second = text_.text();
  open_ = false;
}

bool GbkEncoder::Encode(std::string_view utf8, std::string* gbk) {
  gbk->clear();
  for (const char c : utf8) {
    if (static_cast<unsigned char>(c) >= 0x80) return converter_.Encode(utf8, gbk);
  }
  gbk->assign(utf8);
  return true;
}

}  // namespace sbrep
