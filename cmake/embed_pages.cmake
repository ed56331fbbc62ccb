# Turns the built-in pages (src/web/pages/) into one C++ source: every file as bytes in a table
# by its path, so tavelor-web serves them from memory and no request path ever reaches the file
# system. Run at build time: cmake -DPAGES_DIR=... -DEXTRA="file;..." -DOUTPUT=... -P embed_pages.cmake
# EXTRA: files from elsewhere (a library's script), served by their names as the pages are.
file(GLOB pages RELATIVE ${PAGES_DIR} ${PAGES_DIR}/*)
set(paths "")
foreach(page ${pages})
  list(APPEND paths ${PAGES_DIR}/${page})
endforeach()
foreach(extra ${EXTRA})
  get_filename_component(name ${extra} NAME)
  list(APPEND pages ${name})
  list(APPEND paths ${extra})
endforeach()
set(arrays "")
set(rows "")
set(index 0)
foreach(page path IN ZIP_LISTS pages paths)
  if(page MATCHES "\\.html$")
    set(type "text/html; charset=utf-8")
  elseif(page MATCHES "\\.js$")
    set(type "text/javascript; charset=utf-8")
  elseif(page MATCHES "\\.css$")
    set(type "text/css; charset=utf-8")
  elseif(page MATCHES "\\.svg$")
    set(type "image/svg+xml")
  elseif(page MATCHES "\\.png$")
    set(type "image/png")
  else()
    message(FATAL_ERROR "embed_pages: no content type for ${page}")
  endif()
  file(READ ${path} hex HEX)
  string(REPEAT "[0-9a-f]" 48 line)  # 24 bytes a line
  string(REGEX REPLACE "(${line})" "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND arrays "const char kPage${index}[] = {\n${bytes}};\n")
  string(APPEND rows "      {\"/${page}\", \"${type}\", std::string_view(kPage${index}, sizeof kPage${index})},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Generated from src/web/pages/ by cmake/embed_pages.cmake: do not edit.
#include \"web/pages.h\"

namespace tavelor::web {

namespace {
${arrays}
}  // namespace

const std::vector<BuiltInPage>& BuiltInPages() {
  static const std::vector<BuiltInPage> pages = {
${rows}  };
  return pages;
}

}  // namespace tavelor::web
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
