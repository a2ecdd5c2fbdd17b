# For programs that link lurn in a web page (Emscripten).
# lurn_web_page(<target>) writes <target>.html beside <target>.js, from
# lurn's page template: a canvas (#screen) for CanvasWindow, the program's
# output and exit code below it, the query string as its environment.
function(lurn_web_page target)
  set(LURN_PAGE_TITLE ${target})
  set(LURN_PAGE_SCRIPT ${target}.js)
  configure_file(${LURN_WEB_PAGE_TEMPLATE}
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}.html.in @ONLY)
  file(GENERATE OUTPUT $<TARGET_FILE_DIR:${target}>/${target}.html
       INPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.html.in)
endfunction()
