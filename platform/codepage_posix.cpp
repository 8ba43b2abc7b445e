// Code pages through iconv; glibc's CP936 is GBK. POSIX has no ANSI code
// page: a host's path is its bytes.
#include <errno.h>
#include <iconv.h>

#include "platform/codepage.h"

namespace sbrep {
namespace {

const char* IconvName(CodePage page) { return page == CodePage::kGbk ? "CP936" : "GB18030"; }

// One iconv descriptor, opened when first needed.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : to_(to), from_(from) {}
  ~Iconv() {
    if (cd_ != Closed()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Appends the conversion of `in` to `out`; false (out as it was) on any
  // sequence that does not convert or is cut short.
  bool Convert(std::string_view in, std::string* out) {
    if (cd_ == Closed()) cd_ = iconv_open(to_, from_);
    if (cd_ == Closed()) return false;
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
      if (errno != E2BIG) {  // EILSEQ or EINVAL
        out->resize(start);
        return false;
      }
      out->resize(out->size() * 2);
    }
    out->resize(done);
    return true;
  }

 private:
  static iconv_t Closed() { return reinterpret_cast<iconv_t>(-1); }
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

bool CodePageConverter::Decode(std::string_view bytes, std::string* out) {
  return state_->decoder.Convert(bytes, out);
}

bool CodePageConverter::Encode(std::string_view utf8, std::string* out) {
  return state_->encoder.Convert(utf8, out);
}

std::string AnsiToUtf8(const char* path) { return path == nullptr ? std::string() : path; }

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) { return utf8; }

}  // namespace sbrep
