// The text routines run for every address posted and every message listed: scanning and
// parsing a long mixed address list, trimming addresses for display, and collecting the
// headers of a typical message. Rates are per address and per byte of text.
#include <benchmark/benchmark.h>

#include <string>

#include "pellam.h"

namespace {

// About 600 addresses of every form, with the comments, quotes and separators that
// real lists carry.
std::string AddressList() {
  const char* const forms[] = {
      "SMITH",
      "NODEA::JONES",
      "NODEA::NODEB::BROWN (Pat Brown)",
      "wilson@host.example.org",
      "GATE::\"taylor@gateway.example.com\"",
      "NODEC::\"jo smith\"",
      "DAVIES  (D. Davies, Accounts)",
      "NODED::NODEE::NODEF::EVANS",
  };
  std::string list;
  for (int i = 0; i < 75; ++i) {
    for (const char* form : forms) {
      if (!list.empty()) list += (i % 3 == 0) ? ", " : " ";
      list += form;
    }
  }
  return list;
}

void BM_ScanAddressList(benchmark::State& state) {
  const std::string list = AddressList();
  int64_t addresses = 0;
  for (auto _ : state) {
    const char* p = list.c_str();
    while (*p != '\0') {
      const char *start, *end, *next;
      benchmark::DoNotOptimize(ScanAddr(p, &start, &end, &next, 0));
      p = next;
      ++addresses;
    }
  }
  state.SetItemsProcessed(addresses);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
}
BENCHMARK(BM_ScanAddressList);

void BM_ScanAndParseAddressList(benchmark::State& state) {
  const std::string list = AddressList();
  int64_t addresses = 0;
  for (auto _ : state) {
    const char* p = list.c_str();
    while (*p != '\0') {
      const char *start, *end, *next;
      if (ScanAddr(p, &start, &end, &next, 0) == 0) {
        int32_t no, nl, uo, ul, form;
        benchmark::DoNotOptimize(
            ParseAddr(start, static_cast<int32_t>(end - start), &no, &nl, &uo, &ul, &form));
      }
      p = next;
      ++addresses;
    }
  }
  state.SetItemsProcessed(addresses);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
}
BENCHMARK(BM_ScanAndParseAddressList);

void BM_TrimAddressList(benchmark::State& state) {
  const std::string list = AddressList();
  int64_t addresses = 0;
  for (auto _ : state) {
    const char* p = list.c_str();
    while (*p != '\0') {
      const char *start, *end, *next;
      ScanAddr(p, &start, &end, &next, 0);
      const char* trimmed;
      int32_t length;
      benchmark::DoNotOptimize(TrimAddress(start, 0, &trimmed, &length));
      p = next;
      ++addresses;
    }
  }
  state.SetItemsProcessed(addresses);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
}
BENCHMARK(BM_TrimAddressList);

// A received message of about 2 KB: 15 header lines, four of them folded, as the
// folder listing and the message window read them.
std::string TypicalMessage() {
  std::string m =
      "Received: from NODEB by NODEA with mail-11 id AA01234; Mon, 12 Jan 1995 10:20:30 GMT\r\n"
      "Received: from NODEC by NODEB with mail-11 id AA05678;\r\n"
      "\tMon, 12 Jan 1995 10:19:58 GMT\r\n"
      "Return-Path: NODEC::SMITH\r\n"
      "Message-Id: <9501121019.AA05678@nodec.example.org>\r\n"
      "Date: Mon, 12 Jan 1995 10:19:55 GMT\r\n"
      "From: NODEC::SMITH  (Jo Smith, Research and Development, Building 4)\r\n"
      "To: NODEA::JONES, NODEA::BROWN, NODEA::WILSON, NODEA::TAYLOR,\r\n"
      "    NODEA::DAVIES, NODEA::EVANS, NODEA::THOMAS, NODEA::ROBERTS,\r\n"
      "    NODEA::JOHNSON, NODEA::WALKER, NODEA::WRIGHT, NODEA::THOMPSON\r\n"
      "Cc: NODEB::WHITE, NODEB::HUGHES, NODEB::EDWARDS, NODEB::GREEN,\r\n"
      "    NODEB::HALL, NODEB::WOOD, NODEB::HARRIS, NODEB::LEWIS, NODEB::MARTIN\r\n"
      "Subject: Minutes of the planning meeting of 11 January, with the revised\r\n"
      " schedule for the second quarter and the list of open actions\r\n"
      "X-Mailer: Pellam\r\n"
      "Mime-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=ISO-8859-1\r\n"
      "Organization: Research and Development, Building 4, Second Floor, Room 2.17\r\n"
      "Reply-To: NODEC::SMITH\r\n"
      "X-Comment: ";
  while (m.size() < 1950) m += "padding text of a long header line ";
  m += "\r\n\r\nThe text of the message begins here.\r\n";
  return m;
}

void BM_GetMailHeaders(benchmark::State& state) {
  const std::string message = TypicalMessage();
  const char* const names[] = {"Date", "From", "To", "Cc", "Subject", "Received"};
  char* values[6];
  for (auto _ : state) {
    const char* text = message.data();
    auto length = static_cast<int32_t>(message.size());
    benchmark::DoNotOptimize(GetMailHeaders(&text, &length, 6, names, values));
    FreeMailHeaders(6, values);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
}
BENCHMARK(BM_GetMailHeaders);

void BM_ExtractReceiveDate(benchmark::State& state) {
  const char* value = "from NODEB by NODEA with mail-11 id AA01234; Mon, 12 Jan 1995 10:20:30 GMT";
  MailDate date;
  for (auto _ : state) benchmark::DoNotOptimize(ExtractReceiveDate(value, &date));
}
BENCHMARK(BM_ExtractReceiveDate);

}  // namespace

BENCHMARK_MAIN();
