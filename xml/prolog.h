// Makes an export safe to hand to a parser: any DOCTYPE declaration in the
// prolog is overwritten with blanks, so that no DTD and no entity declared in
// one is ever read. It also tells the encoding family and the encoding the
// XML declaration names, which the transcoder goes by.
#pragma once

#include <cstddef>
#include <string>

namespace sbrep {

struct Prolog {
  bool complete = false;    // the prolog ends within the bytes guarded
  bool utf16 = false;       // 16-bit code units
  bool big_endian = false;  // with utf16
  std::size_t mark = 0;     // bytes of a byte order mark
  std::string encoding;     // as the XML declaration names it; empty when it names none
};

// Guards `head`, the first bytes of an export, in place; line and column
// positions stay the same. When the prolog may go on past `head`, the result
// is not complete and the caller reads more (at the end of the file,
// `at_end`, it always is). Throws an Error (Fault::kExport) for an encoding
// family the guard cannot read (UTF-32, EBCDIC), for an XML declaration or a
// DOCTYPE that is not well-formed or not closed, for a second DOCTYPE, and
// for anything else it cannot read as a prolog.
Prolog GuardProlog(std::string& head, bool at_end);

}  // namespace sbrep
