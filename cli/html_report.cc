// html: one self-contained page for people: the site summary on top, then every page's
// fields in a table that sorts by any column and filters by text. Nothing is fetched: the
// style and the script stand in the file, and its Content-Security-Policy lets only those
// two run, by a nonce drawn for each report.
#include <array>
#include <cstdio>
#include <random>

#include "cli/html_report.h"
#include "cli/line_escape.h"
#include "cli/output_format.h"
#include "cli/page_writers.h"

namespace pagefields::cli {
namespace {

constexpr int kTitleRow = 0;
constexpr int kBrokenLinkRow = 15;
static_assert(FieldTable[kTitleRow].name == "Title" &&
              FieldTable[kBrokenLinkRow].name == "Brocken_A");

constexpr const char* kStyle = R"css(
body { font: 14px/1.4 system-ui, sans-serif; margin: 1em 2em; color: #222; }
pre.summary { background: #f6f6f6; padding: 0.8em; overflow-x: auto; }
input#filter { font-size: 14px; width: 30em; margin: 0.5em 0; }
table { border-collapse: collapse; }
th, td { border: 1px solid #ccc; padding: 0.2em 0.5em; vertical-align: top; }
th { background: #eee; cursor: pointer; position: sticky; top: 0; white-space: nowrap; }
th[aria-sort="ascending"]::after { content: " \25B2"; }
th[aria-sort="descending"]::after { content: " \25BC"; }
td.num { text-align: right; }
tr.broken td { background: #fde2e2; }
tr.broken td.link { color: #a00; font-weight: bold; }
td.empty { background: #fff3c4; }
td.empty::after { content: "(empty)"; color: #a60; font-style: italic; }
)css";

// Sorts the rows by a column (numbers as numbers; a second click reverses), filters them by
// text in any cell, and keeps both in the address (#sort=NAME&order=desc&filter=TEXT), so a
// view can be bookmarked or opened as it was left.
constexpr const char* kScript = R"js(
(function () {
  const table = document.getElementById('pages');
  const body = table.tBodies[0];
  const filter = document.getElementById('filter');
  const shown = document.getElementById('shown');
  const heads = Array.from(table.tHead.rows[0].cells);
  let sortColumn = -1;
  let descending = false;
  function sortBy(column, down) {
    const numeric = heads[column].classList.contains('num');
    const rows = Array.from(body.rows);
    rows.sort(function (a, b) {
      const x = a.cells[column].textContent;
      const y = b.cells[column].textContent;
      const order = numeric ? Number(x) - Number(y) : (x < y ? -1 : x > y ? 1 : 0);
      return down ? -order : order;
    });
    for (const row of rows) body.appendChild(row);
    heads.forEach(function (head, i) {
      head.setAttribute('aria-sort', i === column ? (down ? 'descending' : 'ascending') : 'none');
    });
    sortColumn = column;
    descending = down;
  }
  function applyFilter(text) {
    const needle = text.toLowerCase();
    let count = 0;
    for (const row of body.rows) {
      row.hidden = !row.textContent.toLowerCase().includes(needle);
      if (!row.hidden) ++count;
    }
    shown.textContent = count + ' of ' + body.rows.length + ' pages shown';
  }
  function remember() {
    const state = new URLSearchParams();
    if (sortColumn >= 0) state.set('sort', heads[sortColumn].dataset.name);
    if (descending) state.set('order', 'desc');
    if (filter.value !== '') state.set('filter', filter.value);
    try { history.replaceState(null, '', '#' + state.toString()); } catch (e) {}
  }
  heads.forEach(function (head, i) {
    head.addEventListener('click', function () {
      sortBy(i, sortColumn === i && !descending);
      remember();
    });
  });
  filter.addEventListener('input', function () {
    applyFilter(filter.value);
    remember();
  });
  const state = new URLSearchParams(location.hash.slice(1));
  const start = heads.findIndex(function (head) { return head.dataset.name === state.get('sort'); });
  if (start >= 0) sortBy(start, state.get('order') === 'desc');
  filter.value = state.get('filter') || '';
  applyFilter(filter.value);
})();
)js";

// Sixteen random bytes in hexadecimal, drawn for each report.
std::string DrawNonce() {
  std::random_device device;
  std::array<char, 16> bytes{};
  for (char& byte : bytes) byte = static_cast<char>(device() & 0xFF);
  return HexBytes(std::string_view(bytes.data(), bytes.size()));
}

void Write(std::FILE* out, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), out);
}

class HtmlWriter : public ColumnWriter {
 public:
  HtmlWriter(std::vector<int> columns, const TextForm& form, std::FILE* out,
             const SiteSummary* summary)
      : ColumnWriter(std::move(columns), form, out), summary_(summary) {}

  void Page(const std::string& path, const FieldValues& values) override {
    std::string& row = rows_.emplace_back();
    row += values[kBrokenLinkRow].text.empty() ? "<tr>" : "<tr class=\"broken\">";
    row += "<td>" + EscapeForHtml(EscapeForLine(form_.PathText(path))) + "</td>";
    for (const int column : columns_) {
      const std::string text = ValueText(column, values[column]);
      if (FieldTable[column].type == FieldTypeNumeric32) {
        row += "<td class=\"num\">";
      } else if (column == kTitleRow && text.find_first_not_of(" \t\r\n") == std::string::npos) {
        row += "<td class=\"empty\">";
      } else if (column == kBrokenLinkRow) {
        row += "<td class=\"link\">";
      } else {
        row += "<td>";
      }
      row += EscapeForHtml(EscapeForLine(text)) + "</td>";
    }
    row += "</tr>\n";
  }

  void Finish() override {
    const std::string nonce = DrawNonce();
    Write(out_,
          "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
          "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
          "script-src 'nonce-" +
              nonce + "'; style-src 'nonce-" + nonce +
              "'; base-uri 'none'; form-action 'none'\">\n"
              "<title>pagefields report</title>\n<style nonce=\"" +
              nonce + "\">" + kStyle + "</style>\n</head>\n<body>\n<h1>pagefields report</h1>\n");
    if (summary_ != nullptr) {
      Write(out_,
            "<pre class=\"summary\">" + EscapeForHtml(summary_->TableText(form_)) + "</pre>\n");
    }
    Write(out_,
          "<p><input id=\"filter\" type=\"search\" placeholder=\"Filter: text in any column\" "
          "aria-label=\"Filter\"> <span id=\"shown\"></span></p>\n"
          "<table id=\"pages\">\n<thead><tr><th data-name=\"File\">File</th>");
    for (const int column : columns_) {
      const std::string name = EscapeForHtml(FieldTable[column].name);
      const char* kind = FieldTable[column].type == FieldTypeNumeric32 ? " class=\"num\"" : "";
      Write(out_, "<th" + std::string(kind) + " data-name=\"" + name + "\">" + name + "</th>");
    }
    Write(out_, "</tr></thead>\n<tbody>\n");
    for (const std::string& row : rows_) Write(out_, row);
    Write(out_, "</tbody>\n</table>\n<script nonce=\"" + nonce + "\">" + kScript +
                    "</script>\n</body>\n</html>\n");
  }

 private:
  const SiteSummary* summary_;
  std::vector<std::string> rows_;  // each page's row, ready to write
};

}  // namespace

std::string EscapeForHtml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char byte : text) {
    switch (byte) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += byte;
    }
  }
  return escaped;
}

std::unique_ptr<PageWriter> MakeHtmlWriter(std::vector<int> columns, const TextForm& form,
                                           std::FILE* out, const SiteSummary* summary) {
  return std::make_unique<HtmlWriter>(std::move(columns), form, out, summary);
}

}  // namespace pagefields::cli
