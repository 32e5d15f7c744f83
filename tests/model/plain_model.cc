#include "tests/model/plain_model.h"

#include <cstring>

#include "plugin/field_table.h"

namespace pagefields::model {
namespace {

// ---- The text toolkit, read literally: 1-based positions, 0 = not found. ----

unsigned char Upper(unsigned char b) {
  if (b >= 0x61 && b <= 0x7A) return static_cast<unsigned char>(b - 0x20);
  if (b >= 0xE0) return static_cast<unsigned char>(b - 0x20);
  switch (b) {
    case 0x83:
      return 0x81;
    case 0x90:
      return 0x80;
    case 0x9A:
      return 0x8A;
    case 0x9C:
      return 0x8C;
    case 0x9D:
      return 0x8D;
    case 0x9E:
      return 0x8E;
    case 0x9F:
      return 0x8F;
    case 0xA2:
      return 0xA1;
    case 0xB3:
      return 0xB2;
    case 0xB4:
      return 0xA5;
    case 0xB8:
      return 0xA8;
    case 0xBA:
      return 0xAA;
    case 0xBC:
      return 0xA3;
    case 0xBE:
      return 0xBD;
    case 0xBF:
      return 0xAF;
    default:
      return b;
  }
}

unsigned char At(const std::string& s, int position) {
  return static_cast<unsigned char>(s[static_cast<std::size_t>(position - 1)]);
}

int Pos(const std::string& needle, const std::string& haystack, int start, bool fold) {
  const int n = static_cast<int>(needle.size());
  const int m = static_cast<int>(haystack.size());
  if (n == 0 || m == 0) return 0;
  for (int p = start; p <= m - n + 1; ++p) {
    bool equal = true;
    for (int i = 1; i <= n && equal; ++i) {
      const unsigned char a = At(needle, i);
      const unsigned char b = At(haystack, p + i - 1);
      equal = fold ? Upper(a) == Upper(b) : a == b;
    }
    if (equal) return p;
  }
  return 0;
}

int PosStr(const std::string& needle, const std::string& haystack, int start) {
  return Pos(needle, haystack, start, false);
}
int PosText(const std::string& needle, const std::string& haystack, int start) {
  return Pos(needle, haystack, start, true);
}

std::string Copy(const std::string& s, int position, int count) {
  if (count <= 0) return {};
  return s.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(count));
}

std::string Replace(const std::string& source, const std::string& find, const std::string& replace,
                    bool fold) {
  std::string result;
  int copied = 1;
  const int f = static_cast<int>(find.size());
  for (int p = Pos(find, source, 1, fold); p > 0; p = Pos(find, source, p + f, fold)) {
    result += Copy(source, copied, p - copied) + replace;
    copied = p + f;
  }
  return result + Copy(source, copied, static_cast<int>(source.size()) - copied + 1);
}

bool Blank(unsigned char b) {
  return b <= 32;
}

}  // namespace

std::string ReplaceStr(const std::string& s, const std::string& f, const std::string& r) {
  return Replace(s, f, r, false);
}
std::string ReplaceText(const std::string& s, const std::string& f, const std::string& r) {
  return Replace(s, f, r, true);
}

void DeleteChars(std::string& text, int index, int count) {
  const int length = static_cast<int>(text.size());
  if (count <= 0 || length == 0 || index < 1 || index > length) return;
  if (count >= length - index + 1) {
    text = Copy(text, 1, index - 1);
    return;
  }
  text = Copy(text, 1, index - 1) + Copy(text, index + count, length - index - count + 1);
}

void TrimInPlace(std::string& text) {
  int last = static_cast<int>(text.size());
  while (last >= 1 && Blank(At(text, last))) --last;
  if (last == 0) {
    text.clear();
    return;
  }
  int first = 1;
  while (Blank(At(text, first))) ++first;
  text = Copy(text, first, last - first + 1);
}

std::string TrimCopy(const std::string& text) {
  int last = static_cast<int>(text.size());
  while (last >= 1 && Blank(At(text, last))) --last;
  const std::string right = Copy(text, 1, last);
  int first = 1;
  while (first <= last && At(right, first) >= 1 && At(right, first) <= 32) ++first;
  int stop = first;
  while (stop <= last && At(right, stop) != 0) ++stop;
  return Copy(right, first, stop - first);
}

void StripTags(std::string& text) {
  int p = PosStr("<", text, 1);
  while (p > 0) {
    const int q = PosStr(">", text, p);
    if (q == 0) return;
    DeleteChars(text, p, q - p + 1);
    p = PosStr("<", text, p);
  }
}

namespace {

// ---- The extractors. ----

bool InWordCharSet(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == 0xA8 ||
         b == 0xB8 || b >= 0xC0;
}

std::string MetaValue(std::string v) {
  DeleteChars(v, static_cast<int>(v.size()), 1);
  DeleteChars(v, 1, 22);  // fixed cut: "<meta name=Description" is 22 bytes
  TrimInPlace(v);
  const int e = PosStr("=", v, 1);
  if (e == 0) return v;
  DeleteChars(v, 1, e);
  TrimInPlace(v);
  if (!v.empty()) {
    const char first = v.front();
    const char last = v.back();
    if ((first == '"' && last == '"') || (first == '\'' && last == '\'')) {
      DeleteChars(v, static_cast<int>(v.size()), 1);
      DeleteChars(v, 1, 1);
    }
  }
  return v;
}

// Two or more ASCII letters, digits, '+', '-' or '.', the first a letter, then ':'.
bool BeginsWithScheme(const std::string& value) {
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  const auto scheme_char = [&](char c) {
    return letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
  };
  if (value.empty() || !letter(value[0])) return false;
  std::size_t i = 1;
  while (i < value.size() && scheme_char(value[i])) ++i;
  return i >= 2 && i < value.size() && value[i] == ':';
}

bool FileExistsNotDir(const std::string& path, const AttributeQuery& query) {
  const std::string terminated = path.c_str();  // the query takes a NUL-terminated path
  const std::uint32_t attributes = query(terminated);
  if (attributes == kQueryFailed) return false;
  return (attributes & kDirectoryBit) == 0;
}

std::string DecodeEntities(std::string text) {
  text = ReplaceStr(text, "&laquo;", "\xAB");
  text = ReplaceStr(text, "&raquo;", "\xBB");
  text = ReplaceStr(text, "&quot;", "\x22");
  text = ReplaceStr(text, "&nbsp;", "\x20");
  text = ReplaceStr(text, "&ndash;", "\x96");
  text = ReplaceStr(text, "&mdash;", "\x97");
  return text;
}

// What a buffer of max_len bytes receives: the text up to its first NUL, cut to max_len - 1
// bytes, and a NUL; nothing at all when max_len is below 1.
std::string CopyToBuffer(const std::string& source, int max_len) {
  if (max_len < 1) return {};
  const std::string measured = source.c_str();
  const int length = static_cast<int>(measured.size());
  if (max_len > length) return measured + '\0';
  return measured.substr(0, static_cast<std::size_t>(max_len - 1)) + '\0';
}

std::string FourBytes(std::int32_t value) {
  std::string bytes(4, '\0');
  const auto u = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(u >> (8 * i));
  return bytes;
}

}  // namespace

std::string ModelElementText(const std::string& document, const std::string& tag_name) {
  const int l = static_cast<int>(tag_name.size());
  const int open = PosText("<" + tag_name + ">", document, 1);
  if (open == 0) return {};
  const int close = PosText("</" + tag_name + ">", document, open);
  if (close > 0 && close > open) return Copy(document, open + l + 2, close - open - l - 2);
  return {};
}

int ModelCountWords(const std::string& text) {
  const int n = static_cast<int>(text.size());
  int count = 0;
  int i = 1;
  while (i <= n) {
    while (i <= n && !InWordCharSet(At(text, i))) ++i;
    if (i <= n) {
      ++count;
      while (i <= n && InWordCharSet(At(text, i))) ++i;
    }
    ++i;
  }
  return count;
}

std::string ModelMetaContent(const std::string& document, const std::string& meta_name) {
  int p = PosText("<meta", document, 1);
  while (p > 0) {
    const int q = PosText(">", document, p);
    if (q > 0) {
      std::string tag = Copy(document, p, q - p + 1);
      tag = ReplaceStr(tag, "\r", " ");
      tag = ReplaceStr(tag, "\n", " ");
      while (PosStr("  ", tag, 1) > 0) tag = ReplaceStr(tag, "  ", " ");
      // A quoted meta name matches as well as a bare one.
      const std::string pattern = "meta name=" + meta_name;
      if (PosText(pattern, tag, 1) != 0 || PosText("meta name=\"" + meta_name, tag, 1) != 0 ||
          PosText("meta name='" + meta_name, tag, 1) != 0) {
        return MetaValue(tag);
      }
    }
    p = PosText("<meta", document, p + 1);
  }
  return {};
}

ModelLinks ModelScanLinks(const std::string& folder, const std::string& document, bool probe,
                          const AttributeQuery& query) {
  ModelLinks links;
  int p = PosText("<a", document, 1);
  while (p > 0) {
    const int e = PosText(">", document, p);
    const std::string tag = e == 0 ? std::string() : Copy(document, p + 1, e - p - 1);
    const int h = PosText("href=", tag, 1);
    if (h > 0) {
      std::string r = tag;
      DeleteChars(r, 1, h + 4);
      std::string value;
      if (r.empty()) {
        value.clear();
      } else if (r[0] == '"' || r[0] == '\'') {
        const int close = PosStr(std::string(1, r[0]), r, 2);
        value = close == 0 ? r : Copy(r, 2, close - 2);
      } else {
        const int blank = PosStr(" ", r, 2);
        value = blank == 0 ? r : Copy(r, 1, blank - 1);
      }
      // https and protocol-relative values are web links too.
      if (PosText("http://", value, 1) > 0 || PosText("https://", value, 1) > 0 ||
          value.rfind("//", 0) == 0) {
        ++links.web;
      } else if (PosText("mailto:", value, 1) > 0) {
        ++links.mail;
      } else {
        ++links.internal;
        if (probe) {
          // The local file a link names: without fragment and query; a link to the page
          // itself and a link with a scheme are not probed.
          std::string cut = value;
          const int hash = PosStr("#", cut, 1);
          if (hash > 0) cut = Copy(cut, 1, hash - 1);
          const int question = PosStr("?", cut, 1);
          if (question > 0) cut = Copy(cut, 1, question - 1);
          if (!cut.empty() && !BeginsWithScheme(value) && !FileExistsNotDir(folder + cut, query)) {
            links.broken = cut;
            return links;
          }
        }
      }
    }
    p = PosText("<a", document, p + 1);
  }
  return links;
}

int ModelTextSize(const std::string& document) {
  std::string t = ReplaceStr(document, "\r\n", "");
  t = ReplaceText(t, "<p>", "\r\n");
  t = ReplaceText(t, "<br>", "\r\n");
  StripTags(t);
  return static_cast<int>(t.size());
}

std::string ModelNoindexText(const std::string& document) {
  std::string acc;
  int p = PosText("<noindex>", document, 1);
  while (p > 0) {
    const int q = PosText("</noindex>", document, p);
    if (q > 0) acc += Copy(document, p + 9, q - p - 9);
    p = PosText("<noindex>", document, p + 1);
  }
  acc = ReplaceStr(acc, "\r\n", " ");
  acc = TrimCopy(acc);
  StripTags(acc);
  return acc;
}

ModelAnswer ModelGetValue(std::string_view file_bytes, std::string_view folder, int field_index,
                          int max_len, const AttributeQuery& query) {
  constexpr int kNotSupported = -5;
  std::string document(file_bytes.substr(0, 64));
  if (PosText("<HTML>", document, 1) == 0) return {kNotSupported, {}, {}};
  document = std::string(file_bytes);
  if (field_index < 0 || field_index > 17) return {kNotSupported, {}, {}};

  std::int32_t number = 0;
  std::string text;
  const std::string folder_text(folder);
  switch (field_index) {
    case 0:
      text = ModelElementText(document, "Title");
      break;
    case 1:
      number = static_cast<int>(ModelElementText(document, "Title").size());
      break;
    case 2:
      number = ModelCountWords(ModelElementText(document, "Title"));
      break;
    case 3:
      text = ModelMetaContent(document, "Description");
      break;
    case 4:
      number = static_cast<int>(ModelMetaContent(document, "Description").size());
      break;
    case 5:
      number = ModelCountWords(ModelMetaContent(document, "Description"));
      break;
    case 6:
      text = ModelMetaContent(document, "Keywords");
      break;
    case 7:
      number = static_cast<int>(ModelMetaContent(document, "Keywords").size());
      break;
    case 8:
      number = ModelCountWords(ModelMetaContent(document, "Keywords"));
      break;
    case 9:
      text = ModelElementText(document, "H1");
      break;
    case 10:
      text = ModelElementText(document, "H2");
      break;
    case 11:
    case 12:
    case 13:
    case 14: {
      const ModelLinks links = ModelScanLinks(folder_text, document, false, query);
      number = field_index == 11   ? links.web + links.mail + links.internal
               : field_index == 12 ? links.web
               : field_index == 13 ? links.mail
                                   : links.internal;
      break;
    }
    case 15:
      text = ModelScanLinks(folder_text, document, true, query).broken;
      break;
    case 16:
      number = ModelTextSize(document);
      break;
    case 17:
      text = ModelNoindexText(document);
      break;
  }

  const int type = FieldTable[static_cast<std::size_t>(field_index)].type;
  if (type == FieldTypeNumeric32) return {type, FourBytes(number), {}};
  return {type, CopyToBuffer(DecodeEntities(text), max_len), text};
}

// ---- Delivery as UTF-8 ----

namespace {

std::string Utf8Of(std::uint32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

std::uint32_t Windows1251(unsigned char b) {
  static const std::uint32_t kFrom80[64] = {
      0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
      0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
      0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
      0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
      0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  return kFrom80[b - 0x80];
}

// Decodes the text character by character, checking every rule of the strict form.
bool IsStrictUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    std::uint32_t c = 0;
    if (lead < 0x80) {
      length = 1;
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      c = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    const std::uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::string ModelUtf8Delivery(const std::string& text, int max_len, std::size_t judged_bytes) {
  if (max_len < 1) return {};
  const std::string measured = text.c_str();
  std::string utf8;
  std::string judged = measured;
  if (judged.size() > judged_bytes) {
    // Judged on its first bytes, less a character they cut short.
    judged = judged.substr(0, judged_bytes);
    std::size_t lead = judged.size();
    while (lead > 0 && judged.size() - lead < 3 &&
           (static_cast<unsigned char>(judged[lead - 1]) & 0xC0) == 0x80) {
      --lead;
    }
    if (lead > 0) {
      const auto byte = static_cast<unsigned char>(judged[lead - 1]);
      const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      if (lead - 1 + length > judged.size()) judged.resize(lead - 1);
    }
  }
  if (IsStrictUtf8(judged)) {
    utf8 = measured;
    utf8 = ReplaceStr(utf8, "&laquo;", "\xC2\xAB");
    utf8 = ReplaceStr(utf8, "&raquo;", "\xC2\xBB");
    utf8 = ReplaceStr(utf8, "&quot;", "\x22");
    utf8 = ReplaceStr(utf8, "&nbsp;", "\x20");
    utf8 = ReplaceStr(utf8, "&ndash;", "\xE2\x80\x93");
    utf8 = ReplaceStr(utf8, "&mdash;", "\xE2\x80\x94");
  } else {
    for (const char b : DecodeEntities(measured))
      utf8 += Utf8Of(Windows1251(static_cast<unsigned char>(b)));
  }
  // Whole characters only: a character starts at every byte that does not continue one.
  std::size_t kept = 0;
  for (std::size_t i = 0; i <= utf8.size(); ++i) {
    if (i > static_cast<std::size_t>(max_len - 1)) break;
    if (i == utf8.size() || (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) kept = i;
  }
  return utf8.substr(0, kept) + '\0';
}

}  // namespace pagefields::model
