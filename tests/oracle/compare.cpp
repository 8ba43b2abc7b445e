#include "oracle/compare.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <variant>

#include "core/error.h"
#include "oracle/reader.h"
#include "platform/filesystem.h"
#include "xml/prolog.h"
#include "xml/transcoder.h"

namespace sbrep::oracle {
namespace {

struct Outcome {
  std::optional<Values> values;
  std::optional<Error> error;
};

template <typename Read>
Outcome Run(Read&& read) {
  Outcome outcome;
  try {
    outcome.values = read();
  } catch (const Error& error) {
    outcome.error = error;
  }
  return outcome;
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// A failure of the document as a whole (not well-formed, not valid in its
// encoding, an encoding or a DOCTYPE refused), whose detail each parser
// words its own way; the failures of the kinds' own rules read the same.
bool OfTheDocument(const Error& error) {
  const std::string& detail = error.detail();
  return StartsWith(detail, "line ") || StartsWith(detail, "the export ") ||
         StartsWith(detail, "the DOCTYPE");
}

// A refusal by design where the whole-document reader read the export: a
// declaration that contradicts the byte order mark, which it decoded by the
// declaration, and a code page this system has no converter for.
bool RefusedByDesign(const Error& error) {
  const std::string& detail = error.detail();
  const std::string unconvertible = "which this system cannot convert";
  return (StartsWith(detail, "the export starts with a ") &&
          detail.find("byte order mark but declares") != std::string::npos) ||
         (detail.size() > unconvertible.size() &&
          detail.compare(detail.size() - unconvertible.size(), unconvertible.size(),
                         unconvertible) == 0);
}

// Serves the export through the file-system seam with its end changed, for
// as long as it lives: the bytes of 0x80 and above at the very end are
// dropped, and one byte that is not well-formed ends the file. A reader that
// still gives the same answer never read the end of the file: it stopped
// early. The high bytes go first because the file may end inside a
// character, and the reader checks a whole chunk's encoding before parsing
// any of it: a byte added to a cut character would fail the chunk wherever
// the reader stops.
class GarbageAtTheEnd {
 public:
  GarbageAtTheEnd() : saved_(fs::FileSystem()) {
    Served() = Bytes{};
    Served().inner = saved_.read;
    fs::FileSystem().read = [](fs::Handle handle, void* buffer, std::size_t size,
                               std::size_t* got) noexcept {
      Bytes& served = Served();
      if (!served.loaded) {
        char block[1 << 16];
        std::size_t n = 0;
        do {
          const fs::Outcome outcome = served.inner(handle, block, sizeof block, &n);
          if (!outcome.ok()) return outcome;
          served.bytes.append(block, n);
        } while (n > 0);
        while (!served.bytes.empty() && static_cast<unsigned char>(served.bytes.back()) >= 0x80) {
          served.bytes.pop_back();
        }
        served.bytes += '<';
        served.loaded = true;
      }
      *got = std::min(size, served.bytes.size() - served.next);
      std::memcpy(buffer, served.bytes.data() + served.next, *got);
      served.next += *got;
      return fs::Outcome{};
    };
  }
  ~GarbageAtTheEnd() { fs::FileSystem() = saved_; }
  GarbageAtTheEnd(const GarbageAtTheEnd&) = delete;
  GarbageAtTheEnd& operator=(const GarbageAtTheEnd&) = delete;

 private:
  struct Bytes {
    decltype(fs::Ops::read) inner = nullptr;
    bool loaded = false;
    std::string bytes;
    std::size_t next = 0;
  };
  static Bytes& Served() {
    static Bytes served;
    return served;
  }
  fs::Ops saved_;
};

// Whether the one-pass reader gives the same failure when the file ends
// badly: then it stopped before the end.
bool StopsEarly(const KindEntry& kind, const std::string& path, const Error& failure) {
  const GarbageAtTheEnd garbage;
  const Outcome again = Run([&] { return kind.read(kind, path, {}); });
  return again.error && again.error->detail() == failure.detail();
}

std::string Shown(const Outcome& outcome) {
  if (outcome.values) return "read";
  return "failed: " + outcome.error->detail();
}

Verdict Differ(const Outcome& stream, const Outcome& whole) {
  return {false, "one pass " + Shown(stream) + "; whole document " + Shown(whole)};
}

std::string Fields(const HeaderFields& header) {
  std::string shown;
  for (const auto& [name, text] : header) shown += " " + name + "='" + text + "'";
  return shown;
}

// What differs between two results, or nothing.
std::optional<std::string> Difference(const Values& a, const Values& b) {
  if (a.index() != b.index()) return "of different kinds";
  if (const auto* rows = std::get_if<RowValues>(&a)) {
    const auto& other = std::get<RowValues>(b);
    if (rows->items != other.items) {
      return std::to_string(rows->items) + " items against " + std::to_string(other.items);
    }
    if (rows->header != other.header) {
      return "header" + Fields(rows->header) + " against" + Fields(other.header);
    }
    for (std::size_t r = 0; r < rows->rows.size() && r < other.rows.size(); ++r) {
      const RowValues::Row& x = rows->rows[r];
      const RowValues::Row& y = other.rows[r];
      if (x.first != y.first || x.second != y.second || x.label != y.label) {
        return "row " + std::to_string(r + 1) + ": '" + x.label + "' '" + x.first + "' '" +
               x.second + "' against '" + y.label + "' '" + y.first + "' '" + y.second + "'";
      }
    }
    return std::nullopt;
  }
  const auto& totals = std::get<VatTotals>(a);
  const auto& other = std::get<VatTotals>(b);
  if (totals.header != other.header) {
    return "header" + Fields(totals.header) + " against" + Fields(other.header);
  }
  if (totals.cells != other.cells || totals.invoices != other.invoices ||
      totals.voided != other.voided || totals.counted != other.counted ||
      totals.ignored != other.ignored || totals.kind_one != other.kind_one) {
    return "the totals or their counts";
  }
  return std::nullopt;
}

Verdict Judge(const Outcome& stream, const Outcome& whole, const KindEntry& kind,
              const std::string& path, const TableLines& old_lines, bool platform, bool bad_bytes) {
  if (stream.values && whole.values) {
    if (const auto difference = Difference(*stream.values, *whole.values)) {
      return {false, "the values differ: " + *difference, true};
    }
    try {
      const std::string a = JoinTableLines(kind.build(kind, old_lines, *stream.values));
      const std::string b = JoinTableLines(kind.build(kind, old_lines, *whole.values));
      if (a != b) return {false, "the table bytes differ", true};
    } catch (const Error&) {
      // The same values fail the same build.
    }
    return {};
  }
  if (stream.values) {
    // Read now where the platform's parser refused the document.
    if (platform && OfTheDocument(*whole.error)) return {};
    return Differ(stream, whole);
  }
  // Whatever the whole-document reader made of the export.
  if (RefusedByDesign(*stream.error)) return {};
  if (whole.values) {
    if (bad_bytes && OfTheDocument(*stream.error)) return {};
    return Differ(stream, whole);
  }
  const Error& s = *stream.error;
  const Error& w = *whole.error;
  if (s.message() != w.message() || s.fault() != w.fault()) return Differ(stream, whole);
  if (OfTheDocument(s) && OfTheDocument(w)) return {};
  if (s.detail() == w.detail()) return {};
  // Kinds 1 and 2 stop at the first item past the rows, and cannot see
  // whether the document goes on well-formed.
  if (OfTheDocument(w) && StopsEarly(kind, path, s)) return {};
  // The platform's parser refused what the one-pass reader found a rule of
  // the kind broken in.
  if (platform && OfTheDocument(w)) return {};
  if (bad_bytes && OfTheDocument(s)) return {};
  return Differ(stream, whole);
}

// Whether the export declares GBK, GB2312 or GB18030. MSXML under Wine
// misreads those now and then, a double-byte character cut where it reads
// the file in pieces, and what follows shifts until it finds its step again;
// its texts and even its markup cannot be held against.
bool DeclaresGbk(const std::string& path) {
  fs::File file;
  std::string head(4096, '\0');
  std::size_t got = 0;
  if (!file.Open(path, fs::OpenMode::kRead).ok() ||
      !fs::FileSystem().read(file.handle(), head.data(), head.size(), &got).ok()) {
    return false;
  }
  head.resize(got);
  try {
    const EncodingEntry entry = ChooseEncoding(GuardProlog(head, true)).entry;
    return entry.form == Form::kCodePage &&
           (entry.code_page == CodePage::kGbk || entry.code_page == CodePage::kGb18030);
  } catch (const Error&) {
    return false;
  }
}

// Whether two CDATA sections of the export stand side by side. MSXML under
// Wine, built on libxml2's tree, merges them into one node where Windows'
// MSXML, and the one-pass reader, count two.
bool HasAdjacentCData(const std::string& path) {
  fs::File file;
  std::string bytes;
  if (!file.Open(path, fs::OpenMode::kRead).ok() || !file.ReadAll(&bytes, 64u << 20).ok()) {
    return false;
  }
  return bytes.find("]]><![CDATA[") != std::string::npos;
}

}  // namespace

Verdict Compare(const KindEntry& kind, const std::string& path, const TableLines& old_lines,
                Oracle oracle, bool bad_bytes) {
  const Outcome stream = Run([&] { return kind.read(kind, path, {}); });
  const Outcome whole = Run([&] { return ReadWhole(kind, path); });
  const bool platform = oracle == Oracle::kPlatformParser;
  Verdict verdict;
  if (platform && (DeclaresGbk(path) || HasAdjacentCData(path))) {
    // What the platform's parser read, the one-pass reader must still read.
    if (whole.values && !stream.values && !bad_bytes) verdict = Differ(stream, whole);
  } else {
    verdict = Judge(stream, whole, kind, path, old_lines, platform, bad_bytes);
  }
  verdict.read = stream.values.has_value();
  return verdict;
}

}  // namespace sbrep::oracle
