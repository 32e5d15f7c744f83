// html: one self-contained page for people: the site summary on top, then every page's
// fields in a table that sorts by any column and filters by text. Nothing is fetched: the
// style and the script stand in the file, and its Content-Security-Policy lets only those
// two run, by a nonce drawn for each report. The pages travel as JSON in a data block that
// is never run, and the script shows them in batches as text (never as markup): a browser
// lays out a table of ten thousand rows in many seconds, a batch at once.
#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <random>

#include "cli/html_report.h"
#include "cli/line_escape.h"
#include "cli/output_format.h"
#include "cli/page_writers.h"

namespace pagefields::cli {
namespace {

constexpr const char* kStyle = R"css(
body { font: 14px/1.4 system-ui, sans-serif; margin: 1em 2em; color: #222; }
pre.summary { background: #f6f6f6; padding: 0.8em; overflow: auto; max-height: 40vh; }
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

// Sorts the pages by a column (numbers as numbers; a second click reverses), filters them by
// text in any cell, and shows the first kBatch of those, more on request. Sort and filter are
// kept in the address (#sort=NAME&order=desc&filter=TEXT), so a view can be bookmarked or
// opened as it was left.
constexpr const char* kScript = R"js(
(function () {
  const BATCH = 100;
  const data = JSON.parse(document.getElementById('data').textContent);
  const table = document.getElementById('pages');
  const body = table.tBodies[0];
  const filter = document.getElementById('filter');
  const shown = document.getElementById('shown');
  const more = document.getElementById('more');
  const heads = Array.from(table.tHead.rows[0].cells);
  const texts = data.pages.map(function (page) { return page.cells.join('\t').toLowerCase(); });
  let order = data.pages.map(function (page, i) { return i; });
  let visible = order;
  let rendered = 0;
  let sortColumn = -1;
  let descending = false;
  function cell(page, column) {
    const td = document.createElement('td');
    const value = page.cells[column];
    td.textContent = value;
    if (data.columns[column].numeric) td.className = 'num';
    else if (column === data.title && String(value).trim() === '') td.className = 'empty';
    else if (column === data.link) td.className = 'link';
    return td;
  }
  function renderMore() {
    const end = Math.min(visible.length, rendered + BATCH);
    const rows = document.createDocumentFragment();
    for (; rendered < end; ++rendered) {
      const page = data.pages[visible[rendered]];
      const tr = document.createElement('tr');
      if (page.broken) tr.className = 'broken';
      for (let column = 0; column < page.cells.length; ++column) tr.appendChild(cell(page, column));
      rows.appendChild(tr);
    }
    body.appendChild(rows);
    shown.textContent = visible.length + ' of ' + data.pages.length + ' pages match; ' +
        rendered + ' shown';
    more.hidden = rendered >= visible.length;
  }
  function render() {
    const needle = filter.value.toLowerCase();
    visible = order.filter(function (i) { return texts[i].includes(needle); });
    body.textContent = '';
    rendered = 0;
    renderMore();
  }
  function sortBy(column, down) {
    const numeric = data.columns[column].numeric;
    order = data.pages.map(function (page, i) { return i; });
    order.sort(function (a, b) {
      const x = data.pages[a].cells[column];
      const y = data.pages[b].cells[column];
      const byValue = numeric ? x - y : (x < y ? -1 : x > y ? 1 : 0);
      return (down ? -byValue : byValue) || a - b;
    });
    heads.forEach(function (head, i) {
      head.setAttribute('aria-sort', i === column ? (down ? 'descending' : 'ascending') : 'none');
    });
    sortColumn = column;
    descending = down;
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
      render();
      remember();
    });
  });
  filter.addEventListener('input', function () {
    render();
    remember();
  });
  more.addEventListener('click', renderMore);
  const state = new URLSearchParams(location.hash.slice(1));
  const start = heads.findIndex(function (head) { return head.dataset.name === state.get('sort'); });
  if (start >= 0) sortBy(start, state.get('order') === 'desc');
  filter.value = state.get('filter') || '';
  render();
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

// `value` as JSON that may stand inside a script element: '<', '>' and '&' occur only in
// strings there and are written as \u escapes, so no text can end the element or open a
// comment.
std::string ForScriptBlock(const nlohmann::ordered_json& value) {
  const std::string json = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::string safe;
  safe.reserve(json.size());
  for (const char byte : json) {
    if (byte == '<') {
      safe += "\\u003c";
    } else if (byte == '>') {
      safe += "\\u003e";
    } else if (byte == '&') {
      safe += "\\u0026";
    } else {
      safe += byte;
    }
  }
  return safe;
}

class HtmlWriter : public ColumnWriter {
 public:
  HtmlWriter(std::vector<Field> columns, const TextForm& form, std::FILE* out,
             const SiteSummary* summary)
      : ColumnWriter(std::move(columns), form, out), summary_(summary) {}

  void Page(const std::string& path, const FieldValues& values) override {
    nlohmann::ordered_json page;
    nlohmann::ordered_json cells = nlohmann::ordered_json::array();
    cells.push_back(EscapeForLine(form_.PathText(path)));
    for (const Field column : columns_) {
      if (RowOf(column).type == FieldTypeNumeric32) {
        cells.push_back(values[column].number);
      } else {
        cells.push_back(EscapeForLine(ValueText(column, values[column])));
      }
    }
    page["cells"] = std::move(cells);
    page["broken"] = !values[Field::kBrokenLink].text.empty();
    pages_.push_back(ForScriptBlock(page));
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
    nlohmann::ordered_json head;
    head["columns"] = nlohmann::ordered_json::array({{{"numeric", false}}});
    head["title"] = -1;
    head["link"] = -1;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      const Field column = columns_[i];
      const bool numeric = RowOf(column).type == FieldTypeNumeric32;
      const std::string name = EscapeForHtml(RowOf(column).name);
      Write(out_, std::string("<th") + (numeric ? " class=\"num\"" : "") + " data-name=\"" + name +
                      "\">" + name + "</th>");
      head["columns"].push_back({{"numeric", numeric}});
      if (column == Field::kTitle) head["title"] = i + 1;
      if (column == Field::kBrokenLink) head["link"] = i + 1;
    }
    std::string data = ForScriptBlock(head);
    data.pop_back();  // the closing brace: the pages follow
    Write(out_,
          "</tr></thead>\n<tbody></tbody>\n</table>\n"
          "<p><button id=\"more\" type=\"button\" hidden>Show more</button></p>\n"
          "<script id=\"data\" type=\"application/json\">\n" +
              data + ",\"pages\":[\n");
    for (std::size_t i = 0; i < pages_.size(); ++i) {
      Write(out_, pages_[i]);
      Write(out_, i + 1 < pages_.size() ? ",\n" : "\n");
    }
    Write(out_, "]}\n</script>\n<script nonce=\"" + nonce + "\">" + kScript +
                    "</script>\n</body>\n</html>\n");
  }

 private:
  const SiteSummary* summary_;
  std::vector<std::string> pages_;  // each page as JSON, ready to write
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

std::unique_ptr<PageWriter> MakeHtmlWriter(std::vector<Field> columns, const TextForm& form,
                                           std::FILE* out, const SiteSummary* summary) {
  return std::make_unique<HtmlWriter>(std::move(columns), form, out, summary);
}

}  // namespace pagefields::cli
