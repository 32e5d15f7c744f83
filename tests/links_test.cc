#include "extract/links.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/temp_folder.h"

namespace pagefields {
namespace {

struct Census {
  int web;
  int mail;
  int internal;
  bool operator==(const Census&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Census& c) {
  return out << "web " << c.web << ", mail " << c.mail << ", internal " << c.internal;
}

Census Count(const std::string& document) {
  LinkCounts counts;
  std::string broken;
  ScanLinks("", document, counts, broken);
  return {counts.WebCount, counts.MailCount, counts.InternalCount};
}

TEST(ScanLinks, ClassifiesWebBeforeMailBeforeInternal) {
  const std::pair<std::string, Census> cases[] = {
      {"no anchors here", {0, 0, 0}},
      {"<a href=\"http://x.org\">", {1, 0, 0}},
      {"<A HREF=\"HTTPS://x.org\">", {1, 0, 0}},
      {"<a href=//cdn.x.org/a.js>", {1, 0, 0}},
      {"<a href=\"page.html?u=http://x\">", {1, 0, 0}},
      {"<a href=\"mailto:me@x.org\">", {0, 1, 0}},
      {"<a href=\"mailto:me@x.org?http://x\">", {1, 0, 0}},
      {"<a href=\"ftp://x.org\">", {0, 0, 1}},
      {"<a href=\"/x//y\">", {0, 0, 1}},
      {"<a href=http:/x>", {0, 0, 1}},
      {"<a href=a.html><a href=http://b><a href=mailto:c><a href=d><a href=e>"
       "<a href=https://f>",
       {2, 1, 3}},
  };
  for (const auto& [document, expected] : cases) EXPECT_EQ(Count(document), expected) << document;
}

TEST(ScanLinks, ReadsEveryAnchorOccurrenceByTheSameRules) {
  const std::pair<std::string, Census> cases[] = {
      {"<a name=top>", {0, 0, 0}},  // no href
      {"<a href =x>", {0, 0, 0}},   // blank before "="
      {"<area href=map.html><abbr title=x>", {0, 0, 1}},
      {"<a data-href=a.html href=http://x>", {0, 0, 1}},      // the first "href=" wins
      {"<a href=x.html", {0, 0, 0}},                          // no ">" after it
      {"<a title=\"<a href=http://x>\" href=y>", {2, 0, 0}},  // counted twice
      {"<a href=\"a>b.html\">", {0, 0, 1}},
      {"<a href=\"\">", {0, 0, 1}},
      {"<a href=>", {0, 0, 1}},
  };
  for (const auto& [document, expected] : cases) EXPECT_EQ(Count(document), expected) << document;
}

struct ProbeCase {
  std::string document;
  std::string expected;
};

class BrokenLinkProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.Write("index.html", "x");
    site_.Write("docs/a.html", "x");
    site_.MakeFolder("images");
    folder_ = site_.path().string() + "/";
  }

  std::string Probe(const std::string& document, const std::string& folder) {
    LinkCounts counts;
    std::string broken = "stale";
    ScanLinks(folder, document, counts, broken, {.probe = true});
    return broken;
  }

  testing::TempFolder site_;
  std::string folder_;
};

TEST_F(BrokenLinkProbe, ReportsTheFirstMissingLocalFile) {
  const ProbeCase cases[] = {
      {"<a href=index.html><a href=docs/a.html>", ""},
      {"<a href=index.html><a href=gone.html><a href=lost.html>", "gone.html"},
      {"<a href=\"docs/a.html#part\"><a href=\"b.html#x\">", "b.html"},
      {"<a href=\"docs/a.html?v=2\"><a href=\"c.html?q#f\">", "c.html"},
      {"<a href=\"#top\"><a href=\"\"><a href=\"?x=1\"><a href=d.html>", "d.html"},
      {"<a href=\"javascript:go()\"><a href=tel:123><a href=file:x><a href=e.html>", "e.html"},
      {"<a href=images>", "images"},                            // a folder counts as missing
      {"<a href=gone\r\nclass=x title=y>", "gone\r\nclass=x"},  // only a blank ends it
      {"<a href= gone.html x>", " gone.html"},                  // a leading blank stays
      {"<a href=\"a>b.html\">", "\"a"},                         // cut at ">", quote kept
      {"<a href=http://x/gone.html><a href=mailto:m><a href=f.html>", "f.html"},
      {"<a href=\"docs/a.html#" + std::string(3000, 'f') + "\"><a href=g.html>", "g.html"},
  };
  for (const auto& c : cases) EXPECT_EQ(Probe(c.document, folder_), c.expected) << c.document;
}

TEST_F(BrokenLinkProbe, JoinsTheValueToTheFolderAsItIs) {
  // With an empty folder the value alone is probed, relative to the current folder.
  EXPECT_EQ(Probe("<a href=" + folder_ + "index.html>", ""), "");
  EXPECT_EQ(Probe("<a href=" + folder_ + "none.html>", ""), folder_ + "none.html");
  // No separator is added between folder and value.
  EXPECT_EQ(Probe("<a href=docs/a.html>", site_.path().string()), "docs/a.html");
  // A path no file system can hold is missing without a query.
  const std::string long_name(5000, 'n');
  EXPECT_EQ(Probe("<a href=" + long_name + ">", folder_), long_name);
}

TEST_F(BrokenLinkProbe, CountsAsItGoes) {
  LinkCounts counts;
  std::string broken;
  ScanLinks(folder_, "<a href=http://x><a href=index.html><a href=gone><a href=later>", counts,
            broken, {.probe = true});
  EXPECT_EQ(broken, "gone");
  EXPECT_EQ(counts.WebCount, 1);
  EXPECT_EQ(counts.InternalCount, 2);
}

// The probe is asked for by its option alone: counts left from an earlier walk, whatever
// they hold, neither start it nor carry over.
TEST_F(BrokenLinkProbe, OnlyTheOptionProbes) {
  const std::string document = "<a href=gone><a href=http://x><a href=mailto:m>";
  for (const std::int32_t left_over : {-1, 0, 7}) {
    LinkCounts counts{left_over, left_over, left_over};
    std::string broken = "stale";
    ScanLinks(folder_, document, counts, broken);
    EXPECT_EQ(broken, "") << left_over;
    EXPECT_EQ((Census{counts.WebCount, counts.MailCount, counts.InternalCount}), (Census{1, 1, 1}))
        << left_over;
    counts = {left_over, left_over, left_over};
    ScanLinks(folder_, document, counts, broken, {.probe = true});
    EXPECT_EQ(broken, "gone") << left_over;
  }
}

TEST_F(BrokenLinkProbe, OneWalkGivesTheCountsAndTheFirstBrokenLink) {
  const std::string document =
      "<a href=gone><a href=http://x><a href=index.html><a href=later><a href=mailto:m>";
  LinkCounts shared;
  std::string broken;
  std::vector<std::string> asked;
  const TargetCheck exists = [&asked](const std::string& path) {
    asked.push_back(path);
    return FileExistsNotDir(path);
  };
  ScanLinks(folder_, document, shared, broken,
            {.probe = true, .exists = exists, .count_all = true});
  EXPECT_EQ(broken, "gone");
  EXPECT_EQ(Count(document), (Census{shared.WebCount, shared.MailCount, shared.InternalCount}));
  // The probe ends at the first missing target; the check answered it.
  EXPECT_EQ(asked, std::vector<std::string>{folder_ + "gone"});
}

// Every missing target that a walk hands out, as (written, probed) pairs.
std::vector<std::pair<std::string, std::string>> EveryMissing(const std::string& folder,
                                                              const std::string& document,
                                                              std::string& broken) {
  std::vector<std::pair<std::string, std::string>> missing;
  LinkCounts counts;
  ScanLinks(
      folder, document, counts, broken,
      {.probe = true, .count_all = true, .every_missing = [&missing](const MissingLink& link) {
         missing.emplace_back(link.written, link.probed);
         return true;
       }});
  return missing;
}

TEST_F(BrokenLinkProbe, HandsOutEveryMissingTargetInOrder) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  const std::pair<std::string, Pairs> cases[] = {
      {"<a href=index.html><a href=docs/a.html>", {}},
      {"<a href=gone.html><a href=index.html><a href=\"lost.html#x\"><a href=gone.html>",
       {{"gone.html", "gone.html"}, {"lost.html#x", "lost.html"}, {"gone.html", "gone.html"}}},
      {"<a href=\"#top\"><a href=http://x/y><a href=images><a href='c.html?q=1'>",
       {{"images", "images"}, {"c.html?q=1", "c.html"}}},
      // Two anchors before one "href=" are two links to the same target.
      {"<a title=\"<a\" href=gone>", {{"gone", "gone"}, {"gone", "gone"}}},
  };
  for (const auto& [document, expected] : cases) {
    std::string broken = "stale";
    EXPECT_EQ(EveryMissing(folder_, document, broken), expected) << document;
    // The first one is the page's broken link, as a walk that stops there finds it.
    EXPECT_EQ(broken, Probe(document, folder_)) << document;
  }
}

TEST_F(BrokenLinkProbe, EveryMissingKeepsTheCountsOfThePage) {
  const std::string document = "<a href=gone><a href=http://x><a href=later><a href=mailto:m>";
  LinkCounts counts;
  std::string broken;
  int heard = 0;
  ScanLinks(folder_, document, counts, broken,
            {.probe = true, .count_all = true, .every_missing = [&heard](const MissingLink&) {
               ++heard;
               return true;
             }});
  EXPECT_EQ(heard, 2);
  EXPECT_EQ(Count(document), (Census{counts.WebCount, counts.MailCount, counts.InternalCount}));
  // A sink that says stop ends the walk at once.
  heard = 0;
  ScanLinks(folder_, document, counts, broken,
            {.probe = true, .count_all = true, .every_missing = [&heard](const MissingLink&) {
               ++heard;
               return false;
             }});
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(broken, "gone");
}

}  // namespace
}  // namespace pagefields
