# SPDX-License-Identifier: GPL-3.0-or-later
# Writes a C++ source that holds text files as byte arrays, so that texts kept in the
# repository as plain files are compiled into the program.
#   cmake -DOUTPUT=file.cpp -DINPUTS="a.txt|b.html" -P EmbedTexts.cmake
# The source defines dorvalix::EmbeddedText(name), the bytes of the file called `name`
# (without folder), or an empty view for any other name.
string(REPLACE "|" ";" inputs "${INPUTS}")
set(arrays "")
set(lookups "")
set(index 0)
foreach(input IN LISTS inputs)
  get_filename_component(name "${input}" NAME)
  file(READ "${input}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND arrays "// ${name}\nconstexpr char kText${index}[] = {${bytes} 0};\n")
  string(APPEND lookups "    if (name == \"${name}\") return {kText${index}, ${size}};\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Generated from text files by cmake/EmbedTexts.cmake; do not edit.
#include <string_view>

namespace dorvalix {

namespace {

${arrays}
}  // namespace

std::string_view EmbeddedText(std::string_view name) {
${lookups}    return {};
}

}  // namespace dorvalix
")
# Rewriting an unchanged source would rebuild what depends on it.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
