#include "cli/site_summary.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

#include "cli/line_escape.h"
#include "text/utf8.h"

namespace pagefields::cli {
namespace {

// Empty, or only blank bytes (32 and below): nothing a reader would see.
bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char byte) { return static_cast<unsigned char>(byte) <= 0x20; });
}

SummaryText KeepText(std::string_view text) {
  SummaryText kept;
  kept.bytes = text.size();
  kept.characters = CharacterCount(text);
  kept.hash = std::hash<std::string_view>{}(text);
  kept.blank = IsBlank(text);
  std::string_view shown = text.substr(0, kShownBytes);
  if (shown.size() < text.size() && IsUtf8(text)) {
    shown = shown.substr(0, WholeCharactersLength(shown));
  }
  kept.shown = shown;
  return kept;
}

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

void WriteLine(std::FILE* out, const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), out);
  std::fputc('\n', out);
}

nlohmann::ordered_json PageObject(const TextForm& form, const std::string& path) {
  nlohmann::ordered_json page;
  page["File"] = form.PathText(path);
  if (!IsUtf8(path)) page["File_bytes"] = HexBytes(path);
  return page;
}

nlohmann::ordered_json Head(const char* name) {
  nlohmann::ordered_json head;
  head["Summary"] = name;
  return head;
}

void WriteJson(std::FILE* out, const nlohmann::ordered_json& line) {
  WriteLine(out, line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace

std::string SummaryText::Display() const {
  return shown.size() < bytes ? shown + "…" : shown;
}

std::size_t CharacterCount(std::string_view text) {
  return IsUtf8(text) ? DisplayWidth(text) : text.size();
}

void SiteSummary::AddPage(const std::string& path, const FieldValues& values, int missing_links) {
  Page page;
  page.path = path;
  page.title = KeepText(values[Field::kTitle].text);
  page.description = KeepText(values[Field::kDescription].text);
  page.empty_h1 = IsBlank(values[Field::kH1].text);
  page.noindex = !IsBlank(values[Field::kNoindex].text);
  page.missing_links = missing_links;
  pages_.push_back(std::move(page));
}

std::vector<SiteSummary::Group> SiteSummary::SharedGroups(SummaryText Page::*text) const {
  using Key = std::tuple<std::size_t, std::size_t, std::string_view>;
  std::map<Key, Group> groups;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    const SummaryText& kept = pages_[i].*text;
    if (kept.blank) continue;
    groups[Key{kept.hash, kept.bytes, kept.shown}].push_back(i);
  }
  std::vector<Group> shared;
  for (auto& [key, group] : groups) {
    if (group.size() > 1) shared.push_back(std::move(group));
  }
  // In the order of each group's first page.
  std::sort(shared.begin(), shared.end(),
            [](const Group& a, const Group& b) { return a.front() < b.front(); });
  return shared;
}

void SiteSummary::WriteTable(const TextForm& form, std::FILE* out) const {
  const std::string text = TableText(form);
  std::fwrite(text.data(), 1, text.size(), out);
}

std::string SiteSummary::TableText(const TextForm& form) const {
  std::string table;
  const auto write_line = [&table](const std::string& line) {
    table += line;
    table += '\n';
  };
  const auto path = [&form](const Page& page) { return EscapeForLine(form.PathText(page.path)); };
  const auto list = [&](const std::string& heading, auto picks, auto detail) {
    std::vector<const Page*> picked;
    for (const Page& page : pages_) {
      if (picks(page)) picked.push_back(&page);
    }
    write_line(heading + ": " + Counted(picked.size(), "page", "pages"));
    for (const Page* page : picked) write_line("  " + path(*page) + detail(*page));
  };
  const auto nothing = [](const Page&) { return std::string(); };
  const auto shared = [&](const std::string& heading, SummaryText Page::*text) {
    const std::vector<Group> groups = SharedGroups(text);
    write_line(heading + ": " + Counted(groups.size(), "group", "groups"));
    for (const Group& group : groups) {
      write_line("  \"" + EscapeForLine((pages_[group.front()].*text).Display()) +
                 "\": " + Counted(group.size(), "page", "pages"));
      for (const std::size_t i : group) write_line("    " + path(pages_[i]));
    }
  };
  const auto longer = [&](const std::string& name, SummaryText Page::*text, int limit) {
    list(
        name + " longer than " + std::to_string(limit) + " characters",
        [&](const Page& page) { return (page.*text).characters > static_cast<std::size_t>(limit); },
        [&](const Page& page) {
          return "  " + std::to_string((page.*text).characters) + "  " +
                 EscapeForLine((page.*text).Display());
        });
  };

  const std::size_t missing = MissingLinks();
  write_line("Summary of " + Counted(pages_.size(), "page", "pages"));
  list(
      "Empty title", [](const Page& page) { return page.title.blank; }, nothing);
  list(
      "Empty H1", [](const Page& page) { return page.empty_h1; }, nothing);
  list(
      "Empty description", [](const Page& page) { return page.description.blank; }, nothing);
  shared("Shared title", &Page::title);
  shared("Shared description", &Page::description);
  longer("Title", &Page::title, title_max_);
  longer("Description", &Page::description, description_max_);
  list(
      "Missing links (" + Counted(missing, "link", "links") + " in all)",
      [](const Page& page) { return page.missing_links > 0; },
      [](const Page& page) { return "  " + std::to_string(page.missing_links); });
  list(
      "Noindex text", [](const Page& page) { return page.noindex; }, nothing);
  return table;
}

void SiteSummary::WriteJsonl(const TextForm& form, std::FILE* out) const {
  // The pages that `picks` takes, each with what `detail` adds, after what `line` holds.
  const auto list = [&](nlohmann::ordered_json line, auto picks, auto detail) {
    line["Pages"] = nlohmann::ordered_json::array();
    for (const Page& page : pages_) {
      if (!picks(page)) continue;
      nlohmann::ordered_json entry = PageObject(form, page.path);
      detail(page, entry);
      line["Pages"].push_back(std::move(entry));
    }
    WriteJson(out, line);
  };
  const auto nothing = [](const Page&, nlohmann::ordered_json&) {};
  const auto shared = [&](const char* name, SummaryText Page::*text) {
    for (const Group& group : SharedGroups(text)) {
      nlohmann::ordered_json line = Head(name);
      line["Text"] = (pages_[group.front()].*text).Display();
      line["Pages"] = nlohmann::ordered_json::array();
      for (const std::size_t i : group) line["Pages"].push_back(PageObject(form, pages_[i].path));
      WriteJson(out, line);
    }
  };
  const auto longer = [&](const char* name, SummaryText Page::*text, int limit) {
    nlohmann::ordered_json head = Head(name);
    head["Limit"] = limit;
    const auto limit_bytes = static_cast<std::size_t>(limit);
    list(
        head, [&](const Page& page) { return (page.*text).characters > limit_bytes; },
        [&](const Page& page, nlohmann::ordered_json& entry) {
          entry["Length"] = (page.*text).characters;
          entry["Text"] = (page.*text).Display();
        });
  };

  nlohmann::ordered_json count = Head("Pages");
  count["Count"] = pages_.size();
  WriteJson(out, count);
  list(
      Head("Empty title"), [](const Page& page) { return page.title.blank; }, nothing);
  list(
      Head("Empty H1"), [](const Page& page) { return page.empty_h1; }, nothing);
  list(
      Head("Empty description"), [](const Page& page) { return page.description.blank; }, nothing);
  shared("Shared title", &Page::title);
  shared("Shared description", &Page::description);
  longer("Long title", &Page::title, title_max_);
  longer("Long description", &Page::description, description_max_);
  nlohmann::ordered_json links = Head("Missing links");
  links["Links"] = MissingLinks();
  list(
      links, [](const Page& page) { return page.missing_links > 0; },
      [](const Page& page, nlohmann::ordered_json& entry) { entry["Links"] = page.missing_links; });
  list(
      Head("Noindex text"), [](const Page& page) { return page.noindex; }, nothing);
}

std::size_t SiteSummary::MissingLinks() const {
  std::size_t missing = 0;
  for (const Page& page : pages_) missing += static_cast<std::size_t>(page.missing_links);
  return missing;
}

}  // namespace pagefields::cli
