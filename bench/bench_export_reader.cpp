// Loads and walks a generated invoice export, the largest shape a transfer
// reads, and reports load time, walk time and peak memory apart.
//   bench_export_reader [INVOICES] [PATH]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/peak_memory.h"
#include "core/error.h"
#include "transfer/table_kinds.h"
#include "transfer/values.h"

namespace {

// Streams the export, so that generating it adds nothing to the peak.
bool Generate(const std::string& path, unsigned long invoices) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SB_KPJK>\n  <SB_KPJK_FPXX>\n", file);
  static const char* const kRates[] = {"17", "13", "6", "4", "3"};
  for (unsigned long i = 0; i < invoices; ++i) {
    std::fprintf(file,
                 "    <SB_KPJK_FPMX><Waste>%d</Waste><InvKind>%lu</InvKind>"
                 "<TaxRate>%s</TaxRate><Amount>%lu.%02lu</Amount><Tax>%lu.%02lu</Tax>"
                 "</SB_KPJK_FPMX>\n",
                 i % 50 == 0 ? 1 : 0, i % 3, kRates[i % 5], 100 + i % 9000, i % 100, 17 + i % 1500,
                 (i * 7) % 100);
  }
  std::fputs("  </SB_KPJK_FPXX>\n</SB_KPJK>\n", file);
  return std::fclose(file) == 0;
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

int main(int argc, char** argv) {
  const unsigned long invoices = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  const std::string path = argc > 2 ? argv[2]
                                    : (std::filesystem::temp_directory_path() /
                                       ("sbrep-bench-" + std::to_string(invoices) + ".xml"))
                                          .u8string();
  if (!Generate(path, invoices)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  std::error_code ignored;
  const auto size = std::filesystem::file_size(std::filesystem::u8path(path), ignored);
  const std::uint64_t base_peak = sbrep::bench::PeakMemoryBytes();
  int status = 0;
  try {
    const auto started = std::chrono::steady_clock::now();
    const sbrep::KindEntry& kind = sbrep::EntryOf(sbrep::TableKind::kVatScheduleOne);
    const sbrep::Values values = kind.read(kind, path);
    const double read = Seconds(std::chrono::steady_clock::now() - started);
    const auto& totals = std::get<sbrep::VatTotals>(values);
    std::printf("invoices %lu, file %.1f MB\n", invoices, Megabytes(size));
    std::printf("read %.3f s, peak %.0f MB (before: %.0f MB); %zu invoices\n", read,
                Megabytes(sbrep::bench::PeakMemoryBytes()), Megabytes(base_peak), totals.invoices);
    if (totals.invoices != invoices) status = 1;
  } catch (const sbrep::Error& error) {
    std::fprintf(stderr, "%s\n", error.detail().c_str());
    status = 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    status = 1;
  }
  std::filesystem::remove(std::filesystem::u8path(path), ignored);
  return status;
}
