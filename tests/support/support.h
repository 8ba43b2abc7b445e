// What the in-process tests share on top of the host helpers: the platform's
// code-page converter and a host's call with a UTF-8 path. These tests link
// the library's objects, so a fault injected here reaches the library.
#pragma once

#include <string>

#include "harness/host.h"
#include "harness/host_call.h"

namespace sbrep::test {

// The UTF-8 text of GBK bytes, through the platform's converter.
std::string GbkToUtf8ForTest(const std::string& gbk);
// The bytes a host hands over for a UTF-8 path (the ANSI code page on Windows).
std::string CallerPath(const std::string& utf8);
// SetSBRepData for a UTF-8 path, passed as a host would pass it.
CallResult CallSetSBRepData(const std::string& xml_path_utf8, int kind);
// The test name of a case from what it describes: "the temp file will not
// flush" is TheTempFileWillNotFlush.
std::string CaseName(const std::string& what);

}  // namespace sbrep::test
