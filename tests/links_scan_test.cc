// The link walk on every kernel against the plain model, and the two readings of a link
// value's kind against each other and the plain rule, on random small-alphabet documents
// made of the bytes and words the walk looks for, so that anchors inside tags, shared and
// overlapping values and near-miss words are common.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "extract/link_kind.h"
#include "extract/links.h"
#include "platform/file_access.h"
#include "simd/dispatch.h"
#include "tests/each_isa.h"
#include "tests/model/plain_model.h"

namespace pagefields {
namespace {

using links_internal::LinkKind;

const std::vector<std::string>& Pieces() {
  static const std::vector<std::string> pieces = {"<a",      "<A",
                                                  "<a ",     "href=",
                                                  "HrEf=",   "\"",
                                                  "'",       ">",
                                                  " ",       "http://",
                                                  "HTTPS:",  "//",
                                                  ":",       "/",
                                                  "mailto:", "MailTo",
                                                  "x",       "x.htm",
                                                  "#",       "?",
                                                  "<",       "a",
                                                  "h",       "<a href=",
                                                  "\r\n",    std::string("\0", 1)};
  return pieces;
}

std::string RandomDocument(std::mt19937& random, std::size_t pieces) {
  std::uniform_int_distribution<std::size_t> pick(0, Pieces().size() - 1);
  std::string document;
  for (std::size_t i = 0; i < pieces; ++i) document += Pieces()[pick(random)];
  return document;
}

// The files of the probed site: the targets named "x.htm" and "x" exist, no other does.
bool SiteHas(const std::string& path) {
  const std::string name = path.c_str();  // the query sees the path up to a NUL
  return name == "site/x.htm" || name == "site/x";
}

model::ModelLinks Walk(const std::string& document, bool probe) {
  LinkCounts counts;
  std::string broken;
  ScanLinks("site/", document, counts, broken, {.probe = probe, .exists = SiteHas});
  return {counts.WebCount, counts.MailCount, counts.InternalCount, broken};
}

// The walk's counts, and its broken link when probing, on every kernel against the model's.
testing::AssertionResult WalkAgreesWithTheModel(const std::string& document,
                                                const model::AttributeQuery& query) {
  const model::ModelLinks counted = model::ModelScanLinks("site/", document, false, query);
  const model::ModelLinks probed = model::ModelScanLinks("site/", document, true, query);
  for (const simd::Isa isa : RunnableIsas()) {
    const simd::ScopedIsa held(isa);
    const model::ModelLinks walked = Walk(document, false);
    const std::string broken = Walk(document, true).broken;
    if (walked.web != counted.web || walked.mail != counted.mail ||
        walked.internal != counted.internal || broken != probed.broken) {
      return testing::AssertionFailure()
             << simd::IsaName(isa) << ": web " << walked.web << "/" << counted.web << ", mail "
             << walked.mail << "/" << counted.mail << ", internal " << walked.internal << "/"
             << counted.internal << ", broken '" << broken << "'/'" << probed.broken << "'";
    }
  }
  return testing::AssertionSuccess();
}

TEST(LinkScan, CountsAndBrokenLinkAgreeWithThePlainModelOnEveryKernel) {
  const model::AttributeQuery query = [](const std::string& path) {
    return SiteHas(path) ? 0u : model::kQueryFailed;
  };
  std::mt19937 random(3);
  for (int round = 0; round < 1500; ++round) {
    // Up to some 400 bytes: values and tags run across block ends.
    const std::string document = RandomDocument(random, 1 + round % 120);
    ASSERT_TRUE(WalkAgreesWithTheModel(document, query)) << document;
  }
}

TEST(LinkScan, FindsTheAnchorsOfLongPagesAcrossEveryBlockEnd) {
  // One link moved through two blocks' worth of places, in a page that has a long run of
  // plain text before and after it.
  const model::AttributeQuery query = [](const std::string&) { return model::kQueryFailed; };
  for (std::size_t at = 0; at < 140; ++at) {
    const std::string document =
        std::string(at, 'x') + "<a\r\nhref='mailto:y'><A HREF=http://z>" + std::string(70, 'x');
    const model::ModelLinks expected = model::ModelScanLinks("", document, true, query);
    for (const simd::Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      const model::ModelLinks walked = Walk(document, false);
      ASSERT_EQ(walked.web, 1) << simd::IsaName(isa) << " at " << at;
      ASSERT_EQ(walked.mail, 1) << simd::IsaName(isa) << " at " << at;
      ASSERT_EQ(walked.internal, 0) << simd::IsaName(isa) << " at " << at;
      ASSERT_EQ(expected.web + expected.mail + expected.internal, 2) << "model at " << at;
    }
  }
}

TEST(LinkScan, AgreesWithThePlainModelWhereValuesAndTagsEndAroundA64ByteWindow) {
  // Anchors that share one tag, or follow each other closely, each with a value whose end
  // moves through the 64 bytes after the anchor and past them: the walk answers these from
  // the bytes read at one anchor, or reads again at a later one. Among them web values that
  // open with their scheme (one with a quote that never closes) and near misses.
  const model::AttributeQuery query = [](const std::string& path) {
    return SiteHas(path) ? 0u : model::kQueryFailed;
  };
  struct Chain {
    std::string opening;  // the anchor and its "href=" up to the value
    std::string closing;  // what ends the value
  };
  const Chain chains[] = {
      {"<a href=", " "},
      {"<a\thref=", " "},
      {"<A HREF=\"", "\""},
      {"<a href='", "'"},
      {"<a href=", ">x</a>"},
      {"<a\r\nhref=\"http://", "\">"},
      {"<a href=mailto:", " "},
      {"<a title=\" \" href=", ">"},
      {"<a href=", " >"},
      {"<a href='", "' >"},
      {"<a href=\"", ">\""},
      {"<a>href='", "'>"},
      {"<A HREF=\"HTTPS://", "\""},
      {"<a href='http://", ">"},
      {"<a href=hTTp:/", "/ >"},
      {"<a href=\"http:", "//\">"},
  };
  for (const Chain& chain : chains) {
    for (std::size_t length = 0; length < 140; ++length) {
      std::string document = "<p>";
      for (int link = 0; link < 4; ++link) {
        document +=
            chain.opening + std::string(length + link, link % 2 == 0 ? 'x' : ':') + chain.closing;
      }
      document += ">" + std::string(70, 'y');
      ASSERT_TRUE(WalkAgreesWithTheModel(document, query)) << document;
    }
  }
}

TEST(LinkScan, AgreesWithThePlainModelOnAnchorsNestedInOneTag) {
  // Runs of anchors in one tag, as in "<a href=<a href=": a walk that only counts takes
  // those with a short unquoted value many at a time. Values of other forms break the runs,
  // and the run's place and length and the anchors after the tag move its ends through the
  // blocks.
  const model::AttributeQuery query = [](const std::string& path) {
    return SiteHas(path) ? 0u : model::kQueryFailed;
  };
  const std::string others[] = {"x y",        "xxxxxx", "xxxxxxx", "x\txxxxx", "//",      "/",
                                "//xxxxxxxx", "'x'",    "'//'",    "\"//\" ",  "http://x"};
  std::mt19937 random(5);
  std::uniform_int_distribution<std::size_t> pick_other(0, std::size(others) - 1);
  for (int round = 0; round < 800; ++round) {
    std::string document = "<p>" + std::string(round % 64, 'x') + "<a href=x ";
    for (int anchor = 0; anchor < 1 + round % 37; ++anchor) {
      document += "<a href=";
      document += random() % 5 == 0 ? others[pick_other(random)] : std::string(random() % 3, 'x');
    }
    // An anchor after the tag, whose own tag never closes in every other round.
    document += ">" + std::string(round % 7 == 0 ? 0 : round % 90, 'y') + "<a href=x " +
                (round % 2 == 0 ? ">" : "") + std::string(100, 'y');
    ASSERT_TRUE(WalkAgreesWithTheModel(document, query)) << document;
  }
}

TEST(LinkScan, AgreesWithThePlainModelOnPagesOfManyBlocks) {
  const model::AttributeQuery query = [](const std::string& path) {
    return SiteHas(path) ? 0u : model::kQueryFailed;
  };
  std::mt19937 random(11);
  for (int round = 0; round < 40; ++round) {
    // Some 1.5 to 5 KB: many anchors, each question asked far from the text's end.
    const std::string document = RandomDocument(random, 500 + 30 * round);
    ASSERT_TRUE(WalkAgreesWithTheModel(document, query)) << "round " << round;
  }
}

TEST(LinkScan, ProbesAPathUpToItsFirstNulAtTheLongestQueryableLength) {
  // The query sees the path up to the NUL: "x" after the folder is just queryable, while the
  // whole value would not be.
  const std::string folder(platform::kLongestQueryablePath - 1, 'f');
  const std::string document = "<p><a href=\"x" + std::string("\0", 1) + "yz\">x</a>" +
                               std::string(100, ' ') + "<a href=\"zz" + std::string("\0", 1) +
                               "\">z</a>" + std::string(100, ' ');
  std::vector<std::string> queried;
  const TargetCheck exists = [&](const std::string& path) {
    queried.push_back(path.c_str());
    return true;
  };
  for (const simd::Isa isa : RunnableIsas()) {
    const simd::ScopedIsa held(isa);
    queried.clear();
    LinkCounts counts;
    std::string broken;
    ScanLinks(folder, document, counts, broken, {.probe = true, .exists = exists});
    EXPECT_EQ(counts.InternalCount, 2) << simd::IsaName(isa);
    // "zz" makes the path one byte too long, so that target counts as missing unqueried.
    EXPECT_EQ(broken, "zz" + std::string("\0", 1)) << simd::IsaName(isa);
    EXPECT_EQ(queried, std::vector<std::string>{folder + "x"}) << simd::IsaName(isa);
  }
}

// The rule for a value's kind as written: web when "http://" or "https://" stands in it in
// any case or it starts with "//", else mail when "mailto:" does.
bool HasWord(std::string value, const std::string& word) {
  for (char& c : value) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return value.find(word) != std::string::npos;
}

LinkKind PlainKind(const std::string& value) {
  if (HasWord(value, "http://") || HasWord(value, "https://") || value.starts_with("//")) {
    return LinkKind::kWeb;
  }
  return HasWord(value, "mailto:") ? LinkKind::kMail : LinkKind::kInternal;
}

LinkKind ShortKind(std::string_view document, std::size_t begin, std::size_t end) {
  return simd::Dispatch([&](auto kernel) {
    return links_internal::KindOfShort<decltype(kernel)>(document, begin, end);
  });
}

TEST(LinkKindReadings, BothReadingsFollowThePlainRuleOnEveryKernel) {
  const struct {
    const char* value;
    LinkKind kind;
  } cases[] = {
      {"", LinkKind::kInternal},
      {"//", LinkKind::kWeb},
      {"/x//y", LinkKind::kInternal},
      {"http://", LinkKind::kWeb},
      {"http:/", LinkKind::kInternal},
      {"HTTPS://x", LinkKind::kWeb},
      {"x?u=hTtP://y", LinkKind::kWeb},
      {"mailto:", LinkKind::kMail},
      {"mailto:x?http://", LinkKind::kWeb},
      {"MAILTO:http:/", LinkKind::kMail},
      {"mailt:o:http:x//", LinkKind::kInternal},
      {"ttp://", LinkKind::kInternal},
      {"ftp://x", LinkKind::kInternal},
      {"::::https:://", LinkKind::kInternal},
      {"x:https://", LinkKind::kWeb},
  };
  for (const simd::Isa isa : RunnableIsas()) {
    const simd::ScopedIsa held(isa);
    for (const auto& c : cases) {
      ASSERT_EQ(PlainKind(c.value), c.kind) << c.value;
      // The value alone, and the value inside text whose bytes would complete a word.
      for (const std::string& around : {std::string(), std::string("http://")}) {
        const std::string document = around + c.value + around;
        const std::size_t begin = around.size();
        const std::size_t end = begin + std::string_view(c.value).size();
        EXPECT_EQ(ShortKind(document, begin, end), c.kind) << simd::IsaName(isa) << ": " << c.value;
        EXPECT_EQ(links_internal::KindOfLong(document).Of(begin, end), c.kind) << c.value;
      }
    }
  }
}

TEST(LinkKindReadings, AgreeOnRandomValuesAtEveryPlaceOfABlock) {
  std::mt19937 random(9);
  for (int round = 0; round < 400; ++round) {
    const std::string document = RandomDocument(random, 20 + round % 60);
    // Values asked in the walk's order: starts that never decrease, ranges that overlap.
    links_internal::KindOfLong long_reading(document);
    std::uniform_int_distribution<std::size_t> length(0, 130);  // one block or two
    for (std::size_t begin = 0; begin < document.size(); begin += 1 + round % 7) {
      const std::size_t end = std::min(document.size(), begin + length(random));
      const std::string value = document.substr(begin, end - begin);
      const LinkKind expected = PlainKind(value);
      ASSERT_EQ(long_reading.Of(begin, end), expected) << value;
      for (const simd::Isa isa : RunnableIsas()) {
        const simd::ScopedIsa held(isa);
        ASSERT_EQ(ShortKind(document, begin, end), expected) << simd::IsaName(isa) << ": " << value;
      }
    }
  }
}

}  // namespace
}  // namespace pagefields
