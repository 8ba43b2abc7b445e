#include "cli/diff.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "platform/codepage.h"

namespace sbrep::cli {
namespace {

enum class Op { kEqual, kDelete, kInsert };

struct Edit {
  Op op;
  std::size_t old_index;  // the old line, or where the new one goes
  std::size_t new_index;
};

// Beyond this many cells the changed middle is shown as replaced whole: a
// correct diff, if not the shortest, at a bounded cost.
constexpr std::size_t kTableLimit = std::size_t{1} << 22;

using Lines = std::vector<std::string>;

// The changed middle old[o0, o0+n) against new[n0, n0+m): the longest common
// subsequence, walked so that a change lists its deletions first.
void MiddleEdits(const Lines& a, const Lines& b, std::size_t o0, std::size_t n, std::size_t n0,
                 std::size_t m, std::vector<Edit>* edits) {
  if (n == 0 || m == 0 || (n + 1) * (m + 1) > kTableLimit) {
    for (std::size_t i = 0; i < n; ++i) edits->push_back({Op::kDelete, o0 + i, n0});
    for (std::size_t j = 0; j < m; ++j) edits->push_back({Op::kInsert, o0 + n, n0 + j});
    return;
  }
  // lcs[i][j]: common lines of a[o0+i..] and b[n0+j..].
  const std::size_t width = m + 1;
  std::vector<std::uint32_t> lcs((n + 1) * width, 0);
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      lcs[i * width + j] = a[o0 + i] == b[n0 + j]
                               ? lcs[(i + 1) * width + j + 1] + 1
                               : std::max(lcs[(i + 1) * width + j], lcs[i * width + j + 1]);
    }
  }
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && a[o0 + i] == b[n0 + j]) {
      edits->push_back({Op::kEqual, o0 + i++, n0 + j++});
    } else if (j == m || (i < n && lcs[(i + 1) * width + j] >= lcs[i * width + j + 1])) {
      edits->push_back({Op::kDelete, o0 + i++, n0 + j});
    } else {
      edits->push_back({Op::kInsert, o0 + i, n0 + j++});
    }
  }
}

std::vector<Edit> EditScript(const Lines& a, const Lines& b) {
  std::size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
         a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
    ++suffix;
  }
  std::vector<Edit> edits;
  for (std::size_t i = 0; i < prefix; ++i) edits.push_back({Op::kEqual, i, i});
  MiddleEdits(a, b, prefix, a.size() - prefix - suffix, prefix, b.size() - prefix - suffix, &edits);
  for (std::size_t k = suffix; k > 0; --k) {
    edits.push_back({Op::kEqual, a.size() - k, b.size() - k});
  }
  return edits;
}

// "start,count" with lines counted from 1; an empty range names the line
// before it, and a count of one is left out.
std::string Range(std::size_t first_index, std::size_t count) {
  const std::size_t start = count == 0 ? first_index : first_index + 1;
  if (count == 1) return std::to_string(start);
  return std::to_string(start) + "," + std::to_string(count);
}

void AppendEscaped(unsigned char c, std::string* out) {
  char escaped[5];
  std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
  *out += escaped;
}

// UTF-8 text with its control characters and backslashes escaped.
void AppendShown(std::string_view utf8, std::string* out) {
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\') {
      *out += "\\\\";
    } else if (u < 0x20 || u == 0x7F) {
      AppendEscaped(u, out);
    } else {
      *out += c;
    }
  }
}

}  // namespace

std::string EscapedLine(const std::string& gbk) {
  std::string shown;
  if (const auto utf8 = GbkToUtf8(gbk)) {
    AppendShown(*utf8, &shown);
    return shown;
  }
  // Character by character, so that one bad byte leaves the rest readable.
  CodePageConverter converter(CodePage::kGbk);
  for (std::size_t i = 0; i < gbk.size();) {
    const auto c = static_cast<unsigned char>(gbk[i]);
    std::string utf8;
    if (c < 0x80) {
      AppendShown(gbk.substr(i, 1), &shown);
      ++i;
    } else if (i + 1 < gbk.size() && converter.Decode(std::string_view(gbk).substr(i, 2), &utf8)) {
      AppendShown(utf8, &shown);
      i += 2;
    } else if (converter.Decode(std::string_view(gbk).substr(i, 1), &utf8)) {
      AppendShown(utf8, &shown);
      ++i;
    } else {
      AppendEscaped(c, &shown);
      ++i;
    }
  }
  return shown;
}

std::string UnifiedDiff(const Lines& old_lines, const Lines& new_lines, const DiffLabels& labels,
                        const LineRenderer& render, std::size_t context) {
  const std::vector<Edit> edits = EditScript(old_lines, new_lines);
  std::string out;
  std::size_t k = 0;
  while (k < edits.size()) {
    if (edits[k].op == Op::kEqual) {
      ++k;
      continue;
    }
    // Changes no more than two contexts apart share one hunk.
    std::size_t last = k;
    std::size_t j = k + 1;
    while (j < edits.size()) {
      if (edits[j].op != Op::kEqual) {
        last = j++;
        continue;
      }
      std::size_t run = j;
      while (run < edits.size() && edits[run].op == Op::kEqual) ++run;
      if (run == edits.size() || run - j > 2 * context) break;
      j = run;
    }
    const std::size_t begin = k > context ? k - context : 0;
    const std::size_t end = std::min(edits.size(), last + 1 + context);

    std::size_t old_count = 0;
    std::size_t new_count = 0;
    std::string body;
    for (std::size_t e = begin; e < end; ++e) {
      const Edit& edit = edits[e];
      switch (edit.op) {
        case Op::kEqual:
          body += " " + render(old_lines[edit.old_index]) + "\n";
          ++old_count;
          ++new_count;
          break;
        case Op::kDelete:
          body += "-" + render(old_lines[edit.old_index]) + "\n";
          ++old_count;
          break;
        case Op::kInsert:
          body += "+" + render(new_lines[edit.new_index]) + "\n";
          ++new_count;
          break;
      }
    }
    if (out.empty()) out = "--- " + labels.old_name + "\n+++ " + labels.new_name + "\n";
    out += "@@ -" + Range(edits[begin].old_index, old_count) + " +" +
           Range(edits[begin].new_index, new_count) + " @@\n" + body;
    k = end;
  }
  return out;
}

}  // namespace sbrep::cli
