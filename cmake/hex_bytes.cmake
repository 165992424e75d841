# hex_bytes(PATH VARIABLE): sets VARIABLE to PATH's bytes as a C initialiser list ("0x41,0x42,"),
# for a source that builds a file into a program.
function(hex_bytes path variable)
    file(READ ${path} content HEX)
    string(REGEX REPLACE "(..)" "0x\\1," bytes "${content}")
    set(${variable} "${bytes}" PARENT_SCOPE)
endfunction()
