# Writes a C++ header that holds text files as string constants, so that the
# report page's style and script stay real files (.css, .js) that an editor
# and a linter read, and are embedded in the tool at build time.
#   cmake -D OUTPUT=header.h -D ASSETS="name=file;name=file" -P embed_asset.cmake
set(delimiter "velt-asset")
set(text "// Generated at build time by embed_asset.cmake from the files named below:\n")
string(APPEND text "// edit those, not this.\n#pragma once\n\nnamespace velt::drive {\n")
foreach(asset IN LISTS ASSETS)
    string(REPLACE "=" ";" parts "${asset}")
    list(GET parts 0 name)
    list(GET parts 1 file)
    file(READ "${file}" content)
    string(FIND "${content}" ")${delimiter}\"" clash)
    if(NOT clash EQUAL -1)
        message(FATAL_ERROR "${file} holds ')${delimiter}\"', which ends the string it is embedded in")
    endif()
    get_filename_component(base "${file}" NAME)
    string(APPEND text "\n// ${base}\ninline constexpr char ${name}[] = R\"${delimiter}(${content})${delimiter}\";\n")
endforeach()
string(APPEND text "\n}  // namespace velt::drive\n")
file(WRITE "${OUTPUT}" "${text}")
