// Code pages through iconv; glibc's CP936 is GBK. POSIX has no ANSI code
// page: a host's path is its bytes.
#include <errno.h>
#include <iconv.h>

#include "platform/codepage.h"

namespace sbrep {
namespace {

const char* IconvName(CodePage page) {
  switch (page) {
    case CodePage::kGbk:
      return "CP936";
    case CodePage::kGb18030:
      return "GB18030";
    case CodePage::kBig5:
      return "BIG5";
    case CodePage::kBig5Hkscs:
      return "BIG5-HKSCS";
    case CodePage::kShiftJis:
      return "SHIFT_JIS";
    case CodePage::kEucJp:
      return "EUC-JP";
    case CodePage::kEucKr:
      return "EUC-KR";
    case CodePage::kIso8859_2:
      return "ISO-8859-2";
    case CodePage::kIso8859_3:
      return "ISO-8859-3";
    case CodePage::kIso8859_4:
      return "ISO-8859-4";
    case CodePage::kIso8859_5:
      return "ISO-8859-5";
    case CodePage::kIso8859_6:
      return "ISO-8859-6";
    case CodePage::kIso8859_7:
      return "ISO-8859-7";
    case CodePage::kIso8859_8:
      return "ISO-8859-8";
    case CodePage::kIso8859_9:
      return "ISO-8859-9";
    case CodePage::kIso8859_10:
      return "ISO-8859-10";
    case CodePage::kIso8859_11:
      return "ISO-8859-11";
    case CodePage::kIso8859_13:
      return "ISO-8859-13";
    case CodePage::kIso8859_14:
      return "ISO-8859-14";
    case CodePage::kIso8859_15:
      return "ISO-8859-15";
    case CodePage::kIso8859_16:
      return "ISO-8859-16";
    case CodePage::kWindows1250:
      return "CP1250";
    case CodePage::kWindows1251:
      return "CP1251";
    case CodePage::kWindows1252:
      return "CP1252";
    case CodePage::kWindows1253:
      return "CP1253";
    case CodePage::kWindows1254:
      return "CP1254";
    case CodePage::kWindows1255:
      return "CP1255";
    case CodePage::kWindows1256:
      return "CP1256";
    case CodePage::kWindows1257:
      return "CP1257";
    case CodePage::kWindows1258:
      return "CP1258";
  }
  return "";
}

iconv_t Closed() { return reinterpret_cast<iconv_t>(-1); }

// One iconv descriptor, opened when first needed.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : to_(to), from_(from) {}
  ~Iconv() {
    if (cd_ != Closed()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Appends the conversion of `in` to `out` and returns how many bytes of
  // `in` it took: all of them, or, with `keep_tail`, all but a character of
  // at most three bytes cut short at the end. Nothing (out as it was) on any
  // sequence that does not convert, or is cut short without `keep_tail`.
  std::optional<std::size_t> Convert(std::string_view in, std::string* out, bool keep_tail) {
    if (cd_ == Closed()) cd_ = iconv_open(to_, from_);
    if (cd_ == Closed()) return std::nullopt;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    const std::size_t start = out->size();
    std::size_t done = start;
    out->resize(start + in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    for (;;) {
      char* dst = out->data() + done;
      std::size_t dst_left = out->size() - done;
      const std::size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      done = out->size() - dst_left;
      if (rc != static_cast<std::size_t>(-1)) break;
      if (errno == EINVAL && keep_tail && src_left <= 3) break;
      if (errno != E2BIG) {  // EILSEQ, or EINVAL for a cut that is not kept
        out->resize(start);
        return std::nullopt;
      }
      out->resize(out->size() * 2);
    }
    // A converter may hold a character back to see whether the next one
    // combines with it (BIG5-HKSCS does): the input ends here.
    out->resize(done + 16);
    char* dst = out->data() + done;
    std::size_t dst_left = 16;
    if (iconv(cd_, nullptr, nullptr, &dst, &dst_left) == static_cast<std::size_t>(-1)) {
      out->resize(start);
      return std::nullopt;
    }
    out->resize(done + 16 - dst_left);
    return in.size() - src_left;
  }

 private:
  const char* to_;
  const char* from_;
  iconv_t cd_ = Closed();
};

}  // namespace

struct CodePageConverter::State {
  explicit State(CodePage page)
      : decoder("UTF-8", IconvName(page)), encoder(IconvName(page), "UTF-8") {}
  Iconv decoder;
  Iconv encoder;
};

CodePageConverter::CodePageConverter(CodePage page) : state_(std::make_unique<State>(page)) {}

CodePageConverter::~CodePageConverter() = default;

bool CodePageConverter::Available(CodePage page) {
  iconv_t cd = iconv_open("UTF-8", IconvName(page));
  if (cd == Closed()) return false;
  iconv_close(cd);
  return true;
}

bool CodePageConverter::Decode(std::string_view bytes, std::string* out) {
  return state_->decoder.Convert(bytes, out, false).has_value();
}

std::optional<std::size_t> CodePageConverter::DecodeWhole(std::string_view bytes,
                                                          std::string* out) {
  return state_->decoder.Convert(bytes, out, true);
}

bool CodePageConverter::Encode(std::string_view utf8, std::string* out) {
  return state_->encoder.Convert(utf8, out, false).has_value();
}

std::string AnsiToUtf8(const char* path) { return path == nullptr ? std::string() : path; }

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) { return utf8; }

}  // namespace sbrep
