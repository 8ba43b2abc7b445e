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
#include "xml/export_reader.h"

namespace {

constexpr const char* kFields[] = {"Waste", "InvKind", "TaxRate", "Amount", "Tax"};

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
  using sbrep::ExportNode;
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
    auto started = std::chrono::steady_clock::now();
    sbrep::ExportDocument document = sbrep::LoadExport(path);
    const double load = Seconds(std::chrono::steady_clock::now() - started);
    const std::uint64_t load_peak = sbrep::bench::PeakMemoryBytes();

    started = std::chrono::steady_clock::now();
    const auto list = sbrep::FindChild(sbrep::Root(document), "SB_KPJK_FPXX");
    std::size_t items = 0;
    std::size_t characters = 0;
    if (list) {
      items = sbrep::ChildCount(*list);
      for (std::size_t i = 0; i < items; ++i) {
        const ExportNode item = sbrep::ChildAt(*list, i);
        for (const char* field : kFields) characters += sbrep::ChildText(item, field).size();
      }
    }
    const double walk = Seconds(std::chrono::steady_clock::now() - started);
    const std::uint64_t walk_peak = sbrep::bench::PeakMemoryBytes();
    sbrep::CloseExport(document);

    std::printf("invoices %lu, file %.1f MB\n", invoices, Megabytes(size));
    std::printf("load %.3f s, peak %.0f MB\n", load, Megabytes(load_peak));
    std::printf("walk %.3f s (%.2f us per invoice), peak %.0f MB\n", walk,
                items ? walk * 1e6 / static_cast<double>(items) : 0.0, Megabytes(walk_peak));
    std::printf("before load, peak %.0f MB; %zu items, %zu characters read\n", Megabytes(base_peak),
                items, characters);
    if (items != invoices) status = 1;
  } catch (const sbrep::Error& error) {
    std::fprintf(stderr, "%s\n", error.detail().c_str());
    status = 1;
  }
  std::filesystem::remove(std::filesystem::u8path(path), ignored);
  return status;
}
