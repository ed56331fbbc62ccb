// The pages tavelor-web serves, built into the program from src/web/pages/ (see
// cmake/embed_pages.cmake). A request's path is only ever looked up in this table: no path
// reaches the file system.
#pragma once

#include <string_view>
#include <vector>

namespace tavelor::web {

struct BuiltInPage {
  std::string_view path;         // "/radio.html"
  std::string_view contentType;  // "text/html; charset=utf-8"
  std::string_view bytes;
};

const std::vector<BuiltInPage>& BuiltInPages();

// The page a request target names ("/" is the index; a query is ignored); nullptr for any other.
const BuiltInPage* FindPage(std::string_view target);

}  // namespace tavelor::web
