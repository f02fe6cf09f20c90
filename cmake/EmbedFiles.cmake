# Writes a C++ source holding files as byte arrays: the studio's page, embedded in plinka-sim.
#   cmake -DOUTPUT=page_files.cpp -DBASE=DIR -DFILES="a|b" -P EmbedFiles.cmake
# Each file is named by its path under BASE, with a leading slash ("/studio.js"), as it is asked
# for. The source defines studio::kPageFiles and studio::kPageFileCount (page_files.h).
# The header names no absolute path, so that the source compiles the same in every clone (and a
# compiler cache serves the next one).
set(body "// Made at build time by cmake/EmbedFiles.cmake from the files named below: not to be edited.\n")
string(APPEND body "#include \"page_files.h\"\n\nnamespace studio {\nnamespace {\n")
string(REPLACE "|" ";" FILES "${FILES}")
set(table "")
set(index 0)
foreach(file IN LISTS FILES)
  file(READ "${BASE}/${file}" bytes HEX)
  string(LENGTH "${bytes}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
  string(APPEND body "const unsigned char kFile${index}[] = {${bytes}};\n")
  string(APPEND table "    {\"/${file}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "}  // namespace\n\nconst PageFile kPageFiles[] = {\n${table}};\n")
string(APPEND body "const size_t kPageFileCount = ${index};\n\n}  // namespace studio\n")
file(WRITE "${OUTPUT}.new" "${body}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
