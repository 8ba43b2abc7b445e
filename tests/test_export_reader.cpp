#include "xml/export_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "core/error.h"
#include "platform/filesystem.h"
#include "support/support.h"

namespace sbrep {
namespace {

using test::DataPath;
using test::ScratchFolder;
using test::WriteBytes;

ExportDocument Load(const std::string& fixture) { return LoadExport(DataPath("xml/" + fixture)); }

// The fault and detail of a failing load.
Error LoadError(const std::string& path) {
  try {
    LoadExport(path);
  } catch (const Error& error) {
    return error;
  }
  ADD_FAILURE() << path << " loaded";
  return Error(Message::kXmlParseError, Fault::kInstall, "");
}

ExportNode Child(const ExportNode& node, const std::string& name) {
  const auto child = FindChild(node, name);
  if (!child) ADD_FAILURE() << "no " << name;
  return child ? *child : ExportNode();
}

TEST(ExportReader, ChildModel) {
  ExportDocument document = Load("child-model.xml");
  ASSERT_EQ(RootName(document), "DZSBB");
  const ExportNode root = Root(document);
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
    const ExportNode node = Child(root, c.element);
    EXPECT_EQ(ChildCount(node), c.children);
    EXPECT_EQ(HasChildren(node), c.children > 0);
    EXPECT_EQ(NodeText(node), c.text);
    EXPECT_EQ(ChildText(root, c.element), c.text);
  }
  // Comments, PIs and indentation shift no position.
  for (const char* list : {"INDENTED", "FLAT", "MIXED"}) {
    SCOPED_TRACE(list);
    const ExportNode node = Child(root, list);
    const char* names[] = {"A", "B", "C"};
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_EQ(NodeName(ChildAt(node, k)), names[k]);
      EXPECT_EQ(NodeText(ChildAt(node, k)), std::to_string(k + 1));
    }
  }
  const ExportNode text_first = Child(root, "TEXTFIRST");
  EXPECT_EQ(NodeName(ChildAt(text_first, 0)), "");
  EXPECT_EQ(NodeText(ChildAt(text_first, 0)), "12");
  EXPECT_EQ(NodeName(ChildAt(text_first, 1)), "A");
  EXPECT_EQ(ChildText(text_first, "A"), "3");
  EXPECT_EQ(NodeText(ChildAt(Child(root, "CDATA"), 0)), "<not markup> & 12.50");
  // Names as written: no case folding, no trimming.
  EXPECT_FALSE(FindChild(root, "twice"));
  EXPECT_FALSE(FindChild(root, "TWICE "));
  EXPECT_EQ(ChildText(root, "MISSING"), "");
  // The document element's children: 14 elements, blank text dropped.
  EXPECT_EQ(ChildCount(root), 14u);
  EXPECT_EQ(NodeName(ChildAt(root, 13)), "TWICE");
  EXPECT_EQ(NodeText(ChildAt(root, 13)), "second");
  CloseExport(document);
  EXPECT_FALSE(document.is_open());
}

TEST(ExportReader, PositionBeyondTheLastChildIsAnExportFault) {
  const ExportDocument document = Load("child-model.xml");
  const ExportNode flat = Child(Root(document), "FLAT");
  try {
    ChildAt(flat, 3);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.fault(), Fault::kExport);
    EXPECT_NE(error.detail().find("FLAT"), std::string::npos) << error.detail();
  }
}

TEST(ExportReader, RootNamesAsWritten) {
  struct Case {
    const char* fixture;
    const char* root;
    const char* plain;  // ChildText "MC"
  };
  const Case cases[] = {
      {"lowercase-root.xml", "dzsbb", "lower"},
      {"prefixed-root.xml", "x:DZSBB", "plain"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    const ExportDocument document = Load(c.fixture);
    EXPECT_EQ(RootName(document), c.root);
    EXPECT_NE(RootName(document), "DZSBB");
    EXPECT_EQ(ChildText(Root(document), "MC"), c.plain);
  }
  const ExportDocument prefixed = Load("prefixed-root.xml");
  EXPECT_EQ(ChildText(Root(prefixed), "x:MC"), "prefixed");
}

// 北京宏远商贸有限公司, ten characters.
constexpr char kName[] =
    "\xE5\x8C\x97\xE4\xBA\xAC\xE5\xAE\x8F\xE8\xBF\x9C\xE5\x95\x86\xE8\xB4\xB8\xE6\x9C\x89\xE9"
    "\x99\x90\xE5\x85\xAC\xE5\x8F\xB8";
constexpr char kNameGbk[] =
    "\xB1\xB1\xBE\xA9\xBA\xEA\xD4\xB6\xC9\xCC\xC3\xB3\xD3\xD0\xCF\xDE\xB9\xAB\xCB\xBE";

TEST(ExportReader, Encodings) {
  for (const char* fixture : {"utf8.xml", "utf8-bom.xml", "utf8-undeclared.xml", "utf16le-bom.xml",
                              "gbk.xml", "gb2312.xml", "gb2312-upper.xml"}) {
    SCOPED_TRACE(fixture);
    ExportDocument document = Load(fixture);
    EXPECT_EQ(RootName(document), "DZSBB");
    const std::string name = ChildText(Root(document), "MC");
    EXPECT_EQ(name, kName);
    const auto gbk = ToGbk(name);
    ASSERT_TRUE(gbk);
    EXPECT_EQ(*gbk, kNameGbk);
    EXPECT_EQ(gbk->size(), 20u);
    EXPECT_EQ(ChildText(Root(document), "JE"), "12.50");
    CloseExport(document);
  }
}

TEST(ExportReader, ToGbk) {
  EXPECT_EQ(ToGbk(""), std::string());
  EXPECT_EQ(ToGbk("12.50"), std::string("12.50"));
  EXPECT_EQ(ToGbk("A\xE4\xB8\xAD"
                  "1"),
            std::string("A\xD6\xD0"
                        "1"));
  // No GBK form: an emoji and an Ethiopic letter. Never a '?'.
  EXPECT_FALSE(ToGbk("1\xF0\x9F\x98\x80"));
  EXPECT_FALSE(ToGbk("\xE1\x88\x80"));
}

// Some converters encode U+F8F5 as the single byte 0xFF, which no GBK
// decoder reads back: bytes that do not decode to the text are no GBK form.
TEST(ExportReader, ToGbkRefusesBytesThatDoNotDecodeBack) {
  EXPECT_FALSE(ToGbk("1\xEF\xA3\xB5"));
  const auto euro = ToGbk("\xE2\x82\xAC");
  ASSERT_TRUE(euro);
  EXPECT_EQ(*euro, "\x80");
}

TEST(ExportReader, ExportFaults) {
  struct Case {
    const char* fixture;
    const char* detail;  // a part of the detail text
  };
  const Case cases[] = {
      {"malformed.xml", ""},     {"utf32le-bom.xml", "UTF-32"},
      {"utf32be.xml", "UTF-32"}, {"billion-laughs.xml", ""},
      {"empty.xml", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    const auto started = std::chrono::steady_clock::now();
    const Error error = LoadError(DataPath(std::string("xml/") + c.fixture));
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(error.fault(), Fault::kExport);
    EXPECT_EQ(error.message(), Message::kXmlParseError);
    EXPECT_FALSE(error.detail().empty());
    EXPECT_NE(error.detail().find(c.detail), std::string::npos) << error.detail();
    EXPECT_LT(took, std::chrono::seconds(1));
  }
}

TEST(ExportReader, ParserErrorsCarryThePosition) {
  const Error malformed = LoadError(DataPath("xml/malformed.xml"));
  EXPECT_EQ(malformed.detail().rfind("line ", 0), 0u) << malformed.detail();
  // A blanked DOCTYPE moves no line. Some parsers give no position at all.
  const Error after = LoadError(DataPath("xml/doctype-then-malformed.xml"));
  if (after.detail().rfind("line 0,", 0) != 0) {
    EXPECT_EQ(after.detail().rfind("line 7,", 0), 0u) << after.detail();
  }
}

TEST(ExportReader, ADoctypeIsIgnored) {
  for (const char* fixture : {"doctype-harmless.xml", "doctype-system.xml", "doctype-subset.xml"}) {
    SCOPED_TRACE(fixture);
    const ExportDocument document = Load(fixture);
    EXPECT_EQ(RootName(document), "DZSBB");
    EXPECT_EQ(ChildText(Root(document), "MC"), "ok");
  }
}

TEST(ExportReader, AnExternalEntityIsNeverRead) {
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
  const Error error = LoadError(xml);
  EXPECT_EQ(error.fault(), Fault::kExport);
  EXPECT_EQ(error.detail().find("SECRET"), std::string::npos) << error.detail();
}

TEST(ExportReader, UnreadableFilesAreMachineFaults) {
  const Error missing = LoadError(DataPath("xml/no-such-file.xml"));
  EXPECT_EQ(missing.fault(), Fault::kMachine);
  EXPECT_EQ(missing.message(), Message::kProcessingFailed);
  EXPECT_NE(missing.detail().find("no-such-file.xml"), std::string::npos) << missing.detail();

  // A locked or denied file, through the file-system seam.
  fs::Ops& ops = fs::FileSystem();
  const fs::Ops saved = ops;
  ops.open = [](const std::string&, fs::OpenMode, fs::Handle*) {
    return fs::Outcome{fs::Status::kSharingViolation, 32};
  };
  const Error locked = LoadError(DataPath("xml/utf8.xml"));
  ops = saved;
  EXPECT_EQ(locked.fault(), Fault::kMachine);
  EXPECT_NE(locked.detail().find("(32)"), std::string::npos) << locked.detail();

  ops.read = [](fs::Handle, void*, std::size_t, std::size_t*) {
    return fs::Outcome{fs::Status::kAccessDenied, 5};
  };
  const Error denied = LoadError(DataPath("xml/utf8.xml"));
  ops = saved;
  EXPECT_EQ(denied.fault(), Fault::kMachine);
}

TEST(ExportReader, LoadsOnAThreadOfItsOwn) {
  std::string name;
  std::thread worker([&name] {
    ExportDocument document = Load("utf8.xml");
    name = ChildText(Root(document), "MC");
    CloseExport(document);
  });
  worker.join();
  EXPECT_EQ(name, kName);
}

// The read reports each chunk, ending at the file's size, so that a caller
// can show how far a large export has got.
TEST(ExportReader, ReportsHowMuchOfTheFileIsRead) {
  ScratchFolder scratch;
  const std::string xml = scratch.Join("large.xml");
  std::string bytes = "<R>";
  while (bytes.size() < 200000) bytes += "<I>1</I>";
  bytes += "</R>";
  WriteBytes(xml, bytes);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
  ExportDocument document = LoadExport(
      xml, [&](std::uint64_t read, std::uint64_t size) { calls.emplace_back(read, size); });
  EXPECT_EQ(ChildCount(Root(document)), (bytes.size() - 7) / 8);
  ASSERT_GE(calls.size(), 3u);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].second, bytes.size());
    if (i > 0) {
      EXPECT_GT(calls[i].first, calls[i - 1].first);
    }
  }
  EXPECT_EQ(calls.back().first, bytes.size());
}

TEST(ExportReader, ANodeKeepsItsDocumentAlive) {
  ExportNode item;
  {
    const ExportDocument document = Load("child-model.xml");
    item = ChildAt(Child(Root(document), "MIXED"), 1);
  }
  EXPECT_EQ(NodeText(item), "2");
  EXPECT_EQ(NodeText(ExportNode()), "");
  EXPECT_EQ(ChildCount(ExportNode()), 0u);
}

}  // namespace
}  // namespace sbrep
