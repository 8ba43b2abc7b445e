#include "xml/export_pass.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "core/error.h"
#include "core/text.h"
#include "platform/filesystem.h"
#include "xml/prolog.h"
#include "xml/text_value.h"
#include "xml/transcoder.h"

namespace sbrep {
namespace {

constexpr std::size_t kChunkBytes = std::size_t{64} << 10;
// A prolog holds a declaration, comments and a DOCTYPE; anything near this
// long is not an export.
constexpr std::size_t kMaxPrologBytes = 16u << 20;
// Elements nest no deeper than the platform's parser lets them; past this the
// parser's stacks, and ours, would grow with the export.
constexpr std::size_t kMaxDepth = 256;
// A comment, PI, tag or reference the parser must hold whole may be this
// long; the parser's own limit, which it reports in words of its own, lies
// above it, and it would hold a reference of any length.
constexpr std::size_t kMaxTokenBytes = std::size_t{8} << 20;
// Held past this across a chunk, a token is measured until it ends.
constexpr std::size_t kWatchedTokenBytes = std::size_t{1} << 20;

// The parser may hold the export for reading and writing by others, as the
// accounting program may still have it open.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;

std::string_view View(const xmlChar* text, int length) {
  return {reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)};
}

// The first error the parser raised, as the detail shows it.
struct ParseFailure {
  int code = 0;
  long line = 0;
  long column = 0;
  std::string reason;
};

struct FreeParser {
  void operator()(xmlParserCtxt* context) const {
    if (context->myDoc != nullptr) xmlFreeDoc(context->myDoc);
    xmlFreeParserCtxt(context);
  }
};

// Routes the errors libxml2 raises outside a parser context (a buffer that
// cannot grow, say) to the pass for as long as it lives, and puts the
// previous handler back afterwards.
class GlobalErrors {
 public:
  GlobalErrors(void* context, xmlStructuredErrorFunc handler)
      : context_(xmlStructuredErrorContext), handler_(xmlStructuredError) {
    xmlSetStructuredErrorFunc(context, handler);
  }
  ~GlobalErrors() { xmlSetStructuredErrorFunc(context_, handler_); }
  GlobalErrors(const GlobalErrors&) = delete;
  GlobalErrors& operator=(const GlobalErrors&) = delete;

 private:
  void* context_;
  xmlStructuredErrorFunc handler_;
};

// A token the parser holds whole until it ends (a comment, a PI, a tag, a
// reference), measured in the bytes still to come, so that one too long is
// refused in this system's words before the parser reports it in its own.
// Only a token left unread across a chunk is watched; the parser holds
// nothing else that long.
class LongToken {
 public:
  bool watched() const { return kind_ != nullptr; }

  // Starts watching what the parser holds unread, if it is that long.
  void Watch(const xmlParserInput& input) {
    const std::string_view held(reinterpret_cast<const char*>(input.cur),
                                static_cast<std::size_t>(input.end - input.cur));
    if (held.size() <= kWatchedTokenBytes) return;
    if (held.compare(0, 4, "<!--") == 0) {
      kind_ = "a comment";
      end_ = "-->";
    } else if (held.compare(0, 2, "<?") == 0) {
      kind_ = "a processing instruction";
      end_ = "?>";
    } else if (held[0] == '<' && held[1] != '!') {
      kind_ = held[1] == '/' ? "an end tag" : "a start tag";
      end_ = ">";
    } else if (held[0] == '&') {
      kind_ = "a reference";
      end_ = ";";
    } else {
      return;
    }
    line_ = input.line;
    column_ = input.col;
    length_ = 0;
    matched_ = 0;
    quote_ = 0;
    Measure(held);
  }

  // Counts `next` into the token under watch; throws once it is too long.
  void Measure(std::string_view next) {
    if (!watched()) return;
    for (std::size_t i = 0; i < next.size(); ++i) {
      if (Ends(next[i])) {
        length_ += i + 1;
        if (length_ > kMaxTokenBytes) Refuse();
        kind_ = nullptr;
        return;
      }
    }
    length_ += next.size();
    if (length_ > kMaxTokenBytes) Refuse();
  }

 private:
  bool Ends(char c) {
    if (end_ == ">") {
      // A tag ends at the first '>' outside its attributes' quotes.
      if (quote_ != 0) {
        if (c == quote_) quote_ = 0;
      } else if (c == '"' || c == '\'') {
        quote_ = c;
      } else if (c == '>') {
        return true;
      }
      return false;
    }
    if (c == end_[matched_]) {
      if (++matched_ == end_.size()) return true;
    } else if (!(c == '-' && matched_ == 2)) {
      // Of either end only "--" runs on, as in "--->".
      matched_ = c == end_[0] ? 1 : 0;
    }
    return false;
  }

  [[noreturn]] void Refuse() const {
    ThrowExportError(ParseErrorDetail(
        line_, column_,
        std::string(kind_) + " of more than " + std::to_string(kMaxTokenBytes >> 20) + " MB"));
  }

  const char* kind_ = nullptr;  // what is watched, or nothing
  std::string_view end_;
  std::size_t matched_ = 0;  // of `end_`, at the end of what was counted
  char quote_ = 0;
  std::uint64_t length_ = 0;
  long line_ = 0;
  long column_ = 0;
};

// The parser's callbacks and the child model. Nothing may unwind through
// libxml2's frames: a callback that fails keeps the exception, stops the
// parser, and the pass throws it once the parser has returned.
class Pass {
 public:
  explicit Pass(ExportHandler& handler) : handler_(handler) {
    std::memset(&sax_, 0, sizeof sax_);
    sax_.initialized = XML_SAX2_MAGIC;
    sax_.startElementNs = &Pass::StartElement;
    sax_.endElementNs = &Pass::EndElement;
    sax_.characters = &Pass::Characters;
    sax_.ignorableWhitespace = &Pass::Characters;
    sax_.cdataBlock = &Pass::CData;
    sax_.comment = &Pass::Comment;
    sax_.processingInstruction = &Pass::Instruction;
    sax_.serror = &Pass::OnError;
    // The guard blanks every DOCTYPE, so the parser never sees one; these
    // are here to refuse one that got past it all the same.
    sax_.internalSubset = &Pass::Subset;
    sax_.externalSubset = &Pass::Subset;
    sax_.entityDecl = &Pass::EntityDecl;
    sax_.unparsedEntityDecl = &Pass::UnparsedEntityDecl;
    sax_.notationDecl = &Pass::NotationDecl;
    sax_.elementDecl = &Pass::ElementDecl;
    sax_.attributeDecl = &Pass::AttributeDecl;
  }

  void Start() {
    xmlInitParser();
    // No file name: the parser resolves nothing relative to it.
    context_.reset(xmlCreatePushParserCtxt(&sax_, this, nullptr, 0, nullptr));
    if (!context_ || out_of_memory_) ThrowMachineError("out of memory: no XML parser");
    xmlCtxtUseOptions(context_.get(), kParseOptions);
    // The transcoder hands over UTF-8 alone: the parser must not guess
    // another encoding from the first bytes, nor switch to the declared one.
    xmlSwitchEncoding(context_.get(), XML_CHAR_ENCODING_UTF8);
  }

  // Parses the next UTF-8 bytes; `last` ends the document.
  void Feed(std::string_view utf8, bool last) {
    while (!stopped_) {
      // A read's worth at a time, however much comes: handed more at once,
      // the parser takes what lies ahead of it for a token too long to read.
      const std::size_t size = std::min(utf8.size(), kChunkBytes);
      const bool end = last && size == utf8.size();
      token_.Measure(utf8.substr(0, size));
      const int rc = xmlParseChunk(context_.get(), utf8.data(), static_cast<int>(size), end);
      Check(rc);
      if (!token_.watched()) token_.Watch(*context_->input);
      utf8.remove_prefix(size);
      if (utf8.empty()) break;
    }
  }

  static void OnError(void* context, xmlError* error) { static_cast<Pass*>(context)->Note(error); }

  bool stopped() const { return stopped_; }
  bool finished() const { return root_closed_; }

 private:
  void Check(int rc) {
    if (failure_) std::rethrow_exception(failure_);
    if (out_of_memory_) ThrowMachineError("out of memory while parsing the export");
    if (parse_failure_) {
      ThrowExportError(
          ParseErrorDetail(parse_failure_->line, parse_failure_->column, parse_failure_->reason));
    }
    if (stopped_) return;
    // A parser that gave up without saying why must not pass for one that
    // read the whole export.
    if (!context_->wellFormed || rc == XML_PARSER_EOF) {
      ThrowMachineError("the XML parser stopped (" + std::to_string(rc) + ")");
    }
  }

  void Note(const xmlError* error) {
    if (error == nullptr) return;
    if (error->code == XML_ERR_NO_MEMORY) out_of_memory_ = true;
    // Namespace errors leave the document well-formed; warnings are no
    // errors at all.
    if (error->level < XML_ERR_ERROR || error->domain == XML_FROM_NAMESPACE) return;
    if (parse_failure_) return;
    parse_failure_ = ParseFailure{error->code, error->line, error->int2,
                                  error->message != nullptr ? error->message : ""};
    // The parser's own words for its name limit send the reader to an
    // option of its own.
    if (error->code == XML_ERR_NAME_TOO_LONG) {
      parse_failure_->reason = "a name of more than 50,000 characters";
    }
  }

  template <typename Body>
  static void Guarded(void* context, Body&& body) {
    Pass* pass = static_cast<Pass*>(context);
    if (pass->failure_ || pass->stopped_) return;
    try {
      body(*pass);
      if (pass->handler_.Decided()) pass->Stop();
    } catch (...) {
      pass->failure_ = std::current_exception();
      pass->Stop();
    }
  }

  void Stop() {
    stopped_ = true;
    xmlStopParser(context_.get());
  }

  std::size_t Depth() const { return open_.size() - 1; }

  // Where the parser stands in its input, as the detail of a fault names it.
  [[noreturn]] void Refuse(const std::string& reason) const {
    ThrowExportError(ParseErrorDetail(context_->input->line, context_->input->col, reason));
  }

  // The offset in the UTF-8 input of the text the parser is handing over
  // (counted in an unsigned long, so only differences are meaningful).
  std::uint64_t InputOffset() const {
    const xmlParserInput* input = context_->input;
    return static_cast<std::uint64_t>(input->consumed) +
           static_cast<std::uint64_t>(input->cur - input->base);
  }

  // Ends the run of text or the CDATA section under way.
  void EndRun() {
    if (run_ == Run::kText || run_ == Run::kCData) handler_.OnDataEnd(Depth());
    run_ = Run::kNone;
    held_.clear();
  }

  static void StartElement(void* context, const xmlChar* local, const xmlChar* prefix,
                           const xmlChar*, int, const xmlChar**, int, int, const xmlChar**) {
    Guarded(context, [&](Pass& pass) {
      pass.EndRun();
      const std::size_t depth = pass.open_.size();
      if (depth >= kMaxDepth) {
        pass.Refuse("elements nest more than " + std::to_string(kMaxDepth) + " levels deep");
      }
      const std::size_t position = depth == 0 ? 0 : pass.open_.back()++;
      const char* local_name = reinterpret_cast<const char*>(local);
      std::string_view name = local_name;
      if (prefix != nullptr) {
        pass.name_.assign(reinterpret_cast<const char*>(prefix));
        pass.name_ += ':';
        pass.name_ += local_name;
        name = pass.name_;
      }
      pass.handler_.OnChild(depth, position, NodeType::kElement, name);
      pass.open_.push_back(0);
    });
  }

  static void EndElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    Guarded(context, [](Pass& pass) {
      pass.EndRun();
      pass.handler_.OnEnd(pass.Depth());
      pass.open_.pop_back();
      if (pass.open_.empty()) pass.root_closed_ = true;
    });
  }

  static void Characters(void* context, const xmlChar* text, int length) {
    Guarded(context, [&](Pass& pass) {
      if (pass.open_.empty()) return;
      const std::string_view data = View(text, length);
      if (pass.run_ == Run::kCData) pass.EndRun();
      if (pass.run_ == Run::kNone) pass.run_ = Run::kBlankText;
      if (pass.run_ == Run::kBlankText) {
        // Blanks are held until the run shows whether it is a child at all.
        // More blanks than a value may hold can only make a value too long,
        // so the surplus need not be kept.
        if (AllXmlSpace(data)) {
          pass.held_.append(
              data.substr(0, kMaxValueBytes + 1 - std::min(pass.held_.size(), kMaxValueBytes + 1)));
          return;
        }
        pass.run_ = Run::kText;
        pass.handler_.OnChild(pass.open_.size(), pass.open_.back()++, NodeType::kText, {});
        if (!pass.held_.empty()) pass.handler_.OnData(pass.Depth(), pass.held_);
        pass.held_.clear();
      }
      pass.handler_.OnData(pass.Depth(), data);
    });
  }

  static void CData(void* context, const xmlChar* text, int length) {
    Guarded(context, [&](Pass& pass) {
      const std::string_view data = View(text, length);
      // The push parser hands a long section over in pieces, straight from
      // its input, and need not say where one ends: a piece that does not
      // go on from the last one begins the next section.
      const std::uint64_t at = pass.InputOffset();
      if (pass.run_ != Run::kCData || at != pass.cdata_end_) {
        pass.EndRun();
        pass.run_ = Run::kCData;
        pass.cdata_child_ = false;
      }
      pass.cdata_end_ = at + data.size();
      if (!pass.cdata_child_ && !AllXmlSpace(data)) {
        pass.cdata_child_ = true;
        pass.handler_.OnChild(pass.open_.size(), pass.open_.back()++, NodeType::kCData, {});
      }
      if (!data.empty()) pass.handler_.OnData(pass.Depth(), data);
    });
  }

  // Any part of a DTD: the guard let a DOCTYPE through.
  static void Declared(void* context, const char* what) {
    Guarded(context, [&](Pass& pass) { pass.Refuse(std::string(what) + " got past the guard"); });
  }
  static void Subset(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    Declared(context, "a DOCTYPE");
  }
  static void EntityDecl(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*,
                         xmlChar*) {
    Declared(context, "an entity declaration");
  }
  static void UnparsedEntityDecl(void* context, const xmlChar*, const xmlChar*, const xmlChar*,
                                 const xmlChar*) {
    Declared(context, "an entity declaration");
  }
  static void NotationDecl(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    Declared(context, "a notation declaration");
  }
  static void ElementDecl(void* context, const xmlChar*, int, xmlElementContent*) {
    Declared(context, "an element declaration");
  }
  static void AttributeDecl(void* context, const xmlChar*, const xmlChar*, int, int, const xmlChar*,
                            xmlEnumeration* values) {
    // The parser hands the list of values over to the callback to free.
    xmlFreeEnumeration(values);
    Declared(context, "an attribute declaration");
  }

  static void Comment(void* context, const xmlChar*) {
    Guarded(context, [](Pass& pass) { pass.EndRun(); });
  }

  static void Instruction(void* context, const xmlChar*, const xmlChar*) {
    Guarded(context, [](Pass& pass) { pass.EndRun(); });
  }

  enum class Run { kNone, kBlankText, kText, kCData };

  ExportHandler& handler_;
  xmlSAXHandler sax_;
  std::unique_ptr<xmlParserCtxt, FreeParser> context_;
  std::vector<std::size_t> open_;  // for each open element, its next child's position
  Run run_ = Run::kNone;
  bool cdata_child_ = false;     // the section under way is a child
  std::uint64_t cdata_end_ = 0;  // where its last piece ended in the input
  std::string held_;             // the blanks that began the run under way
  std::string name_;             // a prefixed name, built here
  std::exception_ptr failure_;
  std::optional<ParseFailure> parse_failure_;
  bool out_of_memory_ = false;
  bool stopped_ = false;
  bool root_closed_ = false;
  LongToken token_;
};

// Reads the next chunk into `chunk`; false at the end of the file.
bool ReadChunk(fs::File& file, const std::string& path, std::string* chunk) {
  chunk->resize(kChunkBytes);
  std::size_t got = 0;
  const fs::Outcome outcome =
      fs::FileSystem().read(file.handle(), chunk->data(), kChunkBytes, &got);
  if (!outcome.ok()) ThrowMachineError("cannot read '" + path + "': " + fs::Describe(outcome));
  chunk->resize(got);
  return got > 0;
}

}  // namespace

std::string ParseErrorDetail(long line, long column, std::string reason) {
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  if (reason.empty()) reason = "not well-formed";
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + reason;
}

void ParseUtf8(std::string_view utf8, ExportHandler& handler) {
  Pass pass(handler);
  GlobalErrors errors(&pass, &Pass::OnError);
  pass.Start();
  pass.Feed(utf8, true);
  if (!pass.stopped() && !pass.finished()) {
    ThrowMachineError("the XML parser stopped before the end of the export");
  }
}

void ReadExport(const std::string& path, ExportHandler& handler, const ReadProgress& progress) {
  fs::File file;
  const fs::Outcome opened = file.Open(path, fs::OpenMode::kRead);
  if (!opened.ok()) ThrowMachineError("cannot read '" + path + "': " + fs::Describe(opened));
  fs::Attributes attributes;
  fs::FileSystem().stat(path, &attributes);
  std::uint64_t read = 0;
  const auto report = [&](std::size_t bytes) {
    read += bytes;
    if (progress && bytes > 0) progress(read, attributes.size);
  };

  // The prolog first, whole: the guard must see all of it before the parser
  // sees any of it. Each read doubles what is held, so that a long prolog
  // costs no more than reading it twice.
  std::string head;
  std::string chunk;
  bool at_end = false;
  Prolog prolog;
  for (;;) {
    const std::size_t target =
        std::min(std::max<std::size_t>(kChunkBytes, head.size() * 2), kMaxPrologBytes + 1);
    while (!at_end && head.size() < target) {
      at_end = !ReadChunk(file, path, &chunk);
      head += chunk;
      report(chunk.size());
    }
    prolog = GuardProlog(head, at_end);
    if (prolog.complete) break;
    if (head.size() > kMaxPrologBytes) {
      ThrowExportError("the export's prolog is longer than " +
                       std::to_string(kMaxPrologBytes >> 20) + " MB");
    }
  }

  Transcoder transcoder(ChooseEncoding(prolog), prolog.mark);
  Pass pass(handler);
  GlobalErrors errors(&pass, &Pass::OnError);
  pass.Start();
  std::string utf8;
  pass.Feed(transcoder.Feed(head, &utf8), false);
  std::string().swap(head);
  while (!at_end && !pass.stopped()) {
    at_end = !ReadChunk(file, path, &chunk);
    report(chunk.size());
    pass.Feed(transcoder.Feed(chunk, &utf8), false);
  }
  if (pass.stopped()) return;
  transcoder.Finish();
  pass.Feed({}, true);
  // The last text before the end can decide the result too.
  if (pass.stopped()) return;
  if (!pass.finished()) ThrowMachineError("the XML parser stopped before the end of the export");
}

}  // namespace sbrep
