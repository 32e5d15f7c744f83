#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/code_page.h"
#include "cli/output_format.h"
#include "cli/site_summary.h"

namespace pagefields::cli {

// `text` with &, <, >, " and ' written as character references, so that it stands in an
// element or an attribute value as text and never as markup.
std::string EscapeForHtml(std::string_view text);

// A writer of one self-contained HTML report on `out`: `summary` (when given, complete by
// the time Finish is called) on top, then a table of the rows `columns` of every page that
// sorts by any column and filters by text. Rows of pages with a missing link and empty titles
// are marked. Every text from a page is escaped; the report's Content-Security-Policy lets
// only its own style and script run.
std::unique_ptr<PageWriter> MakeHtmlWriter(std::vector<Field> columns, const TextForm& form,
                                           std::FILE* out, const SiteSummary* summary);

}  // namespace pagefields::cli
