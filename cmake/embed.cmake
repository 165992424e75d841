# Writes OUTPUT, a C++ source defining cyclara::CompiledResources() over the bytes of INPUT.
include(${CMAKE_CURRENT_LIST_DIR}/hex_bytes.cmake)
hex_bytes(${INPUT} bytes)
file(WRITE ${OUTPUT} "#include \"ui/compiled_resources.h\"\n\nnamespace cyclara {\n\n"
    "namespace {\nconst uint8_t kResources[] = {${bytes}};\n}\n\n"
    "Bytes CompiledResources() { return Bytes(kResources, sizeof kResources); }\n\n"
    "}  // namespace cyclara\n")
