// Times the stages of a transfer up to the save (opening checks, the export
// read in one pass, the new lines built) on generated exports, and writes
// those exports. scripts/bench runs it on every build and prints ratios.
//   bench_transfer invoices N PATH            a VAT export of N invoices
//   bench_transfer items KIND ITEMS BYTES PATH a balance sheet (1) or income
//                                              statement (2) export: ITEMS
//                                              items, then more up to BYTES
//   bench_transfer read KIND PATH CLIENT      one run: seconds and memory
//   bench_transfer calls KIND PATH CLIENT N   N runs: the median in ms
//   bench_transfer logged KIND PATH CLIENT N  N whole transfers with the call
//                                              log and N without, in turns:
//                                              both medians, and the median
//                                              of the log's own work
// A run prints one line of key=value pairs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "bench/process.h"
#include "core/error.h"
#include "transfer/call_log.h"
#include "transfer/transfer.h"

namespace {

double Megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// Shaped like the example VAT export: GB2312, nine fields an invoice, a
// Chinese name in each. Written as it goes, so that no export is held.
bool WriteInvoices(const std::string& path, unsigned long long invoices) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fputs(
      "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<SB_KPJK>\n  <SB_KPJK_JG>\n"
      "    <NSRSBH>91110105MA01ABCD2X</NSRSBH>\n    <SSQ>2024-03</SSQ>\n  </SB_KPJK_JG>\n"
      "  <SB_KPJK_FPXX>\n",
      file);
  // 上海联华超市股份有限公司, 北京京客隆商业集团股份有限公司, 天津物美商贸有限公司 in GBK.
  static const char* const kNames[] = {
      "\xC9\xCF\xBA\xA3\xC1\xAA\xBB\xAA\xB3\xAC\xCA\xD0\xB9\xC9\xB7\xDD\xD3\xD0\xCF\xDE\xB9\xAB"
      "\xCB\xBE",
      "\xB1\xB1\xBE\xA9\xBE\xA9\xBF\xCD\xC2\xA1\xC9\xCC\xD2\xB5\xBC\xAF\xCD\xC5\xB9\xC9\xB7\xDD"
      "\xD3\xD0\xCF\xDE\xB9\xAB\xCB\xBE",
      "\xCC\xEC\xBD\xF2\xCE\xEF\xC3\xC0\xC9\xCC\xC3\xB3\xD3\xD0\xCF\xDE\xB9\xAB\xCB\xBE"};
  static const char* const kRates[] = {"17", "13", "6", "4", "3"};
  for (unsigned long long i = 0; i < invoices; ++i) {
    std::fprintf(file,
                 "    <SB_KPJK_FPMX>\n      <FPDM>1100233130</FPDM>\n      <FPHM>%08llu</FPHM>\n"
                 "      <KPRQ>2024-03-%02llu</KPRQ>\n      <GFMC>%s</GFMC>\n"
                 "      <InvKind>%llu</InvKind>\n      <TaxRate>%s</TaxRate>\n"
                 "      <Amount>%llu.%02llu</Amount>\n      <Tax>%llu.%02llu</Tax>\n"
                 "      <Waste>%d</Waste>\n    </SB_KPJK_FPMX>\n",
                 i % 100000000, 1 + i % 28, kNames[i % 3], i % 3, kRates[i % 5], 100 + i % 90000,
                 i % 100, 17 + i % 1500, (i * 7) % 100, i % 50 == 0 ? 1 : 0);
  }
  std::fputs("  </SB_KPJK_FPXX>\n</SB_KPJK>\n", file);
  return std::fclose(file) == 0;
}

// A row table's export whose first `items` items decide the result, with
// more items after them up to `bytes` in all.
bool WriteItems(const std::string& path, int kind, unsigned long long items,
                unsigned long long bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const std::string section = kind == 1 ? "SB_ZCFZB" : "SB_SYB";
  std::fprintf(file,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DZSBB>\n  <%s>\n    <%s_JG>"
               "<NSRSBH>91110105MA01ABCD2X</NSRSBH></%s_JG>\n    <%s_BTXX><NSRMC>ACME</NSRMC>"
               "</%s_BTXX>\n    <%s_MXXX>\n",
               section.c_str(), section.c_str(), section.c_str(), section.c_str(), section.c_str(),
               section.c_str());
  unsigned long long written = 200;
  for (unsigned long long i = 0; i < items || written < bytes; ++i) {
    written += static_cast<unsigned long long>(
        std::fprintf(file,
                     "      <%s_XM><HC>%llu</HC><XMMC>item</XMMC><NCS>%llu.50</NCS>"
                     "<QMS>%llu.25</QMS></%s_XM>\n",
                     section.c_str(), i + 1, i * 3, i * 7, section.c_str()));
  }
  std::fprintf(file, "    </%s_MXXX>\n  </%s>\n</DZSBB>\n", section.c_str(), section.c_str());
  return std::fclose(file) == 0;
}

struct Run {
  double seconds = 0;      // on the wall
  double cpu_seconds = 0;  // of processor time
  int result = 0;
  std::string detail;
};

Run Prepare(int kind, const std::string& path, const std::string& client) {
  Run run;
  const auto started = std::chrono::steady_clock::now();
  const double cpu_started = sbrep::bench::ProcessorSeconds();
  try {
    const sbrep::KindEntry* entry = sbrep::FindTableKind(kind);
    if (entry == nullptr) throw std::runtime_error("no kind " + std::to_string(kind));
    (void)sbrep::PrepareTable(*entry, path, client);
  } catch (const sbrep::Error& error) {
    run.result = -1;
    run.detail = error.detail();
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  run.cpu_seconds = sbrep::bench::ProcessorSeconds() - cpu_started;
  return run;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

double Since(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
      .count();
}

// One whole transfer, the save included, as a host's call makes it; with the
// log, also the time of the log's own work (its start and its line).
sbrep::TransferOutcome Transfer(const sbrep::KindEntry& kind, const std::string& path,
                                const std::string& client, bool logged, double* ms,
                                double* log_ms) {
  const auto started = std::chrono::steady_clock::now();
  std::optional<sbrep::CallLog> log;
  if (logged) log.emplace(kind);
  *log_ms = Since(started);
  sbrep::TransferOptions options;
  options.client_folder = client;
  if (log) options.facts = log->facts();
  sbrep::TransferOutcome outcome = sbrep::TransferTable(kind, path.c_str(), {}, options);
  const auto finishing = std::chrono::steady_clock::now();
  if (log) log->Finish(outcome);
  *log_ms += Since(finishing);
  *ms = Since(started);
  return outcome;
}

int Usage() {
  std::fprintf(stderr,
               "usage: bench_transfer invoices N PATH | items KIND ITEMS BYTES PATH |\n"
               "       read KIND PATH CLIENT | calls KIND PATH CLIENT N |\n"
               "       logged KIND PATH CLIENT N\n");
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "invoices") {
      return WriteInvoices(args[2], std::strtoull(args[1].c_str(), nullptr, 10)) ? 0 : 1;
    }
    if (args.size() == 5 && args[0] == "items") {
      return WriteItems(args[4], std::atoi(args[1].c_str()),
                        std::strtoull(args[2].c_str(), nullptr, 10),
                        std::strtoull(args[3].c_str(), nullptr, 10))
                 ? 0
                 : 1;
    }
    if (args.size() == 4 && args[0] == "read") {
      const sbrep::bench::Memory before = sbrep::bench::ProcessMemory();
      const Run run = Prepare(std::atoi(args[1].c_str()), args[2], args[3]);
      const sbrep::bench::Memory after = sbrep::bench::ProcessMemory();
      std::printf("seconds=%.3f cpu=%.3f result=%d base_mb=%.1f peak_mb=%.1f detail=%s\n",
                  run.seconds, run.cpu_seconds, run.result, Megabytes(before.now),
                  Megabytes(after.peak), run.detail.c_str());
      return 0;
    }
    if (args.size() == 5 && args[0] == "calls") {
      const int kind = std::atoi(args[1].c_str());
      const int calls = std::max(1, std::atoi(args[4].c_str()));
      std::vector<double> times;
      Run last;
      for (int i = 0; i < calls; ++i) {
        last = Prepare(kind, args[2], args[3]);
        times.push_back(last.seconds);
      }
      std::sort(times.begin(), times.end());
      std::printf("median_ms=%.3f result=%d detail=%s\n", times[times.size() / 2] * 1000,
                  last.result, last.detail.c_str());
      return 0;
    }
    if (args.size() == 5 && args[0] == "logged") {
      const sbrep::KindEntry* kind = sbrep::FindTableKind(std::atoi(args[1].c_str()));
      if (kind == nullptr) return Usage();
      if (!sbrep::CallLogEnabled()) throw std::runtime_error("the call log is off");
      const int calls = std::max(1, std::atoi(args[4].c_str()));
      std::vector<double> plain;
      std::vector<double> logged;
      std::vector<double> own;
      int result = 0;
      for (int i = 0; i < calls; ++i) {
        // In turns, each first every other time, so that neither gains from the other.
        for (int turn = 0; turn < 2; ++turn) {
          const bool with_log = (turn == 0) == (i % 2 == 0);
          double ms = 0;
          double log_ms = 0;
          result |= Transfer(*kind, args[2], args[3], with_log, &ms, &log_ms).result;
          (with_log ? logged : plain).push_back(ms);
          if (with_log) own.push_back(log_ms);
        }
      }
      std::printf("plain_ms=%.3f logged_ms=%.3f extra_ms=%.3f log_ms=%.3f result=%d\n",
                  Median(plain), Median(logged), Median(logged) - Median(plain), Median(own),
                  result);
      return 0;
    }
    return Usage();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_transfer: %s\n", error.what());
    return 1;
  }
}
