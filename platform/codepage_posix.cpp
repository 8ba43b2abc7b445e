// Code page 936 through iconv; glibc's CP936 is GBK. POSIX has no ANSI code
// page: a host's path is its bytes.
#include <errno.h>
#include <iconv.h>

#include "platform/codepage.h"

namespace sbrep {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  std::optional<std::string> Convert(std::string_view in) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    std::size_t done = 0;
    for (;;) {
      char* dst = out.data() + done;
      std::size_t dst_left = out.size() - done;
      const std::size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      done = out.size() - dst_left;
      if (rc != static_cast<std::size_t>(-1)) break;
      if (errno != E2BIG) return std::nullopt;  // EILSEQ or EINVAL: no GBK form
      out.resize(out.size() * 2);
    }
    out.resize(done);
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
  if (utf8.empty()) return std::string();
  Converter converter("CP936", "UTF-8");
  return converter.Convert(utf8);
}

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
  if (gbk.empty()) return std::string();
  Converter converter("UTF-8", "CP936");
  return converter.Convert(gbk);
}

std::string AnsiToUtf8(const char* path) { return path == nullptr ? std::string() : path; }

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) { return utf8; }

}  // namespace sbrep
