#include "bench/inputs.h"

#include <cstddef>

namespace pagefields::bench {
namespace {

constexpr std::size_t kMiB = 1 << 20;

std::string Repeat(const std::string& unit, std::size_t size) {
  std::string text;
  text.reserve(size + unit.size());
  while (text.size() < size) text += unit;
  text.resize(size);
  return text;
}

// A page of the usual shape: head with title and meta tags, then sections of paragraphs
// with links of every kind, line breaks, entities and a noindex block now and then.
std::string RealisticPage(std::size_t size) {
  std::string page =
      "<HTML>\r\n<head>\r\n<title>Fast cars &laquo;Garage&raquo; &ndash; home</title>\r\n"
      "<meta name=\"description\" content=\"Fast cars, tuned and tested\">\r\n"
      "<meta name=\"keywords\" content=\"cars, speed, garage\">\r\n</head>\r\n<body>\r\n"
      "<h1>Welcome to the garage</h1>\r\n<h2>Contact</h2>\r\n";
  const std::string section =
      "<div class=\"section\"><p>We build fast cars&nbsp;and keep them running. Every engine "
      "is tested on the bench before it leaves the shop.<br>\r\nRead our "
      "<a href=\"docs/engines.html\">engine notes</a>, the <a href=\"docs/brakes.html#pads\">"
      "brake guide</a> or <a href=\"https://example.com/tyres\">tyre tables</a>.</p>\r\n"
      "<p>Write to <a href=\"mailto:shop@example.com\">the shop</a> or visit "
      "<a href=\"http://example.org/map\">the map</a>. <b>Open</b> <i>daily</i>.</p>\r\n"
      "<noindex><p>Prices change &mdash; ask first.</p></noindex>\r\n"
      "<ul><li>Tuning</li><li>Repairs</li><li>Parts &amp; tyres</li></ul></div>\r\n";
  while (page.size() + section.size() + 16 < size) page += section;
  page += "</body></HTML>\r\n";
  return page;
}

struct Family {
  const char* name;
  std::string (*make)(std::size_t size);
};

// Inputs on which a literal reading of the rules costs more than linear time or memory.
const Family kHostileFamilies[] = {
    // Every "<a" searches to the end for a ">" that never comes.
    {"a-without-close", [](std::size_t n) { return "<html>" + Repeat("<a", n - 6); }},
    // Many "<a" in one tag share one long unquoted "href=" value.
    {"a-in-one-tag",
     [](std::size_t n) {
       return "<html>" + Repeat("<a ", n / 2) + "href=" + Repeat("x", n - n / 2 - 12) + ">";
     }},
    // Nested anchors whose values are long suffixes of each other.
    {"href-chain", [](std::size_t n) { return "<html>" + Repeat("<a href=", n - 7) + ">"; }},
    // Many internal links; the probe must not query the same target again and again.
    {"many-links", [](std::size_t n) { return "<html>" + Repeat("<a href=gone.htm>x</a>", n); }},
    // Every "<meta" copies the tag text up to the one ">".
    {"meta-run", [](std::size_t n) { return "<html>" + Repeat("<meta", n - 7) + ">"; }},
    // One meta tag with a long run of blanks: the double-space loop halves it again and again.
    {"meta-blanks",
     [](std::size_t n) {
       return "<html><meta name=description content=\"" + Repeat(" ", n - 60) + "x\">";
     }},
    // Every tag removal closes up the rest of the text.
    {"empty-spans", [](std::size_t n) { return "<html>" + Repeat("<>", n - 6); }},
    {"bold-spans", [](std::size_t n) { return "<html>" + Repeat("<b>x", n - 6); }},
    // A "<" that no ">" follows, over and over.
    {"lt-run", [](std::size_t n) { return "<html>" + Repeat("<", n - 6); }},
    // Line breaks to remove and "<p>"/"<br>" to replace.
    {"crlf-p-br", [](std::size_t n) { return "<html>" + Repeat("\r\n<p><BR>", n - 6); }},
    // Many openings before one closing: the joined contents grow with the square of the input.
    {"noindex-nested",
     [](std::size_t n) { return "<html>" + Repeat("<noindex>x", n - 20) + "</noindex>"; }},
    {"noindex-blocks",
     [](std::size_t n) { return "<html>" + Repeat("<noindex>a <b>c</b>\r\n</noindex>", n); }},
    // A title that is all entities: the delivery decodes only what the buffer shows.
    {"title-entities",
     [](std::size_t n) { return "<html><title>" + Repeat("&nbsp;", n - 20) + "</title>"; }},
    // Opening markers without their closing ones.
    {"open-markers",
     [](std::size_t n) { return "<html>" + Repeat("<title><h1><h2><noindex>", n); }},
};

}  // namespace

std::vector<Input> MakeInputs() {
  std::vector<Input> inputs;
  inputs.push_back({"realistic", "100K", false, RealisticPage(100 * 1000)});
  inputs.push_back({"realistic", "8M", false, RealisticPage(8 * kMiB)});
  for (const Family& family : kHostileFamilies) {
    for (const std::size_t mib : {1, 2, 4, 8}) {
      inputs.push_back({family.name, std::to_string(mib) + "M", true, family.make(mib * kMiB)});
    }
  }
  return inputs;
}

}  // namespace pagefields::bench
