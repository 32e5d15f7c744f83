// Differential fuzz target: the library's answer to one value request must equal the plain
// model's, result code and every byte of the host buffer, both as Windows hosts receive it
// (the raw bytes) and as Linux hosts do (UTF-8, the model's value through its own rule).
//
// Input layout: byte 0 picks the field (low 7 bits, -1..18) and, with bit 7 set, puts
// "<html>" in front of the document so that most inputs pass the sniff; bytes 1-2 pick
// MaxLen (-2..4097, little-endian); the rest is the document.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/probe_folder.h"
#include "plugin/delivery.h"
#include "plugin/field_table.h"
#include "plugin/field_values.h"
#include "tests/model/plain_model.h"
#include "text/search.h"

namespace {

using pagefields::FieldTable;
using pagefields::ValueNotSupported;

constexpr int kGuard = 8;
constexpr int kNoindexRow = 17;
constexpr char kFill = '\x5A';

struct Request {
  int field = 0;
  int max_len = 0;
  std::string document;
};

Request Decode(const std::uint8_t* data, std::size_t size) {
  Request request;
  if (size < 3) return request;
  request.field = (data[0] & 0x7F) % 20 - 1;
  request.max_len = (data[1] | (data[2] << 8)) % 4100 - 2;
  if ((data[0] & 0x80) != 0) request.document = "<html>";
  request.document.append(reinterpret_cast<const char*>(data + 3), size - 3);
  return request;
}

std::uint32_t StatAttributes(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return pagefields::model::kQueryFailed;
  return S_ISDIR(info.st_mode) ? pagefields::model::kDirectoryBit : 0x80u;
}

// The library's side, as ContentGetValue runs it on a document already read: the sniff,
// the index test, the one dispatch and the delivery into the host's buffer.
int LibraryAnswer(const Request& request, const std::string& folder,
                  const pagefields::TextDelivery& delivery, char* buffer) {
  const std::string_view sniffed = std::string_view(request.document).substr(0, 64);
  if (pagefields::PosText("<HTML>", sniffed, 1) == 0) return ValueNotSupported;
  if (!pagefields::IsFieldIndex(request.field)) return ValueNotSupported;
  pagefields::FieldSet wanted;
  wanted.set(static_cast<std::size_t>(request.field));
  // Every third MaxLen takes the uncut computation, as the command-line program asks for it.
  const pagefields::FieldValues values =
      request.max_len % 3 == 0 ? pagefields::ComputeFields(request.document, folder, wanted)
                               : pagefields::ComputeFieldsForBuffer(
                                     request.document, folder, wanted, request.max_len, delivery);
  return pagefields::DeliverField(request.field, values[static_cast<std::size_t>(request.field)],
                                  buffer, request.max_len, delivery);
}

std::string Escaped(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F && u != '\\') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    }
  }
  return out;
}

// Aborts with both answers when the library's differs from the model's.
void Compare(const Request& request, const char* host, int result, const std::vector<char>& actual,
             int expected_result, const std::string& expected_bytes) {
  std::vector<char> wanted(actual.size(), kFill);
  std::memcpy(wanted.data() + kGuard, expected_bytes.data(), expected_bytes.size());
  if (result == expected_result && actual == wanted) return;
  const auto shown = [](const std::vector<char>& buffer) {
    return Escaped(std::string_view(buffer.data(), buffer.size()));
  };
  std::fprintf(stderr,
               "difference (%s): field %d (%s) max_len %d\n document \"%s\"\n model   %d \"%s\"\n "
               "library %d \"%s\"\n",
               host, request.field,
               pagefields::IsFieldIndex(request.field)
                   ? std::string(FieldTable[static_cast<std::size_t>(request.field)].name).c_str()
                   : "-",
               request.max_len, Escaped(request.document).c_str(), expected_result,
               shown(wanted).c_str(), result, shown(actual).c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3 || size > (1u << 16)) return 0;
  const Request request = Decode(data, size);
  const std::string& folder = pagefields::fuzzing::ProbeFolder();

  const std::size_t buffer_size =
      static_cast<std::size_t>(request.max_len > 4 ? request.max_len : 4);
  const pagefields::model::ModelAnswer expected = pagefields::model::ModelGetValue(
      request.document, folder, request.field, request.max_len, StatAttributes);

  std::vector<char> raw(buffer_size + 2 * kGuard, kFill);
  const int raw_result = LibraryAnswer(request, folder, pagefields::kRawBytes, raw.data() + kGuard);
  Compare(request, "raw bytes", raw_result, raw, expected.result, expected.written);

  std::vector<char> utf8(buffer_size + 2 * kGuard, kFill);
  const int utf8_result =
      LibraryAnswer(request, folder, pagefields::kUtf8OrWindows1251, utf8.data() + kGuard);
  const bool is_string = expected.result == pagefields::FieldTypeString;
  Compare(request, "UTF-8", utf8_result, utf8, expected.result,
          is_string ? pagefields::model::ModelUtf8Delivery(expected.text, request.max_len,
                                                           request.field == kNoindexRow
                                                               ? pagefields::kNoindexJudgedBytes
                                                               : std::string::npos)
                    : expected.written);
  return 0;
}
