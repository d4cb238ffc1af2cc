#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "server/page_data.h"

namespace vornmark::server {

// The leaderboard's web pages as complete HTML documents: the page's own markup, the inline style
// and script of page_assets.h, and outside text only through html_escaped. Pure functions.

// "/": the standings of both run types, the rows in the store's order, each name a link to its
// processor's page; "No runs yet" for a type without rows.
std::string standings_page_html(const std::vector<PageRow>& single, const std::vector<PageRow>& multi);

// "/cpu?type=T&cpu=NAME": one processor's row in run type `type` ("single" or "multi").
std::string processor_page_html(std::string_view type, const ProcessorData& data);

// A small page for a refused request: the status and reason as the title, and a sentence.
std::string error_page_html(int status, std::string_view reason, std::string_view message);

// "/cpu?type=single&cpu=AMD%20EPYC": the address of a processor's page, to be escaped where written.
std::string processor_page_target(std::string_view type, std::string_view cpu);

}  // namespace vornmark::server
