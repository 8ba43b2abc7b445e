/* The anchor of the benchmarks: the least a one-pass reader of an invoice
 * export can do with libxml2's SAX2 push parser. It reads the file in chunks
 * of 64 KB, lets libxml2 decode it, and sums the amount and tax of every
 * invoice; no child model, no checks, no GBK. The export reader is measured
 * against it on the same file.
 *   anchor_totaller EXPORT.xml */
#include <libxml/parser.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kFieldDepth = 4, kAmount = 1, kTax = 2 };

struct Totals {
  int depth;
  int field;
  char text[64];
  size_t length;
  double amount;
  double tax;
  unsigned long invoices;
};

static void Start(void* context, const xmlChar* local, const xmlChar* prefix, const xmlChar* uri,
                  int namespaces, const xmlChar** names, int attributes, int defaulted,
                  const xmlChar** values) {
  struct Totals* totals = context;
  (void)prefix, (void)uri, (void)namespaces, (void)names, (void)attributes, (void)defaulted,
      (void)values;
  totals->field = 0;
  if (++totals->depth == kFieldDepth) {
    if (strcmp((const char*)local, "Amount") == 0) totals->field = kAmount;
    if (strcmp((const char*)local, "Tax") == 0) totals->field = kTax;
    totals->length = 0;
  }
}

static void End(void* context, const xmlChar* local, const xmlChar* prefix, const xmlChar* uri) {
  struct Totals* totals = context;
  (void)local, (void)prefix, (void)uri;
  if (totals->field != 0) {
    totals->text[totals->length] = '\0';
    const double value = atof(totals->text);
    if (totals->field == kAmount) totals->amount += value;
    if (totals->field == kTax) totals->tax += value;
    totals->field = 0;
  }
  if (totals->depth-- == kFieldDepth - 1) ++totals->invoices;
}

static void Characters(void* context, const xmlChar* text, int length) {
  struct Totals* totals = context;
  size_t n = (size_t)length;
  if (totals->field == 0) return;
  if (n > sizeof totals->text - 1 - totals->length) n = sizeof totals->text - 1 - totals->length;
  memcpy(totals->text + totals->length, text, n);
  totals->length += n;
}

int main(int argc, char** argv) {
  static char chunk[64 * 1024];
  struct Totals totals;
  xmlSAXHandler sax;
  xmlParserCtxtPtr parser;
  FILE* file;
  size_t got;
  struct timespec started;
  struct timespec ended;
  struct timespec cpu_started;
  struct timespec cpu_ended;
  if (argc != 2 || (file = fopen(argv[1], "rb")) == NULL) {
    fprintf(stderr, "usage: anchor_totaller EXPORT.xml\n");
    return 64;
  }
  clock_gettime(CLOCK_MONOTONIC, &started);
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_started);
  memset(&totals, 0, sizeof totals);
  memset(&sax, 0, sizeof sax);
  sax.initialized = XML_SAX2_MAGIC;
  sax.startElementNs = Start;
  sax.endElementNs = End;
  sax.characters = Characters;
  got = fread(chunk, 1, 4, file);
  parser = xmlCreatePushParserCtxt(&sax, &totals, chunk, (int)got, NULL);
  xmlCtxtUseOptions(parser, XML_PARSE_NONET);
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
    if (xmlParseChunk(parser, chunk, (int)got, 0) != 0) break;
  }
  xmlParseChunk(parser, NULL, 0, 1);
  clock_gettime(CLOCK_MONOTONIC, &ended);
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_ended);
  printf("seconds=%.3f cpu=%.3f invoices=%lu amount=%.2f tax=%.2f well_formed=%d\n",
         (double)(ended.tv_sec - started.tv_sec) + (double)(ended.tv_nsec - started.tv_nsec) / 1e9,
         (double)(cpu_ended.tv_sec - cpu_started.tv_sec) +
             (double)(cpu_ended.tv_nsec - cpu_started.tv_nsec) / 1e9,
         totals.invoices, totals.amount, totals.tax, parser->wellFormed);
  xmlFreeParserCtxt(parser);
  fclose(file);
  return 0;
}
