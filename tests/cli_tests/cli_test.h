// What the tests of the sbrep tool share: the tool run in process on
// strings, and a registered install with all three tables.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/sbrep_cli.h"
#include "core/messages.h"
#include "harness/process.h"
#include "support/support.h"
#include "transfer_cases.h"

namespace sbrep::test {

using Json = nlohmann::json;
using Strings = std::vector<std::string>;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// `input` is what the person types at a prompt.
Outcome Sbrep(const Strings& args, const std::string& input = "");

bool Has(const std::string& text, const std::string& part);

// What check prints for a message: its text decoded, then its gloss.
std::string Shown(Message message);

// The one backup in `folder`, by name.
std::string OnlyBackup(const std::string& folder);

// The run's output as the one JSON object it must be.
Json Parsed(const Outcome& run);

struct Kind {
  const char* number;
  const char* name;
  const char* table;
  const char* old_table;  // below tests/data
  const char* good_export;
};

extern const Kind kKinds[3];

// A registered install with all three tables, a folder for exports, and a
// backup folder of the test's own, which the platform's default names too.
class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& kind : kKinds) client_.PutTable(kind.table, ReadData(kind.old_table));
  }

  std::string PutExport(const std::string& fixture, const std::string& name) {
    return PutExportBytes(ReadData(fixture), name);
  }
  std::string PutExportBytes(const std::string& bytes, const std::string& name) {
    const std::string path = exports_.Join(name);
    WriteBytes(path, bytes);
    return path;
  }

  std::string Table(const std::string& name) const { return ReadBytes(client_.TablePath(name)); }
  std::string Icdat() { return ListFolder(client_.scratch().Join("Dexlan/ICDAT")); }
  std::string Backups() { return ListFolder(backups_.path()); }

  // The output with the install folder written as @CLIENT@.
  std::string Anonymous(const std::string& out) const {
    return ReplacedAll(out, client_.folder(), "@CLIENT@");
  }

  FilingClient client_;
  ScratchFolder exports_;
  ScratchFolder backups_;
  // The profile: the default backup folder and the call log.
  ScratchFolder profile_;
  EnvironmentVariable local_app_data_{"LOCALAPPDATA", profile_.Join("local")};
  EnvironmentVariable xdg_state_home_{"XDG_STATE_HOME", profile_.Join("state")};
};

}  // namespace sbrep::test
