// Makes an export safe to hand to a parser: any DOCTYPE declaration in the
// prolog is overwritten with blanks, so that no DTD and no entity declared in
// one is ever read; and a GB2312 declaration is read as GBK, its superset.
#pragma once

#include <string>

namespace sbrep {

// Works in place; line and column positions stay the same. Throws an Error
// (Fault::kExport) for an encoding family the guard cannot read (UTF-32,
// EBCDIC) and for an unterminated DOCTYPE.
void NeutraliseProlog(std::string& bytes);

}  // namespace sbrep
