#include "web/pages.h"

namespace tavelor::web {

const BuiltInPage* FindPage(std::string_view target) {
  target = target.substr(0, target.find_first_of("?#"));
  if (target == "/") target = "/index.html";
  for (const BuiltInPage& page : BuiltInPages()) {
    if (page.path == target) return &page;
  }
  return nullptr;
}

}  // namespace tavelor::web
