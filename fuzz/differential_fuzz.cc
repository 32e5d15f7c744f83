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
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/probe_folder.h"
#include "plugin/delivery.h"
#include "plugin/document.h"
#include "plugin/field_table.h"
#include "plugin/field_values.h"
#include "plugin/value_request.h"
#include "tests/model/plain_model.h"

namespace {

using pagefields::Field;
using pagefields::FieldAt;

constexpr int kGuard = 8;
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

// The library's side: the request answered as ContentGetValue answers it, for a file in
// `folder` whose bytes are the document, held in memory; the plugin's sniff decides whether
// it is a page.
int LibraryAnswer(const Request& request, const std::string& folder,
                  const pagefields::TextDelivery& delivery, char* buffer) {
  const std::string path = folder + "page.html";
  const auto load = [&request](const char*) -> std::optional<pagefields::DocumentText> {
    if (!pagefields::IsPage(request.document, pagefields::PageSniff::kHtmlMarker)) {
      return std::nullopt;
    }
    return pagefields::DocumentText(request.document);
  };
  return pagefields::AnswerValueRequest({.path = path.c_str(),
                                         .field_index = request.field,
                                         .destination = buffer,
                                         .max_len = request.max_len},
                                        delivery, load);
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

std::string FieldName(int index) {
  const std::optional<Field> field = FieldAt(index);
  return field ? std::string(pagefields::RowOf(*field).name) : "-";
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
               host, request.field, FieldName(request.field).c_str(), request.max_len,
               Escaped(request.document).c_str(), expected_result, shown(wanted).c_str(), result,
               shown(actual).c_str());
  std::abort();
}

// Every third MaxLen, the uncut computation (as the command line asks for values) delivers
// what the host's buffer received: the same 4 bytes of a number, the same text and NUL.
void CompareUncut(const Request& request, const std::string& folder,
                  const pagefields::TextDelivery& delivery, int result, const char* written) {
  const std::optional<Field> field = FieldAt(request.field);
  if (request.max_len % 3 != 0 || !field || result == pagefields::ValueNotSupported) return;
  const pagefields::RawFieldValue value =
      pagefields::ComputeFields(request.document, folder, {*field})[*field];
  std::string expected;
  if (result == pagefields::FieldTypeNumeric32) {
    expected.assign(reinterpret_cast<const char*>(&value.number), sizeof value.number);
  } else if (request.max_len >= 1) {
    expected = pagefields::DeliveredText(value, request.max_len, delivery) + '\0';
  }
  if (std::memcmp(written, expected.data(), expected.size()) == 0) return;
  std::fprintf(stderr,
               "difference (uncut, %s): field %d (%s) max_len %d\n document \"%s\"\n uncut  "
               "\"%s\"\n buffer \"%s\"\n",
               delivery.utf8() ? "UTF-8" : "raw bytes", request.field,
               FieldName(request.field).c_str(), request.max_len, Escaped(request.document).c_str(),
               Escaped(expected).c_str(),
               Escaped(std::string_view(written, expected.size())).c_str());
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
  CompareUncut(request, folder, pagefields::kRawBytes, raw_result, raw.data() + kGuard);

  std::vector<char> utf8(buffer_size + 2 * kGuard, kFill);
  const int utf8_result =
      LibraryAnswer(request, folder, pagefields::kUtf8OrWindows1251, utf8.data() + kGuard);
  const bool is_string = expected.result == pagefields::FieldTypeString;
  Compare(request, "UTF-8", utf8_result, utf8, expected.result,
          is_string ? pagefields::model::ModelUtf8Delivery(expected.text, request.max_len,
                                                           FieldAt(request.field) == Field::kNoindex
                                                               ? pagefields::kNoindexJudgedBytes
                                                               : std::string::npos)
                    : expected.written);
  CompareUncut(request, folder, pagefields::kUtf8OrWindows1251, utf8_result, utf8.data() + kGuard);
  return 0;
}
