#include "xml/export_pass.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "core/error.h"
#include "platform/filesystem.h"
#include "support/support.h"
#include "xml/text_value.h"

namespace sbrep {
namespace {

using test::DataPath;
using test::ScratchFolder;
using test::WriteBytes;

// A node as the pass shows it, kept whole for the small fixtures here.
struct Node {
  NodeType type = NodeType::kElement;
  std::string name;
  std::vector<std::unique_ptr<Node>> children;
  TextValue text;  // the node's text as the readers take it

  const Node* Child(const std::string& child_name) const {
    for (const auto& child : children) {
      if (child->type == NodeType::kElement && child->name == child_name) return child.get();
    }
    return nullptr;
  }
};

// Builds the tree from the pass's events, and checks that they come in an
// order a reader may rely on.
class Recorder : public ExportHandler {
 public:
  void OnChild(std::size_t depth, std::size_t position, NodeType type,
               std::string_view name) override {
    ASSERT_EQ(depth, open_.size());
    auto node = std::make_unique<Node>();
    node->type = type;
    node->name = std::string(name);
    Node* added = node.get();
    if (depth == 0) {
      EXPECT_EQ(position, 0u);
      root_ = std::move(node);
    } else {
      EXPECT_EQ(position, open_.back()->children.size());
      open_.back()->children.push_back(std::move(node));
    }
    if (type == NodeType::kElement) {
      open_.push_back(added);
    } else {
      run_ = added;
    }
  }
  void OnData(std::size_t depth, std::string_view data) override {
    ASSERT_EQ(depth + 1, open_.size());
    for (Node* node : open_) node->text.Add(data);
    if (run_ != nullptr) run_->text.Add(data);
  }
  void OnDataEnd(std::size_t depth) override {
    EXPECT_EQ(depth + 1, open_.size());
    run_ = nullptr;
  }
  void OnEnd(std::size_t depth) override {
    ASSERT_EQ(depth + 1, open_.size());
    EXPECT_EQ(run_, nullptr);
    open_.pop_back();
  }
  bool Decided() const override {
    return decided_after_ > 0 && root_ && Count(*root_) >= decided_after_;
  }

  const Node& root() const { return *root_; }
  std::size_t decided_after_ = 0;  // decides once this many nodes are seen

 private:
  static std::size_t Count(const Node& node) {
    std::size_t count = 1;
    for (const auto& child : node.children) count += Count(*child);
    return count;
  }

  std::unique_ptr<Node> root_;
  std::vector<Node*> open_;
  Node* run_ = nullptr;
};

std::unique_ptr<Recorder> Read(const std::string& path) {
  auto recorder = std::make_unique<Recorder>();
  ReadExport(path, *recorder);
  return recorder;
}

std::unique_ptr<Recorder> ReadFixture(const std::string& fixture) {
  return Read(DataPath("xml/" + fixture));
}

// The fault and detail of a failing pass.
Error PassError(const std::string& path) {
  try {
    Read(path);
  } catch (const Error& error) {
    return error;
  }
  ADD_FAILURE() << path << " was read";
  return Error(Message::kXmlParseError, Fault::kInstall, "");
}

const Node& Child(const Node& node, const std::string& name) {
  const Node* child = node.Child(name);
  if (child == nullptr) {
    ADD_FAILURE() << "no " << name;
    static const Node kNone;
    return kNone;
  }
  return *child;
}

// Reads with the file-system seam handing over at most `most` bytes a read,
// so that every character, CDATA section and piece of markup is cut
// somewhere.
class SmallReads {
 public:
  explicit SmallReads(std::size_t most) : saved_(fs::FileSystem()) {
    Most() = most;
    fs::FileSystem().read = [](fs::Handle handle, void* buffer, std::size_t size,
                               std::size_t* got) noexcept {
      return fs::PlatformFileSystem().read(handle, buffer, std::min(size, Most()), got);
    };
  }
  ~SmallReads() { fs::FileSystem() = saved_; }
  SmallReads(const SmallReads&) = delete;
  SmallReads& operator=(const SmallReads&) = delete;

 private:
  static std::size_t& Most() {
    static std::size_t most = 0;
    return most;
  }
  fs::Ops saved_;
};

void ExpectChildModel(const Node& root) {
  ASSERT_EQ(root.name, "DZSBB");
  struct Case {
    const char* element;
    std::size_t children;
    const char* text;
  };
  const Case cases[] = {
      {"INDENTED", 3, "123"},
      {"FLAT", 3, "123"},
      {"SELF", 0, ""},
      {"PAIR", 0, ""},
      {"BLANK", 0, ""},
      {"MIXED", 3, "123"},
      {"CDATA", 1, "<not markup> & 12.50"},
      {"PADDED", 1, "12.50"},
      {"INNER", 1, "a  b"},
      // The blank between </I> and <J> is no child and no text.
      {"NESTED", 3, "xyz"},
      {"REFERENCES", 1, "<1&2> \xE4\xB8\xAD\xE6\x96\x87"},
      {"TEXTFIRST", 2, "123"},
      {"TWICE", 1, "first"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.element);
    const Node& node = Child(root, c.element);
    EXPECT_EQ(node.children.size(), c.children);
    EXPECT_EQ(node.text.text(), c.text);
  }
  // Comments, PIs and indentation shift no position.
  for (const char* list : {"INDENTED", "FLAT", "MIXED"}) {
    SCOPED_TRACE(list);
    const Node& node = Child(root, list);
    ASSERT_EQ(node.children.size(), 3u);
    const char* names[] = {"A", "B", "C"};
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_EQ(node.children[k]->name, names[k]);
      EXPECT_EQ(node.children[k]->text.text(), std::to_string(k + 1));
    }
  }
  const Node& text_first = Child(root, "TEXTFIRST");
  ASSERT_EQ(text_first.children.size(), 2u);
  EXPECT_EQ(text_first.children[0]->type, NodeType::kText);
  EXPECT_EQ(text_first.children[0]->text.text(), "12");
  EXPECT_EQ(text_first.children[1]->name, "A");
  EXPECT_EQ(Child(text_first, "A").text.text(), "3");
  const Node& cdata = Child(root, "CDATA");
  ASSERT_EQ(cdata.children.size(), 1u);
  EXPECT_EQ(cdata.children[0]->type, NodeType::kCData);
  EXPECT_EQ(cdata.children[0]->text.text(), "<not markup> & 12.50");
  // Names as written: no case folding, no trimming.
  EXPECT_EQ(root.Child("twice"), nullptr);
  EXPECT_EQ(root.Child("TWICE "), nullptr);
  // The document element's children: 14 elements, blank text dropped.
  ASSERT_EQ(root.children.size(), 14u);
  EXPECT_EQ(root.children[13]->name, "TWICE");
  EXPECT_EQ(root.children[13]->text.text(), "second");
}

TEST(ExportPass, ChildModel) { ExpectChildModel(ReadFixture("child-model.xml")->root()); }

TEST(ExportPass, ChildModelWhereverTheReadsEnd) {
  for (const std::size_t most : {1, 2, 3, 7, 100}) {
    SCOPED_TRACE(most);
    const SmallReads reads(most);
    ExpectChildModel(ReadFixture("child-model.xml")->root());
  }
}

TEST(ExportPass, CDataSections) {
  ScratchFolder scratch;
  const std::string path = scratch.Join("cdata.xml");
  // The push parser hands a long section over in pieces of a few hundred
  // bytes: still one child. Two sections side by side are two.
  const std::string long_text(5000, 'x');
  WriteBytes(path, "<R><LONG><![CDATA[" + long_text + "]]></LONG>" +
                       "<TWO><![CDATA[a]]><![CDATA[b]]></TWO>" +
                       "<BLANK><![CDATA[  ]]>x<![CDATA[ ]]>y</BLANK>" +
                       "<EMPTY><![CDATA[]]></EMPTY></R>");
  for (const std::size_t most : {std::size_t{1}, std::size_t{7}, std::size_t{64} << 10}) {
    SCOPED_TRACE(most);
    const SmallReads reads(most);
    const auto recorder = Read(path);
    const Node& root = recorder->root();
    EXPECT_EQ(Child(root, "LONG").children.size(), 1u);
    EXPECT_EQ(Child(root, "LONG").text.text(), long_text);
    EXPECT_EQ(Child(root, "TWO").children.size(), 2u);
    EXPECT_EQ(Child(root, "TWO").text.text(), "ab");
    // Blank sections are no children, but their blanks are text.
    EXPECT_EQ(Child(root, "BLANK").children.size(), 2u);
    EXPECT_EQ(Child(root, "BLANK").text.text(), "x y");
    EXPECT_EQ(Child(root, "EMPTY").children.size(), 0u);
  }
}

// Two sections side by side stay two children wherever a read ends, the
// parser's pieces of the first one included: the boundary runs across the
// whole of "]]><![CDATA[".
TEST(ExportPass, AdjacentCDataSectionsWhereverAChunkEnds) {
  ScratchFolder scratch;
  const std::string path = scratch.Join("cdata-boundary.xml");
  const std::string first(300, 'A');
  const std::string head = "<R><!--";
  const std::string section = "--><TWO><![CDATA[" + first;
  for (std::size_t before = 0; before <= 14; ++before) {
    SCOPED_TRACE(before);
    // Where the first section's content ends, `before` bytes ahead of the
    // end of the first read.
    const std::size_t padding = (std::size_t{64} << 10) - before - head.size() - section.size();
    WriteBytes(path, head + std::string(padding, 'p') + section + "]]><![CDATA[777]]></TWO></R>");
    const auto recorder = Read(path);
    const Node& two = Child(recorder->root(), "TWO");
    ASSERT_EQ(two.children.size(), 2u);
    EXPECT_EQ(two.children[0]->text.text(), first);
    EXPECT_EQ(two.children[1]->text.text(), "777");
  }
}

// Past 256 levels the export is refused as soon as the level opens, so that
// neither the parser's stacks nor the pass's grow with the nesting.
TEST(ExportPass, NestingIsBounded) {
  ScratchFolder scratch;
  const std::string path = scratch.Join("deep.xml");
  for (const std::size_t levels : {std::size_t{256}, std::size_t{257}, std::size_t{1000000}}) {
    SCOPED_TRACE(levels);
    std::string xml;
    for (std::size_t k = 0; k < levels; ++k) xml += "<a>";
    xml += "1";
    for (std::size_t k = 0; k < levels; ++k) xml += "</a>";
    WriteBytes(path, xml);
    if (levels <= 256) {
      EXPECT_EQ(Read(path)->root().name, "a");
      continue;
    }
    const Error error = PassError(path);
    EXPECT_EQ(error.fault(), Fault::kExport);
    EXPECT_EQ(error.detail(), "line 1, column 771: elements nest more than 256 levels deep");
  }
}

// What the parser stage must refuse even when handed it: a DTD, and bytes
// from which it would guess an encoding or skip a mark of its own.
TEST(ExportPass, TheParserStageRefusesWhatTheGuardStops) {
  struct Case {
    const char* name;
    std::string utf8;
    const char* detail;  // a part of the detail
  };
  const Case cases[] = {
      {"DOCTYPE", "<!DOCTYPE R><R/>", "line 1, column 12: a DOCTYPE got past the guard"},
      {"external subset", "<!DOCTYPE R SYSTEM 'x.dtd'><R/>", "got past the guard"},
      {"entity", "<!DOCTYPE R [<!ENTITY e 'x'>]><R>&e;</R>", "got past the guard"},
      {"byte order mark", "\xEF\xBB\xBF<R/>", "line 1"},
      {"UTF-16 text", std::string("<\0R\0/\0>\0", 8), "line 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder recorder;
    try {
      ParseUtf8(c.utf8, recorder);
      ADD_FAILURE() << "parsed";
    } catch (const Error& error) {
      EXPECT_EQ(error.fault(), Fault::kExport);
      EXPECT_NE(error.detail().find(c.detail), std::string::npos) << error.detail();
    }
  }
}

TEST(ExportPass, RootNamesAsWritten) {
  struct Case {
    const char* fixture;
    const char* root;
    const char* plain;  // the text of MC
  };
  const Case cases[] = {
      {"lowercase-root.xml", "dzsbb", "lower"},
      {"prefixed-root.xml", "x:DZSBB", "plain"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    const auto recorder = ReadFixture(c.fixture);
    EXPECT_EQ(recorder->root().name, c.root);
    EXPECT_EQ(Child(recorder->root(), "MC").text.text(), c.plain);
  }
  EXPECT_EQ(Child(ReadFixture("prefixed-root.xml")->root(), "x:MC").text.text(), "prefixed");
}

// 北京宏远商贸有限公司, ten characters.
constexpr char kName[] =
    "\xE5\x8C\x97\xE4\xBA\xAC\xE5\xAE\x8F\xE8\xBF\x9C\xE5\x95\x86\xE8\xB4\xB8\xE6\x9C\x89\xE9"
    "\x99\x90\xE5\x85\xAC\xE5\x8F\xB8";

TEST(ExportPass, Encodings) {
  struct Case {
    const char* fixture;
    const char* name;  // the text of MC in UTF-8
  };
  const Case cases[] = {
      {"utf8.xml", kName},
      {"utf8-bom.xml", kName},
      {"utf8-undeclared.xml", kName},
      {"utf16le-bom.xml", kName},
      {"gbk.xml", kName},
      {"gb2312.xml", kName},
      {"gb2312-upper.xml", kName},
      {"gb18030.xml", kName},
      // 北京宏遠商貿有限公司, 啲嘢有限公司, 株式会社ｱｲｳ, 주식회사 한국, €5 Café,
      // Łódź, Café Zürich: text of each family, some of it not in GBK.
      {"big5.xml",
       "\xE5\x8C\x97\xE4\xBA\xAC\xE5\xAE\x8F\xE9\x81\xA0\xE5\x95\x86\xE8\xB2\xBF"
       "\xE6\x9C\x89\xE9\x99\x90\xE5\x85\xAC\xE5\x8F\xB8"},
      {"big5-hkscs.xml",
       "\xE5\x95\xB2\xE5\x98\xA2\xE6\x9C\x89\xE9\x99\x90\xE5\x85\xAC\xE5\x8F\xB8"},
      {"shift_jis.xml",
       "\xE6\xA0\xAA\xE5\xBC\x8F\xE4\xBC\x9A\xE7\xA4\xBE\xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBD\xB3"},
      {"euc-jp.xml",
       "\xE6\xA0\xAA\xE5\xBC\x8F\xE4\xBC\x9A\xE7\xA4\xBE\xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBD\xB3"},
      {"euc-kr.xml", "\xEC\xA3\xBC\xEC\x8B\x9D\xED\x9A\x8C\xEC\x82\xAC \xED\x95\x9C\xEA\xB5\xAD"},
      {"windows-1252.xml",
       "\xE2\x82\xAC"
       "5 Caf\xC3\xA9"},
      {"iso-8859-2.xml",
       "\xC5\x81\xC3\xB3"
       "d\xC5\xBA"},
      {"latin1.xml", "Caf\xC3\xA9 Z\xC3\xBCrich"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    for (const std::size_t most : {std::size_t{1}, std::size_t{64} << 10}) {
      const SmallReads reads(most);
      std::unique_ptr<Recorder> recorder;
      try {
        recorder = ReadFixture(c.fixture);
      } catch (const Error& error) {
        // A code page this system has no converter for is refused by name.
        const std::string& detail = error.detail();
        ASSERT_NE(detail.find("which this system cannot convert"), std::string::npos) << detail;
        break;
      }
      EXPECT_EQ(recorder->root().name, "DZSBB");
      EXPECT_EQ(Child(recorder->root(), "MC").text.text(), c.name);
      EXPECT_EQ(Child(recorder->root(), "JE").text.text(), "12.50");
    }
  }
}

TEST(ExportPass, ExportFaults) {
  struct Case {
    const char* fixture;
    const char* detail;  // a part of the detail text
  };
  const Case cases[] = {
      {"malformed.xml", "line "},
      {"utf32le-bom.xml", "UTF-32"},
      {"utf32be.xml", "UTF-32"},
      {"billion-laughs.xml", "line "},
      {"empty.xml", "line "},
      {"utf8-bom-declares-gbk.xml", "a UTF-8 byte order mark but declares the encoding 'GBK'"},
      {"utf16le-bom-declares-gbk.xml",
       "a UTF-16LE byte order mark but declares the encoding 'GBK'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    const auto started = std::chrono::steady_clock::now();
    const Error error = PassError(DataPath(std::string("xml/") + c.fixture));
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(error.fault(), Fault::kExport);
    EXPECT_EQ(error.message(), Message::kXmlParseError);
    EXPECT_NE(error.detail().find(c.detail), std::string::npos) << error.detail();
    EXPECT_LT(took, std::chrono::seconds(1));
  }
}

TEST(ExportPass, ParseErrorsCarryThePosition) {
  const Error malformed = PassError(DataPath("xml/malformed.xml"));
  EXPECT_EQ(malformed.detail().rfind("line ", 0), 0u) << malformed.detail();
  // A blanked DOCTYPE moves no line.
  const Error after = PassError(DataPath("xml/doctype-then-malformed.xml"));
  EXPECT_EQ(after.detail().rfind("line 7,", 0), 0u) << after.detail();
}

TEST(ExportPass, ADoctypeIsIgnored) {
  for (const char* fixture : {"doctype-harmless.xml", "doctype-system.xml", "doctype-subset.xml"}) {
    SCOPED_TRACE(fixture);
    const auto recorder = ReadFixture(fixture);
    EXPECT_EQ(recorder->root().name, "DZSBB");
    EXPECT_EQ(Child(recorder->root(), "MC").text.text(), "ok");
  }
}

TEST(ExportPass, ALongPrologIsReadWhole) {
  ScratchFolder scratch;
  const std::string path = scratch.Join("long-prolog.xml");
  // A DOCTYPE far longer than a read, whose end the guard must still find.
  const std::string subset(std::size_t{300} << 10, ' ');
  WriteBytes(path, "<?xml version=\"1.0\"?>\n<!DOCTYPE DZSBB [" + subset +
                       "<!ENTITY e \"x\">]>\n<DZSBB><MC>&e;</MC></DZSBB>");
  const Error error = PassError(path);
  EXPECT_EQ(error.fault(), Fault::kExport);
  EXPECT_NE(error.detail().find("line 3"), std::string::npos) << error.detail();

  const std::string endless = scratch.Join("endless-prolog.xml");
  WriteBytes(endless, "<!--" + std::string(17u << 20, '-') + "-->" + "<DZSBB/>");
  EXPECT_NE(PassError(endless).detail().find("prolog is longer"), std::string::npos);
}

// A comment, PI, tag or reference of up to 8 MB is read wherever the chunks end, and
// one byte more is refused in this system's words; a prolog of many
// comments is read up to its own limit.
TEST(ExportPass, TokenLimits) {
  constexpr std::size_t kMb = std::size_t{1} << 20;
  const auto comment = [](std::size_t bytes) {
    return "<!--" + std::string(bytes - 7, 'c') + "-->";
  };
  std::string comments;
  while (comments.size() < 12 * kMb) comments += "<!-- a comment of a long prolog -->\n";
  struct Case {
    const char* name;
    std::string xml;
    const char* detail;  // empty when read
  };
  const Case cases[] = {
      {"a prolog of 12 MB", comments + "<R/>", ""},
      {"8 MB", "<R>" + std::string(40000, ' ') + comment(8 * kMb) + "</R>", ""},
      {"a byte more", comment(8 * kMb + 1) + "<R/>",
       "line 1, column 1: a comment of more than 8 MB"},
      {"a byte more, elsewhere", "<R>" + std::string(40000, ' ') + comment(8 * kMb + 1) + "</R>",
       "line 1, column 40004: a comment of more than 8 MB"},
      {"a PI", "<R>\n<?pi " + std::string(9 * kMb, 'p') + "?></R>",
       "line 2, column 1: a processing instruction of more than 8 MB"},
      {"a start tag", "<R><I a='" + std::string(9 * kMb, '>') + "'/></R>",
       "line 1, column 4: a start tag of more than 8 MB"},
      {"a reference", "<R>&" + std::string(9 * kMb, 'r') + ";</R>",
       "line 1, column 4: a reference of more than 8 MB"},
      {"a name", "<R><" + std::string(50001, 'n') + "/></R>",
       "line 1, column 5: a name of more than 50,000 characters"},
  };
  ScratchFolder scratch;
  const std::string path = scratch.Join("long-token.xml");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(path, c.xml);
    if (*c.detail == '\0') {
      EXPECT_EQ(Read(path)->root().name, "R");
    } else {
      const Error error = PassError(path);
      EXPECT_EQ(error.fault(), Fault::kExport);
      EXPECT_EQ(error.detail(), c.detail);
    }
  }
}

TEST(ExportPass, AnExternalEntityIsNeverRead) {
  ScratchFolder scratch;
  const std::string secret = scratch.Join("secret.txt");
  WriteBytes(secret, "SECRET-4711");
  std::string uri = "file:///" + secret;
  for (char& c : uri) {
    if (c == '\\') c = '/';
  }
  const std::string xml = scratch.Join("entity.xml");
  WriteBytes(xml, "<?xml version=\"1.0\"?>\n<!DOCTYPE DZSBB [\n  <!ENTITY secret SYSTEM \"" + uri +
                      "\">\n]>\n<DZSBB><MC>&secret;</MC></DZSBB>\n");
  const Error error = PassError(xml);
  EXPECT_EQ(error.fault(), Fault::kExport);
  EXPECT_EQ(error.detail().find("SECRET"), std::string::npos) << error.detail();
}

TEST(ExportPass, UnreadableFilesAreMachineFaults) {
  const Error missing = PassError(DataPath("xml/no-such-file.xml"));
  EXPECT_EQ(missing.fault(), Fault::kMachine);
  EXPECT_EQ(missing.message(), Message::kProcessingFailed);
  EXPECT_NE(missing.detail().find("no-such-file.xml"), std::string::npos) << missing.detail();

  // A locked or denied file, through the file-system seam.
  fs::Ops& ops = fs::FileSystem();
  const fs::Ops saved = ops;
  ops.open = [](const std::string&, fs::OpenMode, fs::Handle*) noexcept {
    return fs::Outcome{fs::Status::kSharingViolation, 32};
  };
  const Error locked = PassError(DataPath("xml/utf8.xml"));
  ops = saved;
  EXPECT_EQ(locked.fault(), Fault::kMachine);
  EXPECT_NE(locked.detail().find("(32)"), std::string::npos) << locked.detail();

  ops.read = [](fs::Handle, void*, std::size_t, std::size_t*) noexcept {
    return fs::Outcome{fs::Status::kAccessDenied, 5};
  };
  const Error denied = PassError(DataPath("xml/utf8.xml"));
  ops = saved;
  EXPECT_EQ(denied.fault(), Fault::kMachine);
}

TEST(ExportPass, StopsReadingOnceTheResultIsDecided) {
  ScratchFolder scratch;
  const std::string path = scratch.Join("long.xml");
  std::string xml = "<R>";
  for (int i = 0; i < 100000; ++i) xml += "<I>" + std::to_string(i) + "</I>";
  WriteBytes(path, xml + "</R>");
  static std::uint64_t read_bytes;
  read_bytes = 0;
  fs::Ops& ops = fs::FileSystem();
  const fs::Ops saved = ops;
  ops.read = [](fs::Handle handle, void* buffer, std::size_t size, std::size_t* got) noexcept {
    const fs::Outcome outcome = fs::PlatformFileSystem().read(handle, buffer, size, got);
    read_bytes += *got;
    return outcome;
  };
  Recorder recorder;
  recorder.decided_after_ = 50;
  ReadExport(path, recorder);
  ops = saved;
  EXPECT_LT(read_bytes, 256u * 1024) << "of " << xml.size();
}

TEST(ExportPass, ReportsHowMuchOfTheFileIsRead) {
  ScratchFolder scratch;
  const std::string xml = scratch.Join("large.xml");
  std::string bytes = "<R>";
  while (bytes.size() < 200000) bytes += "<I>1</I>";
  bytes += "</R>";
  WriteBytes(xml, bytes);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
  Recorder recorder;
  ReadExport(xml, recorder,
             [&](std::uint64_t read, std::uint64_t size) { calls.emplace_back(read, size); });
  EXPECT_EQ(recorder.root().children.size(), (bytes.size() - 7) / 8);
  ASSERT_GE(calls.size(), 3u);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].second, bytes.size());
    if (i > 0) {
      EXPECT_GT(calls[i].first, calls[i - 1].first);
    }
  }
  EXPECT_EQ(calls.back().first, bytes.size());
}

TEST(ExportPass, WhatAHandlerThrowsPassesThrough) {
  class Throwing : public Recorder {
   public:
    void OnEnd(std::size_t depth) override {
      Recorder::OnEnd(depth);
      if (depth == 1) throw std::runtime_error("handler");
    }
  };
  Throwing handler;
  EXPECT_THROW(ReadExport(DataPath("xml/utf8.xml"), handler), std::runtime_error);
}

TEST(ExportPass, ReadsOnAThreadOfItsOwn) {
  std::string name;
  std::thread worker([&name] { name = Child(ReadFixture("utf8.xml")->root(), "MC").text.text(); });
  worker.join();
  EXPECT_EQ(name, kName);
}

}  // namespace
}  // namespace sbrep
