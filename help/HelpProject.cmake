# Writes the help compiler's project into STAGE beside a copy of the pages in
# SOURCE: Kestrova_Help.hhp (the project), .hhc (the contents, one entry per
# page of PAGES in that order, named by the page's <title>) and .hhk (the
# index, from each page's <meta name="keywords">).
#   cmake -DSOURCE=<data/help> -DSTAGE=<folder> -DPAGES=a.html|b.html -P HelpProject.cmake
string(REPLACE "|" ";" PAGES "${PAGES}")
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${SOURCE}/ DESTINATION ${STAGE})

function(escape out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(sitemap_entry out name page)
  escape(name "${name}")
  set(${out} "<LI> <OBJECT type=\"text/sitemap\">\n  <param name=\"Name\" value=\"${name}\">\n  <param name=\"Local\" value=\"${page}\">\n  </OBJECT>\n" PARENT_SCOPE)
endfunction()

set(head "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<HTML>\n<HEAD>\n</HEAD>\n<BODY>\n<OBJECT type=\"text/site properties\">\n  <param name=\"ImageType\" value=\"Folder\">\n</OBJECT>\n<UL>\n")
set(tail "</UL>\n</BODY>\n</HTML>\n")
set(contents "")
set(keywords "")
foreach(page IN LISTS PAGES)
  if(NOT EXISTS ${SOURCE}/${page})
    message(FATAL_ERROR "The help page ${page} is listed but ${SOURCE}/${page} does not exist")
  endif()
  file(READ ${SOURCE}/${page} html)
  if(NOT html MATCHES "<title>([^<]*)</title>")
    message(FATAL_ERROR "The help page ${page} has no <title>")
  endif()
  set(title "${CMAKE_MATCH_1}")
  sitemap_entry(entry "${title}" ${page})
  string(APPEND contents "${entry}")
  if(html MATCHES "<meta name=\"keywords\" content=\"([^\"]*)\">")
    set(words "${CMAKE_MATCH_1}")
    foreach(word IN LISTS words)
      string(STRIP "${word}" word)
      if(word)
        list(APPEND keywords "${word}\t${page}")
      endif()
    endforeach()
  endif()
endforeach()
file(WRITE ${STAGE}/Kestrova_Help.hhc "${head}${contents}${tail}")

# The index in alphabetical order, case ignored.
list(SORT keywords CASE INSENSITIVE)
set(index "")
foreach(pair IN LISTS keywords)
  string(REPLACE "\t" ";" parts "${pair}")
  list(GET parts 0 word)
  list(GET parts 1 page)
  sitemap_entry(entry "${word}" ${page})
  string(APPEND index "${entry}")
endforeach()
file(WRITE ${STAGE}/Kestrova_Help.hhk "${head}${index}${tail}")

file(GLOB_RECURSE files RELATIVE ${STAGE} ${STAGE}/*.html ${STAGE}/*.css ${STAGE}/*.png)
list(SORT files)
string(REPLACE ";" "\n" file_lines "${files}")
file(WRITE ${STAGE}/Kestrova_Help.hhp "[OPTIONS]
Compatibility=1.1 or later
Compiled file=Kestrova_Help.chm
Contents file=Kestrova_Help.hhc
Index file=Kestrova_Help.hhk
Default topic=index.html
Default Window=main
Display compile progress=No
Full-text search=Yes
Language=0x809 English (United Kingdom)
Title=Kestrova Help

[WINDOWS]
main=\"Kestrova Help\",\"Kestrova_Help.hhc\",\"Kestrova_Help.hhk\",\"index.html\",\"index.html\",,,,,0x2520,,0x3006,,,,,,,,0

[FILES]
${file_lines}
")
