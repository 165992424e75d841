# Writes OUTPUT, a C++ source defining cyclara::CompiledResources() over the bytes of INPUT.
file(READ ${INPUT} content HEX)
string(REGEX REPLACE "(..)" "0x\\1," bytes "${content}")
file(WRITE ${OUTPUT} "#include \"ui/compiled_resources.h\"\n\nnamespace cyclara {\n\n"
    "namespace {\nconst uint8_t kResources[] = {${bytes}};\n}\n\n"
    "Bytes CompiledResources() { return Bytes(kResources, sizeof kResources); }\n\n"
    "}  // namespace cyclara\n")
