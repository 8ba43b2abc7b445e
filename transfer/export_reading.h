// What the three kinds' XML stages share: the failures found while a pass
// runs, of which the one a reader would meet first is reported; the labels
// and details that name what failed; and the conversion of texts to GBK.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"
#include "platform/codepage.h"
#include "transfer/values.h"
#include "xml/text_value.h"

namespace sbrep {

// The export errors a pass finds, kept by rank: the checks of a kind run in
// a fixed order, and a failure of an earlier check is the one reported,
// wherever in the document it stands.
class Findings {
 public:
  // Keeps the first failure of each rank.
  void Note(int rank, std::string detail, Cause cause = Cause::kOther);
  bool Has(int rank) const;
  bool Any() const { return best_rank_ >= 0; }
  // Throws the export error of the lowest rank noted, if any.
  void ThrowFirst() const;

 private:
  int best_rank_ = -1;
  std::string best_detail_;
  Cause best_cause_ = Cause::kOther;
  unsigned noted_ = 0;  // a bit for each rank noted
};

// "invoice 37 (SB_KPJK_FPMX)": the noun, the position counted from 1, and
// the element's name, or what was expected where text stands instead.
std::string ItemLabel(std::string_view noun, std::size_t position, std::string_view name,
                      std::string_view expected_name);

// "root element is 'X', expected DZSBB"; "DZSBB/SB_SYB/SB_SYB_JG is missing".
std::string WrongRoot(std::string_view name, std::string_view expected);
std::string MissingPart(std::string_view path);
std::string EmptyPart(std::string_view path);

// UTF-8 to GBK with one converter for a whole pass; ASCII passes as it is.
class GbkEncoder {
 public:
  GbkEncoder() : converter_(CodePage::kGbk) {}
  // False when a character has no GBK form.
  bool Encode(std::string_view utf8, std::string* gbk);

 private:
  CodePageConverter converter_;
};

// Gathers the header fields of an export as a pass goes: the element
// children of the header parts, the first of each name, each with its text.
// Nothing is filed from them; the tool compares them with the table.
class HeaderReader {
 public:
  // A child of a header part opens; false when its name is there already.
  void Open(std::string_view name);
  void Add(std::string_view data) {
    if (open_) text_.Add(data);
  }
  void Close();
  bool open() const { return open_; }
  HeaderFields Take() { return std::move(fields_); }

 private:
  // More fields than a header has are no help to anyone reading them.
  static constexpr std::size_t kMaxFields = 100;
  HeaderFields fields_;
  TextValue text_;
  bool open_ = false;
};

// A text as a reader took it: trimmed, or too long to take.
struct ReadText {
  std::string text;  // UTF-8
  bool too_long = false;
};

}  // namespace sbrep
