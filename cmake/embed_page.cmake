# Writes OUTPUT, a C++ source defining cyclara::logger::PageFiles() over FILES: entries of
# route|type|path separated by "," (a type's own ";" would split a CMake list). Every file is
# UTF-8 text.
include(${CMAKE_CURRENT_LIST_DIR}/hex_bytes.cmake)
set(arrays "")
set(table "")
set(index 0)
string(REPLACE "," ";" FILES "${FILES}")
foreach(entry IN LISTS FILES)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 route)
    list(GET parts 1 type)
    list(GET parts 2 path)
    hex_bytes(${path} bytes)
    string(APPEND arrays "const unsigned char kFile${index}[] = {${bytes}};\n")
    string(APPEND table "        {\"${route}\", \"${type}; charset=utf-8\", Text(kFile${index}, sizeof kFile${index})},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT} "#include \"logger/web/page_files.h\"\n\nnamespace cyclara::logger {\n\n"
    "namespace {\n${arrays}\n"
    "std::string_view Text(const unsigned char* bytes, size_t size) {\n"
    "    return {reinterpret_cast<const char*>(bytes), size};\n}\n}  // namespace\n\n"
    "const std::vector<PageFile>& PageFiles() {\n"
    "    static const std::vector<PageFile> files{\n${table}    };\n    return files;\n}\n\n"
    "}  // namespace cyclara::logger\n")
